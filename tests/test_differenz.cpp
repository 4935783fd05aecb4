// Product against the reference model on thousands of seeded random documents, broken ones
// included, and on hostile families of broken documents (see Feindfamilie): every filter with
// several name lists, chains of filters, the scanner's calls with all their outputs, the block
// seeker of -S and -R, and the listing's measure. A mismatch names the seed (and the family),
// the world, and shows the document.
//
// The reference model works on UTF-16 units; the product on bytes, in two worlds. Each document
// (units) goes through both:
// - narrow: the product gets the bytes the narrow encoder writes for the units, the reference
//   the units a strict decoder makes of those bytes;
// - UTF-16: the product gets the document as read from a UTF-16LE file (form AusUtf16), every
//   fourth one with an odd last byte, the reference the units themselves.
// Texts are compared as output bytes (the reference's units encoded, plus the odd byte where the
// text's end is copied), positions by the byte offsets of the reference's units.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "app/Kette.h"
#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "brix/TextZiel.h"
#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/Referenz.h"
#include "support/Zufallsdokument.h"
#include "xml/Abtaster.h"
#include "xml/BlockSucher.h"
#include "xml/Filter.h"

namespace {

namespace ref = referenz;
using namespace std::string_view_literals;
using Pos = std::ptrdiff_t;

constexpr std::uint32_t kDokumente = 2000;
// The scanner tests search from every '<' of a document, so they take fewer documents.
constexpr std::uint32_t kScannerDokumente = 500;
// Reporting stops after this many mismatches; one seed is enough to debug.
constexpr int kMaxMeldungen = 5;

// Optional outputs start with it, so "left unchanged" shows.
constexpr Pos kUnberuehrt = 1'000'000'007;
// A reference position that has no byte position: it lies inside a character.
constexpr Pos kImZeichen = -1'000'000'007;

// Depth, width and fault rate vary with the seed: clean documents walk far, broken ones reach
// the fault paths.
ZufallsOptionen OptionenFuer(std::uint32_t nSeed)
{
    static constexpr int kFehler[] = {0, 0, 3, 15, 60, 300};
    ZufallsOptionen optionen;
    optionen.nMaxTiefe = 2 + static_cast<int>(nSeed % 4);
    optionen.nMaxKinder = 3 + static_cast<int>((nSeed / 4) % 5);
    optionen.nFehlerPromille = kFehler[(nSeed / 20) % 6];
    return optionen;
}

// --- The two worlds ---

// The product's text of a document in one world, and where the reference text's units lie in it.
struct Fassung {
    TextForm eForm = TextForm::Schmal;
    CString cs;
    // Byte offset of the character that starts at each unit of the reference text, -1 at the
    // second unit of a pair; the last entry is where the units end (before an odd byte).
    std::vector<Pos> aByte;
    // The odd last byte of a UTF-16 file as it comes out, else empty. It lies behind the last
    // unit: in a view that reaches the end of the text, and in what a filter copies of the end.
    std::string strNachsatz;
    // The same bytes as the narrow reading of the same units (a document of well-formed text
    // without an odd byte, held as UTF-8 in both worlds): it differs in its form only, which
    // counts in the step behind an unclosed construct and in output. The scans from every start,
    // and the listing and -R (which end at the first fault, without a step), leave it to the
    // walks and the other filters.
    bool bZwilling = false;

