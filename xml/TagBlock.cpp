// The view's scanner operations. Each call walks with a scanner of its own, which forgets what
// it learned when the call ends; a caller that searches one text again and again (a filter)
// keeps a BrixAbtaster instead, so that no walk repeats another.
#include "brix/BrixSubString.h"
#include "xml/Abtaster.h"
#include "xml/XmlFehler.h"

BrixSubString Beantworte(const TagBlockFund& fund, std::ptrdiff_t& nPos, std::ptrdiff_t& nNext, int& nError,
                         std::ptrdiff_t* pnStartTagLen, std::ptrdiff_t* pnEndTagOffset) noexcept
{
    nPos = fund.nPos;
    nNext = fund.nNext;
    nError = fund.nError;
    if (fund.nError == XML_OK) {
        if (pnStartTagLen != nullptr) *pnStartTagLen = fund.nStartTagLen;
        if (pnEndTagOffset != nullptr) *pnEndTagOffset = fund.nEndTagOffset;
    }
    return fund.block;
}

BrixSubString BrixSubString::FindeTagBlock(const BrixSubString& name, std::ptrdiff_t& nPos, std::ptrdiff_t& nNext,
                                           int& nError, std::ptrdiff_t* pnStartTagLen,
                                           std::ptrdiff_t* pnEndTagOffset) const
{
    BrixAbtaster abtaster;
    return Beantworte(abtaster.FindeTagBlock(*this, &name, nPos), nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

BrixSubString BrixSubString::FindeNaechstenTagBlock(std::ptrdiff_t& nPos, std::ptrdiff_t& nNext, int& nError,
                                                    std::ptrdiff_t* pnStartTagLen, std::ptrdiff_t* pnEndTagOffset) const
{
    BrixAbtaster abtaster;
    return Beantworte(abtaster.FindeTagBlock(*this, nullptr, nPos), nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

std::ptrdiff_t BrixSubString::FindeEndTag(const BrixSubString& name, std::ptrdiff_t nFrom, int& nError,
                                          std::ptrdiff_t* pnEndTagPos) const
{
    BrixAbtaster abtaster;
    return abtaster.FindeEndTag(*this, name, nFrom, nError, pnEndTagPos);
}
