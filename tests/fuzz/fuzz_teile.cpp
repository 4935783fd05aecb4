// Fuzz target: splitting and bracket matching, on narrow bytes or (steering bit 1) a document read
// as UTF-16. Fields lie inside the view, in order, and the splitting ends; a matched closing
// bracket is a closer of the right kind behind the opener.
#include "FuzzHilfe.h"
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    FuzzLeser leser(pDaten, nGroesse);
    const std::uint8_t nSteuer = leser.Byte();
    const std::uint8_t nPosByte = leser.Byte();
    const FuzzDokument dok = FuzzText(leser.RestBytes(), nSteuer & 1);
    const BrixSubString sicht = BrixSubString(dok.text).Mitte(1, dok.text.GetLength() - 2);
    static const char* const klammerSaetze[] = {nullptr, "()", "()[]{}<>", "<>"};
    const char* pKlammern = klammerSaetze[(nSteuer >> 1) & 3];
    const char chTrenner = (nSteuer & 0x10) ? ',' : '(';

    CBrixArray<BrixSubString> aFelder(0);
    sicht.Teile(chTrenner, aFelder, pKlammern);
    FUZZ_PRUEFE(aFelder.m_nCount <= sicht.Laenge() + 1);
    std::ptrdiff_t nEnde = sicht.m_nStart;
    for (int i = 0; i < aFelder.m_nCount; ++i) {
        const BrixSubString& feld = *aFelder.Element(i);
        if (!feld.HatDaten()) continue;
        FUZZ_PRUEFE(feld.m_nStart >= nEnde && feld.m_nEnd <= sicht.m_nEnd && feld.m_nStart <= feld.m_nEnd);
        nEnde = feld.m_nEnd;
    }

    const std::ptrdiff_t nPos = sicht.Laenge() ? nPosByte % sicht.Laenge() : 0;
    const bool bQuotes = nSteuer & 0x20;
    const char* pSatz = pKlammern ? pKlammern : "()[]{}<>";
    for (int nIndex = 0; pSatz[nIndex] != 0; nIndex += 2) {
        if (sicht.Laenge() == 0 || sicht.ZeichenAn(nPos) != pSatz[nIndex]) continue;
        const std::ptrdiff_t k = sicht.FindeSchliessendeKlammer(nPos, pKlammern, nIndex, bQuotes);
        FUZZ_PRUEFE(k == -1 || (k > nPos && k < sicht.Laenge() && sicht.ZeichenAn(k) == pSatz[nIndex + 1]));
    }
    return 0;
}