    const char* Name() const { return eForm == TextForm::Schmal ? "schmal" : "UTF-16"; }
    // The product's view of a reference view whose ends are where characters start; a view to
    // the end of the text takes the odd byte in.
    BrixSubString Sicht(const ref::Sicht& r) const
    {
        const Pos nEnde = static_cast<std::size_t>(r.nEnd) + 1 == aByte.size()
                              ? cs.GetLength()
                              : aByte[static_cast<std::size_t>(r.nEnd)];
        return BrixSubString(&cs, aByte[static_cast<std::size_t>(r.nStart)], nEnde);
    }
    // A buffer index in units as a buffer index in bytes.
    Pos Absolut(Pos n) const
    {
        if (n < 0 || n >= static_cast<Pos>(aByte.size())) return kImZeichen;
        const Pos b = aByte[static_cast<std::size_t>(n)];
        return b < 0 ? kImZeichen : b;
    }
    // A position relative to the view r, in units, as a position relative to Sicht(r), in bytes;
    // -1 and the untouched mark stay.
    Pos Relativ(const ref::Sicht& r, Pos n) const
    {
        if (n < 0 || n == kUnberuehrt) return n;
        if (n > r.Laenge()) return kImZeichen;
        const Pos b = Absolut(r.nStart + n);
        return b == kImZeichen ? b : b - Absolut(r.nStart);
    }
    // A length from the position nVon, both relative to r.
    Pos Laenge(const ref::Sicht& r, Pos nVon, Pos nLaenge) const
    {
        if (nLaenge < 0 || nLaenge == kUnberuehrt) return nLaenge;
        const Pos a = Relativ(r, nVon);
        const Pos b = Relativ(r, nVon + nLaenge);
        return a == kImZeichen || b == kImZeichen ? kImZeichen : b - a;
    }
};

// One reference text and the product texts it judges: both worlds when the strict decoding of
// the narrow bytes gives the document's units back, else one reading each.
struct Lesart {
    std::u16string text;
    std::vector<Fassung> aFassungen;
};

// True when a character starts at unit i of text (not the second unit of a pair).
bool IstZeichenanfang(const std::u16string& text, std::size_t i)
{
    return i == 0 || i >= text.size() ||
           !(text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
}

// The start of the character that holds unit i.
int Zeichenanfang(const std::u16string& text, int i)
{
    return IstZeichenanfang(text, static_cast<std::size_t>(i)) ? i : i - 1;
}

// The odd last bytes that documents read as UTF-16 get.
constexpr char kUngerade[] = {'<', '>', '\x80', '\xFF', 'a', '\0', '-', '\xBE'};

// One document in both worlds. Wrapped in an element a, its top level becomes the content
// that the listing's inner walk and the descent of -R look at.
struct Dokument {
    explicit Dokument(std::uint32_t nSeed, bool bEingepackt = false) : nSeed(nSeed)
    {
        quelle = ErzeugeZufallsdokument(nSeed, OptionenFuer(nSeed));
        if (bEingepackt) quelle = u"<a>" + quelle + u"</a>";
        Baue(nSeed % 4 == 3);
    }
    // A given text (seed 0), with an odd last byte in the UTF-16 world or not.
    Dokument(std::u16string_view t, bool bUngerade) : nSeed(0), quelle(t) { Baue(bUngerade); }
    // A document of a hostile family, of about nLaenge units.
    Dokument(Feindfamilie familie, std::uint32_t nSeed, int nLaenge)
        : nSeed(nSeed),
          pFamilie(FamilienName(familie)),
          quelle(ErzeugeFeindlichesDokument(nSeed, FeindOptionen{familie, nLaenge}))
    {
        Baue(nSeed % 4 == 3);
    }

    std::uint32_t nSeed;
    const char* pFamilie = nullptr;
    std::u16string quelle;  // the document's units
    std::vector<Lesart> aLesarten;

    std::string Wo(const Fassung& f) const
    {
        const std::string strFamilie = pFamilie ? "Familie " + std::string(pFamilie) + ", " : "";
        const std::string strNachsatz = f.strNachsatz.empty() ? "" : " + ungerades Byte " + LesbareBytes(f.strNachsatz);
        return strFamilie + "Seed " + std::to_string(nSeed) + ", " + f.Name() + ", Dokument \"" + Lesbar(quelle) +
               "\"" + strNachsatz;
    }

private:
    void Baue(bool bUngerade)
    {
        const std::string bytes = SchmalAus(quelle);
        std::u16string dekodiert = UnitsAus(bytes);
        Fassung schmal{TextForm::Schmal, SchmalText(bytes), ByteVersaetze(dekodiert, TextForm::Schmal), {}};
        EXPECT_EQ(schmal.aByte.back(), schmal.cs.GetLength()) << Lesbar(quelle);

        std::string le = Utf16Datei(quelle).substr(2);
        std::string strNachsatz;
        if (bUngerade) {
            strNachsatz = std::string(1, kUngerade[(nSeed / 4 + quelle.size()) % sizeof kUngerade]);
            le += strNachsatz;
        }
        Fassung utf16{TextForm::AusUtf16, Utf16TextAusBytes(le), ByteVersaetze(quelle, TextForm::AusUtf16),
                      strNachsatz};
        // The odd byte is kept in three bytes behind the units.
        EXPECT_EQ(utf16.aByte.back() + (bUngerade ? 3 : 0), utf16.cs.GetLength()) << Lesbar(quelle);

        if (dekodiert == quelle) {
            utf16.bZwilling = utf16.cs.Sicht() == schmal.cs.Sicht();
            aLesarten.push_back(Lesart{quelle, {std::move(schmal), std::move(utf16)}});
        } else {
            aLesarten.push_back(Lesart{std::move(dekodiert), {std::move(schmal)}});
            aLesarten.push_back(Lesart{quelle, {std::move(utf16)}});
        }
    }
};

// A name or replacement, given as units: the bytes of a command-line argument; the product
// gets them in the form of the document, the reference the units a strict decoder makes of
// them. bDaten false is a view with no data.
struct Wert {
    explicit Wert(std::u16string_view s, bool bDaten = true)
        : quelle(s),
          text(UnitsAus(SchmalAus(s))),
          schmal(SchmalAus(s)),
          intern(SchmalZuIntern(SchmalAus(s))),
          bDaten(bDaten)
    {
        intern.SetzeForm(TextForm::AusUtf16);
    }
    std::u16string quelle;
    std::u16string text;
    CString schmal;
    CString intern;
    bool bDaten;

    BrixSubString Produkt(const Fassung& f) const
    {
        if (!bDaten) return BrixSubString();
        return BrixSubString(f.eForm == TextForm::Schmal ? schmal : intern);
    }
    // As the command line gives it: narrow bytes, which the chain converts.
    BrixSubString Argument() const { return bDaten ? BrixSubString(schmal) : BrixSubString(); }
    ref::Sicht Referenz() const { return bDaten ? ref::Ganz(text) : ref::Sicht{}; }
};

const std::vector<Wert>& Namenslisten()
{
    static const std::vector<Wert> aListen = [] {
        std::vector<Wert> a;
        for (const char16_t* s : {u"a", u"a,b", u"a,c,b", u"b", u"ab,title", u"a:b,a", u"c,c", u",a", u"a,", u""})
            a.emplace_back(s);
        return a;
    }();
    return aListen;
}

const std::vector<Wert>& Einzelnamen()
{
    static const std::vector<Wert> aNamen = [] {
        std::vector<Wert> a;
        // "a>b" cannot be the name of a start tag, but an end tag "</a>b>" holds its units.
        for (const char16_t* s : {u"a", u"b", u"c", u"ab", u"title", u"a:b", u"t1", u"a,b", u"a>b"}) a.emplace_back(s);
        a.emplace_back(u"", false);
        return a;
    }();
    return aNamen;
}

// Everything a scanner call reports, the returned view as buffer indices.
struct Ausgabe {
    int nError;
    Pos nPos, nNext, nLen, nOff;
    bool bDaten;
    Pos nStart, nEnd;
    bool operator==(const Ausgabe&) const = default;
};

std::string Text(const Ausgabe& a)
{
    return "code " + std::to_string(a.nError) + " nPos " + std::to_string(a.nPos) + " nNext " +
           std::to_string(a.nNext) + " len " + std::to_string(a.nLen) + " off " + std::to_string(a.nOff) +
           (a.bDaten ? " view " + std::to_string(a.nStart) + ".." + std::to_string(a.nEnd) : " no data");
}

Ausgabe Produkt(const BrixSubString& v, const BrixSubString* pName, Pos nPos)
{
    Ausgabe a{0, nPos, 0, kUnberuehrt, kUnberuehrt, false, 0, 0};
    const BrixSubString r = pName ? v.FindeTagBlock(*pName, a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff)
                                  : v.FindeNaechstenTagBlock(a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff);
    a.bDaten = r.HatDaten();
    a.nStart = r.m_nStart;
    a.nEnd = r.m_nEnd;
    return a;
}

Ausgabe Sucher(BrixBlockSucher& sucher, const BrixSubString& v, const BrixSubString* pName, Pos nPos)
{
    Ausgabe a{0, nPos, 0, kUnberuehrt, kUnberuehrt, false, 0, 0};
    const BrixSubString r =
        Beantworte(sucher.FindeTagBlock(v, pName, a.nPos), a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff);
    a.bDaten = r.HatDaten();
    a.nStart = r.m_nStart;
    a.nEnd = r.m_nEnd;
    return a;
}

// The reference model's outputs, in units.
Ausgabe Referenz(const ref::Sicht& v, const ref::Sicht* pName, int nStart)
{
    int nPos = nStart, nNext = 0, nError = 0;
    int nLen = static_cast<int>(kUnberuehrt), nOff = static_cast<int>(kUnberuehrt);
    const ref::Sicht r = pName ? ref::FindeTagBlock(v, *pName, nPos, nNext, nError, &nLen, &nOff)
                               : ref::FindeNaechstenTagBlock(v, nPos, nNext, nError, &nLen, &nOff);
    return Ausgabe{nError, nPos, nNext, nLen, nOff, r.HatDaten(), r.nStart, r.nEnd};
}

// The reference model's outputs for the view r as the product must report them in f.
Ausgabe InBytes(const Ausgabe& a, const Fassung& f, const ref::Sicht& r)
{
    Ausgabe b = a;
    b.nPos = f.Relativ(r, a.nPos);
    b.nNext = f.Relativ(r, a.nNext);
    b.nLen = f.Laenge(r, a.nPos, a.nLen);
    b.nOff = f.Laenge(r, a.nPos, a.nOff);
    if (a.bDaten) {
        b.nStart = f.Absolut(a.nStart);
        b.nEnd = f.Absolut(a.nEnd);
    }
    return b;
}

// A failure message's first line: a string, or something that makes one (built only when a
// check fails, since most checks pass).
template <class W>
std::string Beschreibung(const W& was)
{
    if constexpr (std::is_invocable_v<const W&>) {
        return was();
    } else {
        return std::string(was);
    }
}

// A filter's result in the reference model, and the bytes it comes out as.
struct Erwartet {
    explicit Erwartet(std::u16string e) : einheiten(std::move(e)), bytes(SchmalAus(einheiten)) {}
    std::u16string einheiten;
    std::string bytes;
};

// Collects mismatches of one test; after kMaxMeldungen the rest are only counted.
class Vergleich {
public:
    template <class T, class W>
    void Pruefe(const T& produkt, const T& referenz, const W& was, const Dokument& dok, const Fassung& f)
    {
        if (produkt == referenz) return;
        Melde(Beschreibung(was), dok, f, "");
    }
    // A scanner call's outputs against the reference's, converted to bytes.
    template <class W>
    void PruefeAusgabe(const Ausgabe& ist, const Ausgabe& soll, const W& was, const Dokument& dok, const Fassung& f)
    {
        if (ist == soll) return;
        Melde(Beschreibung(was), dok, f, "\n  Produkt:  " + Text(ist) + "\n  Referenz: " + Text(soll));
    }
    // A filter's result (bytes in the form of f) against the reference's units; bNachsatz: the
    // filter copies the end of its input, so the odd byte comes out behind the rest.
    void PruefeText(std::string_view ist, const Erwartet& soll, bool bNachsatz, const std::string& strWas,
                    const Dokument& dok, const Fassung& f)
    {
        std::string erwartet = soll.bytes;
        if (bNachsatz) erwartet += f.strNachsatz;
        const bool bGleich = f.eForm == TextForm::Schmal ? ist == erwartet : AusgabeVon(ist, f.eForm) == erwartet;
        if (!bGleich) {
            Melde(strWas, dok, f,
                  "\n  Produkt:  \"" + LesbareBytes(AusgabeVon(ist, f.eForm)) + "\"\n  Referenz: \"" +
                      LesbareBytes(erwartet) + "\"");
        } else if (f.eForm == TextForm::AusUtf16 && UnitsAusIntern(ist) != soll.einheiten) {
            // The held form keeps every unit, lone surrogates of every value included.
            Melde(strWas + ": units of the held text", dok, f,
                  "\n  Produkt:  \"" + Lesbar(UnitsAusIntern(ist)) + "\"\n  Referenz: \"" + Lesbar(soll.einheiten) +
                      "\"");
        }
    }
    bool Weiter() const { return m_nFehler <= kMaxMeldungen; }

private:
    void Melde(const std::string& strWas, const Dokument& dok, const Fassung& f, const std::string& strMehr)
    {
        if (++m_nFehler <= kMaxMeldungen) ADD_FAILURE() << strWas << "\n  " << dok.Wo(f) << strMehr;
    }
    int m_nFehler = 0;
};

std::string Bei(const Wert& name, Pos nPos)
{
    return "Name \"" + Lesbar(name.quelle) + "\" ab " + std::to_string(nPos);
}

// One block seeker for each reading of a lesart (a seeker serves the views of one string).
std::vector<std::unique_ptr<BrixBlockSucher>> Sucherliste(const Lesart& l, Pos nMindestSpanne)
{
    std::vector<std::unique_ptr<BrixBlockSucher>> a;
    for (std::size_t i = 0; i < l.aFassungen.size(); ++i)
        a.push_back(std::make_unique<BrixBlockSucher>(nMindestSpanne));
    return a;
}

// --- Pieces ---

// The chain of steps over text, fed to it in pieces as a run feeds a document it reads: single
// bytes, a few bytes, longer stretches and now and then none (by the seed), cut anywhere, also
// inside a character, a "-->" or a "</"; its result.
CString InStuecken(const CString& text, const std::vector<Schritt>& aSchritte, std::uint32_t nSeed,
                   Pos nErstesStueck = 0)
{
    CString eingang;
    eingang.SetzeForm(text.Form());
    CString out;
    out.SetzeForm(text.Form());
    std::uint32_t x = nSeed * 2654435761u + 1;
    auto zufall = [&x](std::uint32_t n) {
        x = x * 1103515245u + 12345u;
        return (x >> 8) % n;
    };
    {
        StringZiel ziel(out);
        Kette kette(aSchritte, eingang, ziel);
        std::size_t nAktuell = 0;
        for (Pos p = 0; p < text.GetLength();) {
            static constexpr std::uint32_t kLaengen[] = {0, 1, 1, 1, 2, 3, 5, 8, 13, 40, 300, 5000};
            const std::uint32_t nArt = zufall(std::size(kLaengen));
            const Pos nLaenge = p == 0 && nErstesStueck > 0 ? nErstesStueck
                                : kLaengen[nArt] == 0       ? 0
                                                            : 1 + zufall(kLaengen[nArt]);
            const Pos nStueck = std::min<Pos>(text.GetLength() - p, nLaenge);
            const Pos n = eingang.GetLength();
            std::copy_n(text.GetString() + p, nStueck, eingang.GetBufferSetLength(n + nStueck) + n);
            p += nStueck;
            kette.Weiter(false, nAktuell);
        }
        kette.Weiter(true, nAktuell);
    }
    return out;
}

// One step of a chain, with its value and replacement (for -R) as the command line gives them.
Schritt SchrittMit(OptionsArt art, const BrixSubString& wert = {}, const BrixSubString& ersatz = {})
{
    return Schritt{art, wert, ersatz, 0};
}

// The step an option of the tests stands for, its value held in aWerte (narrow bytes).
Schritt SchrittFuer(std::u16string_view option, std::deque<CString>& aWerte)
{
    switch (option[1]) {
    case u'c': return SchrittMit(OptionsArt::KommentareEntfernen);
    case u't': return SchrittMit(OptionsArt::TagsEntfernen);
    case u'd': return SchrittMit(OptionsArt::LeereLoeschen);
    default: break;
    }
    const BrixSubString wert(aWerte.emplace_back(SchmalAus(option.substr(2))));
    if (option[1] == u's') return SchrittMit(OptionsArt::Zeigen, wert);
    if (option[1] == u'S') return SchrittMit(OptionsArt::Ueberspringen, wert);
    const Pos nGleich = wert.FindeZeichen('=');
    return SchrittMit(OptionsArt::Ersetzen, wert.Links(nGleich), wert.Mitte(nGleich + 1));
}

// One option of a command line applied to text as a run applies it: -c, -t and -d over their
// own input, the others into a new text. A value is the bytes of an argument, in the form of the
// text (as the chain of a run makes it).
void WendeAn(std::u16string_view option, CString& text)
{
    const char art = static_cast<char>(option[1]);
    if (art == 'c' || art == 't' || art == 'd') {
        EigenZiel ziel(text);
        const BrixSubString sicht(text);
        if (art == 'c') {
            sicht.EntferneKommentare(ziel);
        } else if (art == 't') {
            sicht.EntferneTags(ziel);
        } else {
            LoescheLeereTags(sicht, ziel);
        }
        return;
    }
    const std::string bytes = SchmalAus(option.substr(2));
    CString wert(text.Form() == TextForm::Schmal ? bytes : SchmalZuIntern(bytes));
    wert.SetzeForm(text.Form());
    const BrixSubString sicht(text);
    CString out;
    out.SetzeForm(text.Form());
    if (art == 's') {
        ZeigeTagBlocks(sicht, BrixSubString(wert), out);
    } else if (art == 'S') {
        UeberspringeTagBlocks(sicht, BrixSubString(wert), out);
    } else {
        const Pos nGleich = BrixSubString(wert).FindeZeichen('=');
        ErsetzeTagInhalt(sicht, BrixSubString(wert).Links(nGleich), out, BrixSubString(wert).Mitte(nGleich + 1));
    }
    text = out;
}

std::u16string WendeAnReferenz(std::u16string_view option, const std::u16string& text)
{
    const ref::Sicht sicht = ref::Ganz(text);
    const std::u16string wert = UnitsAus(SchmalAus(option.substr(2)));
    switch (option[1]) {
    case u'c': return ref::EntferneKommentare(sicht);
    case u't': return ref::EntferneTags(sicht);
    case u'd': return ref::LoescheLeereTags(sicht);
    case u's': return ref::ZeigeTagBlocks(sicht, ref::Ganz(wert));
    case u'S': return ref::UeberspringeTagBlocks(sicht, ref::Ganz(wert));
    default: {
        const int nGleich = static_cast<int>(wert.find(u'='));
        const ref::Sicht w = ref::Ganz(wert);
        return ref::ErsetzeTagInhalt(sicht, w.Links(nGleich), w.Mitte(nGleich + 1));
    }
    }
}

// --- Filters ---

// -c, -t and -d.
void PruefeEntfernenUndLoeschen(const Dokument& dok, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        const ref::Sicht rsicht = ref::Ganz(l.text);
        const Erwartet c(ref::EntferneKommentare(rsicht));
        const Erwartet t(ref::EntferneTags(rsicht));
        const Erwartet d(ref::LoescheLeereTags(rsicht));
        for (const Fassung& f : l.aFassungen) {
            const BrixSubString sicht(f.cs);
            v.PruefeText(sicht.EntferneKommentare().Sicht(), c, true, "-c", dok, f);
            v.PruefeText(sicht.EntferneTags().Sicht(), t, true, "-t", dok, f);
            CString out("alt"sv);
            LoescheLeereTags(sicht, out);
            v.PruefeText(out.Sicht(), d, true, "-d", dok, f);
            const std::pair<OptionsArt, const Erwartet*> aArten[] = {{OptionsArt::KommentareEntfernen, &c},
                                                                     {OptionsArt::TagsEntfernen, &t},
                                                                     {OptionsArt::LeereLoeschen, &d}};
            for (const auto& [art, pSoll] : aArten)
                v.PruefeText(InStuecken(f.cs, {SchrittMit(art)}, dok.nSeed).Sicht(), *pSoll, true, "in Stuecken", dok,
                             f);
        }
    }
}

TEST(DifferenzFilter, EntfernenUndLoeschen)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kDokumente && v.Weiter(); ++nSeed)
        PruefeEntfernenUndLoeschen(Dokument(nSeed), v);
}

