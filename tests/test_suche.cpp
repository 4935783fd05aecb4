// Tests of the view's searches: units, strings, unit sets, closing brackets, fields.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"

namespace {

using namespace std::string_view_literals;

// A text and the part of it that the view covers.
struct Sicht {
    CString s;
    BrixSubString v;
    Sicht(std::u16string_view text, int nStart, int nEnd) : s(text), v(&s, nStart, nEnd) {}
    explicit Sicht(std::u16string_view text) : s(text), v(s) {}
};

// --- FindeZeichen ---

struct ZeichenFall {
    std::u16string_view text;
    int nStart;
    int nEnd;
    char16_t ch;
    int nFrom;
    int erwartet;
    int zeile;
};

TEST(BrixSubStringFindeZeichen, Faelle)
{
    const ZeichenFall faelle[] = {
        {u"a=b=c"sv, 2, 5, u'=', 0, 1, __LINE__},        // view "b=c": relative position
        {u"ab=c"sv, 0, 2, u'=', 0, -1, __LINE__},        // hit beyond the view does not count
        {u"abc"sv, 0, 3, u'a', 0, 0, __LINE__},          // first unit
        {u"abc"sv, 0, 3, u'c', 0, 2, __LINE__},          // last unit
        {u"abcabc"sv, 0, 6, u'a', 1, 3, __LINE__},       // from skips the first hit
        {u"abc"sv, 0, 3, u'a', 3, -1, __LINE__},         // from at the end
        {u"abc"sv, 1, 1, u'b', 0, -1, __LINE__},         // empty view
        {u"a\0b"sv, 0, 3, u'b', 0, 2, __LINE__},         // U+0000 does not end the search
        {u"a\0b"sv, 0, 3, u'\0', 0, 1, __LINE__},        // U+0000 can be searched for
        {u"0123456789abcdefghijklmnopqrstuvwxyz="sv, 0, 37, u'=', 0, 36, __LINE__},  // past two blocks
        {u"0123456789abcdefghijklmnopqrstuvwxyz="sv, 0, 36, u'=', 0, -1, __LINE__},  // long view, hit just past it
        {u"0123456789abcdefghijklmnopqrstuvwxyz="sv, 3, 20, u'j', 0, 16, __LINE__},   // block search inside a middle view
        {u"=123456789abcdef=ghijklmnopqrstuvw"sv, 1, 34, u'=', 0, 15, __LINE__},   // hit in the second block
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text, f.nStart, f.nEnd);
        EXPECT_EQ(t.v.FindeZeichen(f.ch, f.nFrom), f.erwartet);
        if (f.nFrom == 0) {
            EXPECT_EQ(t.v.FindeZeichen(f.ch), f.erwartet);
        }
    }
}

TEST(BrixSubStringFindeZeichen, JedeTrefferstelleImLangenText)
{
    // The block search must report the exact position wherever the hit falls in a block.
    std::u16string text(100, u'x');
    for (int i = 0; i < 100; ++i) {
        text[i] = u'y';
        const Sicht t(text);
        EXPECT_EQ(t.v.FindeZeichen(u'y'), i) << i;
        const Sicht vorher(text, 0, i);
        EXPECT_EQ(vorher.v.FindeZeichen(u'y'), -1) << i;
        text[i] = u'x';
    }
}

// --- FindeString ---

struct StringFall {
    std::u16string_view text;
    int nStart;
    int nEnd;
    const char16_t* muster;
    int nFrom;
    int erwartet;
    int zeile;
};

