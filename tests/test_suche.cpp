// Tests of the view's searches: bytes, strings, byte sets, closing brackets, fields.
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
    Sicht(std::string_view text, std::ptrdiff_t nStart, std::ptrdiff_t nEnd) : s(text), v(&s, nStart, nEnd) {}
    explicit Sicht(std::string_view text) : s(text), v(s) {}
};

// --- FindeZeichen ---

struct ZeichenFall {
    std::string_view text;
    std::ptrdiff_t nStart;
    std::ptrdiff_t nEnd;
    char ch;
    std::ptrdiff_t nFrom;
    std::ptrdiff_t erwartet;
    int zeile;
};

TEST(BrixSubStringFindeZeichen, Faelle)
{
    const ZeichenFall faelle[] = {
        {"a=b=c"sv, 2, 5, '=', 0, 1, __LINE__},        // view "b=c": relative position
        {"ab=c"sv, 0, 2, '=', 0, -1, __LINE__},        // hit beyond the view does not count
        {"abc"sv, 0, 3, 'a', 0, 0, __LINE__},          // first byte
        {"abc"sv, 0, 3, 'c', 0, 2, __LINE__},          // last byte
        {"abcabc"sv, 0, 6, 'a', 1, 3, __LINE__},       // from skips the first hit
        {"abc"sv, 0, 3, 'a', 3, -1, __LINE__},         // from at the end
        {"abc"sv, 1, 1, 'b', 0, -1, __LINE__},         // empty view
        {"a\0b"sv, 0, 3, 'b', 0, 2, __LINE__},         // a zero byte does not end the search
        {"a\0b"sv, 0, 3, '\0', 0, 1, __LINE__},        // a zero byte can be searched for
        {"a\xC3\xA4" "b"sv, 0, 4, '\xA4', 0, 2, __LINE__}, // a byte above 0x7F, inside a character
        {"a\x7F\xFF"sv, 0, 3, '\xFF', 0, 2, __LINE__},  // 0xFF is no end marker
        {"a\xBE>"sv, 0, 3, '>', 0, 2, __LINE__},        // same low bits as '>' but another byte
        {"0123456789abcdefghijklmnopqrstuvwxyz="sv, 0, 37, '=', 0, 36, __LINE__},  // past two blocks
        {"0123456789abcdefghijklmnopqrstuvwxyz="sv, 0, 36, '=', 0, -1, __LINE__},  // long view, hit just past it
        {"0123456789abcdefghijklmnopqrstuvwxyz="sv, 3, 20, 'j', 0, 16, __LINE__},   // block search inside a middle view
        {"=123456789abcdef=ghijklmnopqrstuvw"sv, 1, 34, '=', 0, 15, __LINE__},   // hit in the second block
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
    for (const char ch : {'y', '\xE9'}) {
        std::string text(200, 'x');
        for (std::ptrdiff_t i = 0; i < 200; ++i) {
            SCOPED_TRACE(i);
            text[static_cast<std::size_t>(i)] = ch;
            const Sicht t(text);
            EXPECT_EQ(t.v.FindeZeichen(ch), i);
            const Sicht vorher(text, 0, i);
            EXPECT_EQ(vorher.v.FindeZeichen(ch), -1);
            const Sicht danach(text, i, 200);
            EXPECT_EQ(danach.v.FindeZeichen(ch), 0);
            text[static_cast<std::size_t>(i)] = 'x';
        }
    }
}

// --- FindeString ---

struct StringFall {
    std::string_view text;
    std::ptrdiff_t nStart;
    std::ptrdiff_t nEnd;
    const char* muster;
    std::ptrdiff_t nFrom;
    std::ptrdiff_t erwartet;
    int zeile;
};

TEST(BrixSubStringFindeString, JedeTrefferstelleImLangenText)
{
    // The block search looks for a pattern's first two bytes at once: wherever they fall in a
    // block, behind a lone first byte, and with the view ending inside or just behind the match.
    constexpr std::ptrdiff_t kLaenge = 140;  // several blocks of the widest vector search
    for (const char* muster : {"<!--", "-->", "?>", "\xEF\xBF\xBD", "\xC3\xA4"}) {
        const std::string m(muster);
        const auto nMuster = static_cast<std::ptrdiff_t>(m.size());
        for (std::ptrdiff_t i = 0; i + nMuster <= kLaenge; ++i) {
            std::string text(static_cast<std::size_t>(kLaenge), 'x');
            text.replace(static_cast<std::size_t>(i), m.size(), m);
            if (i >= 2) text[static_cast<std::size_t>(i - 2)] = m[0];  // a first byte alone
            const std::ptrdiff_t nEnde = i + nMuster;
            SCOPED_TRACE(std::to_string(i) + " " + m);
            EXPECT_EQ(Sicht(text).v.FindeString(muster, 0), i);
            EXPECT_EQ(Sicht(text, 0, nEnde).v.FindeString(muster, 0), i);
            EXPECT_EQ(Sicht(text, 0, nEnde - 1).v.FindeString(muster, 0), -1);
            EXPECT_EQ(Sicht(text).v.FindeString(muster, i + 1), -1);
            EXPECT_EQ(Sicht(text, 1, kLaenge).v.FindeString(muster, 0), i >= 1 ? i - 1 : -1);
        }
    }
}

TEST(BrixSubStringFindeString, Faelle)
{
    const StringFall faelle[] = {
        {"abcdef"sv, 0, 4, "cd", 0, 2, __LINE__},         // inside the view
        {"abcdef"sv, 0, 4, "de", 0, -1, __LINE__},        // would end beyond the view
        {"abcdef"sv, 0, 4, "ab", 1, -1, __LINE__},        // before from
        {"abcdef"sv, 0, 4, "d", 0, 3, __LINE__},          // ends exactly at the view's end
        {"abcdef"sv, 2, 6, "ef", 0, 2, __LINE__},         // view in the middle: relative result
        {"abcdef"sv, 2, 6, "ab", 0, -1, __LINE__},        // text before the view is not seen
        {"a-->b-->"sv, 0, 8, "-->", 2, 5, __LINE__},      // second occurrence after from
        {"--->"sv, 0, 4, "-->", 0, 1, __LINE__},          // overlapping start candidates
        {"<!-<!--"sv, 0, 7, "<!--", 0, 3, __LINE__},      // a failed partial match does not skip the real one
        {"a\0-->"sv, 0, 5, "-->", 0, 2, __LINE__},        // a zero byte in the text does not end the search
        {"\xC3\xA4\xC3\xB6"sv, 0, 4, "\xC3\xB6", 0, 2, __LINE__},  // a two-byte character behind one with the same lead
        {"\xC3\xA4\xC3\xB6"sv, 0, 4, "\xA4\xC3", 0, 1, __LINE__},  // bytes are matched, not characters
        {"a\xBE-->"sv, 0, 6, "\xBE-", 0, 1, __LINE__},      // a pattern starting above 0x7F
        {"x-\xBE>"sv, 0, 4, "->", 0, -1, __LINE__},         // 0xBE is not '>'
        {"ab-"sv, 0, 3, "-", 0, 2, __LINE__},              // one byte at the very end
        {"abc"sv, 0, 3, "abcd", 0, -1, __LINE__},         // pattern longer than the view
        {"abc"sv, 0, 3, "", 1, 1, __LINE__},              // empty pattern is found at from
        {"abc"sv, 1, 1, "b", 0, -1, __LINE__},            // empty view
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text, f.nStart, f.nEnd);
        EXPECT_EQ(t.v.FindeString(f.muster, f.nFrom), f.erwartet);
    }
}