// -s with every list of names, and the listing's measure. The listing holds blocks only: the
// odd byte never comes out.
void PruefeZeigeTagBlocks(const Dokument& dok, const std::vector<Wert>& aListen, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        for (const Wert& namen : aListen) {
            const Erwartet soll(ref::ZeigeTagBlocks(ref::Ganz(l.text), namen.Referenz()));
            const std::string strWas = "-s" + Lesbar(namen.quelle);
            for (const Fassung& f : l.aFassungen) {
                if (f.bZwilling) continue;
                const BrixSubString sicht(f.cs);
                CString out("alt"sv);
                ZeigeTagBlocks(sicht, namen.Produkt(f), out);
                v.PruefeText(out.Sicht(), soll, false, strWas, dok, f);
                v.Pruefe<std::int64_t>(LaengeTagBlockListe(sicht, namen.Produkt(f)), out.GetLength(),
                                       strWas + ": measure and listing differ", dok, f);
                v.PruefeText(InStuecken(f.cs, {SchrittMit(OptionsArt::Zeigen, namen.Argument())}, dok.nSeed).Sicht(),
                             soll, false, strWas + " in Stuecken", dok, f);
            }
        }
    }
}

TEST(DifferenzFilter, ZeigeTagBlocksUndIhreLaenge)
{
    Vergleich v;
    for (std::uint32_t nFall = 2; nFall <= 2 * kDokumente + 1 && v.Weiter(); ++nFall)
        PruefeZeigeTagBlocks(Dokument(nFall / 2, nFall % 2 == 1), Namenslisten(), v);
}

// -S with every name.
void PruefeUeberspringeTagBlocks(const Dokument& dok, const std::vector<Wert>& aNamen, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        for (const Wert& name : aNamen) {
            const Erwartet soll(ref::UeberspringeTagBlocks(ref::Ganz(l.text), name.Referenz()));
            for (const Fassung& f : l.aFassungen) {
                CString out("alt"sv);
                UeberspringeTagBlocks(BrixSubString(f.cs), name.Produkt(f), out);
                v.PruefeText(out.Sicht(), soll, true, "-S" + Lesbar(name.quelle), dok, f);
                v.PruefeText(
                    InStuecken(f.cs, {SchrittMit(OptionsArt::Ueberspringen, name.Argument())}, dok.nSeed).Sicht(), soll,
                    true, "-S" + Lesbar(name.quelle) + " in Stuecken", dok, f);
            }
        }
    }
}

TEST(DifferenzFilter, UeberspringeTagBlocks)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kDokumente && v.Weiter(); ++nSeed)
        PruefeUeberspringeTagBlocks(Dokument(nSeed), Einzelnamen(), v);
}

// Replacements for -R: text, none ("-Rname" without "="), markup, and a 4-byte character with a
// byte no decoder takes (in the UTF-16 world it is held as a lone surrogate).
const std::vector<Wert>& Ersetzungen()
{
    static const std::vector<Wert> aErsatz = [] {
        std::vector<Wert> a;
        a.emplace_back(u"X");
        a.emplace_back(u"", false);
        a.emplace_back(u"<n/>\u00e4");
        a.emplace_back(u"\U0001F600\xDCBE");
        return a;
    }();
    return aErsatz;
}

// -R with every name and one replacement.
void PruefeErsetzeTagInhalt(const Dokument& dok, const std::vector<Wert>& aNamen, const Wert& ersatz, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        for (const Wert& name : aNamen) {
            const Erwartet soll(ref::ErsetzeTagInhalt(ref::Ganz(l.text), name.Referenz(), ersatz.Referenz()));
            for (const Fassung& f : l.aFassungen) {
                if (f.bZwilling) continue;
                CString out("alt"sv);
                ErsetzeTagInhalt(BrixSubString(f.cs), name.Produkt(f), out, ersatz.Produkt(f));
                const std::string strWas = "-R" + Lesbar(name.quelle) + "=" + Lesbar(ersatz.quelle);
                v.PruefeText(out.Sicht(), soll, true, strWas, dok, f);
                const Schritt schritt = SchrittMit(OptionsArt::Ersetzen, name.Argument(), ersatz.Argument());
                v.PruefeText(InStuecken(f.cs, {schritt}, dok.nSeed).Sicht(), soll, true, strWas + " in Stuecken", dok,
                             f);
            }
        }
    }
}

TEST(DifferenzFilter, ErsetzeTagInhalt)
{
    Vergleich v;
    for (std::uint32_t nFall = 2; nFall <= 2 * kDokumente + 1 && v.Weiter(); ++nFall)
        PruefeErsetzeTagInhalt(Dokument(nFall / 2, nFall % 2 == 1), Einzelnamen(),
                               Ersetzungen()[nFall % Ersetzungen().size()], v);
}

