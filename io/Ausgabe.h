// Text leaving a view: into a CString of its own (ErzeugeString, Zuweisen), and as narrow bytes
// (UTF-8, byte-transparent) onto a stream (SchreibeAusgabe). U+0000 is an ordinary unit: copies
// keep every unit, and it is written as a zero byte. No newline translation takes place.
#pragma once

#include "brix/BrixSubString.h"
#include "platform/CString.h"
#include "platform/Datei.h"

// A new string holding the view's units (empty for a view with no data).
CString ErzeugeString(const BrixSubString& view);

// Gives target the view's units and returns it; works when the view is of target itself.
CString& Zuweisen(CString& target, const BrixSubString& view);

// Writes the text as narrow bytes, encoded and written in blocks of about 1 MiB that never cut a
// surrogate pair; a small text goes out in one write. Nothing is written for an empty text.
// False when a write failed, with the message (naming the stream) and errno in *pFehler.
bool SchreibeAusgabe(const BrixSubString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr);
bool SchreibeAusgabe(const CString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr);