TEST(BrixSubStringFindeString, JedeTrefferstelleImLangenText)
{
    // The block search looks for a pattern's first two units at once: wherever they fall in a
    // block, behind a lone first unit, and with the view ending inside or just behind the match.
    for (const char16_t* muster : {u"<!--", u"-->", u"?>"}) {
        const std::u16string m(muster);
        for (int i = 0; i + static_cast<int>(m.size()) <= 60; ++i) {
            std::u16string text(60, u'x');
            text.replace(static_cast<std::size_t>(i), m.size(), m);
            if (i >= 2) text[static_cast<std::size_t>(i - 2)] = m[0];  // a first unit alone
            const int nEnde = i + static_cast<int>(m.size());
            SCOPED_TRACE(std::to_string(i) + " " + std::string(m.begin(), m.end()));
            EXPECT_EQ(Sicht(text).v.FindeString(muster, 0), i);
            EXPECT_EQ(Sicht(text, 0, nEnde).v.FindeString(muster, 0), i);
            EXPECT_EQ(Sicht(text, 0, nEnde - 1).v.FindeString(muster, 0), -1);
            EXPECT_EQ(Sicht(text).v.FindeString(muster, i + 1), -1);
            EXPECT_EQ(Sicht(text, 1, 60).v.FindeString(muster, 0), i >= 1 ? i - 1 : -1);
        }
    }
}

TEST(BrixSubStringFindeString, Faelle)
{
    const StringFall faelle[] = {
        {u"abcdef"sv, 0, 4, u"cd", 0, 2, __LINE__},         // inside the view
        {u"abcdef"sv, 0, 4, u"de", 0, -1, __LINE__},        // would end beyond the view
        {u"abcdef"sv, 0, 4, u"ab", 1, -1, __LINE__},        // before from
        {u"abcdef"sv, 0, 4, u"d", 0, 3, __LINE__},          // ends exactly at the view's end
        {u"abcdef"sv, 2, 6, u"ef", 0, 2, __LINE__},         // view in the middle: relative result
        {u"abcdef"sv, 2, 6, u"ab", 0, -1, __LINE__},        // text before the view is not seen
        {u"a-->b-->"sv, 0, 8, u"-->", 2, 5, __LINE__},      // second occurrence after from
        {u"--->"sv, 0, 4, u"-->", 0, 1, __LINE__},          // overlapping start candidates
        {u"<!-<!--"sv, 0, 7, u"<!--", 0, 3, __LINE__},      // a failed partial match does not skip the real one
        {u"a\0-->"sv, 0, 5, u"-->", 0, 2, __LINE__},        // U+0000 in the text does not end the search
        {u"abc"sv, 0, 3, u"abcd", 0, -1, __LINE__},         // pattern longer than the view
        {u"abc"sv, 0, 3, u"", 1, 1, __LINE__},              // empty pattern is found at from
        {u"abc"sv, 1, 1, u"b", 0, -1, __LINE__},            // empty view
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text, f.nStart, f.nEnd);
        EXPECT_EQ(t.v.FindeString(f.muster, f.nFrom), f.erwartet);
    }
}

// --- FindeEinesVon ---

struct EinesVonFall {
    std::u16string_view text;
    const char16_t* menge;
    int nFrom;
    bool bQuotes;
    int erwartet;
    int which;  // expected member index; -7 means "left unchanged"
    int zeile;
};

TEST(BrixSubStringFindeEinesVon, Faelle)
{
    const char16_t* kNamensende = u" />\n\r\t";
    const EinesVonFall faelle[] = {
        {u"<abc def>"sv, kNamensende, 1, false, 4, 0, __LINE__},    // blank
        {u"<abc/>"sv, kNamensende, 1, false, 4, 1, __LINE__},       // slash
        {u"<abc"sv, kNamensende, 1, false, -1, -7, __LINE__},       // none: which untouched
        {u"<abc\tx"sv, kNamensende, 1, false, 4, 5, __LINE__},      // tab is member 5
        {u"a=\"x>y\">"sv, u">", 0, true, 7, 0, __LINE__},           // quoted '>' is skipped
        {u"a=\"x>y\">"sv, u">", 0, false, 4, 0, __LINE__},          // without skipping it counts
        {u"a='x>y'>"sv, u">", 0, true, 7, 0, __LINE__},             // apostrophes quote too
        {u"a=\"x'>\">"sv, u">", 0, true, 7, 0, __LINE__},           // the other quote inside a run is plain
        {u"a=\"x>"sv, u">", 0, true, -1, -7, __LINE__},             // unclosed quote ends the scan
        {u"\"\">"sv, u"\">", 0, true, 2, 1, __LINE__},              // quotes are never members while skipping
        {u"\"\">"sv, u"\">", 0, false, 0, 0, __LINE__},             // but are without skipping
        {u"abc>"sv, u">", 4, false, -1, -7, __LINE__},              // from at the end
        {u"a\0>"sv, u">", 0, false, 2, 0, __LINE__},                // U+0000 is an ordinary unit
        {u"a\x013E>"sv, u">", 0, false, 2, 0, __LINE__},            // same low bits as '>' but no member
        {u"ab"sv, u"", 0, false, -1, -7, __LINE__},                 // empty set
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text);
        int which = -7;
        EXPECT_EQ(t.v.FindeEinesVon(f.menge, f.nFrom, &which, f.bQuotes), f.erwartet);
        EXPECT_EQ(which, f.which);
        EXPECT_EQ(t.v.FindeEinesVon(f.menge, f.nFrom, nullptr, f.bQuotes), f.erwartet);
    }
}