// The odd last byte of a UTF-16 file counts for no unit and comes out behind the rest, where a
// filter copies the end of the text.
TEST(DifferenzFilter, UngeradesByteAmEnde)
{
    struct Fall {
        int nZeile;
        std::u16string_view text;
        char chUngerade;
        std::u16string_view option;
        std::string_view erwartet;
    };
    static constexpr Fall kFaelle[] = {
        {__LINE__, u"<a>x</a>y", '\x80', u"-c", "<a>x</a>y\x80"},         // copied with the end
        {__LINE__, u"<a>x</a>", '<', u"-t", "x<"},                        // no markup, whatever its value
        {__LINE__, u"<a></a>y", '>', u"-d", "y>"},                        // behind the last element
        {__LINE__, u"<a>1</a>", '>', u"-Sa", ">"},                        // the element goes, the byte stays
        {__LINE__, u"x <", '\x80', u"-Sa", "x <\x80"},                    // a '<' as the last unit starts no tag
        {__LINE__, u"<a>1</a><", 'a', u"-Sa", "<a"},                      // ... nor behind an element
        {__LINE__, u"x <a", '\x80', u"-Sa", "x \x80"},                    // a broken tail goes, the byte stays
        {__LINE__, u"<!-- x", 'q', u"-Sa", "xq"},                         // the step ends on the last unit
        {__LINE__, u"<!--\U0001F600", 'q', u"-Sa", "\xF0\x9F\x98\x80q"},  // ... a pair's start
        {__LINE__, u"<a>1</a>", 'q', u"-sa", "<a>1</a>\r\n"},             // the listing holds blocks only
        {__LINE__, u"<a>1</a>", '\xFF', u"-Ra=X", "<a>X</a>\xFF"},        // behind the replaced element
        {__LINE__, u"<a>\xD83D</a>", '\x00', u"-c", "<a>\xEF\xBF\xBD</a>\x00"sv},  // after a lone surrogate
    };
    for (const Fall& fall : kFaelle) {
        std::string le = Utf16Datei(fall.text).substr(2);
        le += fall.chUngerade;
        CString text = Utf16TextAusBytes(le);
        WendeAn(fall.option, text);
        EXPECT_EQ(LesbareBytes(AusgabeVon(text)), LesbareBytes(fall.erwartet)) << "Zeile " << fall.nZeile;
    }
}

// --- Scanner ---

// Positions worth starting a search at: 0, every '<', the unit after it, and the end.
std::vector<int> Startpunkte(const std::u16string& text)
{
    std::vector<int> a{0};
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        if (text[static_cast<std::size_t>(i)] == u'<') {
            a.push_back(i);
            a.push_back(i + 1);
        }
    }
    a.push_back(static_cast<int>(text.size()));
    return a;
}

// Both block finders from every start point, with every name.
void PruefeBlocksuche(const Dokument& dok, const std::vector<Wert>& aNamen, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        const ref::Sicht rsicht = ref::Ganz(l.text);
        for (const int nStart : Startpunkte(l.text)) {
            const Ausgabe naechster = Referenz(rsicht, nullptr, nStart);
            for (const Fassung& f : l.aFassungen) {
                if (f.bZwilling) continue;
                v.PruefeAusgabe(
                    Produkt(f.Sicht(rsicht), nullptr, f.Relativ(rsicht, nStart)), InBytes(naechster, f, rsicht),
                    [&] { return "FindeNaechstenTagBlock ab " + std::to_string(nStart); }, dok, f);
            }
            for (const Wert& name : aNamen) {
                const ref::Sicht rname = name.Referenz();
                const Ausgabe erwartet = Referenz(rsicht, &rname, nStart);
                for (const Fassung& f : l.aFassungen) {
                    if (f.bZwilling) continue;
                    const BrixSubString pname = name.Produkt(f);
                    v.PruefeAusgabe(
                        Produkt(f.Sicht(rsicht), &pname, f.Relativ(rsicht, nStart)), InBytes(erwartet, f, rsicht),
                        [&] { return "FindeTagBlock " + Bei(name, nStart); }, dok, f);
                }
            }
        }
    }
}

TEST(DifferenzScanner, BlocksucheVonJedemStartpunkt)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed)
        PruefeBlocksuche(Dokument(nSeed), Einzelnamen(), v);
}

// The end-tag search in the view r from nStart, with one name, against the reference's.
void PruefeEndTagAb(const Dokument& dok, const Lesart& l, const ref::Sicht& r, const Wert& name, int nStart,
                    const std::string& strWas, Vergleich& v, bool bZwillinge = true)
{
    int nRefError = -5;
    int nRefEndTag = static_cast<int>(kUnberuehrt);
    const int nRef = ref::FindeEndTag(r, name.Referenz(), nStart, nRefError, &nRefEndTag);
    for (const Fassung& f : l.aFassungen) {
        if (f.bZwilling && !bZwillinge) continue;
        int nError = -5;
        Pos nEndTag = kUnberuehrt;
        const Pos nIst = f.Sicht(r).FindeEndTag(name.Produkt(f), f.Relativ(r, nStart), nError, &nEndTag);
        const std::array<Pos, 3> ist{nIst, nError, nEndTag};
        const std::array<Pos, 3> soll{f.Relativ(r, nRef), nRefError, f.Relativ(r, nRefEndTag)};
        if (ist != soll)
            v.Pruefe(ist, soll,
                     "FindeEndTag " + Bei(name, nStart) + strWas + ": Produkt " + std::to_string(nIst) + "/" +
                         std::to_string(nError) + "/" + std::to_string(nEndTag) + ", Referenz " +
                         std::to_string(soll[0]) + "/" + std::to_string(nRefError) + "/" + std::to_string(soll[2]),
                     dok, f);
    }
}

// The scanner's documented edge cases, which random documents may miss.
constexpr std::u16string_view kRandTexte[] = {
    u"<a x='1'>text</a>",
    u"<!-- x --><b/>",
    u"<?xml version='1.0'?><r>1</r>",
    u"<!DOCTYPE r><r/>",
    u"<!--><b/>",
    u"<a><b>x</b></a>",
    u"<a><b/></a>",
    u"<a>1</a><b>2</b>",
    u"<a/>",
    u"<a />",
    u"</a><a/>",
    u"<a><b></a></b>",
    u"<a><b></a></b><c/>",
    u"<a></a >",
    u"<a>",
    u"x <",
    u"<abc",
    u"<ab c",
    u"<!-- x",
    u"<!x",
    u"<?x",
    u"<a><b x='<'>y</b></a>",
    u"<a>x</a",
    u"<a></",
    u"</",
    u"<a><!--",
    u"<a><?",
    u"<a><!x",
    u"<a><",
    u"<a><b",
    u"<a><b c",
    u"<a><b (c)>1</b></a>",
    u"<a><b x=\"/>\">1</b></a>",
    u"<a>\0</a\0>"sv,
    u"<a>x</a>b>",
    u"</a>b>",
    u"<r><a></a></r>",
    u"<r><a></a ></r>",
    u"<r><a></ab></r>",
    u"<a(><b></b></a(>",
    u"<a\"b\" c><b></b></a\"b\">",
    u"<ab><a></a></ab>",
    u"<",
    u"<a></a><",
    // Characters of several bytes, pairs and bytes no decoder takes next to the markup.
    u"<a>\U0001F600</a>",
    u"<!--\U0001F600",
    u"<?\U0001F600",
    u"<!\xDC80",
    u"<a \xDCBE>\xDCBC</a>",
    u"<\u00e4>x</\u00e4>",
    u"<a>\xD83D</a>\xDE00",
    u"<!-- \xDCED\xDCA0\xDC80",
    u"<a>x</a\U0001F600",
};

// The edge cases through both worlds: every start position, every name of the list, with and
// without a seeker's memory; in the UTF-16 world also with an odd last byte.
TEST(DifferenzScanner, Randfaelle)
{
    Vergleich v;
    for (std::size_t k = 0; k < 2 * std::size(kRandTexte); ++k) {
        const Dokument dok(kRandTexte[k / 2], k % 2 == 1);
        for (const Lesart& l : dok.aLesarten) {
            const ref::Sicht rsicht = ref::Ganz(l.text);
            auto aSucher = Sucherliste(l, 0);
            for (int nStart = 0; nStart <= rsicht.Laenge(); ++nStart) {
                if (!IstZeichenanfang(l.text, static_cast<std::size_t>(nStart))) continue;
                const Ausgabe naechster = Referenz(rsicht, nullptr, nStart);
                for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                    const Fassung& f = l.aFassungen[i];
                    const Pos nAb = f.Relativ(rsicht, nStart);
                    v.PruefeAusgabe(
                        Produkt(f.Sicht(rsicht), nullptr, nAb), InBytes(naechster, f, rsicht),
                        [&] { return "FindeNaechstenTagBlock ab " + std::to_string(nStart); }, dok, f);
                    v.PruefeAusgabe(
                        Sucher(*aSucher[i], f.Sicht(rsicht), nullptr, nAb), InBytes(naechster, f, rsicht),
                        [&] { return "BrixBlockSucher ab " + std::to_string(nStart); }, dok, f);
                }
                for (const Wert& name : Einzelnamen()) {
                    const ref::Sicht rname = name.Referenz();
                    const Ausgabe erwartet = Referenz(rsicht, &rname, nStart);
                    for (const Fassung& f : l.aFassungen) {
                        const BrixSubString pname = name.Produkt(f);
                        v.PruefeAusgabe(
                            Produkt(f.Sicht(rsicht), &pname, f.Relativ(rsicht, nStart)), InBytes(erwartet, f, rsicht),
                            [&] { return "FindeTagBlock " + Bei(name, nStart); }, dok, f);
                    }
                    PruefeEndTagAb(dok, l, rsicht, name, nStart, "", v);
                }
            }
        }
    }
}

