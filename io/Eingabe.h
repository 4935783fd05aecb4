// Reading the document into UTF-16: from a named file (UTF-16LE after the byte-order mark FF FE,
// else narrow text) or from standard input (always narrow text). Narrow text is UTF-8, decoded
// byte-transparently (platform/SchmalCodec.h); no newline translation takes place.
//
// Every reader empties the text first and decodes the bytes as they arrive, in pieces, without
// a byte copy of the whole input; after a failure the text is empty and the reader returns
// false, with the German message in *pFehler if given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/CString.h"
#include "platform/Datei.h"

// True when the file's status can be obtained (it exists and is reachable); otherwise false,
// with errno in *pnErrno if given.
bool DateiExistiert(const CString& strName, int* pnErrno = nullptr);

// Reads the named file. A file that is not regular (a pipe, a terminal) is read to its end.
bool LiesDatei(CString& text, const CString& strName, DateiFehler* pFehler = nullptr);

// Reads an open file from its current offset: a regular file of known length exactly that many
// bytes (a file that shrinks meanwhile fails), anything else to its end.
bool LiesDateiInhalt(CString& text, CFile& datei, DateiFehler* pFehler = nullptr);

// Number of UTF-16 units that n narrow bytes become, counted in 64 bits (never more than n).
std::int64_t ZaehleZeichen(const unsigned char* pBytes, std::size_t n) noexcept;

// Converts n narrow bytes into pZiel, which has room for ZaehleZeichen(pBytes, n) units.
void ZeichenZuUnicode(char16_t* pZiel, const unsigned char* pBytes, std::size_t n) noexcept;

// Reads a stream as narrow text. Whole-read mode when it is a regular file (from the current
// offset to the end); otherwise line mode: all bytes, and one line feed appended when they are
// not empty and do not end in one. False at once, text untouched, when no stream is attached.
bool LiesStream(CString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr);