TEST(BrixSubStringFindeEinesVon, BleibtInDerSicht)
{
    const Sicht t(u"<ab>\"x>"sv, 1, 5);  // view "ab>\"": its quote is closed only past the view
    EXPECT_EQ(t.v.FindeEinesVon(u">", 0, nullptr, false), 2);
    EXPECT_EQ(t.v.FindeEinesVon(u">", 3, nullptr, true), -1);
    const Sicht u(u"<abc def>"sv, 0, 3);
    EXPECT_EQ(u.v.FindeEinesVon(u" >", 0, nullptr, false), -1);
}

TEST(BrixSubStringSuchen, OhneDatenNichts)
{
    const BrixSubString v;
    EXPECT_EQ(v.FindeZeichen(u'\0'), -1);
    EXPECT_EQ(v.FindeString(u"", 0), -1);
    EXPECT_EQ(v.FindeEinesVon(u">", 0, nullptr, false), -1);
    EXPECT_EQ(v.FindeSchliessendeKlammer(0, nullptr, 0, false), -1);
}

// --- FindeSchliessendeKlammer ---

struct KlammerFall {
    std::u16string_view text;
    int nPos;
    const char16_t* klammern;
    int nIndex;
    bool bQuotes;
    int erwartet;
    bool bMeldung;  // the diagnostic line is expected
    int zeile;
};

TEST(BrixSubStringFindeSchliessendeKlammer, Faelle)
{
    const KlammerFall faelle[] = {
        {u"(a[b]c)d"sv, 0, nullptr, -1, false, 6, false, __LINE__},        // nested other kind
        {u"(a(b)c)"sv, 0, nullptr, -1, false, 6, false, __LINE__},         // nested same kind
        {u"(ab"sv, 0, nullptr, -1, false, -1, false, __LINE__},            // never closed
        {u")a("sv, 0, nullptr, -1, false, -1, false, __LINE__},            // first member closes
        {u"ab"sv, 0, nullptr, -1, false, -1, true, __LINE__},              // no member: diagnostic
        {u"(a]b)"sv, 0, nullptr, -1, false, 4, false, __LINE__},           // other closer passed over
        {u"<a href=\"x>y\">"sv, 0, u"()[]{}<>", 6, true, 13, false, __LINE__},   // quoted '>' skipped
        {u"<a href=\"x>y\">"sv, 0, u"()[]{}<>", 6, false, 10, false, __LINE__},  // without skipping
        {u"<a>"sv, 2, nullptr, 6, false, -1, false, __LINE__},             // pos at the last unit
        {u"<"sv, 0, nullptr, 6, false, -1, false, __LINE__},               // view of length 1
        {u""sv, 0, nullptr, -1, false, -1, false, __LINE__},               // empty view: no diagnostic
        {u"x(a)"sv, 0, nullptr, -1, false, 3, false, __LINE__},            // opener searched from pos
        {u"xa)"sv, 0, nullptr, 0, false, 2, false, __LINE__},              // given index: unit at pos not examined
        {u"((a)"sv, 0, nullptr, -1, false, -1, false, __LINE__},           // outer group never closed
        {u"(()"sv, 0, nullptr, -1, false, -1, false, __LINE__},            // inner opener at the last unit
        {u"(a(b]c)d)"sv, 0, nullptr, -1, false, 8, false, __LINE__},       // pass-over inside a nested group
        {u"<a \"(\">"sv, 0, nullptr, 6, true, 6, false, __LINE__},         // quoted opener ignored
        {u"<a \"(\">"sv, 0, nullptr, 6, false, -1, false, __LINE__},       // unquoted opener stays open
        {u"<a \"x>"sv, 0, nullptr, 6, true, -1, false, __LINE__},          // unclosed quote: no closer
        {u"(\0)"sv, 0, nullptr, 0, false, 2, false, __LINE__},             // U+0000 inside a group
        {u"[a)b]"sv, 0, u"[]", -1, false, 4, false, __LINE__},             // own set: ')' is no member
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text);
        testing::internal::CaptureStderr();
        EXPECT_EQ(t.v.FindeSchliessendeKlammer(f.nPos, f.klammern, f.nIndex, f.bQuotes), f.erwartet);
        const std::string meldung = testing::internal::GetCapturedStderr();
        if (f.bMeldung)
            EXPECT_EQ(meldung,
                      "Debugging-Hinweis: Fehler in BrixSubString::FindeSchliessendeKlammer() - bis zum "
                      "Stringende gesucht.\n");
        else
            EXPECT_EQ(meldung, "");
    }
}