// The edge cases in every view of them: a view that ends inside a tag or just before an end
// tag's '>' must not let a search read past its end, or a shorter view's search reuse what a
// longer one found. Every start, every name; the seeker keeps its memory across the views.
TEST(DifferenzScanner, RandfaelleInJederTeilsicht)
{
    Vergleich v;
    for (std::size_t k = 0; k < std::size(kRandTexte); ++k) {
        const Dokument dok(kRandTexte[k], k % 3 == 2);
        for (const Lesart& l : dok.aLesarten) {
            const int n = static_cast<int>(l.text.size());
            auto aSucher = Sucherliste(l, 0);
            for (int nVorn = 0; nVorn <= n; ++nVorn) {
                if (!IstZeichenanfang(l.text, static_cast<std::size_t>(nVorn))) continue;
                for (int nHinten = n; nHinten >= nVorn; --nHinten) {
                    if (!IstZeichenanfang(l.text, static_cast<std::size_t>(nHinten))) continue;
                    const ref::Sicht rsicht{&l.text, nVorn, nHinten};
                    const std::string strSicht = std::to_string(nVorn) + ".." + std::to_string(nHinten);
                    for (int nStart = 0; nStart <= rsicht.Laenge(); ++nStart) {
                        if (!IstZeichenanfang(l.text, static_cast<std::size_t>(nVorn + nStart))) continue;
                        auto strAb = [&] { return " in " + strSicht + " ab " + std::to_string(nStart); };
                        const Ausgabe naechster = Referenz(rsicht, nullptr, nStart);
                        for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                            const Fassung& f = l.aFassungen[i];
                            const BrixSubString sicht = f.Sicht(rsicht);
                            const Pos nAb = f.Relativ(rsicht, nStart);
                            v.PruefeAusgabe(
                                Produkt(sicht, nullptr, nAb), InBytes(naechster, f, rsicht),
                                [&] { return "FindeNaechstenTagBlock" + strAb(); }, dok, f);
                            v.PruefeAusgabe(
                                Sucher(*aSucher[i], sicht, nullptr, nAb), InBytes(naechster, f, rsicht),
                                [&] { return "BrixBlockSucher" + strAb(); }, dok, f);
                        }
                        for (const Wert& name : Einzelnamen()) {
                            const ref::Sicht rname = name.Referenz();
                            const Ausgabe erwartet = Referenz(rsicht, &rname, nStart);
                            for (const Fassung& f : l.aFassungen) {
                                const BrixSubString pname = name.Produkt(f);
                                v.PruefeAusgabe(
                                    Produkt(f.Sicht(rsicht), &pname, f.Relativ(rsicht, nStart)),
                                    InBytes(erwartet, f, rsicht),
                                    [&] { return "FindeTagBlock \"" + Lesbar(name.quelle) + "\"" + strAb(); }, dok, f);
                            }
                            PruefeEndTagAb(dok, l, rsicht, name, nStart, " in " + strSicht, v);
                        }
                    }
                }
            }
        }
    }
}

// Walks from 0 along nNext, as the filters do, on the view and on the content of every block
// the walk meets (the views -s and -R search).
void PruefeWege(const Dokument& dok, const Lesart& l, const ref::Sicht& rganz, Vergleich& v)
{
    std::vector<ref::Sicht> aSichten{rganz};
    for (std::size_t i = 0; i < aSichten.size() && aSichten.size() < 200; ++i) {
        const ref::Sicht rsicht = aSichten[i];
        int nPos = 0;
        for (int nSchritt = 0; nSchritt < 1000; ++nSchritt) {
            const Ausgabe erwartet = Referenz(rsicht, nullptr, nPos);
            for (const Fassung& f : l.aFassungen)
                v.PruefeAusgabe(
                    Produkt(f.Sicht(rsicht), nullptr, f.Relativ(rsicht, nPos)), InBytes(erwartet, f, rsicht),
                    [&] {
                        return "Weg in " + std::to_string(rsicht.nStart) + ".." + std::to_string(rsicht.nEnd) + " ab " +
                               std::to_string(nPos);
                    },
                    dok, f);
            if (erwartet.nError == 0 && erwartet.nLen >= 0) {
                aSichten.push_back(rsicht.Mitte(static_cast<int>(erwartet.nPos + erwartet.nLen),
                                                static_cast<int>(erwartet.nOff - erwartet.nLen)));
            }
            if (erwartet.nNext <= nPos) break;
            nPos = static_cast<int>(erwartet.nNext);
        }
    }
}

TEST(DifferenzScanner, WegeMitAllenAusgaben)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed) {
        const Dokument dok(nSeed);
        for (const Lesart& l : dok.aLesarten) PruefeWege(dok, l, ref::Ganz(l.text), v);
    }
}

// The end-tag search from every start point, with every name.
void PruefeFindeEndTag(const Dokument& dok, const std::vector<Wert>& aNamen, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        const ref::Sicht rsicht = ref::Ganz(l.text);
        for (const int nStart : Startpunkte(l.text))
            for (const Wert& name : aNamen) PruefeEndTagAb(dok, l, rsicht, name, nStart, "", v, false);
    }
}

TEST(DifferenzScanner, FindeEndTag)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed)
        PruefeFindeEndTag(Dokument(nSeed), Einzelnamen(), v);
}

// Numbers for a failure message.
template <class C>
std::string Zahlen(const C& a)
{
    std::string s;
    for (const auto n : a) s += (s.empty() ? "" : " ") + std::to_string(n);
    return s;
}

// The first block of several names from every start point, with every list.
void PruefeFindeErstenTagBlock(const Dokument& dok, const std::vector<Wert>& aListen, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        const ref::Sicht rsicht = ref::Ganz(l.text);
        for (const Wert& namen : aListen) {
            const std::vector<ref::Sicht> aRefNamen = ref::Teile(namen.Referenz(), u',');
            std::vector<CBrixArray<BrixSubString>> aNamen(l.aFassungen.size());
            for (std::size_t i = 0; i < l.aFassungen.size(); ++i)
                namen.Produkt(l.aFassungen[i]).Teile(',', aNamen[i], nullptr);
            for (const int nStart : Startpunkte(l.text)) {
                int nPos = nStart, nNext = -7, nIndex = -7, nError = -7;
                int nLen = static_cast<int>(kUnberuehrt), nOff = static_cast<int>(kUnberuehrt);
                const ref::Sicht rr =
                    ref::FindeErstenTagBlock(rsicht, aRefNamen, nPos, nNext, nIndex, nError, &nLen, &nOff);
                for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                    const Fassung& f = l.aFassungen[i];
                    if (f.bZwilling) continue;
                    std::array<Pos, 9> ist{f.Relativ(rsicht, nStart), -7, -7, -7, kUnberuehrt, kUnberuehrt, 0, 0, 0};
                    int nIstIndex = -7;
                    int nIstError = -7;
                    const BrixSubString r = f.Sicht(rsicht).FindeErstenTagBlock(aNamen[i], ist[0], ist[1], nIstIndex,
                                                                                nIstError, &ist[4], &ist[5]);
                    ist[2] = nIstIndex;
                    ist[3] = nIstError;
                    ist[6] = r.HatDaten();
                    ist[7] = r.m_nStart;
                    ist[8] = r.m_nEnd;
                    std::array<Pos, 9> soll{f.Relativ(rsicht, nPos),
                                            f.Relativ(rsicht, nNext),
                                            nIndex,
                                            nError,
                                            f.Laenge(rsicht, nPos, nLen),
                                            f.Laenge(rsicht, nPos, nOff),
                                            rr.HatDaten(),
                                            rr.HatDaten() ? f.Absolut(rr.nStart) : rr.nStart,
                                            rr.HatDaten() ? f.Absolut(rr.nEnd) : rr.nEnd};
                    if (ist != soll)
                        v.Pruefe(ist, soll,
                                 "FindeErstenTagBlock " + Bei(namen, nStart) + ": Produkt " + Zahlen(ist) +
                                     ", Referenz " + Zahlen(soll),
                                 dok, f);
                }
            }
        }
    }
}

TEST(DifferenzScanner, FindeErstenTagBlock)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed)
        PruefeFindeErstenTagBlock(Dokument(nSeed), Namenslisten(), v);
}

