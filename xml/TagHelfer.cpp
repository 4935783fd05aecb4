// Helpers on element blocks: content, tag name, and the first block of several names.
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/ErsterTagBlock.h"
#include "xml/XmlFehler.h"

namespace {

// Units of a name for TagName: ASCII letters and digits only; every other unit ends it.
bool IstNamensZeichen(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
}

}  // namespace

ErsterTagBlock::ErsterTagBlock(const CBrixArray<BrixSubString>& names)
    : m_names(names), m_aSuchen(static_cast<std::size_t>(names.m_nCount > 0 ? names.m_nCount : 0))
{
}

void ErsterTagBlock::Neu() noexcept
{
    for (Suche& suche : m_aSuchen) suche.bGemacht = false;
}

BrixSubString ErsterTagBlock::Finde(BrixAbtaster& abtaster, const BrixSubString& text, int& nPos, int& nNext,
                                    int& nIndex, int& nError, int* pnStartTagLen, int* pnEndTagOffset)
{
    if (!text.HatDaten()) {
        nError = XML_KEINE_DATEN;
        return {};
    }
    const Suche* pBeste = nullptr;
    for (std::size_t i = 0; i < m_aSuchen.size(); ++i) {
        Suche& suche = m_aSuchen[i];
        if (!suche.bGemacht || (suche.nError == XML_OK && suche.nPos < nPos)) {
            const BrixSubString* pName = m_names.Element(static_cast<int>(i));
            const BrixSubString leer;
            suche.nPos = nPos;
            suche.nStartTagLen = -1;
            suche.nEndTagOffset = -1;
            suche.block = abtaster.FindeTagBlock(text, pName != nullptr ? pName : &leer, suche.nPos, suche.nNext,
                                                 suche.nError, &suche.nStartTagLen, &suche.nEndTagOffset);
            suche.bGemacht = true;
        }
        if (suche.nError != XML_OK && suche.nError != XML_TAG_NICHT_GEFUNDEN && suche.nError != XML_KEINE_DATEN) {
            // A fault ends the call; later names are not searched.
            nError = suche.nError;
            return suche.block;
        }
        // Only a strictly earlier start wins, so on a tie the name listed first keeps it.
        if (suche.nError == XML_OK && (pBeste == nullptr || suche.nPos < pBeste->nPos)) {
            pBeste = &suche;
            nIndex = static_cast<int>(i);
        }
    }
    if (pBeste == nullptr) {
        nPos = -1;
        nNext = -1;
        nError = XML_TAG_NICHT_GEFUNDEN;
        return BrixSubString(text.m_pString, 0, 0);
    }
    nPos = pBeste->nPos;
    nNext = pBeste->nNext;
    if (pnStartTagLen != nullptr) *pnStartTagLen = pBeste->nStartTagLen;
    if (pnEndTagOffset != nullptr) *pnEndTagOffset = pBeste->nEndTagOffset;
    nError = XML_OK;
    return pBeste->block;
}

BrixSubString BrixSubString::FindeErstenTagBlock(const CBrixArray<BrixSubString>& names, int& nPos, int& nNext,
                                                 int& nIndex, int& nError, int* pnStartTagLen,
                                                 int* pnEndTagOffset) const
{
    BrixAbtaster abtaster;
    ErsterTagBlock erster(names);
    return erster.Finde(abtaster, *this, nPos, nNext, nIndex, nError, pnStartTagLen, pnEndTagOffset);
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
