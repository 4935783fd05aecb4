// The view's scanner operations. Each call walks with a scanner of its own, which forgets what
// it learned when the call ends; a caller that searches one text again and again (a filter)
// keeps a BrixAbtaster instead, so that no walk repeats another.
#include "brix/BrixSubString.h"
#include "xml/Abtaster.h"

BrixSubString BrixSubString::FindeTagBlock(const BrixSubString& name, int& nPos, int& nNext, int& nError,
                                           int* pnStartTagLen, int* pnEndTagOffset) const
{
    BrixAbtaster abtaster;
    return abtaster.FindeTagBlock(*this, &name, nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

BrixSubString BrixSubString::FindeNaechstenTagBlock(int& nPos, int& nNext, int& nError, int* pnStartTagLen,
                                                    int* pnEndTagOffset) const
{
    BrixAbtaster abtaster;
    return abtaster.FindeTagBlock(*this, nullptr, nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

int BrixSubString::FindeEndTag(const BrixSubString& name, int nFrom, int& nError, int* pnEndTagPos) const
{
    BrixAbtaster abtaster;
    return abtaster.FindeEndTag(*this, name, nFrom, nError, pnEndTagPos);
}