TEST(BrixSubStringFindeSchliessendeKlammer, SiehtNichtUeberDieSicht)
{
    const Sicht t(u"(ab)"sv, 0, 3);  // the closer lies just past the view
    EXPECT_EQ(t.v.FindeSchliessendeKlammer(0, nullptr, 0, false), -1);
    const Sicht u(u"x(a)b)"sv, 1, 4);  // view "(a)"
    EXPECT_EQ(u.v.FindeSchliessendeKlammer(0, nullptr, 0, false), 2);
}

TEST(BrixSubStringFindeSchliessendeKlammer, MillionenfacheVerschachtelungOhneAbsturz)
{
    constexpr int kTiefe = 1000000;
    std::u16string text(kTiefe, u'(');
    text.append(u"x");
    text.append(kTiefe, u')');
    {
        const Sicht t(text);
        EXPECT_EQ(t.v.FindeSchliessendeKlammer(0, nullptr, 0, false), 2 * kTiefe);
        EXPECT_EQ(t.v.FindeSchliessendeKlammer(1, nullptr, 0, false), 2 * kTiefe - 1);
    }
    {
        const Sicht t(text, 0, 2 * kTiefe);  // the outermost closer is missing
        EXPECT_EQ(t.v.FindeSchliessendeKlammer(0, nullptr, 0, false), -1);
    }
    {
        const Sicht t(text, 0, kTiefe + 1);  // no closer at all
        EXPECT_EQ(t.v.FindeSchliessendeKlammer(0, nullptr, -1, false), -1);
    }
}

// The recursive definition, one level per open group, as the reference for the explicit stack.
int KlammerRekursiv(const BrixSubString& v, int nPos, const char16_t* pKlammern, int nIndex, bool bQuotes)
{
    if (nPos >= v.Laenge() - 1) return -1;
    if (nIndex == -1) {
        const int d = v.FindeEinesVon(pKlammern, nPos, &nIndex, bQuotes);
        if (d == -1 || nIndex % 2 != 0) return -1;
        nPos = d;
    }
    int nWhich = -1;
    int r = v.FindeEinesVon(pKlammern, nPos + 1, &nWhich, bQuotes);
    while (r > nPos) {
        if (nWhich % 2 == 0) {
            const int nZu = KlammerRekursiv(v, r, pKlammern, nWhich, bQuotes);
            if (nZu == -1) return -1;
            nPos = nZu;
            r = v.FindeEinesVon(pKlammern, nPos + 1, &nWhich, bQuotes);
        } else if (nWhich == nIndex + 1) {
            return r;
        } else {
            r = v.FindeEinesVon(pKlammern, r + 1, &nWhich, bQuotes);
        }
    }
    return -1;
}

