// Product against the reference model on thousands of seeded random documents, broken ones
// included, and on hostile families of broken documents (see Feindfamilie): every filter with
// several name lists, chains of filters, the scanner's calls with all their outputs, the block
// seeker of -S and -R, and the listing's measure. A mismatch names the seed (and the family) and
// shows the document.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "brix/TextZiel.h"
#include "support/Referenz.h"
#include "support/Zufallsdokument.h"
#include "xml/BlockSucher.h"
#include "xml/Filter.h"
#include "xml/Abtaster.h"

namespace {

namespace ref = referenz;
using namespace std::string_view_literals;

constexpr std::uint32_t kDokumente = 2000;
// The scanner tests search from every '<' of a document, so they take fewer documents.
constexpr std::uint32_t kScannerDokumente = 500;
// Reporting stops after this many mismatches; one seed is enough to debug.
constexpr int kMaxMeldungen = 5;

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

// One document in both worlds. Wrapped in an element a, its top level becomes the content
// that the listing's inner walk and the descent of -R look at.
struct Dokument {
    explicit Dokument(std::uint32_t nSeed, bool bEingepackt = false)
        : nSeed(nSeed), text(ErzeugeZufallsdokument(nSeed, OptionenFuer(nSeed))), cs()
    {
        if (bEingepackt) text = u"<a>" + text + u"</a>";
        cs = CString(text);
    }
    // A given text (seed 0).
    explicit Dokument(std::u16string_view t) : nSeed(0), text(t), cs(text) {}
    // A document of a hostile family, of about nLaenge units.
    Dokument(Feindfamilie familie, std::uint32_t nSeed, int nLaenge)
        : nSeed(nSeed),
          text(ErzeugeFeindlichesDokument(nSeed, FeindOptionen{familie, nLaenge})),
          cs(text),
          pFamilie(FamilienName(familie))
    {
    }
    std::uint32_t nSeed;
    std::u16string text;
    CString cs;
    const char* pFamilie = nullptr;

    std::string Wo() const
    {
        const std::string strFamilie = pFamilie ? "Familie " + std::string(pFamilie) + ", " : "";
        return strFamilie + "Seed " + std::to_string(nSeed) + ", Dokument \"" + Lesbar(text) + "\"";
    }
};

// A name or replacement in both worlds; bDaten false is a view with no data.
struct Wert {
    explicit Wert(std::u16string s, bool bDaten = true) : text(std::move(s)), cs(text), bDaten(bDaten) {}
    std::u16string text;
    CString cs;
    bool bDaten;
    BrixSubString Produkt() const { return bDaten ? BrixSubString(cs) : BrixSubString(); }
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
    int nError, nPos, nNext, nLen, nOff;
    bool bDaten;
    int nStart, nEnd;
    bool operator==(const Ausgabe&) const = default;
};

std::string Text(const Ausgabe& a)
{
    return "code " + std::to_string(a.nError) + " nPos " + std::to_string(a.nPos) + " nNext " +
           std::to_string(a.nNext) + " len " + std::to_string(a.nLen) + " off " + std::to_string(a.nOff) +
           (a.bDaten ? " view " + std::to_string(a.nStart) + ".." + std::to_string(a.nEnd) : " no data");
}

constexpr int kUnberuehrt = 4711;  // optional outputs start with it, so "left unchanged" shows

Ausgabe Produkt(const BrixSubString& v, const BrixSubString* pName, int nPos)
{
    Ausgabe a{0, nPos, 0, kUnberuehrt, kUnberuehrt, false, 0, 0};
    const BrixSubString r = pName ? v.FindeTagBlock(*pName, a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff)
                                  : v.FindeNaechstenTagBlock(a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff);
    a.bDaten = r.HatDaten();
    a.nStart = r.m_nStart;
    a.nEnd = r.m_nEnd;
    return a;
}

Ausgabe Sucher(BrixBlockSucher& sucher, const BrixSubString& v, const BrixSubString* pName, int nPos)
{
    Ausgabe a{0, nPos, 0, kUnberuehrt, kUnberuehrt, false, 0, 0};
    const BrixSubString r = sucher.FindeTagBlock(v, pName, a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff);
    a.bDaten = r.HatDaten();
    a.nStart = r.m_nStart;
    a.nEnd = r.m_nEnd;
    return a;
}

Ausgabe Referenz(const ref::Sicht& v, const ref::Sicht* pName, int nPos)
{
    Ausgabe a{0, nPos, 0, kUnberuehrt, kUnberuehrt, false, 0, 0};
    const ref::Sicht r = pName ? ref::FindeTagBlock(v, *pName, a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff)
                               : ref::FindeNaechstenTagBlock(v, a.nPos, a.nNext, a.nError, &a.nLen, &a.nOff);
    a.bDaten = r.HatDaten();
    a.nStart = r.nStart;
    a.nEnd = r.nEnd;
    return a;
}

// Collects mismatches of one test; after kMaxMeldungen the rest are only counted.
class Vergleich {
public:
    template <class T>
    void Pruefe(const T& produkt, const T& referenz, const std::string& strWas, const Dokument& dok)
    {
        if (produkt == referenz) return;
        if (++m_nFehler <= kMaxMeldungen) ADD_FAILURE() << strWas << "\n  " << dok.Wo();
    }
    void PruefeText(std::u16string_view produkt, const std::u16string& referenz, const std::string& strWas,
                    const Dokument& dok)
    {
        if (produkt == referenz) return;
        if (++m_nFehler <= kMaxMeldungen)
            ADD_FAILURE() << strWas << "\n  " << dok.Wo() << "\n  Produkt:  \"" << Lesbar(std::u16string(produkt))
                          << "\"\n  Referenz: \"" << Lesbar(referenz) << "\"";
    }
    bool Weiter() const { return m_nFehler <= kMaxMeldungen; }

private:
    int m_nFehler = 0;
};

std::string Bei(const std::u16string& name, int nPos)
{
    return "Name \"" + Lesbar(name) + "\" ab " + std::to_string(nPos);
}

// --- Filters ---

// -c, -t and -d.
void PruefeEntfernenUndLoeschen(const Dokument& dok, Vergleich& v)
{
    const BrixSubString sicht(dok.cs);
    const ref::Sicht rsicht = ref::Ganz(dok.text);
    v.PruefeText(sicht.EntferneKommentare().Sicht(), ref::EntferneKommentare(rsicht), "-c", dok);
    v.PruefeText(sicht.EntferneTags().Sicht(), ref::EntferneTags(rsicht), "-t", dok);
    CString out(u"alt");
    LoescheLeereTags(sicht, out);
    v.PruefeText(out.Sicht(), ref::LoescheLeereTags(rsicht), "-d", dok);
}

TEST(DifferenzFilter, EntfernenUndLoeschen)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kDokumente && v.Weiter(); ++nSeed)
        PruefeEntfernenUndLoeschen(Dokument(nSeed), v);
}