// --- FindeEinesVon ---

struct EinesVonFall {
    std::string_view text;
    const char* menge;
    std::ptrdiff_t nFrom;
    bool bQuotes;
    std::ptrdiff_t erwartet;
    int which;  // expected member index; -7 means "left unchanged"
    int zeile;
};

TEST(BrixSubStringFindeEinesVon, Faelle)
{
    const char* kNamensende = " />\n\r\t";
    const EinesVonFall faelle[] = {
        {"<abc def>"sv, kNamensende, 1, false, 4, 0, __LINE__},    // blank
        {"<abc/>"sv, kNamensende, 1, false, 4, 1, __LINE__},       // slash
        {"<abc"sv, kNamensende, 1, false, -1, -7, __LINE__},       // none: which untouched
        {"<abc\tx"sv, kNamensende, 1, false, 4, 5, __LINE__},      // tab is member 5
        {"a=\"x>y\">"sv, ">", 0, true, 7, 0, __LINE__},           // quoted '>' is skipped
        {"a=\"x>y\">"sv, ">", 0, false, 4, 0, __LINE__},          // without skipping it counts
        {"a='x>y'>"sv, ">", 0, true, 7, 0, __LINE__},             // apostrophes quote too
        {"a=\"x'>\">"sv, ">", 0, true, 7, 0, __LINE__},           // the other quote inside a run is plain
        {"a=\"x>"sv, ">", 0, true, -1, -7, __LINE__},             // unclosed quote ends the scan
        {"\"\">"sv, "\">", 0, true, 2, 1, __LINE__},              // quotes are never members while skipping
        {"\"\">"sv, "\">", 0, false, 0, 0, __LINE__},             // but are without skipping
        {"abc>"sv, ">", 4, false, -1, -7, __LINE__},              // from at the end
        {"a\0>"sv, ">", 0, false, 2, 0, __LINE__},                // a zero byte is an ordinary byte
        {"a\0>"sv, "", 0, false, -1, -7, __LINE__},               // and never a member (the set ends there)
        {"a\xBE~>"sv, ">", 0, false, 3, 0, __LINE__},             // same low bits as '>' but no member
        {"a\xFE>"sv, ">", 0, false, 2, 0, __LINE__},              // the same with the top bit set too
        {"a\xC3\xA4>"sv, "\xA4>", 0, false, 2, 0, __LINE__},      // a member above 0x7F
        {"a\xE4>"sv, ">\xE4", 0, false, 1, 1, __LINE__},          // the member's index, not its byte
        {"\"\xE4\"\xE4"sv, "\xE4", 0, true, 3, 0, __LINE__},      // bytes above 0x7F inside quotes are skipped
        {"ab"sv, "", 0, false, -1, -7, __LINE__},                 // empty set
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
    const Sicht t("<ab>\"x>"sv, 1, 5);  // view "ab>\"": its quote is closed only past the view
    EXPECT_EQ(t.v.FindeEinesVon(">", 0, nullptr, false), 2);
    EXPECT_EQ(t.v.FindeEinesVon(">", 3, nullptr, true), -1);
    const Sicht u("<abc def>"sv, 0, 3);
    EXPECT_EQ(u.v.FindeEinesVon(" >", 0, nullptr, false), -1);
}

TEST(BrixSubStringSuchen, OhneDatenNichts)
{
    const BrixSubString v;
    EXPECT_EQ(v.FindeZeichen('\0'), -1);
    EXPECT_EQ(v.FindeString("", 0), -1);
    EXPECT_EQ(v.FindeEinesVon(">", 0, nullptr, false), -1);
    EXPECT_EQ(v.FindeSchliessendeKlammer(0, nullptr, 0, false), -1);
}

// --- FindeSchliessendeKlammer ---

struct KlammerFall {
    std::string_view text;
    std::ptrdiff_t nPos;
    const char* klammern;
    int nIndex;
    bool bQuotes;
    std::ptrdiff_t erwartet;
    bool bMeldung;  // the diagnostic line is expected
    int zeile;
};

TEST(BrixSubStringFindeSchliessendeKlammer, Faelle)
{
    const KlammerFall faelle[] = {
        {"(a[b]c)d"sv, 0, nullptr, -1, false, 6, false, __LINE__},        // nested other kind
        {"(a(b)c)"sv, 0, nullptr, -1, false, 6, false, __LINE__},         // nested same kind
        {"(ab"sv, 0, nullptr, -1, false, -1, false, __LINE__},            // never closed
        {")a("sv, 0, nullptr, -1, false, -1, false, __LINE__},            // first member closes
        {"ab"sv, 0, nullptr, -1, false, -1, true, __LINE__},              // no member: diagnostic
        {"(a]b)"sv, 0, nullptr, -1, false, 4, false, __LINE__},           // other closer passed over
        {"<a href=\"x>y\">"sv, 0, "()[]{}<>", 6, true, 13, false, __LINE__},   // quoted '>' skipped
        {"<a href=\"x>y\">"sv, 0, "()[]{}<>", 6, false, 10, false, __LINE__},  // without skipping
        {"<a>"sv, 2, nullptr, 6, false, -1, false, __LINE__},             // pos at the last byte
        {"<"sv, 0, nullptr, 6, false, -1, false, __LINE__},               // view of length 1
        {""sv, 0, nullptr, -1, false, -1, false, __LINE__},               // empty view: no diagnostic
        {"x(a)"sv, 0, nullptr, -1, false, 3, false, __LINE__},            // opener searched from pos
        {"xa)"sv, 0, nullptr, 0, false, 2, false, __LINE__},              // given index: byte at pos not examined
        {"((a)"sv, 0, nullptr, -1, false, -1, false, __LINE__},           // outer group never closed
        {"(()"sv, 0, nullptr, -1, false, -1, false, __LINE__},            // inner opener at the last byte
        {"(a(b]c)d)"sv, 0, nullptr, -1, false, 8, false, __LINE__},       // pass-over inside a nested group
        {"<a \"(\">"sv, 0, nullptr, 6, true, 6, false, __LINE__},         // quoted opener ignored
        {"<a \"(\">"sv, 0, nullptr, 6, false, -1, false, __LINE__},       // unquoted opener stays open
        {"<a \"x>"sv, 0, nullptr, 6, true, -1, false, __LINE__},          // unclosed quote: no closer
        {"(\0)"sv, 0, nullptr, 0, false, 2, false, __LINE__},             // a zero byte inside a group
        {"(\xA9\xA8)"sv, 0, nullptr, 0, false, 3, false, __LINE__},       // 0xA8, 0xA9: the low bits of '(' and ')'
        {"\xAB\xC2\xAB)\xC2\xBB\xBB"sv, 0, "\xAB\xBB", -1, false, 6, false, __LINE__},  // brackets above 0x7F, nested
        {"[a)b]"sv, 0, "[]", -1, false, 4, false, __LINE__},             // own set: ')' is no member
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
    const Sicht t("(ab)"sv, 0, 3);  // the closer lies just past the view
    EXPECT_EQ(t.v.FindeSchliessendeKlammer(0, nullptr, 0, false), -1);
    const Sicht u("x(a)b)"sv, 1, 4);  // view "(a)"
    EXPECT_EQ(u.v.FindeSchliessendeKlammer(0, nullptr, 0, false), 2);
}

TEST(BrixSubStringFindeSchliessendeKlammer, MillionenfacheVerschachtelungOhneAbsturz)
{
    constexpr int kTiefe = 1000000;
    std::string text(kTiefe, '(');
    text.append("x");
    text.append(kTiefe, ')');
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
std::ptrdiff_t KlammerRekursiv(const BrixSubString& v, std::ptrdiff_t nPos, const char* pKlammern, int nIndex,
                               bool bQuotes)
{
    if (nPos >= v.Laenge() - 1) return -1;
    if (nIndex == -1) {
        const std::ptrdiff_t d = v.FindeEinesVon(pKlammern, nPos, &nIndex, bQuotes);
        if (d == -1 || nIndex % 2 != 0) return -1;
        nPos = d;
    }
    int nWhich = -1;
    std::ptrdiff_t r = v.FindeEinesVon(pKlammern, nPos + 1, &nWhich, bQuotes);
    while (r > nPos) {
        if (nWhich % 2 == 0) {
            const std::ptrdiff_t nZu = KlammerRekursiv(v, r, pKlammern, nWhich, bQuotes);
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
    // Every text of up to 6 bytes over a small alphabet, every start, both quote modes.
    const std::string_view alphabet = "()[]\"x"sv;
    const char* kKlammern = "()[]";
    int nVerglichen = 0;
    for (int nLaenge = 0; nLaenge <= 6; ++nLaenge) {
        std::vector<int> ziffern(static_cast<std::size_t>(nLaenge), 0);
        for (;;) {
            std::string text;
            for (int z : ziffern) text += alphabet[static_cast<std::size_t>(z)];
            const Sicht t("<" + text + ">", 1, nLaenge + 1);  // bytes around the view must not count
            for (int nPos = 0; nPos < nLaenge; ++nPos) {
                for (bool bQuotes : {false, true}) {
                    const int k = static_cast<int>(std::string_view(kKlammern).find(text[static_cast<std::size_t>(nPos)]));
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
    std::string_view text;
    const char* klammern;
    std::ptrdiff_t nPos;
    std::ptrdiff_t nStart;  // expected field, buffer indices; -1: no data
    std::ptrdiff_t nEnd;
    std::ptrdiff_t nPosDanach;
    int zeile;
};

TEST(BrixSubStringNaechstesTeil, Faelle)
{
    const TeilFall faelle[] = {
        {"ab,c"sv, nullptr, 0, 0, 2, 3, __LINE__},      // up to the separator
        {"ab,c"sv, nullptr, 3, 3, 4, 5, __LINE__},      // last field runs to the end
        {"ab,"sv, nullptr, 3, -1, -1, 4, __LINE__},     // pos at the end: field with no data
        {"ab,"sv, nullptr, 4, -1, -1, -1, __LINE__},    // pos past the end: splitting over
        {"ab"sv, nullptr, -1, -1, -1, -1, __LINE__},    // an ended splitting stays ended
        {",a"sv, nullptr, 0, 0, 0, 1, __LINE__},        // empty field at 0
        {"a(b,c),d"sv, "()", 0, 0, 6, 7, __LINE__},    // separator in a group is not seen
        {"a(b,c),d"sv, nullptr, 0, 0, 3, 4, __LINE__},  // without brackets it is
        {"a)b,c"sv, "()", 0, 0, 3, 4, __LINE__},       // closer outside a group is a plain byte
        {"a(b,c"sv, "()", 0, 0, 5, 6, __LINE__},       // missing closer: field to the end, last one
        {"a,b(c"sv, "()", 2, 2, 5, 6, __LINE__},       // the same for a later field
        {"a\0,b"sv, "()", 0, 0, 2, 3, __LINE__},       // a zero byte is a plain byte
        {"a\xAC,b"sv, "()", 0, 0, 2, 3, __LINE__},     // 0xAC is not ','
        {"\xA8,)"sv, "()", 0, 0, 1, 2, __LINE__},      // 0xA8 is not '('
        {"a\xAB,\xBB,b"sv, "\xAB\xBB", 0, 0, 4, 5, __LINE__},  // brackets above 0x7F keep a group whole
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text);
        std::ptrdiff_t nPos = f.nPos;
        const BrixSubString teil = t.v.NaechstesTeil(',', nPos, f.klammern);
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
    std::string_view text;
    std::ptrdiff_t nStart;
    bool bOhneDaten = false;
};

struct TeileFall {
    std::string_view text;
    std::ptrdiff_t nStart;
    std::ptrdiff_t nEnd;
    char trenner;
    const char* klammern;
    std::vector<Feld> felder;
    int zeile;
};

TEST(BrixSubStringTeile, Faelle)
{
    const TeileFall faelle[] = {
        {"a,b(c,d),e"sv, 0, 10, ',', nullptr, {{"a"sv, 0}, {"b(c"sv, 2}, {"d)"sv, 6}, {"e"sv, 9}}, __LINE__},  // no brackets
        {"a,b(c,d),e"sv, 0, 10, ',', "()", {{"a"sv, 0}, {"b(c,d)"sv, 2}, {"e"sv, 9}}, __LINE__},           // group kept whole
        {"abc"sv, 0, 3, ',', nullptr, {{"abc"sv, 0}}, __LINE__},                                          // one field
        {"a,,b"sv, 0, 4, ',', nullptr, {{"a"sv, 0}, {""sv, 2}, {"b"sv, 3}}, __LINE__},                      // empty field
        {",a"sv, 0, 2, ',', nullptr, {{""sv, 0}, {"a"sv, 1}}, __LINE__},                                   // leading separator
        {"a,b,"sv, 0, 4, ',', nullptr, {{"a"sv, 0}, {"b"sv, 2}, {""sv, 0, true}}, __LINE__},                  // trailing: no data
        {","sv, 0, 1, ',', nullptr, {{""sv, 0}, {""sv, 0, true}}, __LINE__},                                 // separator alone
        {"x,a,b,y"sv, 2, 5, ',', nullptr, {{"a"sv, 2}, {"b"sv, 4}}, __LINE__},                             // middle view
        {"a,(b,c"sv, 0, 6, ',', "()", {{"a"sv, 0}, {"(b,c"sv, 2}}, __LINE__},                             // missing closer
        {"a\0b,c"sv, 0, 5, ',', nullptr, {{"a\0b"sv, 0}, {"c"sv, 4}}, __LINE__},                           // a zero byte inside
        {"a\xB7" "b\xC2\xB7" "c"sv, 0, 6, '\xB7', nullptr, {{"a"sv, 0}, {"b\xC2"sv, 2}, {"c"sv, 5}}, __LINE__},     // a separator above 0x7F
        {"a,\xAC,b"sv, 0, 5, '\xAC', nullptr, {{"a,"sv, 0}, {",b"sv, 3}}, __LINE__},                     // 0xAC is not ','
        {"a,\xAC,b"sv, 0, 5, ',', nullptr, {{"a"sv, 0}, {"\xAC"sv, 2}, {"b"sv, 4}}, __LINE__},           // nor ',' 0xAC
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Sicht t(f.text, f.nStart, f.nEnd);
        CBrixArray<BrixSubString> a(0);
        t.v.Teile(f.trenner, a, f.klammern);
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
    const Sicht voll("p,q"sv);
    const Sicht leer("abc"sv, 1, 1);
    CBrixArray<BrixSubString> a(0);
    voll.v.Teile(',', a, nullptr);
    ASSERT_EQ(a.m_nCount, 2);
    leer.v.Teile(',', a, nullptr);  // the array is emptied first, also here
    EXPECT_EQ(a.m_nCount, 0);
    voll.v.Teile(',', a, nullptr);
    BrixSubString().Teile(',', a, nullptr);
    EXPECT_EQ(a.m_nCount, 0);
}

}  // namespace