// The seeker keeps its memory across calls and views, as -S and -R use it: one seeker for all
// starts on the document, then on the content of every block found, deepest views last. At
// every start a search for any element, then one for a name of the list.
void PruefeSucherMitGedaechtnis(const Dokument& dok, Pos nMindestSpanne, const std::vector<Wert>& aNamen, Vergleich& v)
{
    for (const Lesart& l : dok.aLesarten) {
        auto aSucher = Sucherliste(l, nMindestSpanne);
        std::vector<ref::Sicht> aSichten{ref::Ganz(l.text)};
        for (std::size_t k = 0; k < aSichten.size() && aSichten.size() < 100; ++k) {
            const ref::Sicht rsicht = aSichten[k];
            const std::string strIn = " in " + std::to_string(rsicht.nStart) + ".." + std::to_string(rsicht.nEnd);
            for (int nStart = 0; nStart <= rsicht.Laenge(); ++nStart) {
                if (!IstZeichenanfang(l.text, static_cast<std::size_t>(rsicht.nStart + nStart))) continue;
                const Ausgabe erwartet = Referenz(rsicht, nullptr, nStart);
                const Wert& name = aNamen[static_cast<std::size_t>(nStart) % aNamen.size()];
                const ref::Sicht rname = name.Referenz();
                const Ausgabe erwartetName = Referenz(rsicht, &rname, nStart);
                for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                    const Fassung& f = l.aFassungen[i];
                    const BrixSubString sicht = f.Sicht(rsicht);
                    const Pos nAb = f.Relativ(rsicht, nStart);
                    v.PruefeAusgabe(
                        Sucher(*aSucher[i], sicht, nullptr, nAb), InBytes(erwartet, f, rsicht),
                        [&] { return "BrixBlockSucher" + strIn + " ab " + std::to_string(nStart); }, dok, f);
                    const BrixSubString pname = name.Produkt(f);
                    v.PruefeAusgabe(
                        Sucher(*aSucher[i], sicht, &pname, nAb), InBytes(erwartetName, f, rsicht),
                        [&] { return "BrixBlockSucher mit Name" + strIn + " ab " + std::to_string(nStart); }, dok, f);
                }
                if (erwartet.nError == 0 && erwartet.nLen >= 0) {
                    aSichten.push_back(rsicht.Mitte(static_cast<int>(erwartet.nPos + erwartet.nLen),
                                                    static_cast<int>(erwartet.nOff - erwartet.nLen)));
                }
            }
        }
    }
}

TEST(DifferenzScanner, BlockSucherMitGedaechtnis)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed)
        PruefeSucherMitGedaechtnis(Dokument(nSeed), nSeed % 2 == 0 ? 0 : 8, Einzelnamen(), v);
}

// Forgetting drops remembered searches, never changes a result: one seeker searches from every
// start in random order over the document and the wrapped document, forgetting now and then,
// so the table grows, is refilled, given back and used again.
TEST(DifferenzScanner, BlockSucherVergisst)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed) {
        const Dokument dok(nSeed, nSeed % 2 == 0);
        for (const Lesart& l : dok.aLesarten) {
            auto aSucher = Sucherliste(l, 0);
            const ref::Sicht rsicht = ref::Ganz(l.text);
            const int n = rsicht.Laenge();
            std::uint32_t x = nSeed;
            for (int k = 0; k <= 2 * n; ++k) {
                x = x * 1103515245u + 12345u;
                const int nStart =
                    Zeichenanfang(l.text, static_cast<int>((x >> 8) % static_cast<std::uint32_t>(n + 1)));
                const bool bVergiss = (x >> 4) % 7 == 0;
                const Ausgabe erwartet = Referenz(rsicht, nullptr, nStart);
                for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                    const Fassung& f = l.aFassungen[i];
                    if (bVergiss) aSucher[i]->Vergiss();
                    v.PruefeAusgabe(
                        Sucher(*aSucher[i], f.Sicht(rsicht), nullptr, f.Relativ(rsicht, nStart)),
                        InBytes(erwartet, f, rsicht),
                        [&] { return "BrixBlockSucher mit Vergessen ab " + std::to_string(nStart); }, dok, f);
                }
            }
        }
    }
}

// The step behind an unclosed comment, processing instruction or declaration: 100 units on from
// its '<', or to the last unit when the text ends sooner, but never onto the second unit of a
// surrogate pair (then one unit earlier, on the pair's start). The reference model's step in
// units is pinned here; the product must agree in both worlds.
TEST(DifferenzScanner, SchrittHinterOffenemEinschub)
{
    const std::u16string x95(95, u'x');
    const std::u16string x96(96, u'x');
    const std::u16string x94(94, u'x');
    static constexpr char16_t kPaar[] = u"\U0001F600";
    struct Fall {
        int nZeile;
        std::u16string text;
        int nCode;
        int nNext;  // in units of the document
    };
    const Fall aFaelle[] = {
        {__LINE__, u"<!--" + x95 + kPaar + u"yz", 10, 99},                  // 100 is the pair's second unit
        {__LINE__, u"<!--" + x96 + kPaar + u"yz", 10, 100},                 // 100 is the pair's first unit
        {__LINE__, u"<!--" + x94 + kPaar + u"yz", 10, 100},                 // the pair lies before 100
        {__LINE__, u"<?x" + x96 + kPaar + u"y", 11, 99},                    // the same behind "<?"
        {__LINE__, u"<!x" + x96 + kPaar, 12, 99},                           // ... and "<!", the pair at the end
        {__LINE__, u"ab<!--" + x95 + kPaar + u"y", 10, 101},                // counted from the '<' at 2
        {__LINE__, u"<!--" + x95 + u"\xDC80\xDC81\xDC82", 10, 100},         // stray bytes: one unit each
        {__LINE__, u"<!--" + x94 + u"\xDCED\xDCA0\xDC80" + u"y", 10, 100},  // ED A0 80: three
        {__LINE__, u"<!--" + x95 + u"\xDCC0\xDC80" + u"y", 10, 100},        // C0 80: two
        {__LINE__, u"<!--" + x96 + u"\xD83D" + u"yz", 10, 100},             // a lone high surrogate
        {__LINE__, u"<!--" + x95 + u"\xDE00\xDE00" + u"y", 10, 100},        // lone low surrogates
        {__LINE__, u"<!--" + x95 + u"\xD83D" + kPaar, 10, 100},             // a lone high one before a pair
        {__LINE__, u"<!--" + std::u16string(kPaar), 10, 4},                 // the last unit is a pair's second
        {__LINE__, u"<?" + std::u16string(kPaar), 11, 2},                   // ... behind "<?"
        {__LINE__, u"<!" + std::u16string(kPaar) + kPaar, 12, 4},           // ... two pairs
        {__LINE__, u"<!--\U0001F600x", 10, 6},                              // the last unit is plain
        {__LINE__, u"<!x\xDC80", 12, 3},                                    // the last unit is a byte
        {__LINE__, u"<!--\xD83D", 10, 4},                                   // a lone high surrogate at the end
    };
    Vergleich v;
    for (const Fall& fall : aFaelle) {
        for (const bool bUngerade : {false, true}) {
            const Dokument dok(fall.text, bUngerade);
            for (const Lesart& l : dok.aLesarten) {
                const ref::Sicht rsicht = ref::Ganz(l.text);
                const Ausgabe erwartet = Referenz(rsicht, nullptr, 0);
                EXPECT_EQ(erwartet.nError, fall.nCode) << "Zeile " << fall.nZeile;
                EXPECT_EQ(erwartet.nNext, fall.nNext) << "Zeile " << fall.nZeile;
                for (const Fassung& f : l.aFassungen) {
                    v.PruefeAusgabe(Produkt(BrixSubString(f.cs), nullptr, 0), InBytes(erwartet, f, rsicht),
                                    "Zeile " + std::to_string(fall.nZeile), dok, f);
                    // -S drops what lies between the '<' and the step's end.
                    CString out;
                    UeberspringeTagBlocks(BrixSubString(f.cs), BrixSubString(), out);
                    v.PruefeText(out.Sicht(), Erwartet(ref::UeberspringeTagBlocks(rsicht, ref::Sicht{})), true,
                                 "-S, Zeile " + std::to_string(fall.nZeile), dok, f);
                }
            }
        }
    }
}

// --- Hostile families (see Feindfamilie): walks that go far, and far again from later tags ---

// Documents per family for the filters, and for the scanner calls from every start. The
// reference model is slow on these shapes (as slow as a naive scanner), so they are few and
// most are short.
constexpr std::uint32_t kFeindDokumente = 250;
constexpr std::uint32_t kFeindScannerDokumente = 50;

// About how many units a hostile document has, by seed: mostly a few dozen to a few hundred,
// every 50th a few thousand, so that a walk meets many faults in a row; at most nHoechstens.
int FeindLaenge(std::uint32_t nSeed, int nHoechstens)
{
    static constexpr int kLaengen[] = {30, 60, 100, 160, 250, 400};
    return std::min(nSeed % 50 == 0 ? 2000 : kLaengen[nSeed % 6], nHoechstens);
}

// Runs pruefe on documents 1..nDokumente of every family, the step targets included, until too
// many mismatches.
template <class F>
void FuerJedeFamilie(std::uint32_t nDokumente, int nHoechstens, Vergleich& v, F pruefe)
{
    std::vector<Feindfamilie> aFamilien(std::begin(kFeindfamilien), std::end(kFeindfamilien));
    aFamilien.push_back(Feindfamilie::Sprungziele);
    for (const Feindfamilie familie : aFamilien)
        for (std::uint32_t nSeed = 1; nSeed <= nDokumente && v.Weiter(); ++nSeed)
            pruefe(Dokument(familie, nSeed, FeindLaenge(nSeed, nHoechstens)), nSeed);
}

// Names the hostile documents use, one they never use, and no data.
const std::vector<Wert>& FeindNamen()
{
    static const std::vector<Wert> aNamen = [] {
        std::vector<Wert> a;
        for (const char16_t* s : {u"a", u"b", u"r", u"q", u"t1", u"zz"}) a.emplace_back(s);
        a.emplace_back(u"", false);
        return a;
    }();
    return aNamen;
}

// Lists for -s: outer names alone and with inner ones, occurring or not.
const std::vector<Wert>& FeindNamenslisten()
{
    static const std::vector<Wert> aListen = [] {
        std::vector<Wert> a;
        for (const char16_t* s : {u"r", u"a", u"r,a", u"a,b,c", u"q,i", u"b,b", u"zz,a", u""}) a.emplace_back(s);
        return a;
    }();
    return aListen;
}

TEST(DifferenzFeindlich, EntfernenUndLoeschen)
{
    Vergleich v;
    FuerJedeFamilie(kFeindDokumente, 2000, v,
                    [&](const Dokument& dok, std::uint32_t) { PruefeEntfernenUndLoeschen(dok, v); });
}