// -s with every list of names, and the listing's measure.
void PruefeZeigeTagBlocks(const Dokument& dok, const std::vector<Wert>& aListen, Vergleich& v)
{
    const BrixSubString sicht(dok.cs);
    for (const Wert& namen : aListen) {
        CString out(u"alt");
        ZeigeTagBlocks(sicht, namen.Produkt(), out);
        const std::string strWas = "-s" + Lesbar(namen.text);
        v.PruefeText(out.Sicht(), ref::ZeigeTagBlocks(ref::Ganz(dok.text), namen.Referenz()), strWas, dok);
        v.Pruefe<std::int64_t>(LaengeTagBlockListe(sicht, namen.Produkt()), out.GetLength(),
                               strWas + ": measure and listing differ", dok);
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
    for (const Wert& name : aNamen) {
        CString out(u"alt");
        UeberspringeTagBlocks(BrixSubString(dok.cs), name.Produkt(), out);
        v.PruefeText(out.Sicht(), ref::UeberspringeTagBlocks(ref::Ganz(dok.text), name.Referenz()),
                     "-S" + Lesbar(name.text), dok);
    }
}

TEST(DifferenzFilter, UeberspringeTagBlocks)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kDokumente && v.Weiter(); ++nSeed)
        PruefeUeberspringeTagBlocks(Dokument(nSeed), Einzelnamen(), v);
}

// Replacements for -R: text, none ("-Rname" without "="), and markup.
const std::vector<Wert>& Ersetzungen()
{
    static const std::vector<Wert> aErsatz = [] {
        std::vector<Wert> a;
        a.emplace_back(u"X");
        a.emplace_back(u"", false);
        a.emplace_back(u"<n/>\u00e4");
        return a;
    }();
    return aErsatz;
}

