// Fuzz target for one filter, chosen at compile time with BRIX_FUZZ_FILTER:
// 1 -c, 2 -t, 3 -d, 4 -s (listing), 5 -S, 6 -R. The text is narrow bytes or (steering bit 1) the
// bytes of a UTF-16LE file. Checks what holds for every input: stripping never lengthens the
// text, deleting and stepping over keep pieces of the input in order, the listing is exactly as
// long as measured, and emptying content keeps input order. Inputs with at most 1,000 '<' (so
// the recursion of the plain reference model stays shallow) must give exactly the reference
// model's result on the units of the text, as output bytes (the odd byte of a UTF-16 file behind
// the rest where the filter copies the end of the text).
//
// Steering bit 2: the piece mode. A further part (to the next 0xFF) gives the lengths of the
// pieces in which the document then comes, as a run reads a stream, to a chain of this one filter:
// each byte one piece of that many bytes (0: a turn with nothing new), taken in turn and over again;
// with no such byte, one byte at a time. The chain must write exactly what the filter writes for
// the whole document.
#include <algorithm>

#include "FuzzHilfe.h"
#include "app/Kette.h"
#include "brix/BrixSubString.h"
#include "support/Referenz.h"
#include "xml/Filter.h"

#ifndef BRIX_FUZZ_FILTER
#error "BRIX_FUZZ_FILTER must name the filter (1 to 6)"
#endif

namespace {

// What a run writes for text, which comes to the chain of schritt in pieces of the lengths given
// by the bytes of schnitte in turn (see above).
CString InStuecken(const CString& text, const Schritt& schritt, std::string_view schnitte)
{
    if (std::count(schnitte.begin(), schnitte.end(), '\0') == static_cast<std::ptrdiff_t>(schnitte.size()))
        schnitte = "\1";
    CString eingang, out;
    eingang.SetzeForm(text.Form());
    out.SetzeForm(text.Form());
    StringZiel ziel(out);
    {
        Kette kette({schritt}, eingang, ziel);
        std::size_t nAktuell = 0;
        for (std::ptrdiff_t p = 0, i = 0; p < text.GetLength(); ++i) {
            const std::ptrdiff_t nStueck = std::min<std::ptrdiff_t>(
                text.GetLength() - p, static_cast<unsigned char>(schnitte[i % schnitte.size()]));
            const std::ptrdiff_t n = eingang.GetLength();
            std::copy_n(text.GetString() + p, nStueck, eingang.GetBufferSetLength(n + nStueck) + n);
            p += nStueck;
            kette.Weiter(false, nAktuell);
        }
        kette.Weiter(true, nAktuell);
    }
    ziel.Fertig();
    return out;
}

constexpr OptionsArt kArt[] = {OptionsArt::KommentareEntfernen, OptionsArt::TagsEntfernen,
                               OptionsArt::LeereLoeschen,       OptionsArt::Zeigen,
                               OptionsArt::Ueberspringen,       OptionsArt::Ersetzen};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    FuzzLeser leser(pDaten, nGroesse);
    const std::uint8_t nSteuer = leser.Byte();
    const std::string_view nameBytes = leser.BisTrenner();
    const std::string_view ersatzBytes = leser.BisTrenner();
    const bool bStuecke = nSteuer & 4;
    const std::string_view schnitte = bStuecke ? leser.BisTrenner() : std::string_view();
    const FuzzDokument dok = FuzzText(leser.RestBytes(), nSteuer & 1);
    const CString name = FuzzWert(nameBytes, dok.Form());
    const CString ersatz = FuzzWert(ersatzBytes, dok.Form());
    const BrixSubString sicht(dok.text);
    const BrixSubString nameSicht(name);
    const std::string_view ein = dok.text.Sicht();
    CString out("alt");  // filters that empty their output must not let this show through
    CString ergebnis;    // the result of -c and -t

