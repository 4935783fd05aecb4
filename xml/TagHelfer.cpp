// Helpers on element blocks: content, tag name, and the first block of several names.
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/ErsterTagBlock.h"
#include "xml/XmlFehler.h"

namespace {

// Bytes of a name for TagName: ASCII letters and digits only; every other byte ends it.
bool IstNamensZeichen(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

}  // namespace

ErsterTagBlock::ErsterTagBlock(const CBrixArray<BrixSubString>& names)
    : m_names(names), m_aSuchen(static_cast<std::size_t>(names.m_nCount > 0 ? names.m_nCount : 0))
{}

void ErsterTagBlock::Neu() noexcept
{
    for (Suche& suche : m_aSuchen) suche.bGemacht = false;
}

BrixSubString ErsterTagBlock::Finde(BrixAbtaster& abtaster, const BrixSubString& text, std::ptrdiff_t& nPos,
                                    std::ptrdiff_t& nNext, int& nIndex, int& nError, std::ptrdiff_t* pnStartTagLen,
                                    std::ptrdiff_t* pnEndTagOffset)
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

BrixSubString BrixSubString::FindeErstenTagBlock(const CBrixArray<BrixSubString>& names, std::ptrdiff_t& nPos,
                                                 std::ptrdiff_t& nNext, int& nIndex, int& nError,
                                                 std::ptrdiff_t* pnStartTagLen, std::ptrdiff_t* pnEndTagOffset) const
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
