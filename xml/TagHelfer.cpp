// Helpers on element blocks: content, tag name, and the first block of several names.
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/XmlFehler.h"

namespace {

// Units of a name for TagName: ASCII letters and digits only; every other unit ends it.
bool IstNamensZeichen(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
}

}  // namespace

BrixSubString BrixSubString::FindeErstenTagBlock(const CBrixArray<BrixSubString>& names, int& nPos, int& nNext,
                                                 int& nIndex, int& nError, int* pnStartTagLen,
                                                 int* pnEndTagOffset) const
{
    if (!HatDaten()) {
        nError = XML_KEINE_DATEN;
        return {};
    }
    int nBesterStart = -1;
    int nBesterNext = -1;
    int nBesteStartTagLen = -1;
    int nBesterEndTagOffset = -1;

    for (int i = 0; i < names.m_nCount; ++i) {
        const BrixSubString* pName = names.Element(i);
        int nStart = nPos;
        int nWeiter = -1;
        int nStartTagLen = -1;
        int nEndTagOffset = -1;
        const BrixSubString block = FindeTagBlock(pName != nullptr ? *pName : BrixSubString(), nStart, nWeiter,
                                                  nError, &nStartTagLen, &nEndTagOffset);
        if (nError != XML_OK && nError != XML_TAG_NICHT_GEFUNDEN && nError != XML_KEINE_DATEN) {
            // A fault ends the call; later names are not searched.
            return block;
        }
        // Only a strictly earlier start wins, so on a tie the name listed first keeps it.
        if (block.m_nEnd != block.m_nStart && (nBesterStart < 0 || nStart < nBesterStart)) {
            nBesterStart = nStart;
            nBesterNext = nWeiter;
            nBesteStartTagLen = nStartTagLen;
            nBesterEndTagOffset = nEndTagOffset;
            nIndex = i;
        }
    }

    nPos = nBesterStart;
    nNext = nBesterNext;
    if (nBesterStart < 0) {
        nError = XML_TAG_NICHT_GEFUNDEN;
        return BrixSubString(m_pString, 0, 0);
    }
    if (pnStartTagLen != nullptr) {
        *pnStartTagLen = nBesteStartTagLen;
    }
    if (pnEndTagOffset != nullptr) {
        *pnEndTagOffset = nBesterEndTagOffset;
    }
    nError = XML_OK;
    return Mitte(nBesterStart, nBesterNext - nBesterStart);
}

BrixSubString BrixSubString::Inhalt() const noexcept
{
    if (!HatDaten()) {
        return {};
    }
    if (Rechts(2).Vergleiche(u"/>") == 0) {
        // Self-closing: no content; the empty view at the text's start.
        return BrixSubString(m_pString, 0, 0);
    }
    const int nLaenge = Laenge();
    const char16_t* pText = Daten();

    // The start tag ends at the first '>' before the last unit (quotes are not looked at).
    int i = 0;
    while (i < nLaenge - 1 && pText[i] != u'>') {
        ++i;
    }
    if (i >= nLaenge - 1) {
        return *this;
    }
    // The end tag starts at the last '<' behind it.
    int j = nLaenge - 1;
    while (j > i && pText[j] != u'<') {
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
    const int nLaenge = Laenge();
    if (nLaenge == 0 || ZeichenAn(0) != u'<') {
        return BrixSubString(m_pString, 0, 0);
    }
    const char16_t* pText = Daten();
    int n = 0;
    while (1 + n < nLaenge && IstNamensZeichen(pText[1 + n])) {
        ++n;
    }
    return Mitte(1, n);
}