TEST(DifferenzFeindlich, ZeigeTagBlocksUndIhreLaenge)
{
    Vergleich v;
    FuerJedeFamilie(kFeindDokumente, 2000, v,
                    [&](const Dokument& dok, std::uint32_t) { PruefeZeigeTagBlocks(dok, FeindNamenslisten(), v); });
}

TEST(DifferenzFeindlich, UeberspringeTagBlocks)
{
    Vergleich v;
    FuerJedeFamilie(kFeindDokumente, 2000, v,
                    [&](const Dokument& dok, std::uint32_t) { PruefeUeberspringeTagBlocks(dok, FeindNamen(), v); });
}

TEST(DifferenzFeindlich, ErsetzeTagInhalt)
{
    Vergleich v;
    FuerJedeFamilie(kFeindDokumente, 2000, v, [&](const Dokument& dok, std::uint32_t nSeed) {
        PruefeErsetzeTagInhalt(dok, FeindNamen(), Ersetzungen()[nSeed % Ersetzungen().size()], v);
    });
}

TEST(DifferenzFeindlich, BlocksucheUndEndTagVonJedemStartpunkt)
{
    Vergleich v;
    FuerJedeFamilie(kFeindScannerDokumente, 250, v, [&](const Dokument& dok, std::uint32_t) {
        PruefeBlocksuche(dok, FeindNamen(), v);
        PruefeFindeEndTag(dok, FeindNamen(), v);
    });
}

TEST(DifferenzFeindlich, FindeErstenTagBlock)
{
    Vergleich v;
    FuerJedeFamilie(kFeindScannerDokumente, 250, v, [&](const Dokument& dok, std::uint32_t) {
        PruefeFindeErstenTagBlock(dok, FeindNamenslisten(), v);
    });
}

TEST(DifferenzFeindlich, BlockSucherMitGedaechtnis)
{
    Vergleich v;
    FuerJedeFamilie(kFeindScannerDokumente, 250, v, [&](const Dokument& dok, std::uint32_t nSeed) {
        PruefeSucherMitGedaechtnis(dok, nSeed % 2 == 0 ? 0 : 8, FeindNamen(), v);
    });
}

// Views of a hostile document that start and end anywhere (in a tag, in a quote, right behind
// a '<', just before a '>'; never inside a character): the whole first, then shorter ones. In
// each, the walks of the filters over every element (-d, -R) and by name (-S), both going on
// from nNext after a fault; in the first three also the descent into every block found. The
// plain scanner and one seeker for all views of the document give the reference model's
// outputs: what the seeker found in a longer view must not be taken for a shorter one where the
// shorter end changes it. Now and then the seeker forgets; then it holds nothing.
TEST(DifferenzFeindlich, WegeInTeilsichten)
{
    Vergleich v;
    FuerJedeFamilie(120, 400, v, [&](const Dokument& dok, std::uint32_t nSeed) {
        for (const Lesart& l : dok.aLesarten) {
            const int n = static_cast<int>(l.text.size());
            std::uint32_t x = nSeed * 2654435761u;
            auto zufall = [&x](int nBis) {
                x = x * 1103515245u + 12345u;
                return static_cast<int>((x >> 8) % static_cast<std::uint32_t>(nBis + 1));
            };
            std::vector<std::pair<int, int>> aGrenzen{{0, n}, {0, n - 1 - zufall(n / 4)}};
            for (int k = 0; k < 6; ++k) {
                const int nVorn = zufall(n);
                aGrenzen.push_back({nVorn, nVorn + zufall(n - nVorn)});
            }
            // Views that end just before a '>', inside the tag it closes.
            std::vector<int> aGt;
            for (int i = 0; i < n; ++i)
                if (l.text[static_cast<std::size_t>(i)] == u'>') aGt.push_back(i);
            for (int k = 0; k < 4 && !aGt.empty(); ++k) {
                const int nHinten = aGt[static_cast<std::size_t>(zufall(static_cast<int>(aGt.size()) - 1))];
                aGrenzen.push_back({k % 2 == 0 ? 0 : zufall(nHinten), nHinten});
            }
            auto aSucher = Sucherliste(l, nSeed % 2 == 0 ? 0 : 8);
            for (std::size_t k = 0; k < aGrenzen.size(); ++k) {
                const int nVorn = Zeichenanfang(l.text, std::max(aGrenzen[k].first, 0));
                const int nHinten = Zeichenanfang(l.text, std::max(nVorn, aGrenzen[k].second));
                const ref::Sicht rsicht{&l.text, nVorn, std::max(nVorn, nHinten)};
                const std::string strSicht =
                    " in " + std::to_string(rsicht.nStart) + ".." + std::to_string(rsicht.nEnd);
                const Wert& name = FeindNamen()[(nSeed + k) % FeindNamen().size()];
                const ref::Sicht rname = name.Referenz();
                for (const bool bMitName : {false, true}) {
                    int nPos = 0;
                    for (int nSchritt = 0; nSchritt < 10000; ++nSchritt) {
                        const Ausgabe erwartet = Referenz(rsicht, bMitName ? &rname : nullptr, nPos);
                        auto strWas = [&] {
                            return (bMitName ? "Weg mit " + Bei(name, nPos) : "Weg ab " + std::to_string(nPos)) +
                                   strSicht;
                        };
                        for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                            const Fassung& f = l.aFassungen[i];
                            const BrixSubString sicht = f.Sicht(rsicht);
                            const BrixSubString pname = name.Produkt(f);
                            const Pos nAb = f.Relativ(rsicht, nPos);
                            const Ausgabe soll = InBytes(erwartet, f, rsicht);
                            v.PruefeAusgabe(Produkt(sicht, bMitName ? &pname : nullptr, nAb), soll, strWas, dok, f);
                            v.PruefeAusgabe(
                                Sucher(*aSucher[i], sicht, bMitName ? &pname : nullptr, nAb), soll,
                                [&] { return "BrixBlockSucher, " + strWas(); }, dok, f);
                        }
                        if (erwartet.nNext <= nPos) break;
                        nPos = static_cast<int>(erwartet.nNext);
                    }
                }
                if (k < 3) PruefeWege(dok, l, rsicht, v);
                if (zufall(3) == 0) {
                    for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                        aSucher[i]->Vergiss();
                        v.Pruefe<std::size_t>(aSucher[i]->AnzahlGemerkt(), 0,
                                              "BrixBlockSucher vergisst nicht" + strSicht, dok, l.aFassungen[i]);
                    }
                }
            }
        }
    });
}

// A chain of options: each filter works on the result of the one before, and the result equals
// the reference model's filters applied in the same order. In the narrow world a filter's result
// is bytes again, which the reference sees as a decoder does (bytes that came to stand side by
// side may now form one character); in the UTF-16 world the held text keeps every unit, and the
// reference goes on with its own result (where a high and a low surrogate came to stand side by
// side, they are a pair).
void PruefeKette(const Dokument& dok, const std::vector<std::u16string_view>& kette, Vergleich& v,
                 const std::string& strZeile = "", std::string_view erstesStueckBisIn = {})
{
    for (const Lesart& l : dok.aLesarten) {
        for (const Fassung& f : l.aFassungen) {
            CString text(f.cs);
            std::u16string erwartet = l.text;
            bool bNachsatz = true;
            std::string strKette;
            std::deque<CString> aWerte;
            std::vector<Schritt> aSchritte;
            for (const std::u16string_view option : kette) {
                strKette += Lesbar(std::u16string(option)) + " ";
                WendeAn(option, text);
                aSchritte.push_back(SchrittFuer(option, aWerte));
                // Only a listing leaves the end of the text out (it holds whole elements only).
                bNachsatz = bNachsatz && !f.strNachsatz.empty() && option[1] != u's';
                erwartet = WendeAnReferenz(option, erwartet);
                v.PruefeText(text.Sicht(), Erwartet(erwartet), bNachsatz, strZeile + "Kette " + strKette, dok, f);
                if (aSchritte.size() == kette.size()) {
                    // The whole chain over the document in pieces, as a run makes it.
                    // (The first piece may end 60 bytes into the first erstesStueckBisIn.)
                    const std::size_t nBis = erstesStueckBisIn.empty() ? 0 : f.cs.Sicht().find(erstesStueckBisIn);
                    const Pos nErstes = nBis == std::string_view::npos ? 0 : static_cast<Pos>(nBis) + 60;
                    v.PruefeText(InStuecken(f.cs, aSchritte, dok.nSeed, nErstes).Sicht(), Erwartet(erwartet), bNachsatz,
                                 strZeile + "in Stuecken: Kette " + strKette, dok, f);
                }
                if (f.eForm == TextForm::Schmal) erwartet = UnitsAus(SchmalAus(erwartet));
            }
        }
    }
}

// Chains on hostile documents.
TEST(DifferenzFeindlich, Ketten)
{
    const std::vector<std::vector<std::u16string_view>> aKetten = {
        {u"-c", u"-d", u"-sa,b"},
        {u"-d", u"-Sa", u"-Rb=X"},
        {u"-t", u"-d"},
        {u"-c", u"-Rr=<n/>", u"-d", u"-Sb"},
        {u"-Sr", u"-c", u"-d", u"-sr,a"},
        {u"-d", u"-d", u"-d"},
        {u"-Ra=", u"-d", u"-sa"},
        {u"-c", u"-S", u"-t", u"-S"},
        {u"-Rb=\xDCF0\xDC9F", u"-c", u"-Sa"},
    };
    Vergleich v;
    FuerJedeFamilie(20, 1500, v, [&](const Dokument& dok, std::uint32_t) {
        for (const auto& kette : aKetten) PruefeKette(dok, kette, v);
    });
}

