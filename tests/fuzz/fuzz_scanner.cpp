// Fuzz target: the tag-block scanner. Walks a random sub-view of a random text with both block
// finders and the first-of-several search, and calls the end-tag search from random positions,
// checking the outcome rules that every caller relies on: positions inside the view, a fault's
// next position behind its start, views cut from the searched view, outputs only on success.
#include "FuzzHilfe.h"
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/XmlFehler.h"

namespace {

bool IstTeilvon(const BrixSubString& teil, const BrixSubString& ganz)
{
    return !teil.HatDaten() ||
           (teil.m_pString == ganz.m_pString && teil.m_nStart >= ganz.m_nStart && teil.m_nEnd <= ganz.m_nEnd);
}

// Checks one block-finder result; returns false when the walk has to end.
bool PruefeBlock(const BrixSubString& sicht, const BrixSubString& block, int nVorher, int nPos, int nNext,
                 int nError, int nStartLen, int nEndOff)
{
    const int L = sicht.Laenge();
    FUZZ_PRUEFE(nError >= 0 && nError <= 13 && nError != XML_NICHT_GESCHLOSSEN);
    FUZZ_PRUEFE(block.Laenge() == 0 || IstTeilvon(block, sicht));
    if (nError == XML_TAG_NICHT_GEFUNDEN || nError == XML_KEINE_DATEN) {
        FUZZ_PRUEFE(nPos == -1 && nNext == -1);
        return false;
    }
    FUZZ_PRUEFE(nPos >= nVorher && nPos < L && sicht.ZeichenAn(nPos) == u'<');
    FUZZ_PRUEFE(nNext > nPos && nNext <= L);
    if (nError == XML_OK) {
        FUZZ_PRUEFE(block.m_nStart == sicht.m_nStart + nPos && block.m_nEnd == sicht.m_nStart + nNext);
        FUZZ_PRUEFE(sicht.ZeichenAn(nNext - 1) == u'>');
        FUZZ_PRUEFE((nStartLen == -1) == (nEndOff == -1));
        if (nStartLen != -1) {
            FUZZ_PRUEFE(nStartLen >= 2 && nEndOff >= nStartLen && nEndOff < nNext - nPos);
            FUZZ_PRUEFE(block.ZeichenAn(nStartLen - 1) == u'>');
            FUZZ_PRUEFE(block.ZeichenAn(nEndOff) == u'<' && block.ZeichenAn(nEndOff + 1) == u'/');
        }
    } else {
        FUZZ_PRUEFE(nStartLen == 7777 && nEndOff == 7777);  // left unchanged on failure
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    FuzzLeser leser(pDaten, nGroesse);
    const std::uint8_t nSteuer = leser.Byte();
    const std::uint8_t nVorn = leser.Byte();
    const std::uint8_t nHinten = leser.Byte();
    const CString namen = CString::AusSchmal(leser.BisTrenner());
    const CString text = FuzzText(leser.RestBytes(), nSteuer & 1);

    // A sub-view that leaves some text outside on both sides: no result may point there.
    const BrixSubString ganz(text);
    const int nStart = ganz.Laenge() ? nVorn % (ganz.Laenge() + 1) : 0;
    const BrixSubString sicht = ganz.Mitte(nStart, ganz.Laenge() - nStart - nHinten % 8);

    CBrixArray<BrixSubString> aNamen(0);
    BrixSubString(namen).Teile(u',', aNamen, nullptr);
    const BrixSubString name = aNamen.m_nCount > 0 ? *aNamen.Element(0) : BrixSubString(namen);

    // Walks of one level with each finder, as the filters do.
    for (int nArt = 0; nArt < 3; ++nArt) {
        int nPos = 0, nNext = 0, nError = 0;
        for (int nSchritte = 0; nSchritte <= sicht.Laenge() + 1; ++nSchritte) {
            const int nVorher = nPos;
            int nStartLen = 7777, nEndOff = 7777, nIndex = -5;
            BrixSubString block;
            if (nArt == 0)
                block = sicht.FindeNaechstenTagBlock(nPos, nNext, nError, &nStartLen, &nEndOff);
            else if (nArt == 1)
                block = sicht.FindeTagBlock(name, nPos, nNext, nError, &nStartLen, &nEndOff);
            else
                block = sicht.FindeErstenTagBlock(aNamen, nPos, nNext, nIndex, nError, &nStartLen, &nEndOff);
            if (nArt == 2 && nError != XML_OK && nError != XML_TAG_NICHT_GEFUNDEN && nError != XML_KEINE_DATEN) {
                FUZZ_PRUEFE(nPos == nVorher);  // an early end leaves the position alone
                break;
            }
            if (nArt == 2 && nError == XML_OK)
                FUZZ_PRUEFE(nIndex >= 0 && nIndex < aNamen.m_nCount);
            if (!PruefeBlock(sicht, block, nVorher, nPos, nNext, nError, nStartLen, nEndOff)) break;
            nPos = nNext;
        }
    }

    // The end-tag search from a few positions.
    for (int i = 0; i < 4 && sicht.Laenge() > 0; ++i) {
        const int nFrom = (nSteuer * 31 + i * 97) % (sicht.Laenge() + 1);
        int nError = 0, nEndPos = -1;
        const int r = sicht.FindeEndTag(name, nFrom, nError, &nEndPos);
        FUZZ_PRUEFE(nError >= 0 && nError <= 12 && nError != XML_NICHT_GESCHLOSSEN);
        if (nError == XML_OK) {
            FUZZ_PRUEFE(r > nFrom && r <= sicht.Laenge() && sicht.ZeichenAn(r - 1) == u'>');
            FUZZ_PRUEFE(nEndPos >= nFrom && nEndPos < r && sicht.ZeichenAn(nEndPos) == u'<');
        } else if (nError == XML_UNERWARTETES_ENDE) {
            FUZZ_PRUEFE(r == -1);
        } else {
            FUZZ_PRUEFE(r >= nFrom && r < sicht.Laenge() && sicht.ZeichenAn(r) == u'<');
        }
    }

    // The helpers never leave the block they are asked about.
    const BrixSubString inhalt = sicht.Inhalt();
    const BrixSubString tagName = sicht.TagName();
    FUZZ_PRUEFE(inhalt.Laenge() == 0 || IstTeilvon(inhalt, sicht));
    FUZZ_PRUEFE(tagName.Laenge() == 0 || IstTeilvon(tagName, sicht));
    return 0;
}
