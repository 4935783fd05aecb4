// Placeholder until the stripping filters are written: copies the text unchanged.
#include "brix/BrixSubString.h"

void BrixSubString::EntferneKommentare(CString& out) const { Anhaengen(out, *this); }
CString BrixSubString::EntferneKommentare() const { CString s; EntferneKommentare(s); return s; }
void BrixSubString::EntferneTags(CString& out) const { Anhaengen(out, *this); }
CString BrixSubString::EntferneTags() const { CString s; EntferneTags(s); return s; }