// Chains where a filter brings together what becomes one character, and a later step behind an
// unclosed construct meets it.
TEST(DifferenzFilter, KetteFuegtZeichenZusammen)
{
    const std::u16string x96(96, u'x');
    struct Fall {
        int nZeile;
        std::u16string text;
        std::vector<std::u16string_view> kette;
    };
    const Fall aFaelle[] = {
        // UTF-16: a high and a low surrogate meet where the comment was; the step of 100 units
        // ends on the low one, so on the pair's start.
        {__LINE__, u"<?x" + x96 + u"\xD83D<!---->\xDE00yz", {u"-c", u"-Sa"}},
        // ... the same with the step ending on the pair's start.
        {__LINE__, u"<?" + x96 + u"\xD83D<!---->\xDE00yz", {u"-c", u"-Sa"}},
        // Narrow: the bytes F0 9F and 98 80 meet and become one 4-byte character (two units).
        {__LINE__, u"<?" + x96 + u"\xDCF0\xDC9F<!---->\xDC98\xDC80yz", {u"-c", u"-Sa"}},
        // ... and E2 82 and AC: a euro sign, one unit.
        {__LINE__, u"<?" + x96 + u"\xDCE2<!---->\xDC82\xDCACyz", {u"-c", u"-Sa"}},
    };
    Vergleich v;
    for (const Fall& fall : aFaelle) {
        for (const bool bUngerade : {false, true}) {
            const Dokument dok(fall.text, bUngerade);
            PruefeKette(dok, fall.kette, v, "Zeile " + std::to_string(fall.nZeile) + ": ");
        }
    }
}

// An element that comes in many pieces behind more than 64 KiB of finished elements that came in
// the same piece, which the chain drops while the walk for its end waits: the walk goes on where
// it stopped, in a text whose start has moved, with elements open and recorded. The element
// holds plain nested elements (which the recording walk serves whole), so many plain children
// that the recording is given up half way, or random documents.
TEST(DifferenzFilter, LangesElementHinterVerworfenemText)
{
    const std::vector<std::vector<std::u16string_view>> aKetten = {{u"-d"},  {u"-sa,b,r"}, {u"-sa"},
                                                                   {u"-Sa"}, {u"-Rr=X"},   {u"-Ra=Y", u"-d"}};
    std::u16string vorne;
    for (int i = 0; i < 14000; ++i) vorne += u"<e/>\n";
    std::u16string schlicht;
    for (int i = 0; i < 300; ++i) schlicht += i % 7 == 3 ? u"<b><!-- c --><r/>" : u"<b k='1'><r>t</r>";
    for (int i = 0; i < 300; ++i) schlicht += u"</b>";
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= 6 && v.Weiter(); ++nSeed) {
        std::u16string innen = nSeed % 3 == 0 ? schlicht : u"";
        for (int i = 0; nSeed % 3 == 1 && i < 8500; ++i) innen += u"<r/>";
        while (innen.size() < 3000)
            innen += Dokument(nSeed + 1000 * static_cast<std::uint32_t>(innen.size()), true).quelle;
        const Dokument dok(vorne + u"<a x='1'>" + innen + u"</a>\n<b/>", nSeed % 4 == 1);
        for (const auto& kette : aKetten) PruefeKette(dok, kette, v, "Seed " + std::to_string(nSeed) + ": ", "<a x=");
    }
}

// --- Searches on long texts (the fast scans work on many bytes at a time) ---

// Every byte set the scanner uses, one with quotes as members, duplicates, and one too large
// for the fast path, against texts of a small alphabet (characters of several bytes, and bytes
// no decoder takes whose low seven bits are markup), from every start and in inner views.
TEST(DifferenzSuche, FindeEinesVonUndKlammern)
{
    static constexpr const char* kMengen[] = {
        " />\n\r\t", "()[]{}<>", ">", "\"'>", ">>/", "", "abcdefghijklmn<>",
    };
    static constexpr std::u16string_view kAlphabet[] = {
        u"a",      u"b",    u" ",          u"<",      u">",      u"/",      u"\"",     u"'",      u"(",      u")",
        u"[",      u"]",    u"{",          u"}",      u"\n",     u"\r",     u"\t",     u"-",      u"\u013E", u"\u00A8",
        u"\u0168", u"\0"sv, u"\U0001F600", u"\xDCBE", u"\xDCBC", u"\xDCA2", u"\xDCA7", u"\xDCA9", u"\xDCDB", u"\xD83D",
    };
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= 200; ++nSeed) {
        std::uint32_t x = nSeed * 2654435761u;
        auto zufall = [&x](std::uint32_t n) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            return x % n;
        };
        std::u16string text;
        const std::uint32_t nLaenge = 1 + zufall(70);
        for (std::uint32_t i = 0; i < nLaenge; ++i) text += kAlphabet[zufall(std::size(kAlphabet))];
        const Dokument dok(text, nSeed % 4 == 3);
        for (const Lesart& l : dok.aLesarten) {
            const int n = static_cast<int>(l.text.size());
            const int nVorn = Zeichenanfang(l.text, static_cast<int>(zufall(4)) % (n + 1));
            const int nHinten = Zeichenanfang(l.text, n - static_cast<int>(zufall(4)) % (n - nVorn + 1));
            const ref::Sicht rsicht{&l.text, nVorn, std::max(nVorn, nHinten)};
            std::vector<int> aAnfaenge;  // the view's positions where characters start
            for (int i = 0; i <= rsicht.Laenge(); ++i)
                if (IstZeichenanfang(l.text, static_cast<std::size_t>(rsicht.nStart + i))) aAnfaenge.push_back(i);
            for (const char* pMenge : kMengen) {
                const std::u16string menge = UnitsAus(pMenge);
                for (const int nFrom : aAnfaenge) {
                    for (const bool bQuotes : {false, true}) {
                        int nRefWhich = -7;
                        const int nRef = ref::FindeEinesVon(rsicht, menge, nFrom, &nRefWhich, bQuotes);
                        for (const Fassung& f : l.aFassungen) {
                            int nWhich = -7;
                            const Pos r =
                                f.Sicht(rsicht).FindeEinesVon(pMenge, f.Relativ(rsicht, nFrom), &nWhich, bQuotes);
                            v.Pruefe(
                                std::array<Pos, 2>{r, nWhich}, std::array<Pos, 2>{f.Relativ(rsicht, nRef), nRefWhich},
                                [&] {
                                    return "FindeEinesVon \"" + LesbareBytes(pMenge) + "\" ab " + std::to_string(nFrom);
                                },
                                dok, f);
                        }
                    }
                }
            }
            // The scanner's bracket walk from every position: by a scanner that has learned
            // nothing yet, and by one that keeps what it learned from start to start and in
            // inner views.
            std::vector<std::unique_ptr<BrixAbtaster>> aAbtaster;
            for (std::size_t i = 0; i < l.aFassungen.size(); ++i)
                aAbtaster.push_back(std::make_unique<BrixAbtaster>(nullptr, nSeed % 2 == 0 ? 0 : 4));
            for (const int nFrom : aAnfaenge) {
                const int nRefK = ref::FindeSchliessendeKlammer(rsicht, nFrom, u"()[]{}<>", 6, true);
                const ref::Sicht rinnen{&l.text, rsicht.nStart,
                                        std::max(rsicht.nStart, Zeichenanfang(l.text, rsicht.nEnd - nFrom % 3))};
                const int nRefInnen = ref::FindeSchliessendeKlammer(rinnen, nFrom, u"()[]{}<>", 6, true);
                for (std::size_t i = 0; i < l.aFassungen.size(); ++i) {
                    const Fassung& f = l.aFassungen[i];
                    const BrixSubString sicht = f.Sicht(rsicht);
                    const Pos nAb = f.Relativ(rsicht, nFrom);
                    BrixAbtaster frisch;
                    v.Pruefe(
                        frisch.SchliessendeSpitzeKlammer(sicht, nAb), f.Relativ(rsicht, nRefK),
                        [&] { return "SchliessendeSpitzeKlammer ab " + std::to_string(nFrom); }, dok, f);
                    v.Pruefe(
                        aAbtaster[i]->SchliessendeSpitzeKlammer(sicht, nAb), f.Relativ(rsicht, nRefK),
                        [&] { return "SchliessendeSpitzeKlammer mit Gelerntem ab " + std::to_string(nFrom); }, dok, f);
                    v.Pruefe(
                        aAbtaster[i]->SchliessendeSpitzeKlammer(f.Sicht(rinnen), nAb), f.Relativ(rinnen, nRefInnen),
                        [&] {
                            return "SchliessendeSpitzeKlammer mit Gelerntem in kuerzerer Sicht ab " +
                                   std::to_string(nFrom);
                        },
                        dok, f);
                }
            }
            for (int nPos = 0; nPos < rsicht.Laenge(); ++nPos) {
                if (rsicht.An(nPos) != u'<') continue;
                for (const bool bQuotes : {false, true}) {
                    const int nRef = ref::FindeSchliessendeKlammer(rsicht, nPos, u"()[]{}<>", 6, bQuotes);
                    for (const Fassung& f : l.aFassungen)
                        v.Pruefe(
                            f.Sicht(rsicht).FindeSchliessendeKlammer(f.Relativ(rsicht, nPos), "()[]{}<>", 6, bQuotes),
                            f.Relativ(rsicht, nRef),
                            [&] { return "FindeSchliessendeKlammer ab " + std::to_string(nPos); }, dok, f);
                }
            }
        }
    }
}

}  // namespace
