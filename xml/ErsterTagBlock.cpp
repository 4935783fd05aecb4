#include "xml/ErsterTagBlock.h"

#include "xml/XmlFehler.h"

ErsterTagBlock::ErsterTagBlock(const CBrixArray<BrixSubString>& names)
    : m_names(names), m_aSuchen(static_cast<std::size_t>(names.m_nCount > 0 ? names.m_nCount : 0))
{}

void ErsterTagBlock::Neu() noexcept
{
    for (Suche& suche : m_aSuchen) suche.bGemacht = false;
}

TagBlockFund ErsterTagBlock::Finde(BrixAbtaster& abtaster, const BrixSubString& text, std::ptrdiff_t nAb, int& nIndex)
{
    if (!text.HatDaten()) return TagBlockFund{{}, nAb, -1, XML_KEINE_DATEN};
    const Suche* pBeste = nullptr;
    for (std::size_t i = 0; i < m_aSuchen.size(); ++i) {
        Suche& suche = m_aSuchen[i];
        if (!suche.bGemacht || (suche.fund.nError == XML_OK && suche.fund.nPos < nAb)) {
            const BrixSubString* pName = m_names.Element(static_cast<int>(i));
            const BrixSubString leer;
            suche.fund = abtaster.FindeTagBlock(text, pName != nullptr ? pName : &leer, nAb);
            suche.bGemacht = true;
        }
        const int nError = suche.fund.nError;
        // A fault ends the call; later names are not searched.
        if (nError != XML_OK && nError != XML_TAG_NICHT_GEFUNDEN && nError != XML_KEINE_DATEN) return suche.fund;
        // Only a strictly earlier start wins, so on a tie the name listed first keeps it.
        if (nError == XML_OK && (pBeste == nullptr || suche.fund.nPos < pBeste->fund.nPos)) {
            pBeste = &suche;
            nIndex = static_cast<int>(i);
        }
    }
    if (pBeste == nullptr) return TagBlockFund{BrixSubString(text.m_pString, 0, 0), -1, -1, XML_TAG_NICHT_GEFUNDEN};
    return pBeste->fund;
}
