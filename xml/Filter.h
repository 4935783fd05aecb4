// The document filters behind the command-line options (besides the two stripping filters,
// which are operations of BrixSubString). Each reads a view and writes a CString that the view
// does not refer to; out is emptied first. Each also writes to any TextZiel instead (appending
// to what it holds), which is how the last filter of a run sends its result straight out.
// None reports an error: malformed text ends a walk and the rest is copied unchanged (or the
// listing ends).
#pragma once

#include <cstdint>

#include "brix/BrixSubString.h"
#include "brix/TextZiel.h"

// -d: copies text without its empty top-level elements.
void LoescheLeereTags(BrixSubString text, CString& out);
void LoescheLeereTags(BrixSubString text, TextZiel& out);

// -s / -t with a list "outer,inner1,...": one line (ending CR LF) per top-level outer element.
void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, CString& out);
void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, TextZiel& out);
// Number of bytes that ZeigeTagBlocks writes for the same arguments.
std::int64_t LaengeTagBlockListe(const BrixSubString& text, const BrixSubString& names);

// -S: steps over the top-level elements of one name; keeps what follows the last of them.
void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, CString& out);
void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, TextZiel& out);

// -R: replaces the content of every element of that name, at any depth.
void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, CString& out,
                      const BrixSubString& replacement);
void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, TextZiel& out,
                      const BrixSubString& replacement);
