// Helpers on element blocks: content, tag name, and the first block of several names (the view's
// operation over ErsterTagBlock).
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/Abtaster.h"
#include "xml/ErsterTagBlock.h"
#include "xml/XmlFehler.h"

namespace {

// Bytes of a name for TagName: ASCII letters and digits only; every other byte ends it.
bool IstNamensZeichen(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

}  // namespace

BrixSubString BrixSubString::FindeErstenTagBlock(const CBrixArray<BrixSubString>& names, std::ptrdiff_t& nPos,
                                                 std::ptrdiff_t& nNext, int& nIndex, int& nError,
                                                 std::ptrdiff_t* pnStartTagLen, std::ptrdiff_t* pnEndTagOffset) const
{
    BrixAbtaster abtaster;
    ErsterTagBlock erster(names);
    const TagBlockFund fund = erster.Finde(abtaster, *this, nPos, nIndex);
    // A fault leaves the positions as they were passed; so does a view without data.
    nError = fund.nError;
    if (fund.nError == XML_OK || fund.nError == XML_TAG_NICHT_GEFUNDEN) {
        nPos = fund.nPos;
        nNext = fund.nNext;
    }
    if (fund.nError == XML_OK) {
        if (pnStartTagLen != nullptr) *pnStartTagLen = fund.nStartTagLen;
        if (pnEndTagOffset != nullptr) *pnEndTagOffset = fund.nEndTagOffset;
    }
    return fund.block;
}

BrixSubString BrixSubString::Inhalt() const noexcept
{
    if (!HatDaten()) {
        return {};
    }
    if (Rechts(2).Vergleiche("/>") == 0) {
        // Self-closing: no content; the empty view at the text's start.
        return BrixSubString(m_pString, 0, 0);
    }
    const std::ptrdiff_t nLaenge = Laenge();
    const char* pText = Daten();

    // The start tag ends at the first '>' before the last byte (quotes are not looked at).
    std::ptrdiff_t i = 0;
    while (i < nLaenge - 1 && pText[i] != '>') {
        ++i;
    }
    if (i >= nLaenge - 1) {
        return *this;
    }
    // The end tag starts at the last '<' behind it.
    std::ptrdiff_t j = nLaenge - 1;
    while (j > i && pText[j] != '<') {
        --j;
    }
    if (j == i) {
        return *this;
    }
    return Mitte(i + 1, j - (i + 1));
}

BrixSubString BrixSubString::TagName() const noexcept
{
    if (!HatDaten()) {
        return {};
    }
    const std::ptrdiff_t nLaenge = Laenge();
    if (nLaenge == 0 || ZeichenAn(0) != '<') {
        return BrixSubString(m_pString, 0, 0);
    }
    const char* pText = Daten();
    std::ptrdiff_t n = 0;
    while (1 + n < nLaenge && IstNamensZeichen(pText[1 + n])) {
        ++n;
    }
    return Mitte(1, n);
}
