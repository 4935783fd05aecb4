// Fuzz target: the moves between the outside and the product's two forms of a text
// (platform/Textform.h), against the test codec (support/SchmalCodec.h), which is also checked:
// - the bytes as a UTF-16LE file (odd length allowed): held form and output are what this side
//   writes for the units (the odd byte kept as F8 8x xx, and coming out as itself at the end);
//   output converted piece by piece, holding back a high surrogate at a piece's end, is the
//   whole output; written back as UTF-16LE (-i) it is the bytes again, unit for unit;
// - the bytes as a narrow argument: the held form is the encoding of the units a strict decoder
//   makes of them, and comes out as the bytes again;
// - the step of ZeichenNachUnits in both forms: the start of the character that holds the unit
//   so many units on (or the last unit), never the second unit of a pair, counted as the test
//   codec counts;
// - the narrow test codec: decoding any bytes and encoding the units again gives the same bytes;
//   encoding any units gives bytes that survive a further decode and encode unchanged.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzHilfe.h"
#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/SchmalCodec.h"

namespace {

// The output of the held text, converted in pieces that end at the character starts aSchnitte
// (ascending), each holding back a high surrogate at its end for the next.
std::string StueckweiseAusgabe(const std::string& intern, const std::vector<std::size_t>& aSchnitte)
{
    std::string aus;
    std::size_t nVon = 0;
    auto wandle = [&](std::size_t nBis) {
        std::string teil(nBis - nVon, '\0');
        teil.resize(InternZuAusgabe(teil.data(), intern.data() + nVon, nBis - nVon));
        aus += teil;
        nVon = nBis;
    };
    for (const std::size_t nSchnitt : aSchnitte) {
        if (nSchnitt <= nVon) continue;
        wandle(nSchnitt - HohesEnde(intern.data() + nVon, nSchnitt - nVon));
    }
    wandle(intern.size());
    return aus;
}

// ZeichenNachUnits on text (bytes of the form eForm, whose units are einheiten and whose units
// start where aByte says) from a few characters on and for a few counts, against the count of
// this side.
void PruefeSchritte(std::string_view text, const std::u16string& einheiten, const std::vector<std::ptrdiff_t>& aByte,
                    TextForm eForm, std::uint32_t nWurf)
{
    const auto L = static_cast<std::ptrdiff_t>(einheiten.size());
    if (L == 0) return;
    const std::ptrdiff_t aZahlen[] = {0, 1, 2, 99, 100, 101, L, static_cast<std::ptrdiff_t>(nWurf % 300)};
    const std::ptrdiff_t nSchritt = std::max<std::ptrdiff_t>(1, L / 12);
    for (std::ptrdiff_t u = static_cast<std::ptrdiff_t>(nWurf % 7) % L; u < L; u += nSchritt) {
        const std::ptrdiff_t nAnfang = aByte[static_cast<std::size_t>(u)] >= 0 ? u : u - 1;
        const std::ptrdiff_t p = aByte[static_cast<std::size_t>(nAnfang)];
        for (const std::ptrdiff_t nUnits : aZahlen) {
            std::ptrdiff_t t = std::min(nAnfang + nUnits, L - 1);
            if (aByte[static_cast<std::size_t>(t)] < 0) --t;  // the pair's start
            const std::ptrdiff_t r =
                ZeichenNachUnits(text.data(), static_cast<std::ptrdiff_t>(text.size()), p, nUnits, eForm);
            FUZZ_PRUEFE(r == aByte[static_cast<std::size_t>(t)]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    const std::string_view bytes(reinterpret_cast<const char*>(pDaten), nGroesse);
    std::uint32_t nWurf = 2166136261u;
    for (const std::uint8_t b : std::string_view(bytes).substr(0, 16)) nWurf = (nWurf ^ b) * 16777619u;

    // --- The bytes as a UTF-16LE file ---
    std::u16string einheiten;
    for (std::size_t i = 0; i + 1 < nGroesse; i += 2)
        einheiten.push_back(static_cast<char16_t>(pDaten[i] | (pDaten[i + 1] << 8)));
    const bool bUngerade = nGroesse % 2 == 1;
    const std::size_t nLaenge = Utf16InternLaenge(pDaten, nGroesse);
    FUZZ_PRUEFE(nLaenge <= 3 * (nGroesse / 2) + (bUngerade ? 3 : 0));
    std::string intern(nLaenge, '\0');
    FUZZ_PRUEFE(Utf16ZuIntern(intern.data(), pDaten, nGroesse) == nLaenge);
    std::string erwartet = InternAus(einheiten);
    if (bUngerade) {
        const unsigned b = pDaten[nGroesse - 1];
        erwartet += static_cast<char>(0xF8);
        erwartet += static_cast<char>(0x80 | (b >> 6));
        erwartet += static_cast<char>(0x80 | (b & 0x3F));
    }
    FUZZ_PRUEFE(intern == erwartet);
    FUZZ_PRUEFE(UnitsAusIntern(intern) == einheiten);
    FUZZ_PRUEFE(Utf16Von(intern) == bytes);

    std::string ausgabe(intern.size(), '\0');
    ausgabe.resize(InternZuAusgabe(ausgabe.data(), intern.data(), intern.size()));
    FUZZ_PRUEFE(ausgabe == SchmalAus(einheiten) + (bUngerade ? std::string(1, bytes.back()) : std::string()));

    // Pieces that end at a few character starts, high surrogates among them.
    const std::vector<std::ptrdiff_t> aByte = ByteVersaetze(einheiten, TextForm::AusUtf16);
    std::vector<std::size_t> aSchnitte;
    for (std::size_t u = nWurf % 5; u < einheiten.size(); u += 1 + (nWurf >> (u % 24)) % 9)
        if (aByte[u] >= 0) aSchnitte.push_back(static_cast<std::size_t>(aByte[u]));
    FUZZ_PRUEFE(StueckweiseAusgabe(intern, aSchnitte) == ausgabe);

    PruefeSchritte(intern, einheiten, aByte, TextForm::AusUtf16, nWurf);

    // A held text as the filters leave it: cut (between the two units of a pair, where there is
    // one) and put together again, so that two surrogates stand side by side in their 3-byte
    // forms. It comes out as the units do, also when converted in the two pieces.
    std::size_t k = nWurf % (einheiten.size() + 1);
    for (std::size_t j = k; j < einheiten.size(); ++j) {
        if (aByte[j] < 0) {
            k = j;
            break;
        }
    }
    const std::string vorn = InternAus(std::u16string_view(einheiten).substr(0, k));
    const std::string zusammen = vorn + InternAus(std::u16string_view(einheiten).substr(k));
    FUZZ_PRUEFE(UnitsAusIntern(zusammen) == einheiten);
    std::string zusammenAus(zusammen.size(), '\0');
    zusammenAus.resize(InternZuAusgabe(zusammenAus.data(), zusammen.data(), zusammen.size()));
    FUZZ_PRUEFE(zusammenAus == SchmalAus(einheiten));
    FUZZ_PRUEFE(StueckweiseAusgabe(zusammen, {vorn.size()}) == zusammenAus);
    FUZZ_PRUEFE(Utf16Von(zusammen) == Utf16Datei(einheiten).substr(2));  // the halves as two units

    // --- The bytes as narrow text, and as an argument for a document read as UTF-16 ---
    const std::u16string dekodiert = UnitsAus(bytes);
    const std::vector<std::ptrdiff_t> aSchmalByte = ByteVersaetze(dekodiert, TextForm::Schmal);
    FUZZ_PRUEFE(aSchmalByte.back() == static_cast<std::ptrdiff_t>(nGroesse));
    PruefeSchritte(bytes, dekodiert, aSchmalByte, TextForm::Schmal, nWurf);

    const std::string wert = SchmalZuIntern(bytes);
    FUZZ_PRUEFE(wert == InternAus(dekodiert));
    std::string wertAus(wert.size(), '\0');
    wertAus.resize(InternZuAusgabe(wertAus.data(), wert.data(), wert.size()));
    FUZZ_PRUEFE(wertAus == bytes);
    FUZZ_PRUEFE(Utf16Von(wert) == Utf16Datei(dekodiert).substr(2));

    // --- The narrow test codec ---
    // Bytes -> units -> bytes.
    const std::int64_t nEinheiten = SchmalZaehle(pDaten, nGroesse);
    FUZZ_PRUEFE(nEinheiten >= 0 && static_cast<std::size_t>(nEinheiten) <= nGroesse);
    FUZZ_PRUEFE(dekodiert.size() == static_cast<std::size_t>(nEinheiten));
    FUZZ_PRUEFE(Utf16SchmalLaenge(dekodiert.data(), dekodiert.size()) == nGroesse);
    FUZZ_PRUEFE(SchmalAus(dekodiert) == bytes);

    // Units (taken raw from the bytes) -> bytes -> units -> bytes: escaped bytes may join into
    // valid sequences on the way back, so the units can differ; the bytes must not.
    const std::string roh = SchmalAus(einheiten);
    FUZZ_PRUEFE(roh.size() <= 3 * einheiten.size());
    FUZZ_PRUEFE(SchmalAus(UnitsAus(roh)) == roh);
    return 0;
}