// -R with every name and one replacement.
void PruefeErsetzeTagInhalt(const Dokument& dok, const std::vector<Wert>& aNamen, const Wert& ersatz, Vergleich& v)
{
    for (const Wert& name : aNamen) {
        CString out(u"alt");
        ErsetzeTagInhalt(BrixSubString(dok.cs), name.Produkt(), out, ersatz.Produkt());
        v.PruefeText(out.Sicht(), ref::ErsetzeTagInhalt(ref::Ganz(dok.text), name.Referenz(), ersatz.Referenz()),
                     "-R" + Lesbar(name.text) + "=" + Lesbar(ersatz.text), dok);
    }
}

TEST(DifferenzFilter, ErsetzeTagInhalt)
{
    Vergleich v;
    for (std::uint32_t nFall = 2; nFall <= 2 * kDokumente + 1 && v.Weiter(); ++nFall)
        PruefeErsetzeTagInhalt(Dokument(nFall / 2, nFall % 2 == 1), Einzelnamen(),
                               Ersetzungen()[nFall % Ersetzungen().size()], v);
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
    const BrixSubString sicht(dok.cs);
    const ref::Sicht rsicht = ref::Ganz(dok.text);
    for (const int nStart : Startpunkte(dok.text)) {
        const Ausgabe erwartetNaechster = Referenz(rsicht, nullptr, nStart);
        const Ausgabe istNaechster = Produkt(sicht, nullptr, nStart);
        if (!(istNaechster == erwartetNaechster))
            v.Pruefe(Text(istNaechster), Text(erwartetNaechster), "FindeNaechstenTagBlock ab " + std::to_string(nStart),
                     dok);
        for (const Wert& name : aNamen) {
            const BrixSubString pname = name.Produkt();
            const ref::Sicht rname = name.Referenz();
            const Ausgabe erwartet = Referenz(rsicht, &rname, nStart);
            const Ausgabe ist = Produkt(sicht, &pname, nStart);
            if (!(ist == erwartet))
                v.Pruefe(Text(ist), Text(erwartet), "FindeTagBlock " + Bei(name.text, nStart), dok);
        }
    }
}

TEST(DifferenzScanner, BlocksucheVonJedemStartpunkt)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed)
        PruefeBlocksuche(Dokument(nSeed), Einzelnamen(), v);
}

// The scanner's documented edge cases, which random documents may miss.
constexpr std::u16string_view kRandTexte[] = {
        u"<a x='1'>text</a>", u"<!-- x --><b/>", u"<?xml version='1.0'?><r>1</r>", u"<!DOCTYPE r><r/>",
        u"<!--><b/>", u"<a><b>x</b></a>", u"<a><b/></a>", u"<a>1</a><b>2</b>", u"<a/>", u"<a />", u"</a><a/>",
        u"<a><b></a></b>", u"<a><b></a></b><c/>", u"<a></a >", u"<a>", u"x <", u"<abc", u"<ab c", u"<!-- x",
        u"<!x", u"<?x", u"<a><b x='<'>y</b></a>", u"<a>x</a", u"<a></", u"</", u"<a><!--", u"<a><?", u"<a><!x",
        u"<a><", u"<a><b", u"<a><b c", u"<a><b (c)>1</b></a>", u"<a><b x=\"/>\">1</b></a>", u"<a>\0</a\0>"sv,
        u"<a>x</a>b>", u"</a>b>", u"<r><a></a></r>", u"<r><a></a ></r>", u"<r><a></ab></r>", u"<a(><b></b></a(>",
        u"<a\"b\" c><b></b></a\"b\">", u"<ab><a></a></ab>",
};

