// Placeholder until the filter is written: copies the text unchanged.
#include "xml/Filter.h"

void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString&, CString& out, const BrixSubString&)
{
    out.Empty();
    Anhaengen(out, text);
}