TEST(BrixSubStringFindeSchliessendeKlammer, WieDieRekursiveDefinition)
{
    // Every text of up to 6 units over a small alphabet, every start, both quote modes.
    const std::u16string_view alphabet = u"()[]\"x"sv;
    const char16_t* kKlammern = u"()[]";
    int nVerglichen = 0;
    for (int nLaenge = 0; nLaenge <= 6; ++nLaenge) {
        std::vector<int> ziffern(static_cast<std::size_t>(nLaenge), 0);
        for (;;) {
            std::u16string text;
            for (int z : ziffern) text += alphabet[static_cast<std::size_t>(z)];
            const Sicht t(u"<" + text + u">", 1, nLaenge + 1);  // units around the view must not count
            for (int nPos = 0; nPos < nLaenge; ++nPos) {
                for (bool bQuotes : {false, true}) {
                    const int k = static_cast<int>(std::u16string_view(kKlammern).find(text[static_cast<std::size_t>(nPos)]));
                    std::vector<int> indizes;
                    if (k >= 0 && k % 2 == 0) indizes.push_back(k);  // caller vouches for the opener
                    if (t.v.FindeEinesVon(kKlammern, nPos, nullptr, bQuotes) != -1) indizes.push_back(-1);
                    for (int nIndex : indizes) {
                        ASSERT_EQ(t.v.FindeSchliessendeKlammer(nPos, kKlammern, nIndex, bQuotes),
                                  KlammerRekursiv(t.v, nPos, kKlammern, nIndex, bQuotes))
                            << std::string(text.begin(), text.end()) << " pos " << nPos << " index " << nIndex
                            << " quotes " << bQuotes;
                        ++nVerglichen;
                    }
                }
            }
            int i = 0;
            while (i < nLaenge && ++ziffern[static_cast<std::size_t>(i)] == static_cast<int>(alphabet.size())) {
                ziffern[static_cast<std::size_t>(i)] = 0;
                ++i;
            }
            if (i == nLaenge) break;
        }
    }
    EXPECT_GT(nVerglichen, 100000);
}

// --- NaechstesTeil ---

struct TeilFall {
    std::u16string_view text;
    const char16_t* klammern;
    int nPos;
    int nStart;  // expected field, buffer indices; -1: no data
    int nEnd;
    int nPosDanach;
    int zeile;
};

TEST(BrixSubStringNaechstesTeil, Faelle)
{
    const TeilFall faelle[] = {
        {u"ab,c"sv, nullptr, 0, 0, 2, 3, __LINE__},      // up to the separator
        {u"ab,c"sv, nullptr, 3, 3, 4, 5, __LINE__},      // last field runs to the end
        {u"ab,"sv, nullptr, 3, -1, -1, 4, __LINE__},     // pos at the end: field with no data
        {u"ab,"sv, nullptr, 4, -1, -1, -1, __LINE__},    // pos past the end: splitting over
        {u"ab"sv, nullptr, -1, -1, -1, -1, __LINE__},    // an ended splitting stays ended
        {u",a"sv, nullptr, 0, 0, 0, 1, __LINE__},        // empty field at 0
        {u"a(b,c),d"sv, u"()", 0, 0, 6, 7, __LINE__},    // separator in a group is not seen
        {u"a(b,c),d"sv, nullptr, 0, 0, 3, 4, __LINE__},  // without brackets it is
        {u"a)b,c"sv, u"()", 0, 0, 3, 4, __LINE__},       // closer outside a group is a plain unit
        {u"a(b,c"sv, u"()", 0, 0, 5, 6, __LINE__},       // missing closer: field to the end, last one
        {u"a,b(c"sv, u"()", 2, 2, 5, 6, __LINE__},       // the same for a later field
        {u"a\0,b"sv, u"()", 0, 0, 2, 3, __LINE__},       // U+0000 is a plain unit
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text);
        int nPos = f.nPos;
        const BrixSubString teil = t.v.NaechstesTeil(u',', nPos, f.klammern);
        if (f.nStart < 0) {
            EXPECT_FALSE(teil.HatDaten());
        } else {
            EXPECT_EQ(teil.m_pString, &t.s);
            EXPECT_EQ(teil.m_nStart, f.nStart);
            EXPECT_EQ(teil.m_nEnd, f.nEnd);
        }
        EXPECT_EQ(nPos, f.nPosDanach);
    }
}