// The edge cases through both: every start position, every name of the list, with and
// without a seeker's memory.
TEST(DifferenzScanner, Randfaelle)
{
    Vergleich v;
    for (const std::u16string_view text : kRandTexte) {
        const Dokument dok(text);
        const BrixSubString sicht(dok.cs);
        const ref::Sicht rsicht = ref::Ganz(dok.text);
        BrixBlockSucher sucher(0);
        for (int nStart = 0; nStart <= sicht.Laenge(); ++nStart) {
            v.Pruefe(Text(Produkt(sicht, nullptr, nStart)), Text(Referenz(rsicht, nullptr, nStart)),
                     "FindeNaechstenTagBlock ab " + std::to_string(nStart), dok);
            v.Pruefe(Text(Sucher(sucher, sicht, nullptr, nStart)), Text(Referenz(rsicht, nullptr, nStart)),
                     "BrixBlockSucher ab " + std::to_string(nStart), dok);
            for (const Wert& name : Einzelnamen()) {
                const BrixSubString pname = name.Produkt();
                const ref::Sicht rname = name.Referenz();
                v.Pruefe(Text(Produkt(sicht, &pname, nStart)), Text(Referenz(rsicht, &rname, nStart)),
                         "FindeTagBlock " + Bei(name.text, nStart), dok);
                int nError = -5;
                int nEndTag = kUnberuehrt;
                const int r = sicht.FindeEndTag(pname, nStart, nError, &nEndTag);
                int nRefError = -5;
                int nRefEndTag = kUnberuehrt;
                const int nRef = ref::FindeEndTag(rsicht, rname, nStart, nRefError, &nRefEndTag);
                v.Pruefe(std::vector<int>{r, nError, nEndTag}, std::vector<int>{nRef, nRefError, nRefEndTag},
                         "FindeEndTag " + Bei(name.text, nStart), dok);
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
    for (const std::u16string_view text : kRandTexte) {
        const Dokument dok(text);
        const int n = static_cast<int>(dok.text.size());
        BrixBlockSucher sucher(0);
        for (int nVorn = 0; nVorn <= n; ++nVorn) {
            for (int nHinten = n; nHinten >= nVorn; --nHinten) {
                const BrixSubString sicht(&dok.cs, nVorn, nHinten);
                const ref::Sicht rsicht{&dok.text, nVorn, nHinten};
                const std::string strSicht = std::to_string(nVorn) + ".." + std::to_string(nHinten);
                for (int nStart = 0; nStart <= sicht.Laenge(); ++nStart) {
                    const std::string strAb = " in " + strSicht + " ab " + std::to_string(nStart);
                    const Ausgabe erwartet = Referenz(rsicht, nullptr, nStart);
                    v.Pruefe(Text(Produkt(sicht, nullptr, nStart)), Text(erwartet), "FindeNaechstenTagBlock" + strAb,
                             dok);
                    v.Pruefe(Text(Sucher(sucher, sicht, nullptr, nStart)), Text(erwartet), "BrixBlockSucher" + strAb,
                             dok);
                    for (const Wert& name : Einzelnamen()) {
                        const BrixSubString pname = name.Produkt();
                        const ref::Sicht rname = name.Referenz();
                        v.Pruefe(Text(Produkt(sicht, &pname, nStart)), Text(Referenz(rsicht, &rname, nStart)),
                                 "FindeTagBlock \"" + Lesbar(name.text) + "\"" + strAb, dok);
                        int nError = -5;
                        int nEndTag = kUnberuehrt;
                        const int r = sicht.FindeEndTag(pname, nStart, nError, &nEndTag);
                        int nRefError = -5;
                        int nRefEndTag = kUnberuehrt;
                        const int nRef = ref::FindeEndTag(rsicht, rname, nStart, nRefError, &nRefEndTag);
                        v.Pruefe(std::vector<int>{r, nError, nEndTag}, std::vector<int>{nRef, nRefError, nRefEndTag},
                                 "FindeEndTag \"" + Lesbar(name.text) + "\"" + strAb, dok);
                    }
                }
            }
        }
    }
}

// Walks from 0 along nNext, as the filters do, on the view and on the content of every block
// the walk meets (the views -s and -R search).
void PruefeWege(const Dokument& dok, const BrixSubString& ganz, const ref::Sicht& rganz, Vergleich& v)
{
    std::vector<std::pair<BrixSubString, ref::Sicht>> aSichten{{ganz, rganz}};
    for (std::size_t i = 0; i < aSichten.size() && aSichten.size() < 200; ++i) {
        const auto [sicht, rsicht] = aSichten[i];
        int nPos = 0;
        for (int nSchritt = 0; nSchritt < 1000; ++nSchritt) {
            const Ausgabe erwartet = Referenz(rsicht, nullptr, nPos);
            const Ausgabe ist = Produkt(sicht, nullptr, nPos);
            if (!(ist == erwartet)) {
                v.Pruefe(Text(ist), Text(erwartet),
                         "Weg in " + std::to_string(rsicht.nStart) + ".." + std::to_string(rsicht.nEnd) + " ab " +
                             std::to_string(nPos),
                         dok);
                break;
            }
            if (ist.nError == 0 && ist.nLen >= 0) {
                aSichten.push_back({sicht.Mitte(ist.nPos + ist.nLen, ist.nOff - ist.nLen),
                                    rsicht.Mitte(ist.nPos + ist.nLen, ist.nOff - ist.nLen)});
            }
            if (ist.nNext <= nPos) break;
            nPos = ist.nNext;
        }
    }
}

TEST(DifferenzScanner, WegeMitAllenAusgaben)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed) {
        const Dokument dok(nSeed);
        PruefeWege(dok, BrixSubString(dok.cs), ref::Ganz(dok.text), v);
    }
}

// The end-tag search from every start point, with every name.
void PruefeFindeEndTag(const Dokument& dok, const std::vector<Wert>& aNamen, Vergleich& v)
{
    const BrixSubString sicht(dok.cs);
    const ref::Sicht rsicht = ref::Ganz(dok.text);
    for (const int nStart : Startpunkte(dok.text)) {
        for (const Wert& name : aNamen) {
            int nError = -5;
            int nEndTag = kUnberuehrt;
            const int r = sicht.FindeEndTag(name.Produkt(), nStart, nError, &nEndTag);
            int nRefError = -5;
            int nRefEndTag = kUnberuehrt;
            const int nRef = ref::FindeEndTag(rsicht, name.Referenz(), nStart, nRefError, &nRefEndTag);
            if (r != nRef || nError != nRefError || nEndTag != nRefEndTag)
                v.Pruefe(std::vector<int>{r, nError, nEndTag}, std::vector<int>{nRef, nRefError, nRefEndTag},
                         "FindeEndTag " + Bei(name.text, nStart), dok);
        }
    }
}

TEST(DifferenzScanner, FindeEndTag)
{
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= kScannerDokumente && v.Weiter(); ++nSeed)
        PruefeFindeEndTag(Dokument(nSeed), Einzelnamen(), v);
}

