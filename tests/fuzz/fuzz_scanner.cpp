// Fuzz target: the tag-block scanner. Walks a random sub-view of a random text (narrow bytes, or
// with steering bit 1 the bytes of a UTF-16LE file) with both block finders, a block seeker and
// the first-of-several search, and calls the end-tag search from a few positions, checking the
// outcome rules that every caller relies on: positions inside the view, a fault's next position
// behind its start, views cut from the searched view, outputs only on success. Inputs with at most
// 1,000 '<' must also give exactly the reference model's outputs on the units of the text, as
// byte positions.
#include <algorithm>
#include <array>

#include "FuzzHilfe.h"
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "support/Referenz.h"
#include "xml/BlockSucher.h"
#include "xml/XmlFehler.h"

namespace {

using Pos = std::ptrdiff_t;
constexpr Pos kUnberuehrt = 7777;

bool IstTeilvon(const BrixSubString& teil, const BrixSubString& ganz)
{
    return !teil.HatDaten() ||
           (teil.m_pString == ganz.m_pString && teil.m_nStart >= ganz.m_nStart && teil.m_nEnd <= ganz.m_nEnd);
}

// Everything a block search reports, the returned view as buffer indices.
struct Ausgabe {
    Pos nPos, nNext;
    int nError, nIndex;
    Pos nLen, nOff;
    bool bDaten;
    Pos nStart, nEnd;
    bool operator==(const Ausgabe&) const = default;
};

Ausgabe Von(const BrixSubString& block, Pos nPos, Pos nNext, int nError, int nIndex, Pos nLen, Pos nOff)
{
    return Ausgabe{nPos, nNext, nError, nIndex, nLen, nOff, block.HatDaten(), block.m_nStart, block.m_nEnd};
}

// The reference's outputs (units, view r) as the product must report them (bytes).
Ausgabe InBytes(const FuzzDokument& dok, const referenz::Sicht& r, const referenz::Sicht& block, int nPos,
                int nNext, int nError, int nIndex, int nLen, int nOff)
{
    auto laenge = [&](int n) {
        return n < 0 || n == kUnberuehrt ? Pos{n} : dok.Relativ(r, nPos + n) - dok.Relativ(r, nPos);
    };
    Ausgabe a{dok.Relativ(r, nPos), dok.Relativ(r, nNext), nError, nIndex, laenge(nLen), laenge(nOff),
              block.HatDaten(), block.nStart, block.nEnd};
    if (block.HatDaten()) {
        a.nStart = dok.Absolut(block.nStart);
        a.nEnd = dok.Absolut(block.nEnd);
    }
    return a;
}

// A view the product returned is the one the reference returned (in units of the document).
bool GleicheSicht(const FuzzDokument& dok, const BrixSubString& ist, const referenz::Sicht& soll)
{
    if (ist.HatDaten() != soll.HatDaten()) return false;
    return !ist.HatDaten() || (ist.m_nStart == dok.Absolut(soll.nStart) && ist.m_nEnd == dok.Absolut(soll.nEnd));
}

// Checks one block-finder result; returns false when the walk has to end.
bool PruefeBlock(const BrixSubString& sicht, const BrixSubString& block, Pos nVorher, Pos nPos, Pos nNext, int nError,
                 Pos nStartLen, Pos nEndOff)
{
    const Pos L = sicht.Laenge();
    FUZZ_PRUEFE(nError >= 0 && nError <= 13 && nError != XML_NICHT_GESCHLOSSEN);
    FUZZ_PRUEFE(block.Laenge() == 0 || IstTeilvon(block, sicht));
    if (nError == XML_TAG_NICHT_GEFUNDEN || nError == XML_KEINE_DATEN) {
        FUZZ_PRUEFE(nPos == -1 && nNext == -1);
        return false;
    }
    FUZZ_PRUEFE(nPos >= nVorher && nPos < L && sicht.ZeichenAn(nPos) == '<');
    FUZZ_PRUEFE(nNext > nPos && nNext <= L);
    if (nError == XML_OK) {
        FUZZ_PRUEFE(block.m_nStart == sicht.m_nStart + nPos && block.m_nEnd == sicht.m_nStart + nNext);
        FUZZ_PRUEFE(sicht.ZeichenAn(nNext - 1) == '>');
        FUZZ_PRUEFE((nStartLen == -1) == (nEndOff == -1));
        if (nStartLen != -1) {
            FUZZ_PRUEFE(nStartLen >= 2 && nEndOff >= nStartLen && nEndOff < nNext - nPos);
            FUZZ_PRUEFE(block.ZeichenAn(nStartLen - 1) == '>');
            FUZZ_PRUEFE(block.ZeichenAn(nEndOff) == '<' && block.ZeichenAn(nEndOff + 1) == '/');
        }
    } else {
        FUZZ_PRUEFE(nStartLen == kUnberuehrt && nEndOff == kUnberuehrt);  // left unchanged on failure
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
    const std::string_view namenBytes = leser.BisTrenner();
    const FuzzDokument dok = FuzzText(leser.RestBytes(), nSteuer & 1);
    const CString namen = FuzzWert(namenBytes, dok.Form());
    const std::u16string refNamen = UnitsAus(namenBytes);
    const bool bVergleiche = std::count(dok.einheiten.begin(), dok.einheiten.end(), u'<') <= 1000;

    // A sub-view that leaves some text outside on both sides (never inside a character): no
    // result may point there.
    const Pos L = dok.Einheiten();
    const Pos nStart = dok.Zeichenanfang(nVorn % (L + 1));
    const Pos nEnde = std::max(nStart, dok.Zeichenanfang(std::max<Pos>(L - nHinten % 8, 0)));
    const referenz::Sicht rsicht{&dok.einheiten, static_cast<int>(nStart), static_cast<int>(nEnde)};
    const BrixSubString sicht = dok.Sicht(rsicht);

    CBrixArray<BrixSubString> aNamen(0);
    BrixSubString(namen).Teile(',', aNamen, nullptr);
    const BrixSubString name = aNamen.m_nCount > 0 ? *aNamen.Element(0) : BrixSubString(namen);
    const std::vector<referenz::Sicht> aRefNamen = referenz::Teile(referenz::Ganz(refNamen), u',');
    const referenz::Sicht rname = !aRefNamen.empty() ? aRefNamen.front() : referenz::Ganz(refNamen);

    // Walks of one level with each finder, as the filters do; the reference walks alongside, and
    // a seeker that keeps its memory over all walks gives the plain finders' results.
    BrixBlockSucher sucher(nSteuer & 2 ? 0 : 8);
    for (int nArt = 0; nArt < 3; ++nArt) {
        Pos nPos = 0, nNext = 0;
        int nError = 0;
        int nRefPos = 0;
        for (Pos nSchritte = 0; nSchritte <= sicht.Laenge() + 1; ++nSchritte) {
            const Pos nVorher = nPos;
            nNext = -7;  // a mark: what a search leaves alone stays
            Pos nStartLen = kUnberuehrt, nEndOff = kUnberuehrt;
            int nIndex = -5;
            BrixSubString block;
            if (nArt == 0) {
                block = sicht.FindeNaechstenTagBlock(nPos, nNext, nError, &nStartLen, &nEndOff);
            } else if (nArt == 1) {
                block = sicht.FindeTagBlock(name, nPos, nNext, nError, &nStartLen, &nEndOff);
            } else {
                block = sicht.FindeErstenTagBlock(aNamen, nPos, nNext, nIndex, nError, &nStartLen, &nEndOff);
            }
            const Ausgabe ist = Von(block, nPos, nNext, nError, nIndex, nStartLen, nEndOff);
            if (nArt < 2) {
                Pos nSPos = nVorher, nSNext = 0, nSLen = kUnberuehrt, nSOff = kUnberuehrt;
                int nSError = 0;
                const BrixSubString s = Beantworte(sucher.FindeTagBlock(sicht, nArt == 1 ? &name : nullptr, nSPos),
                                                   nSPos, nSNext, nSError, &nSLen, &nSOff);
                FUZZ_PRUEFE(Von(s, nSPos, nSNext, nSError, nIndex, nSLen, nSOff) == ist);
            }
            referenz::Sicht rBlock;
            if (bVergleiche) {
                int p = nRefPos, n = -7, e = -7, i = -5, len = kUnberuehrt, off = kUnberuehrt;
                if (nArt == 0) {
                    rBlock = referenz::FindeNaechstenTagBlock(rsicht, p, n, e, &len, &off);
                } else if (nArt == 1) {
                    rBlock = referenz::FindeTagBlock(rsicht, rname, p, n, e, &len, &off);
                } else {
                    rBlock = referenz::FindeErstenTagBlock(rsicht, aRefNamen, p, n, i, e, &len, &off);
                }
                FUZZ_PRUEFE(ist == InBytes(dok, rsicht, rBlock, p, n, e, i, len, off));
                nRefPos = n;
            }
            if (nArt == 2 && nError != XML_OK && nError != XML_TAG_NICHT_GEFUNDEN && nError != XML_KEINE_DATEN) {
                FUZZ_PRUEFE(nPos == nVorher);  // an early end leaves the position alone
                break;
            }
            if (nArt == 2 && nError == XML_OK) FUZZ_PRUEFE(nIndex >= 0 && nIndex < aNamen.m_nCount);
            if (!PruefeBlock(sicht, block, nVorher, nPos, nNext, nError, nStartLen, nEndOff)) break;
            if (nError == XML_OK && bVergleiche) {
                // The helpers on a block found, as the filters use them.
                FUZZ_PRUEFE(GleicheSicht(dok, block.Inhalt(), referenz::Inhalt(rBlock)));
                FUZZ_PRUEFE(GleicheSicht(dok, block.TagName(), referenz::TagName(rBlock)));
            }
            nPos = nNext;
        }
    }

    // The end-tag search from a few positions.
    for (int i = 0; i < 4 && sicht.Laenge() > 0; ++i) {
        const Pos nRefFrom =
            dok.Zeichenanfang(nStart + (nSteuer * 31 + i * 97) % (rsicht.Laenge() + 1)) - nStart;
        const Pos nFrom = dok.Relativ(rsicht, nRefFrom);
        int nError = 0;
        Pos nEndPos = -1;
        const Pos r = sicht.FindeEndTag(name, nFrom, nError, &nEndPos);
        FUZZ_PRUEFE(nError >= 0 && nError <= 12 && nError != XML_NICHT_GESCHLOSSEN);
        if (nError == XML_OK) {
            FUZZ_PRUEFE(r > nFrom && r <= sicht.Laenge() && sicht.ZeichenAn(r - 1) == '>');
            FUZZ_PRUEFE(nEndPos >= nFrom && nEndPos < r && sicht.ZeichenAn(nEndPos) == '<');
        } else if (nError == XML_UNERWARTETES_ENDE) {
            FUZZ_PRUEFE(r == -1);
        } else {
            FUZZ_PRUEFE(r >= nFrom && r < sicht.Laenge() && sicht.ZeichenAn(r) == '<');
        }
        if (bVergleiche) {
            int nRefError = 0, nRefEndPos = -1;
            const int nRef = referenz::FindeEndTag(rsicht, rname, static_cast<int>(nRefFrom), nRefError, &nRefEndPos);
            FUZZ_PRUEFE(nError == nRefError && r == dok.Relativ(rsicht, nRef) &&
                        nEndPos == dok.Relativ(rsicht, nRefEndPos));
        }
    }

    // The helpers never leave the block they are asked about.
    const BrixSubString inhalt = sicht.Inhalt();
    const BrixSubString tagName = sicht.TagName();
    FUZZ_PRUEFE(inhalt.Laenge() == 0 || IstTeilvon(inhalt, sicht));
    FUZZ_PRUEFE(tagName.Laenge() == 0 || IstTeilvon(tagName, sicht));
    return 0;
}