// --- Teile ---

// Expected field: its text and buffer index, or a field with no data.
struct Feld {
    std::u16string_view text;
    int nStart;
    bool bOhneDaten = false;
};

struct TeileFall {
    std::u16string_view text;
    int nStart;
    int nEnd;
    const char16_t* klammern;
    std::vector<Feld> felder;
    int zeile;
};

TEST(BrixSubStringTeile, Faelle)
{
    const TeileFall faelle[] = {
        {u"a,b(c,d),e"sv, 0, 10, nullptr, {{u"a"sv, 0}, {u"b(c"sv, 2}, {u"d)"sv, 6}, {u"e"sv, 9}}, __LINE__},  // no brackets
        {u"a,b(c,d),e"sv, 0, 10, u"()", {{u"a"sv, 0}, {u"b(c,d)"sv, 2}, {u"e"sv, 9}}, __LINE__},           // group kept whole
        {u"abc"sv, 0, 3, nullptr, {{u"abc"sv, 0}}, __LINE__},                                          // one field
        {u"a,,b"sv, 0, 4, nullptr, {{u"a"sv, 0}, {u""sv, 2}, {u"b"sv, 3}}, __LINE__},                      // empty field
        {u",a"sv, 0, 2, nullptr, {{u""sv, 0}, {u"a"sv, 1}}, __LINE__},                                   // leading separator
        {u"a,b,"sv, 0, 4, nullptr, {{u"a"sv, 0}, {u"b"sv, 2}, {u""sv, 0, true}}, __LINE__},                  // trailing: no data
        {u","sv, 0, 1, nullptr, {{u""sv, 0}, {u""sv, 0, true}}, __LINE__},                                 // separator alone
        {u"x,a,b,y"sv, 2, 5, nullptr, {{u"a"sv, 2}, {u"b"sv, 4}}, __LINE__},                             // middle view
        {u"a,(b,c"sv, 0, 6, u"()", {{u"a"sv, 0}, {u"(b,c"sv, 2}}, __LINE__},                             // missing closer
        {u"a\0b,c"sv, 0, 5, nullptr, {{u"a\0b"sv, 0}, {u"c"sv, 4}}, __LINE__},                           // U+0000 inside
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text, f.nStart, f.nEnd);
        CBrixArray<BrixSubString> a(0);
        t.v.Teile(u',', a, f.klammern);
        ASSERT_EQ(a.m_nCount, static_cast<int>(f.felder.size()));
        for (int i = 0; i < a.m_nCount; ++i) {
            SCOPED_TRACE(i);
            const BrixSubString& teil = *a.Element(i);
            if (f.felder[i].bOhneDaten) {
                EXPECT_FALSE(teil.HatDaten());
                continue;
            }
            EXPECT_EQ(teil.m_pString, &t.s);
            EXPECT_EQ(teil.m_nStart, f.felder[i].nStart);
            EXPECT_EQ(teil.Sicht(), f.felder[i].text);
        }
    }
}

TEST(BrixSubStringTeile, LeereSichtLeertDasFeld)
{
    const Sicht voll(u"p,q"sv);
    const Sicht leer(u"abc"sv, 1, 1);
    CBrixArray<BrixSubString> a(0);
    voll.v.Teile(u',', a, nullptr);
    ASSERT_EQ(a.m_nCount, 2);
    leer.v.Teile(u',', a, nullptr);  // the array is emptied first, also here
    EXPECT_EQ(a.m_nCount, 0);
    voll.v.Teile(u',', a, nullptr);
    BrixSubString().Teile(u',', a, nullptr);
    EXPECT_EQ(a.m_nCount, 0);
}

}  // namespace