// The first block of several names from every start point, with every list.
void PruefeFindeErstenTagBlock(const Dokument& dok, const std::vector<Wert>& aListen, Vergleich& v)
{
    const BrixSubString sicht(dok.cs);
    const ref::Sicht rsicht = ref::Ganz(dok.text);
    for (const Wert& namen : aListen) {
        CBrixArray<BrixSubString> aNamen;
        namen.Produkt().Teile(u',', aNamen, nullptr);
        const std::vector<ref::Sicht> aRefNamen = ref::Teile(namen.Referenz(), u',');
        for (const int nStart : Startpunkte(dok.text)) {
            std::array<int, 9> ist{nStart, -7, -7, -7, kUnberuehrt, kUnberuehrt, 0, 0, 0};
            const BrixSubString r = sicht.FindeErstenTagBlock(aNamen, ist[0], ist[1], ist[2], ist[3], &ist[4], &ist[5]);
            ist[6] = r.HatDaten();
            ist[7] = r.m_nStart;
            ist[8] = r.m_nEnd;
            std::array<int, 9> soll{nStart, -7, -7, -7, kUnberuehrt, kUnberuehrt, 0, 0, 0};
            const ref::Sicht rr =
                ref::FindeErstenTagBlock(rsicht, aRefNamen, soll[0], soll[1], soll[2], soll[3], &soll[4], &soll[5]);
            soll[6] = rr.HatDaten();
            soll[7] = rr.nStart;
            soll[8] = rr.nEnd;
            if (ist != soll) v.Pruefe(ist, soll, "FindeErstenTagBlock " + Bei(namen.text, nStart), dok);
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
void PruefeSucherMitGedaechtnis(const Dokument& dok, int nMindestSpanne, const std::vector<Wert>& aNamen,
                                Vergleich& v)
{
    BrixBlockSucher sucher(nMindestSpanne);
    std::vector<std::pair<BrixSubString, ref::Sicht>> aSichten{{BrixSubString(dok.cs), ref::Ganz(dok.text)}};
    for (std::size_t i = 0; i < aSichten.size() && aSichten.size() < 100; ++i) {
        const auto [sicht, rsicht] = aSichten[i];
        for (int nStart = 0; nStart <= sicht.Laenge(); ++nStart) {
            const Ausgabe ist = Sucher(sucher, sicht, nullptr, nStart);
            const Ausgabe erwartet = Referenz(rsicht, nullptr, nStart);
            if (!(ist == erwartet)) {
                v.Pruefe(Text(ist), Text(erwartet),
                         "BrixBlockSucher in " + std::to_string(rsicht.nStart) + ".." + std::to_string(rsicht.nEnd) +
                             " ab " + std::to_string(nStart),
                         dok);
                continue;
            }
            if (ist.nError == 0 && ist.nLen >= 0) {
                aSichten.push_back({sicht.Mitte(ist.nPos + ist.nLen, ist.nOff - ist.nLen),
                                    rsicht.Mitte(ist.nPos + ist.nLen, ist.nOff - ist.nLen)});
            }
            const Wert& name = aNamen[static_cast<std::size_t>(nStart) % aNamen.size()];
            const BrixSubString pname = name.Produkt();
            const ref::Sicht rname = name.Referenz();
            const Ausgabe istName = Sucher(sucher, sicht, &pname, nStart);
            const Ausgabe erwartetName = Referenz(rsicht, &rname, nStart);
            if (!(istName == erwartetName))
                v.Pruefe(Text(istName), Text(erwartetName),
                         "BrixBlockSucher mit Name in " + std::to_string(rsicht.nStart) + ".." +
                             std::to_string(rsicht.nEnd) + " ab " + std::to_string(nStart),
                         dok);
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
        BrixBlockSucher sucher(0);
        const BrixSubString sicht(dok.cs);
        const ref::Sicht rsicht = ref::Ganz(dok.text);
        const int n = sicht.Laenge();
        std::uint32_t x = nSeed;
        for (int k = 0; k <= 2 * n; ++k) {
            x = x * 1103515245u + 12345u;
            const int nStart = static_cast<int>((x >> 8) % static_cast<std::uint32_t>(n + 1));
            if ((x >> 4) % 7 == 0) sucher.Vergiss();
            const Ausgabe ist = Sucher(sucher, sicht, nullptr, nStart);
            const Ausgabe erwartet = Referenz(rsicht, nullptr, nStart);
            if (!(ist == erwartet))
                v.Pruefe(Text(ist), Text(erwartet), "BrixBlockSucher mit Vergessen ab " + std::to_string(nStart), dok);
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

// Runs pruefe on documents 1..nDokumente of every family, until too many mismatches.
template <class F>
void FuerJedeFamilie(std::uint32_t nDokumente, int nHoechstens, Vergleich& v, F pruefe)
{
    for (const Feindfamilie familie : kFeindfamilien)
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
        for (const char16_t* s : {u"r", u"a", u"r,a", u"a,b,c", u"q,i", u"b,b", u"zz,a", u""})
            a.emplace_back(s);
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
    FuerJedeFamilie(kFeindScannerDokumente, 250, v,
                    [&](const Dokument& dok, std::uint32_t) { PruefeFindeErstenTagBlock(dok, FeindNamenslisten(), v); });
}

TEST(DifferenzFeindlich, BlockSucherMitGedaechtnis)
{
    Vergleich v;
    FuerJedeFamilie(kFeindScannerDokumente, 250, v, [&](const Dokument& dok, std::uint32_t nSeed) {
        PruefeSucherMitGedaechtnis(dok, nSeed % 2 == 0 ? 0 : 8, FeindNamen(), v);
    });
}

// Views of a hostile document that start and end anywhere (in a tag, in a quote, right behind
// a '<', just before a '>'): the whole first, then shorter ones. In each, the walks of the
// filters over every element (-d, -R) and by name (-S), both going on from nNext after a fault;
// in the first three also the descent into every block found. The plain scanner and one seeker
// for all views of the document give the reference model's outputs: what the seeker found in a
// longer view must not be taken for a shorter one where the shorter end changes it. Now and
// then the seeker forgets; then it holds nothing.
TEST(DifferenzFeindlich, WegeInTeilsichten)
{
    Vergleich v;
    FuerJedeFamilie(120, 400, v, [&](const Dokument& dok, std::uint32_t nSeed) {
        const int n = static_cast<int>(dok.text.size());
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
            if (dok.text[static_cast<std::size_t>(i)] == u'>') aGt.push_back(i);
        for (int k = 0; k < 4 && !aGt.empty(); ++k) {
            const int nHinten = aGt[static_cast<std::size_t>(zufall(static_cast<int>(aGt.size()) - 1))];
            aGrenzen.push_back({k % 2 == 0 ? 0 : zufall(nHinten), nHinten});
        }
        BrixBlockSucher sucher(nSeed % 2 == 0 ? 0 : 8);
        for (std::size_t k = 0; k < aGrenzen.size(); ++k) {
            const auto [nVorn, nHinten] = aGrenzen[k];
            const BrixSubString sicht(&dok.cs, nVorn, std::max(nVorn, nHinten));
            const ref::Sicht rsicht{&dok.text, nVorn, std::max(nVorn, nHinten)};
            const std::string strSicht = " in " + std::to_string(rsicht.nStart) + ".." + std::to_string(rsicht.nEnd);
            const Wert& name = FeindNamen()[(nSeed + k) % FeindNamen().size()];
            const BrixSubString pname = name.Produkt();
            const ref::Sicht rname = name.Referenz();
            for (const bool bMitName : {false, true}) {
                int nPos = 0;
                for (int nSchritt = 0; nSchritt < 10000; ++nSchritt) {
                    const Ausgabe erwartet = Referenz(rsicht, bMitName ? &rname : nullptr, nPos);
                    const Ausgabe ist = Produkt(sicht, bMitName ? &pname : nullptr, nPos);
                    const Ausgabe istSucher = Sucher(sucher, sicht, bMitName ? &pname : nullptr, nPos);
                    if (!(ist == erwartet) || !(istSucher == erwartet)) {
                        const std::string strWas =
                            (bMitName ? "Weg mit " + Bei(name.text, nPos) : "Weg ab " + std::to_string(nPos)) +
                            strSicht;
                        v.Pruefe(Text(ist), Text(erwartet), strWas, dok);
                        v.Pruefe(Text(istSucher), Text(erwartet), "BrixBlockSucher, " + strWas, dok);
                    }
                    if (erwartet.nNext <= nPos) break;
                    nPos = erwartet.nNext;
                }
            }
            if (k < 3) PruefeWege(dok, sicht, rsicht, v);
            if (zufall(3) == 0) {
                sucher.Vergiss();
                v.Pruefe<std::size_t>(sucher.AnzahlGemerkt(), 0, "BrixBlockSucher vergisst nicht" + strSicht, dok);
            }
        }
    });
}

// Chains of options on hostile documents: each filter works on the result of the one before,
// -c, -t and -d over their own input as in a run, and the result equals the reference model's
// filters applied in the same order.
void WendeAn(std::u16string_view option, CString& text)
{
    const char16_t art = option[1];
    if (art == u'c' || art == u't' || art == u'd') {
        EigenZiel ziel(text);
        const BrixSubString sicht(text);
        if (art == u'c') {
            sicht.EntferneKommentare(ziel);
        } else if (art == u't') {
            sicht.EntferneTags(ziel);
        } else {
            LoescheLeereTags(sicht, ziel);
        }
        return;
    }
    const CString wert(option.substr(2));
    const BrixSubString sicht(text);
    CString out;
    if (art == u's') {
        ZeigeTagBlocks(sicht, BrixSubString(wert), out);
    } else if (art == u'S') {
        UeberspringeTagBlocks(sicht, BrixSubString(wert), out);
    } else {
        const int nGleich = BrixSubString(wert).FindeZeichen(u'=');
        ErsetzeTagInhalt(sicht, BrixSubString(wert).Links(nGleich), out, BrixSubString(wert).Mitte(nGleich + 1));
    }
    text = out;
}

std::u16string WendeAnReferenz(std::u16string_view option, const std::u16string& text)
{
    const ref::Sicht sicht = ref::Ganz(text);
    const std::u16string wert(option.substr(2));
    switch (option[1]) {
    case u'c':
        return ref::EntferneKommentare(sicht);
    case u't':
        return ref::EntferneTags(sicht);
    case u'd':
        return ref::LoescheLeereTags(sicht);
    case u's':
        return ref::ZeigeTagBlocks(sicht, ref::Ganz(wert));
    case u'S':
        return ref::UeberspringeTagBlocks(sicht, ref::Ganz(wert));
    default: {
        const int nGleich = static_cast<int>(wert.find(u'='));
        const ref::Sicht w = ref::Ganz(wert);
        return ref::ErsetzeTagInhalt(sicht, w.Links(nGleich), w.Mitte(nGleich + 1));
    }
    }
}

TEST(DifferenzFeindlich, Ketten)
{
    const std::vector<std::vector<std::u16string_view>> aKetten = {
        {u"-c", u"-d", u"-sa,b"}, {u"-d", u"-Sa", u"-Rb=X"},        {u"-t", u"-d"},
        {u"-c", u"-Rr=<n/>", u"-d", u"-Sb"}, {u"-Sr", u"-c", u"-d", u"-sr,a"}, {u"-d", u"-d", u"-d"},
        {u"-Ra=", u"-d", u"-sa"},
    };
    Vergleich v;
    FuerJedeFamilie(20, 1500, v, [&](const Dokument& dok, std::uint32_t) {
        for (const auto& kette : aKetten) {
            CString text(dok.text);
            std::u16string erwartet = dok.text;
            std::string strKette;
            for (const std::u16string_view option : kette) {
                strKette += Lesbar(std::u16string(option)) + " ";
                WendeAn(option, text);
                erwartet = WendeAnReferenz(option, erwartet);
                v.PruefeText(text.Sicht(), erwartet, "Kette " + strKette, dok);
            }
        }
    });
}

// --- Searches on long texts (the fast scans work eight units at a time) ---

// Every unit set the scanner uses, one with quotes as members, duplicates, and one too large
// for the fast path, against texts of a small alphabet, from every start and in inner views.
TEST(DifferenzSuche, FindeEinesVonUndKlammern)
{
    static constexpr std::u16string_view kMengen[] = {
        u" />\n\r\t", u"()[]{}<>", u">", u"\"'>", u">>/", u"", u"abcdefghijklmn<>",
    };
    static constexpr char16_t kAlphabet[] = u"ab <>/\"'()[]{}\n\r\t-\u013E\u00A8\u0168\0";
    Vergleich v;
    for (std::uint32_t nSeed = 1; nSeed <= 200; ++nSeed) {
        std::uint32_t x = nSeed * 2654435761u;
        auto zufall = [&x](std::uint32_t n) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            return x % n;
        };
        Dokument dok(0);
        dok.text.clear();
        const std::uint32_t nLaenge = 1 + zufall(70);
        for (std::uint32_t i = 0; i < nLaenge; ++i) dok.text += kAlphabet[zufall(sizeof kAlphabet / 2)];
        dok.cs = CString(dok.text);
        const int n = static_cast<int>(dok.text.size());
        const int nVorn = static_cast<int>(zufall(4)) % (n + 1);
        const int nHinten = n - static_cast<int>(zufall(4)) % (n - nVorn + 1);
        const BrixSubString sicht(&dok.cs, nVorn, nHinten);
        const ref::Sicht rsicht{&dok.text, nVorn, nHinten};
        for (const std::u16string_view menge : kMengen) {
            const std::u16string strMenge(menge);
            for (int nFrom = 0; nFrom <= sicht.Laenge(); ++nFrom) {
                for (const bool bQuotes : {false, true}) {
                    int nWhich = -7;
                    int nRefWhich = -7;
                    const int r = sicht.FindeEinesVon(strMenge.c_str(), nFrom, &nWhich, bQuotes);
                    const int nRef = ref::FindeEinesVon(rsicht, menge, nFrom, &nRefWhich, bQuotes);
                    v.Pruefe(std::vector<int>{r, nWhich}, std::vector<int>{nRef, nRefWhich},
                             "FindeEinesVon \"" + Lesbar(strMenge) + "\" ab " + std::to_string(nFrom), dok);
                }
            }
        }
        // The scanner's bracket walk from every position: by a scanner that has learned nothing
        // yet, and by one that keeps what it learned from start to start and in inner views.
        BrixAbtaster abtaster(nullptr, nSeed % 2 == 0 ? 0 : 4);  // remember (nearly) every group
        for (int nFrom = 0; nFrom <= sicht.Laenge(); ++nFrom) {
            const int nRefK = ref::FindeSchliessendeKlammer(rsicht, nFrom, u"()[]{}<>", 6, true);
            BrixAbtaster frisch;
            v.Pruefe(frisch.SchliessendeSpitzeKlammer(sicht, nFrom), nRefK,
                     "SchliessendeSpitzeKlammer ab " + std::to_string(nFrom), dok);
            v.Pruefe(abtaster.SchliessendeSpitzeKlammer(sicht, nFrom), nRefK,
                     "SchliessendeSpitzeKlammer mit Gelerntem ab " + std::to_string(nFrom), dok);
            const BrixSubString innen = sicht.Mitte(0, sicht.Laenge() - nFrom % 3);
            const ref::Sicht rinnen = rsicht.Mitte(0, rsicht.Laenge() - nFrom % 3);
            v.Pruefe(abtaster.SchliessendeSpitzeKlammer(innen, nFrom),
                     ref::FindeSchliessendeKlammer(rinnen, nFrom, u"()[]{}<>", 6, true),
                     "SchliessendeSpitzeKlammer mit Gelerntem in kuerzerer Sicht ab " + std::to_string(nFrom), dok);
        }
        for (int nPos = 0; nPos < sicht.Laenge(); ++nPos) {
            if (sicht.ZeichenAn(nPos) != u'<') continue;
            for (const bool bQuotes : {false, true}) {
                const int r = sicht.FindeSchliessendeKlammer(nPos, u"()[]{}<>", 6, bQuotes);
                const int nRef = ref::FindeSchliessendeKlammer(rsicht, nPos, u"()[]{}<>", 6, bQuotes);
                v.Pruefe(r, nRef, "FindeSchliessendeKlammer ab " + std::to_string(nPos), dok);
            }
        }
    }
}

}  // namespace