    const std::u16string refName = UnitsAus(nameBytes), refErsatz = UnitsAus(ersatzBytes);
    const bool bVergleiche = std::count(dok.einheiten.begin(), dok.einheiten.end(), u'<') <= 1000;
    const referenz::Sicht rText = referenz::Ganz(dok.einheiten), rName = referenz::Ganz(refName);

    switch (BRIX_FUZZ_FILTER) {
    case 1: {
        ergebnis = sicht.EntferneKommentare();
        FUZZ_PRUEFE(!bVergleiche ||
                    GleicheAusgabe(dok, ergebnis.Sicht(), referenz::EntferneKommentare(rText), true));
        FUZZ_PRUEFE(ergebnis.GetLength() <= dok.text.GetLength());
        FUZZ_PRUEFE(IstTeilfolge(ergebnis.Sicht(), ein));
        sicht.EntferneKommentare(out);  // the appending form adds to what is there
        FUZZ_PRUEFE(out.Sicht().substr(0, 3) == "alt" && out.Sicht().substr(3) == ergebnis.Sicht());
        break;
    }
    case 2: {
        ergebnis = sicht.EntferneTags();
        FUZZ_PRUEFE(!bVergleiche || GleicheAusgabe(dok, ergebnis.Sicht(), referenz::EntferneTags(rText), true));
        FUZZ_PRUEFE(ergebnis.GetLength() <= dok.text.GetLength());
        FUZZ_PRUEFE(IstTeilfolge(ergebnis.Sicht(), ein));
        break;
    }
    case 3:
        LoescheLeereTags(sicht, out);
        FUZZ_PRUEFE(!bVergleiche || GleicheAusgabe(dok, out.Sicht(), referenz::LoescheLeereTags(rText), true));
        FUZZ_PRUEFE(IstTeilfolge(out.Sicht(), ein));
        break;
    case 4:
        ZeigeTagBlocks(sicht, nameSicht, out);
        // The listing holds blocks only, never the odd byte.
        FUZZ_PRUEFE(!bVergleiche || GleicheAusgabe(dok, out.Sicht(), referenz::ZeigeTagBlocks(rText, rName), false));
        FUZZ_PRUEFE(out.GetLength() == LaengeTagBlockListe(sicht, nameSicht));
        break;
    case 5:
        UeberspringeTagBlocks(sicht, nameSicht, out);
        FUZZ_PRUEFE(!bVergleiche ||
                    GleicheAusgabe(dok, out.Sicht(), referenz::UeberspringeTagBlocks(rText, rName), true));
        FUZZ_PRUEFE(IstTeilfolge(out.Sicht(), ein));
        break;
    case 6:
        if (nSteuer & 2) {
            ErsetzeTagInhalt(sicht, nameSicht, out, BrixSubString(ersatz));
            FUZZ_PRUEFE(!bVergleiche ||
                        GleicheAusgabe(dok, out.Sicht(),
                                       referenz::ErsetzeTagInhalt(rText, rName, referenz::Ganz(refErsatz)), true));
        } else {
            ErsetzeTagInhalt(sicht, nameSicht, out, BrixSubString());
            FUZZ_PRUEFE(!bVergleiche ||
                        GleicheAusgabe(dok, out.Sicht(), referenz::ErsetzeTagInhalt(rText, rName, referenz::Sicht()),
                                       true));
            FUZZ_PRUEFE(IstTeilfolge(out.Sicht(), ein));  // only content goes
        }
        break;
    }
    if (bStuecke) {
        // The values as the command line gives them: the chain converts them itself.
        const CString nameSchmal{std::string(nameBytes)}, ersatzSchmal{std::string(ersatzBytes)};
        const Schritt schritt{kArt[BRIX_FUZZ_FILTER - 1], BrixSubString(nameSchmal),
                              (nSteuer & 2) ? BrixSubString(ersatzSchmal) : BrixSubString(), 0};
        FUZZ_PRUEFE(InStuecken(dok.text, schritt, schnitte).Sicht() ==
                    (BRIX_FUZZ_FILTER <= 2 ? ergebnis.Sicht() : out.Sicht()));
    }
    return 0;
}
