// Tests of the view's own operations: slicing, comparison, hash, KopiereNach and Anhaengen.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "brix/BrixSubString.h"
#include "platform/Ausnahmen.h"
#include "platform/Grenzen.h"

namespace {

using namespace std::string_view_literals;

std::u16string Text(const BrixSubString& v) { return std::u16string(v.Sicht()); }

// --- Slicing ---

enum class Schnitt { Mitte2, Mitte1, Links, Rechts };

struct SchnittFall {
    Schnitt art;
    int a;
    int b;
    int nStart;  // expected buffer indices
    int nEnd;
    int zeile;
};

TEST(BrixSubStringSchnitt, UeberAbcdef)
{
    const CString s(u"abcdef"sv);
    const BrixSubString v(s);
    const SchnittFall faelle[] = {
        {Schnitt::Mitte2, 2, 3, 2, 5, __LINE__},    // in range: "cde"
        {Schnitt::Mitte2, 4, 10, 4, 6, __LINE__},   // count past the end: "ef"
        {Schnitt::Mitte2, -2, 3, 0, 3, __LINE__},   // negative first does not shorten the count: "abc"
        {Schnitt::Mitte2, 6, 1, 6, 6, __LINE__},    // first at the end: empty at 6
        {Schnitt::Mitte2, 9, 1, 6, 6, __LINE__},    // first far past the end: empty at the view's end
        {Schnitt::Mitte2, 2, -1, 2, 2, __LINE__},   // negative count: empty at 2
        {Schnitt::Mitte2, 1, 2147483647, 1, 6, __LINE__},  // huge count must not wrap
        {Schnitt::Mitte1, 3, 0, 3, 6, __LINE__},    // "def"
        {Schnitt::Mitte1, -1, 0, 0, 6, __LINE__},   // negative first: whole view
        {Schnitt::Mitte1, 8, 0, 6, 6, __LINE__},    // past the end: empty at the end
        {Schnitt::Links, 4, 0, 0, 4, __LINE__},     // "abcd"
        {Schnitt::Links, 9, 0, 0, 6, __LINE__},     // clamped to the length
        {Schnitt::Links, 0, 0, 0, 0, __LINE__},     // empty at the start
        {Schnitt::Rechts, 2, 0, 4, 6, __LINE__},    // "ef"
        {Schnitt::Rechts, 6, 0, 0, 6, __LINE__},    // not longer than n: the whole view
        {Schnitt::Rechts, 9, 0, 0, 6, __LINE__},    // shorter than n: the whole view
        {Schnitt::Rechts, 0, 0, 6, 6, __LINE__},    // empty at the end
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        BrixSubString r;
        switch (f.art) {
        case Schnitt::Mitte2: r = v.Mitte(f.a, f.b); break;
        case Schnitt::Mitte1: r = v.Mitte(f.a); break;
        case Schnitt::Links: r = v.Links(f.a); break;
        case Schnitt::Rechts: r = v.Rechts(f.a); break;
        }
        EXPECT_EQ(r.m_pString, &s);
        EXPECT_EQ(r.m_nStart, f.nStart);
        EXPECT_EQ(r.m_nEnd, f.nEnd);
    }
}

TEST(BrixSubStringSchnitt, PositionenSindRelativZurSicht)
{
    const CString s(u"abcdef"sv);
    const BrixSubString v(&s, 2, 6);  // "cdef"
    const BrixSubString r = v.Mitte(1, 2);
    EXPECT_EQ(Text(r), u"de");
    EXPECT_EQ(r.m_nStart, 3);
    EXPECT_EQ(v.Mitte(9, 1).m_nStart, 6);  // empty at the view's end, in buffer indices
    EXPECT_EQ(Text(v.Links(3)), u"cde");
    EXPECT_EQ(Text(v.Rechts(1)), u"f");
    EXPECT_EQ(v.ZeichenAn(-5), u'c');  // negative index reads the first unit
    EXPECT_EQ(v.ZeichenAn(3), u'f');
}

TEST(BrixSubStringSchnitt, OhneDatenBleibtOhneDaten)
{
    const BrixSubString leer;
    for (const BrixSubString& r : {leer.Mitte(0, 3), leer.Mitte(2), leer.Links(1), leer.Rechts(2)}) {
        EXPECT_FALSE(r.HatDaten());
        EXPECT_EQ(r.m_nStart, 0);
        EXPECT_EQ(r.m_nEnd, 0);
    }
}

// --- Comparison ---

// A view is described by its text; nullptr means a view with no data.
struct VergleichFall {
    const char16_t* a;
    const char16_t* b;
    int vorzeichen;
    int zeile;
};

int Vorzeichen(int n) { return (n > 0) - (n < 0); }

TEST(BrixSubStringVergleiche, MitSicht)
{
    const VergleichFall faelle[] = {
        {u"abc", u"abd", -1, __LINE__},    // last unit decides
        {u"abc", u"ab", 1, __LINE__},      // longer after a common prefix
        {u"ab", u"abc", -1, __LINE__},     // prefix sorts first
        {u"abc", u"abc", 0, __LINE__},     // equal
        {nullptr, u"", 0, __LINE__},       // no data equals empty
        {nullptr, nullptr, 0, __LINE__},   // no data equals no data
        {nullptr, u"x", -1, __LINE__},     // no data before text
        {u"x", nullptr, 1, __LINE__},      // text after no data
        {u"", nullptr, 0, __LINE__},       // empty with source equals no data
        {u"A", u"a", -1, __LINE__},        // case matters, ordinal
        {u"\xFFFF", u"a", 1, __LINE__},    // units compare unsigned
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString sa(f.a ? std::u16string_view(f.a) : u""sv);
        const CString sb(f.b ? std::u16string_view(f.b) : u""sv);
        const BrixSubString va = f.a ? BrixSubString(sa) : BrixSubString();
        const BrixSubString vb = f.b ? BrixSubString(sb) : BrixSubString();
        EXPECT_EQ(Vorzeichen(va.Vergleiche(vb)), f.vorzeichen);
        EXPECT_EQ(Vorzeichen(va.Vergleiche(f.b)), f.vorzeichen);
    }
}

TEST(BrixSubStringVergleiche, NullEinheitIstGewoehnlich)
{
    const CString a(u"a\0b"sv);
    const CString b(u"a\0c"sv);
    const CString c(u"a"sv);
    EXPECT_LT(BrixSubString(a).Vergleiche(BrixSubString(b)), 0);  // comparison goes on past U+0000
    EXPECT_GT(BrixSubString(b).Vergleiche(BrixSubString(a)), 0);
    EXPECT_GT(BrixSubString(a).Vergleiche(BrixSubString(c)), 0);  // "a" is a prefix of "a\0b"
    EXPECT_GT(BrixSubString(a).Vergleiche(u"a"), 0);              // the zero-terminated "a" is shorter
    EXPECT_EQ(BrixSubString(a).Vergleiche(BrixSubString(a)), 0);
}

TEST(BrixSubStringVergleiche, TeilsichtMitten)
{
    const CString s(u"xxabcyy"sv);
    const BrixSubString v(&s, 2, 5);
    EXPECT_EQ(v.Vergleiche(u"abc"), 0);  // the units after the view do not count
    EXPECT_LT(v.Vergleiche(u"abcy"), 0);
}

// --- Hash ---

TEST(BrixSubStringHashWert, Summe)
{
    const CString s(u"abba\xFFFF\xFFFF"sv);
    const struct {
        BrixSubString v;
        std::uint32_t hash;
        int zeile;
    } faelle[] = {
        {BrixSubString(&s, 0, 2), 195, __LINE__},       // "ab"
        {BrixSubString(&s, 2, 4), 195, __LINE__},       // "ba": same units, same sum
        {BrixSubString(), 0, __LINE__},                 // no data
        {BrixSubString(&s, 3, 3), 0, __LINE__},         // empty
        {BrixSubString(&s, 4, 6), 0x1FFFEu, __LINE__},  // units are unsigned
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(f.v.HashWert(), f.hash);
    }
}

// --- KopiereNach ---

TEST(BrixSubStringKopiereNach, Faelle)
{
    const CString s(u"ab\0cd"sv);
    const struct {
        BrixSubString v;
        std::u16string_view erwartet;
        int zeile;
    } faelle[] = {
        {BrixSubString(&s, 0, 2), u"ab"sv, __LINE__},      // plain text
        {BrixSubString(&s, 0, 5), u"ab\0cd"sv, __LINE__},  // U+0000 is copied, not the end
        {BrixSubString(&s, 3, 3), u""sv, __LINE__},        // empty: only the zero unit
        {BrixSubString(), u""sv, __LINE__},                // no data: only the zero unit
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        char16_t puffer[8];
        std::fill(std::begin(puffer), std::end(puffer), u'#');
        const int n = f.v.KopiereNach(puffer);
        EXPECT_EQ(n, static_cast<int>(f.erwartet.size()));
        EXPECT_EQ(std::u16string_view(puffer, f.erwartet.size()), f.erwartet);
        EXPECT_EQ(puffer[f.erwartet.size()], 0);
        EXPECT_EQ(puffer[f.erwartet.size() + 1], u'#');  // nothing written beyond the zero
    }
}

// --- Anhaengen ---

TEST(BrixSubStringAnhaengen, Faelle)
{
    const CString quelle(u"xcd\0e"sv);
    const struct {
        BrixSubString v;
        std::u16string_view erwartet;
        int zeile;
    } faelle[] = {
        {BrixSubString(&quelle, 1, 3), u"abcd"sv, __LINE__},       // "cd" onto "ab"
        {BrixSubString(&quelle, 1, 5), u"abcd\0e"sv, __LINE__},    // U+0000 is appended too
        {BrixSubString(&quelle, 2, 2), u"ab"sv, __LINE__},         // empty view: unchanged
        {BrixSubString(), u"ab"sv, __LINE__},                      // no data: unchanged
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString ziel(u"ab"sv);
        CString& r = Anhaengen(ziel, f.v);
        EXPECT_EQ(&r, &ziel);
        EXPECT_EQ(ziel.Sicht(), f.erwartet);
        EXPECT_EQ(ziel.GetString()[ziel.GetLength()], 0);
    }
}

TEST(BrixSubStringAnhaengen, LeereSichtFordertKeinenPufferAn)
{
    CString ziel;
    const char16_t* pVorher = ziel.GetString();  // the shared empty text: no buffer yet
    Anhaengen(ziel, BrixSubString());
    const CString leer;
    Anhaengen(ziel, BrixSubString(leer));
    EXPECT_EQ(ziel.GetString(), pVorher);
    EXPECT_EQ(ziel.GetLength(), 0);
}

TEST(BrixSubStringAnhaengen, SichtAufDasZielSelbst)
{
    CString ziel(u"ab"sv);
    Anhaengen(ziel, BrixSubString(ziel));
    EXPECT_EQ(ziel.Sicht(), u"abab"sv);
    // Repeated self-appends force the buffer to move; the view reads it afresh each time.
    for (int i = 0; i < 10; ++i) Anhaengen(ziel, BrixSubString(&ziel, 1, 3));
    EXPECT_EQ(ziel.GetLength(), 24);
    EXPECT_EQ(ziel.Sicht().substr(0, 8), u"ababbaba"sv);
}

TEST(BrixSubStringAnhaengen, UeberDieLaengengrenzeWirft)
{
    struct GrenzeZuruecksetzen {
        ~GrenzeZuruecksetzen() { SetzeMaxTextLaenge(kMaxTextLaenge); }
    } zuruecksetzen;
    SetzeMaxTextLaenge(5);
    CString ziel(u"abc"sv);
    const CString quelle(u"xyz"sv);
    Anhaengen(ziel, BrixSubString(&quelle, 0, 2));  // exactly the limit: allowed
    EXPECT_EQ(ziel.Sicht(), u"abcxy"sv);
    EXPECT_THROW(Anhaengen(ziel, BrixSubString(&quelle, 0, 1)), CLaengenException);
    EXPECT_EQ(ziel.Sicht(), u"abcxy"sv);  // unchanged after the refusal
}

}  // namespace
