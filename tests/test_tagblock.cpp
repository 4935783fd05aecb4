// Tests of the tag-block scanner: FindeTagBlock, FindeNaechstenTagBlock, FindeEndTag.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "brix/BrixSubString.h"
#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "xml/Abtaster.h"
#include "xml/BlockSucher.h"
#include "xml/XmlFehler.h"

namespace {

using namespace std::string_view_literals;

// Value the optional outputs hold before a call; expected back when they must stay unwritten.
constexpr int U = -999;
// Expected block of a call that returns a view with no data.
constexpr std::nullopt_t KEINE = std::nullopt;

std::string Text(const BrixSubString& v) { return std::string(v.Sicht()); }

struct Aufruf {
    BrixSubString block;
    std::ptrdiff_t nPos;
    std::ptrdiff_t nNext;
    int nError;
    std::ptrdiff_t nStartTagLen;
    std::ptrdiff_t nEndTagOffset;
};

// One block-finder call on view with nPos on entry; pName null calls FindeNaechstenTagBlock.
Aufruf Rufe(const BrixSubString& view, const char* pName, std::ptrdiff_t nPos = 0)
{
    Aufruf a{{}, nPos, U, U, U, U};
    if (pName == nullptr) {
        a.block = view.FindeNaechstenTagBlock(a.nPos, a.nNext, a.nError, &a.nStartTagLen, &a.nEndTagOffset);
    } else {
        const CString name{std::string_view(pName)};
        a.block = view.FindeTagBlock(BrixSubString(name), a.nPos, a.nNext, a.nError, &a.nStartTagLen,
                                     &a.nEndTagOffset);
    }
    return a;
}

struct BlockFall {
    std::string_view text;
    const char* name;  // null: FindeNaechstenTagBlock
    int nCode;
    std::ptrdiff_t nPos;
    std::ptrdiff_t nNext;
    std::ptrdiff_t nStartTagLen;
    std::ptrdiff_t nEndTagOffset;
    std::optional<std::string_view> block;  // KEINE: a view with no data
    int zeile;
};

// Checks one call's outcome, and what holds for every outcome: the block lies in the view,
// starts at nPos, and a caller going on from nNext after a fault moves forward.
void Pruefe(const BrixSubString& view, const Aufruf& a, const BlockFall& f)
{
    EXPECT_EQ(a.nError, f.nCode);
    EXPECT_EQ(a.nPos, f.nPos);
    EXPECT_EQ(a.nNext, f.nNext);
    EXPECT_EQ(a.nStartTagLen, f.nStartTagLen);
    EXPECT_EQ(a.nEndTagOffset, f.nEndTagOffset);
    if (!f.block) {
        EXPECT_FALSE(a.block.HatDaten());
        return;
    }
    ASSERT_TRUE(a.block.HatDaten());
    EXPECT_EQ(a.block.m_pString, view.m_pString);
    EXPECT_EQ(Text(a.block), *f.block);
    EXPECT_EQ(a.block.m_nStart, view.m_nStart + a.nPos);
    EXPECT_LE(a.block.m_nEnd, view.m_nEnd);
    if (f.nCode != XML_TAG_NICHT_GEFUNDEN && f.nCode != XML_KEINE_DATEN) {
        EXPECT_GT(a.nNext, a.nPos);
    }
}

void PruefeFaelle(const BlockFall* pFaelle, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const BlockFall& f = pFaelle[i];
        SCOPED_TRACE(f.zeile);
        const CString s(f.text);
        const BrixSubString view(s);
        Pruefe(view, Rufe(view, f.name), f);
    }
}

// --- Block finders: every outcome, nPos 0 on entry ---

TEST(FindeTagBlock, Ergebnistabelle)
{
    const BlockFall faelle[] = {
        {"<a x='1'>text</a>"sv, "a", 0, 0, 17, 9, 13, "<a x='1'>text</a>", __LINE__},  // attributes, whole input
        {"<!-- x --><b/>"sv, nullptr, 0, 10, 14, -1, -1, "<b/>", __LINE__},  // comment skipped
        {"<?xml version='1.0'?><r>1</r>"sv, nullptr, 0, 21, 29, 3, 4, "<r>1</r>", __LINE__},  // PI skipped
        {"<!DOCTYPE r><r/>"sv, "r", 0, 12, 16, -1, -1, "<r/>", __LINE__},  // declaration skipped
        {"<!--><b/>"sv, nullptr, 0, 5, 9, -1, -1, "<b/>", __LINE__},  // "<!-->" is a whole comment
        {"<a><b>x</b></a>"sv, "b", 1, -1, -1, U, U, KEINE, __LINE__},  // nested b stepped over with a
        {"<a><b/></a>"sv, "b", 1, -1, -1, U, U, KEINE, __LINE__},  // nested self-closing b too
        {"<a>1</a><b>2</b>"sv, "b", 0, 8, 16, 3, 4, "<b>2</b>", __LINE__},  // a stepped over
        {"<a/>"sv, "A", 1, -1, -1, U, U, KEINE, __LINE__},  // case counts
        {"<a />"sv, "a", 0, 0, 5, -1, -1, "<a />", __LINE__},  // blank before "/>"
        {"</a><a/>"sv, nullptr, 4, 0, 3, U, U, "</a", __LINE__},  // end tag where a start tag was sought
        {"<a><b></a></b>"sv, nullptr, 9, 0, 6, U, U, "<a><b>", __LINE__},  // crossed elements
        {"<a><b></a></b><c/>"sv, "c", 9, 0, 6, U, U, "<a><b>", __LINE__},  // fault in stepped-over element ends
        {"<a></a >"sv, nullptr, 9, 0, 3, U, U, "<a>", __LINE__},  // end-tag name keeps its blank
        {"<a>"sv, nullptr, 3, 0, 2, U, U, "<a", __LINE__},  // never closed
        {"x <"sv, nullptr, 1, -1, -1, U, U, KEINE, __LINE__},  // '<' is the last byte
        {"<abc"sv, nullptr, 8, 0, 4, U, U, "<abc", __LINE__},  // name not terminated
        {"<ab c"sv, nullptr, 7, 0, 5, U, U, "<ab c", __LINE__},  // no '>'
        {"<!-- x"sv, nullptr, 10, 0, 5, U, U, KEINE, __LINE__},  // comment left open
        {"<!x"sv, nullptr, 12, 0, 2, U, U, KEINE, __LINE__},  // declaration left open
        {"<?x"sv, nullptr, 11, 0, 2, U, U, KEINE, __LINE__},  // processing instruction left open
        {"<a><b x='<'>y</b></a>"sv, nullptr, 9, 0, 13, U, U, "<a><b x='<'>y", __LINE__},  // quoted '<' taken for a tag
    };
    PruefeFaelle(faelle, std::size(faelle));
}

TEST(FindeTagBlock, WeitereFaelle)
{
    const BlockFall faelle[] = {
        {""sv, nullptr, 1, -1, -1, U, U, KEINE, __LINE__},  // empty text
        {"abc"sv, "a", 1, -1, -1, U, U, KEINE, __LINE__},  // no '<' at all
        {"t<a/>u<b/>"sv, "b", 0, 6, 10, -1, -1, "<b/>", __LINE__},  // self-closing a stepped over
        {"<b x='/>'></b>"sv, nullptr, 0, 0, 8, -1, -1, "<b x='/>", __LINE__},  // plain '>' search ignores quotes
        {"<a>x</a><a>y</a>"sv, "a", 0, 0, 8, 3, 4, "<a>x</a>", __LINE__},  // first of equal names
        {"<ab>1</ab><a>2</a>"sv, "a", 0, 10, 18, 3, 4, "<a>2</a>", __LINE__},  // names compared whole
        {"<a\tk='v'\n>1</a>"sv, "a", 0, 0, 15, 10, 11, "<a\tk='v'\n>1</a>", __LINE__},  // tab ends the name
        {"<a><a></a></a>"sv, nullptr, 0, 0, 14, 3, 10, "<a><a></a></a>", __LINE__},  // same name nested
        {"<a><!--</a>--></a>"sv, nullptr, 0, 0, 18, 3, 14, "<a><!--</a>--></a>", __LINE__},  // comment in content
        {"<a><?p </a>?></a>"sv, nullptr, 0, 0, 17, 3, 13, "<a><?p </a>?></a>", __LINE__},  // PI in content
        {"<a><!D </a>></a>"sv, nullptr, 0, 0, 16, 3, 12, "<a><!D </a>></a>", __LINE__},  // declaration in content
        {"<>x</>"sv, nullptr, 0, 0, 6, 2, 3, "<>x</>", __LINE__},  // empty name closed by "</>"
        {"<a>\0</a>"sv, nullptr, 0, 0, 8, 3, 4, "<a>\0</a>"sv, __LINE__},  // U+0000 is text
        {"<a\0b>x</a\0c>"sv, nullptr, 9, 0, 6, U, U, "<a\0b>x"sv, __LINE__},  // names differ behind U+0000
        {"<a\0b>x</a\0b>"sv, "a", 1, -1, -1, U, U, KEINE, __LINE__},  // "a" is not "a\0b"
        {"<a><b></a>"sv, "x", 9, 0, 6, U, U, "<a><b>", __LINE__},  // fault before any name compare
    };
    PruefeFaelle(faelle, std::size(faelle));
}

TEST(FindeTagBlock, OhneDaten)
{
    const BrixSubString leer;
    for (const char* pName : {static_cast<const char*>(nullptr), "a"}) {
        const Aufruf a = Rufe(leer, pName, 5);
        EXPECT_EQ(a.nError, XML_KEINE_DATEN);
        EXPECT_EQ(a.nPos, -1);
        EXPECT_EQ(a.nNext, -1);
        EXPECT_EQ(a.nStartTagLen, U);
        EXPECT_FALSE(a.block.HatDaten());
    }
}

// An end tag "</" with no '>' anywhere behind it: code 6, the rest of the view from its '<'.
TEST(FindeTagBlock, EndTagOhneGroesserZeichenEndetDieSuche)
{
    const BlockFall faelle[] = {
        {"x</a"sv, nullptr, 6, 1, 4, U, U, "</a", __LINE__},  // rest of the view
        {"</"sv, nullptr, 6, 0, 2, U, U, "</", __LINE__},  // nothing behind the "</"
        {"<a/></b"sv, "a", 0, 0, 4, -1, -1, "<a/>", __LINE__},  // not reached when a block comes first
        {"<a/></b"sv, "b", 6, 4, 7, U, U, "</b", __LINE__},  // reached by FindeTagBlock
    };
    PruefeFaelle(faelle, std::size(faelle));
}

// Unclosed comment, PI or declaration: nNext at most 100 units behind the '<'.
TEST(FindeTagBlock, SprungNachOffenemKonstrukt)
{
    struct Fall {
        std::ptrdiff_t nAt;
        const char* pOeffner;
        int nCode;
        std::ptrdiff_t nNext;
        int zeile;
    };
    const Fall faelle[] = {
        {10, "<!--", XML_KOMMENTAR_OFFEN, 110, __LINE__},  // 100 units on
        {950, "<!--", XML_KOMMENTAR_OFFEN, 999, __LINE__},  // cut at the last unit
        {10, "<?", XML_PI_OFFEN, 110, __LINE__},  // processing instruction alike
        {950, "<!", XML_DEKLARATION_OFFEN, 999, __LINE__},  // declaration alike
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        std::string t(1000, 'x');
        t.replace(static_cast<std::size_t>(f.nAt), std::string_view(f.pOeffner).size(), f.pOeffner);
        const CString s{std::string_view(t)};
        const Aufruf a = Rufe(BrixSubString(s), nullptr);
        EXPECT_EQ(a.nError, f.nCode);
        EXPECT_EQ(a.nPos, f.nAt);
        EXPECT_EQ(a.nNext, f.nNext);
        EXPECT_FALSE(a.block.HatDaten());
    }
}

// The step behind an unclosed comment, instruction or declaration counts UTF-16 units over the
// bytes, by the rules of the text's form, and never ends inside a character: where the unit 100
// behind the '<' (or the last unit, in a shorter text) is the second of a pair, the step ends at
// the start of that character.

// U+1F600: four bytes, two UTF-16 units.
constexpr std::string_view kVier = "\xF0\x9F\x98\x80";
constexpr std::u16string_view kPaar = u"\xD83D\xDE00";

// A narrow text, as read from narrow input.
CString Schmal(const std::string& bytes) { return CString(std::string_view(bytes)); }

// Two texts read as UTF-16, joined as a filter that drops what stood between them leaves them:
// a high surrogate at the end of the first and a low one at the start of the second, side by side.
CString Utf16Verbunden(std::u16string_view a, std::u16string_view b)
{
    CString s(std::string(Utf16Text(a).Sicht()) + std::string(Utf16Text(b).Sicht()));
    s.SetzeForm(TextForm::AusUtf16);
    return s;
}

// The bytes of a text in the form AusUtf16, taken as narrow bytes.
CString AlsSchmal(const CString& s) { return CString(s.Sicht()); }

TEST(FindeTagBlock, SprungZaehltUtf16EinheitenUeberDieBytes)
{
    struct Fall {
        CString text;
        std::ptrdiff_t nStart;  // the view (buffer indices); nEnd -1: to the end
        std::ptrdiff_t nEnd;
        const char* pName;  // null: FindeNaechstenTagBlock
        int nCode;
        std::ptrdiff_t nPos;
        std::ptrdiff_t nNext;
        int zeile;
    };
    constexpr int K = XML_KOMMENTAR_OFFEN;
    const std::string x95 = Mal("x", 95);
    const std::u16string u95 = Mal16(u"x", 95);
    const std::string v(kVier);
    const std::u16string paar(kPaar);
    const Fall faelle[] = {
        // Narrow text. "<!--" is units 0..3.
        {Schmal("<!--" + x95 + "x" + v + "yy"), 0, -1, nullptr, K, 0, 100, __LINE__},  // the pair is units 100, 101
        {Schmal("<!--" + x95 + v + "yy"), 0, -1, nullptr, K, 0, 99, __LINE__},  // unit 100 is its second: its start
        {Schmal("<!--" + Mal("x", 94) + v + "yy"), 0, -1, nullptr, K, 0, 102, __LINE__},  // just behind a pair
        {Schmal("<!--" + x95 + "xx" + v + "yy"), 0, -1, nullptr, K, 0, 100, __LINE__},  // just before a pair
        {Schmal("<!--" + Mal(v, 60)), 0, -1, nullptr, K, 0, 196, __LINE__},  // 48 pairs on: the first unit of the 49th
        {Schmal("<!--x" + Mal(v, 60)), 0, -1, nullptr, K, 0, 193, __LINE__},  // 47 pairs and a half: the 48th
        {Schmal("<!--" + Mal("\xE2\x82\xAC", 40) + Mal("\xF4\x8F\xBF\xBF", 40)), 0, -1, nullptr, K, 0, 236, __LINE__},  // 40 of one unit, 28 pairs up to U+10FFFF
        {Schmal("<!--" + Mal("\xF0\x90\x80\x80", 60)), 0, -1, nullptr, K, 0, 196, __LINE__},  // U+10000 is a pair too
        {Schmal("<!--" + Mal("\x80", 50) + Mal("\xC3\xA4", 60)), 0, -1, nullptr, K, 0, 146, __LINE__},  // stray bytes one unit each, then 46 of one unit
        {Schmal("<!--" + Mal("\xF4\x90\x80\x80", 40)), 0, -1, nullptr, K, 0, 100, __LINE__},  // above U+10FFFF: four stray bytes
        {Schmal("<!--" + Mal("\xF0\x8F\xBF\xBF", 40)), 0, -1, nullptr, K, 0, 100, __LINE__},  // overlong 4-byte form: four stray bytes
        {Schmal("<!--" + Mal("\xF0\x9F\x98x", 40)), 0, -1, nullptr, K, 0, 100, __LINE__},  // cut-short pair: three stray bytes and 'x'
        {Schmal("<!--" + Mal("\xED\xA0\x80", 40)), 0, -1, nullptr, K, 0, 100, __LINE__},  // an encoded surrogate is three stray bytes
        {Schmal("<!--" + Mal("\xF8\x88\x80", 40)), 0, -1, nullptr, K, 0, 100, __LINE__},  // so is the odd byte's form
        {Schmal("<!--" + Mal("\xC0\xAF", 60)), 0, -1, nullptr, K, 0, 100, __LINE__},  // overlong 2-byte form
        {Schmal("<!--" + Mal("\xE0\x80\x80", 40)), 0, -1, nullptr, K, 0, 100, __LINE__},  // overlong 3-byte form
        {Schmal("<!--x" + v), 0, -1, nullptr, K, 0, 5, __LINE__},  // text ends sooner in a pair: its start
        {Schmal("<!--" + x95 + v), 0, -1, nullptr, K, 0, 99, __LINE__},  // unit 100 is the text's last, a second
        {Schmal("<!--xyz"), 0, -1, nullptr, K, 0, 6, __LINE__},  // ends sooner in ASCII: its last byte
        {Schmal("<!--x\xF0\x9F\x98"), 0, -1, nullptr, K, 0, 7, __LINE__},  // cut-short pair at the end: its last byte
        {Schmal("<!--x" + v + "zz"), 0, 8, nullptr, K, 0, 7, __LINE__},  // the view ends inside the pair
        {Schmal("<!--x" + v + "zz"), 0, 9, nullptr, K, 0, 5, __LINE__},  // the view ends behind it
        {Schmal("ab<!--" + x95 + v + "yy"), 2, -1, nullptr, K, 0, 99, __LINE__},  // positions relative to the view
        {Schmal("ab<!--" + x95 + v + "yy"), 0, -1, nullptr, K, 2, 101, __LINE__},  // counted from the '<'
        {Schmal("<?" + Mal("x", 97) + v + "yy"), 0, -1, nullptr, XML_PI_OFFEN, 0, 99, __LINE__},  // instruction
        {Schmal("<!" + Mal("x", 97) + v + "yy"), 0, -1, nullptr, XML_DEKLARATION_OFFEN, 0, 99, __LINE__},  // declaration
        {Schmal("<!--" + x95 + v + "yy"), 0, -1, "a", K, 0, 99, __LINE__},  // a search by name alike
        // Read as UTF-16: pairs as 4 bytes, lone surrogates as 3 bytes of one unit.
        {Utf16Text(u"<!--" + u95 + paar + u"yy"), 0, -1, nullptr, K, 0, 99, __LINE__},  // unit 100 is a second
        {Utf16Text(u"<!--" + u95 + u"x" + paar), 0, -1, nullptr, K, 0, 100, __LINE__},  // unit 100 is a first
        {Utf16Text(u"<!--" + Mal16(u"x", 94) + paar + u"yy"), 0, -1, nullptr, K, 0, 102, __LINE__},  // just behind
        {Utf16Text(u"<!--x" + paar), 0, -1, nullptr, K, 0, 5, __LINE__},  // ends sooner in a pair
        {Utf16Text(u"<!--" + Mal16(u"\xD800", 40) + Mal16(u"x", 100)), 0, -1, nullptr, K, 0, 180, __LINE__},  // lone high: one unit
        {Utf16Text(u"<!--" + Mal16(u"\xDC80", 40) + Mal16(u"x", 100)), 0, -1, nullptr, K, 0, 180, __LINE__},  // lone low: one unit
        {Utf16Text(u"<!--" + Mal16(u"\xDBFFx\xDFFFx", 20) + Mal16(u"x", 100)), 0, -1, nullptr, K, 0, 180, __LINE__},  // both ends of the range
        {AlsSchmal(Utf16Text(u"<!--" + Mal16(u"\xD800", 40) + Mal16(u"x", 100))), 0, -1, nullptr, K, 0, 100, __LINE__},  // the same bytes narrow: stray
        {Utf16Text(u"<!--" + Mal16(u"\x00E4\x20AC\xFFFF", 20) + Mal16(u"x", 100)), 0, -1, nullptr, K, 0, 200, __LINE__},  // 2 and 3 bytes, one unit
        {Utf16Text(u"<!--" + Mal16(std::u16string_view(u"\0", 1), 96) + paar), 0, -1, nullptr, K, 0, 100, __LINE__},  // U+0000 one unit
        {Utf16MitEinzelbyte(u"<!--" + u95, 0x41), 0, -1, nullptr, K, 0, 98, __LINE__},  // the odd byte counts for none: not its start
        {Utf16MitEinzelbyte(u"<!--x" + paar, 0xFF), 0, -1, nullptr, K, 0, 5, __LINE__},  // a pair before it
        {Utf16MitEinzelbyte(u"<!--" + Mal16(u"x", 100), 0x80), 0, -1, nullptr, K, 0, 100, __LINE__},  // behind unit 100: not reached
        {Utf16Verbunden(u"<!--" + u95 + u"\xD83D", u"\xDE00yy"), 0, -1, nullptr, K, 0, 99, __LINE__},  // a high and a low side by side: a pair
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const BrixSubString view(&f.text, f.nStart, f.nEnd < 0 ? f.text.GetLength() : f.nEnd);
        const Aufruf a = Rufe(view, f.pName);
        EXPECT_EQ(a.nError, f.nCode);
        EXPECT_EQ(a.nPos, f.nPos);
        EXPECT_EQ(a.nNext, f.nNext);
        EXPECT_FALSE(a.block.HatDaten());
        // The seeker takes the same step.
        BrixBlockSucher sucher;
        const CString name(f.pName ? f.pName : "");
        const BrixSubString nameSicht(name);
        std::ptrdiff_t nPos = 0, nNext = U;
        int nError = U;
        Beantworte(sucher.FindeTagBlock(view, f.pName ? &nameSicht : nullptr, nPos), nPos, nNext, nError);
        EXPECT_EQ(nNext, f.nNext);
    }
}

TEST(FindeTagBlock, Startposition)
{
    const CString s("<a>1</a>x<b/>"sv);
    const BrixSubString view(s);
    struct Fall {
        std::ptrdiff_t nPos;
        int nCode;
        std::ptrdiff_t nPosAus;
        std::ptrdiff_t nNext;
        int zeile;
    };
    const Fall faelle[] = {
        {0, 0, 0, 8, __LINE__},     // first block
        {1, 4, 4, 7, __LINE__},     // behind the first '<' the next one opens "</a>"
        {8, 0, 9, 13, __LINE__},    // from the block's end: the next block
        {13, 1, -1, -1, __LINE__},  // at the end of the view
        {14, 1, -1, -1, __LINE__},  // past the end: nothing found
        {-1, 1, -1, -1, __LINE__},  // a failed walk's -1 does not start over
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        std::ptrdiff_t nPos = f.nPos;
        std::ptrdiff_t nNext = U;
        int nError = U;
        view.FindeNaechstenTagBlock(nPos, nNext, nError);  // no optional outputs
        EXPECT_EQ(nError, f.nCode);
        EXPECT_EQ(nPos, f.nPosAus);
        EXPECT_EQ(nNext, f.nNext);
    }
}

TEST(FindeTagBlock, LaufUeberEineEbene)
{
    // A caller's walk from nNext to nNext visits the top-level blocks in order.
    const CString s("t<a>1</a><!--c--><b/><?p?><c><d/></c>e"sv);
    const BrixSubString view(s);
    std::string gesehen;
    std::ptrdiff_t nPos = 0, nNext = 0;
    int nError = 0;
    for (;;) {
        const BrixSubString block = view.FindeNaechstenTagBlock(nPos, nNext, nError);
        if (nError != 0) {
            break;
        }
        gesehen += Text(block);
        gesehen += '|';
        nPos = nNext;
    }
    EXPECT_EQ(nError, XML_TAG_NICHT_GEFUNDEN);
    EXPECT_EQ(gesehen, "<a>1</a>|<b/>|<c><d/></c>|");
}

// --- Views inside a longer string: nothing beyond m_nEnd counts ---

TEST(FindeTagBlock, TeilansichtSiehtNichtUeberIhrEnde)
{
    struct Fall {
        std::string_view text;
        std::ptrdiff_t nStart;
        std::ptrdiff_t nEnd;
        int nCode;
        std::ptrdiff_t nPos;
        std::ptrdiff_t nNext;
        std::optional<std::string_view> block;
        int zeile;
    };
    const Fall faelle[] = {
        {"xx<a>1</a>yy"sv, 2, 10, 0, 0, 8, "<a>1</a>", __LINE__},  // positions relative to the view
        {"<a>x</a><b/>"sv, 0, 7, 6, 0, 4, "<a>x", __LINE__},  // end tag's '>' lies behind the view
        {"<a>x</a>"sv, 0, 5, 8, 0, 4, "<a>x", __LINE__},  // end tag's '<' is the view's last byte
        {"<!-- c --><a/>"sv, 0, 8, 10, 0, 7, KEINE, __LINE__},  // "-->" ends behind the view
        {"<?p ?><a/>"sv, 0, 5, 11, 0, 4, KEINE, __LINE__},  // "?>" ends behind the view
        {"<!D><a/>"sv, 0, 3, 12, 0, 2, KEINE, __LINE__},  // declaration's '>' behind the view
        {"<ab/>"sv, 0, 3, 8, 0, 3, "<ab", __LINE__},  // name terminator behind the view
        {"<a b/>"sv, 0, 4, 7, 0, 4, "<a b", __LINE__},  // '>' behind the view
        {"<a/>"sv, 0, 3, 7, 0, 3, "<a/", __LINE__},  // self-closing tag cut before its '>'
        {"x<a/>"sv, 0, 2, 1, -1, -1, KEINE, __LINE__},  // '<' is the view's last byte
        {"</a>"sv, 0, 3, 6, 0, 3, "</a", __LINE__},  // end tag cut before its '>'
        {"<a><b/></a>"sv, 3, 7, 0, 0, 4, "<b/>", __LINE__},  // view of the content only
        {"<a><b></b></a>"sv, 3, 12, 0, 0, 7, "<b></b>", __LINE__},  // outer end tag partly inside
        {"<r><a>1</a></r>"sv, 3, 15, 0, 0, 8, "<a>1</a>", __LINE__},  // view starting inside the text
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString s(f.text);
        const BrixSubString view(&s, f.nStart, f.nEnd);
        const Aufruf a = Rufe(view, nullptr);
        EXPECT_EQ(a.nError, f.nCode);
        EXPECT_EQ(a.nPos, f.nPos);
        EXPECT_EQ(a.nNext, f.nNext);
        EXPECT_LE(a.nNext, view.Laenge());
        EXPECT_EQ(a.block.HatDaten(), f.block.has_value());
        if (f.block && a.block.HatDaten()) {
            EXPECT_EQ(Text(a.block), *f.block);
            EXPECT_LE(a.block.m_nEnd, f.nEnd);
        }
    }
}

// --- FindeEndTag ---

TEST(FindeEndTag, Ergebnistabelle)
{
    struct Fall {
        std::string_view text;
        const char* name;
        std::ptrdiff_t nFrom;
        std::ptrdiff_t nErgebnis;
        int nCode;
        std::ptrdiff_t nEndTagPos;  // last value written, U if none
        int zeile;
    };
    const Fall faelle[] = {
        {"<a><b>x</b></a>"sv, "a", 3, 15, 0, 11, __LINE__},  // nested end tag written first, then 11
        {"<a><b>x</b></c>"sv, "a", 3, 11, 9, 7, __LINE__},  // nested end tag was written before the fault
        {"<a>x"sv, "a", 3, -1, 3, U, __LINE__},  // no further '<'
        {"<a>x</a"sv, "a", 3, 4, 6, U, __LINE__},  // "</" without '>'
        {"<a><"sv, "a", 3, 3, 8, U, __LINE__},  // '<' as the last byte
        {"<a><b"sv, "a", 3, 3, 8, U, __LINE__},  // nested name not terminated
        {"<a><!-- x"sv, "a", 3, 3, 10, U, __LINE__},  // comment left open
        {"<a><?x"sv, "a", 3, 3, 11, U, __LINE__},  // PI left open
        {"<a><!x"sv, "a", 3, 3, 12, U, __LINE__},  // declaration left open
        {"<a><!-- <b> --></a>"sv, "a", 3, 19, 0, 15, __LINE__},  // tags in comments do not count
        {"<a><b/></a>"sv, "a", 3, 11, 0, 7, __LINE__},  // nested self-closing
        {"<a><b x='/>'></b></a>"sv, "a", 3, 21, 0, 17, __LINE__},  // quoted "/>" does not close the tag
        {"<a><b x=\"(\"/></a>"sv, "a", 3, 17, 0, 13, __LINE__},  // quoted bracket does not nest
        {"<a><b (>x</b></a>"sv, "a", 3, 17, 0, 13, __LINE__},  // unmatched '(': open from behind the name
        {"<a><b [x]/></a>"sv, "a", 3, 15, 0, 11, __LINE__},  // matched brackets in the tag
        {"<a><>x</></a>"sv, "a", 3, 13, 0, 9, __LINE__},  // empty nested name
        {"<a><ab></a></ab>"sv, "a", 3, 7, 9, U, __LINE__},  // names compared whole
        {"<a><b><c></c></b><d/></a>"sv, "a", 3, 25, 0, 21, __LINE__},  // two levels
        {"<a><b><c></b></a>"sv, "a", 3, 9, 9, U, __LINE__},  // innermost element reports the fault
        {"<a><b><c></c>"sv, "a", 3, -1, 3, 9, __LINE__},  // runs out after closing c
        {"<a></a>"sv, "a", 0, -1, 3, 3, __LINE__},  // from the start tag: a nested a, closed; then the end
        {"<a></a>"sv, "a", 8, -1, 3, U, __LINE__},  // start past the end
        {"<a></a>"sv, "a", -1, -1, 3, U, __LINE__},  // negative start
        {"</a>"sv, "", 0, 0, 9, U, __LINE__},  // empty name does not match "a"
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString s(f.text);
        const CString name{std::string_view(f.name)};
        int nError = U;
        std::ptrdiff_t nEndTagPos = U;
        const std::ptrdiff_t r = BrixSubString(s).FindeEndTag(BrixSubString(name), f.nFrom, nError, &nEndTagPos);
        EXPECT_EQ(r, f.nErgebnis);
        EXPECT_EQ(nError, f.nCode);
        EXPECT_EQ(nEndTagPos, f.nEndTagPos);
    }
}

TEST(FindeEndTag, OhneDatenUndOhneZeiger)
{
    const CString name("a"sv);
    int nError = U;
    EXPECT_EQ(BrixSubString().FindeEndTag(BrixSubString(name), 0, nError), 0);
    EXPECT_EQ(nError, XML_KEINE_DATEN);

    const CString s("<a><b/></a>"sv);
    nError = U;
    EXPECT_EQ(BrixSubString(s).FindeEndTag(BrixSubString(name), 3, nError, nullptr), 11);
    EXPECT_EQ(nError, XML_OK);
}

TEST(FindeEndTag, TeilansichtSiehtNichtUeberIhrEnde)
{
    const CString s("<a><b></b></a><x>"sv);
    const CString name("a"sv);
    struct Fall {
        std::ptrdiff_t nEnd;
        std::ptrdiff_t nErgebnis;
        int nCode;
        int zeile;
    };
    const Fall faelle[] = {
        {14, 14, 0, __LINE__},  // the whole element
        {13, 10, 6, __LINE__},  // its end tag's '>' outside the view
        {10, -1, 3, __LINE__},  // the outer end tag outside the view
        {9, 6, 6, __LINE__},    // the nested end tag's '>' outside
        {6, -1, 3, __LINE__},   // stops before the nested end tag
        {5, 3, 8, __LINE__},    // nested name runs to the view's end
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        int nError = U;
        EXPECT_EQ(BrixSubString(&s, 0, f.nEnd).FindeEndTag(BrixSubString(name), 3, nError), f.nErgebnis);
        EXPECT_EQ(nError, f.nCode);
    }
}

// --- Deep nesting: an explicit stack, no machine-stack recursion per level ---

constexpr int kTiefe = 1000000;

std::string Wiederholt(std::string_view teil, int n)
{
    std::string t;
    t.reserve(teil.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        t += teil;
    }
    return t;
}

TEST(TiefeVerschachtelung, GeschlosseneElemente)
{
    const CString s{Wiederholt("<a>", kTiefe) + Wiederholt("</a>", kTiefe)};
    const BrixSubString view(s);
    const std::ptrdiff_t nLaenge = 7 * kTiefe;
    for (const char* pName : {static_cast<const char*>(nullptr), "a"}) {
        const Aufruf a = Rufe(view, pName);
        EXPECT_EQ(a.nError, XML_OK);
        EXPECT_EQ(a.nPos, 0);
        EXPECT_EQ(a.nNext, nLaenge);
        EXPECT_EQ(a.nStartTagLen, 3);
        EXPECT_EQ(a.nEndTagOffset, nLaenge - 4);
    }
    // Another name: the whole element is stepped over.
    EXPECT_EQ(Rufe(view, "b").nError, XML_TAG_NICHT_GEFUNDEN);

    const CString name("a"sv);
    int nError = U;
    std::ptrdiff_t nEndTagPos = U;
    EXPECT_EQ(view.FindeEndTag(BrixSubString(name), 3, nError, &nEndTagPos), nLaenge);
    EXPECT_EQ(nError, XML_OK);
    EXPECT_EQ(nEndTagPos, nLaenge - 4);
}

TEST(TiefeVerschachtelung, UngeschlosseneElemente)
{
    const CString s{Wiederholt("<a>", kTiefe)};
    const BrixSubString view(s);
    for (const char* pName : {static_cast<const char*>(nullptr), "a", "b"}) {
        const Aufruf a = Rufe(view, pName);
        EXPECT_EQ(a.nError, XML_UNERWARTETES_ENDE);
        EXPECT_EQ(a.nPos, 0);
        EXPECT_EQ(a.nNext, 2);
        EXPECT_EQ(Text(a.block), "<a");
    }

    const CString name("a"sv);
    int nError = U;
    EXPECT_EQ(view.FindeEndTag(BrixSubString(name), 3, nError), -1);
    EXPECT_EQ(nError, XML_UNERWARTETES_ENDE);
}

TEST(TiefeVerschachtelung, FehlerDesInnerstenElements)
{
    // A wrong end tag at the bottom: the position reported is the innermost element's.
    const CString s{Wiederholt("<a>", kTiefe) + "</b>"};
    const Aufruf a = Rufe(BrixSubString(s), "a");
    EXPECT_EQ(a.nError, XML_VERSCHACHTELUNG);
    EXPECT_EQ(a.nPos, 0);
    EXPECT_EQ(a.nNext, 3 * kTiefe);
    EXPECT_EQ(a.block.Laenge(), 3 * kTiefe);
}

TEST(TiefeVerschachtelung, VieleKlammernImTag)
{
    const std::string auf = Wiederholt("(", kTiefe);
    const std::string zu = Wiederholt(")", kTiefe);
    struct Fall {
        std::string text;
        int zeile;
    };
    const Fall faelle[] = {
        {"<r><a " + auf + "></a></r>", __LINE__},  // unmatched: a stays open, closed by "</a>"
        {"<r><a " + auf + zu + "/></r>", __LINE__},  // matched: a is self-closing
        {"<r><a " + auf + "]" + zu + "/></r>", __LINE__},  // a closer of another kind passed over
        {"<a " + auf + ">x</a>", __LINE__},  // brackets in the outer tag itself
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString s{f.text};
        const BrixSubString view(s);
        const Aufruf a = Rufe(view, nullptr);
        EXPECT_EQ(a.nError, XML_OK);
        EXPECT_EQ(a.nPos, 0);
        EXPECT_EQ(a.nNext, view.Laenge());
        EXPECT_EQ(a.nEndTagOffset, view.Laenge() - 4);
    }
}

// --- What a scanner learns never changes a result ---

// Long texts of the kinds that made walks run to the end again and again: unclosed brackets and
// quotes in start tags, start tags that never end, '<' used as a sign, faults that make a walk
// go on inside an element. A scanner that keeps what it learned from call to call (the way a
// filter uses it, and the seeker with its memory) answers every call from every start as a
// fresh one does, in the whole text and in views that end earlier.
TEST(GelerntesAendertNichts, FeindlicheTexteVonJedemStart)
{
    const struct {
        std::string_view kopf;
        std::string_view stueck;
        int nMal;
        int zeile;
        std::string_view schwanz = "";
        int nSchwanzMal = 1;
        std::string_view ende = "";
    } faelle[] = {
        {"<r>", "<b (>t\n", 120, __LINE__},
        {"", "<b [x>t\n", 120, __LINE__},
        {"<r>", "<b {>t<b <>u\n", 80, __LINE__},
        {"<r>", "<b x='1>t\n", 120, __LINE__},
        {"", "<b x=\"1'>t\n", 120, __LINE__},
        {"<r>", "<a ", 300, __LINE__},
        {"", "<a x <a y ", 150, __LINE__},
        {"", "<p>if (x < y) then [z] {w} a<b c</p>\n<q>x <= 3 (see <i>r</i></q>\n", 25, __LINE__},
        {"<r>", "<a><b>x</b>", 150, __LINE__},              // ends missing: -S goes on inside
        {"", "<a x='<'><b/>(", 100, __LINE__},              // '<' in attributes
        {"<r>", "<!-- x <b>", 100, __LINE__},               // comments left open
        {"<r><a>", "<?p </a>", 100, __LINE__},              // instructions left open
        {"", "</q><a><b></a></b><!x ", 80, __LINE__},       // stray, crossed, declaration open
        {"<r>", "<a (", 150, __LINE__, ")>/>"},              // groups that close at the very end
        {"<r>", "<a (", 150, __LINE__, ")/>", 150, "</r>"},  // all of them, self-closing
        {"<r>", "<a x='", 150, __LINE__, "'>"},              // a quote closed at the very end
        {"<r>", "<a <b/>", 150, __LINE__, "</r>"},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        std::string text(f.kopf);
        // Every start is tried against a fresh scanner: quadratic, so fewer pieces where slow.
        const int nMal = kSanitiert ? f.nMal / 3 : f.nMal;
        for (int i = 0; i < nMal; ++i) text += f.stueck;
        const int nSchwanzMal = f.nSchwanzMal == f.nMal ? nMal : f.nSchwanzMal;  // closes them all
        for (int i = 0; i < nSchwanzMal; ++i) text += f.schwanz;
        text += f.ende;
        const CString cs(text);
        const CString name("b");
        const BrixSubString nameSicht(name);
        BrixAbtaster abtaster(nullptr, 0);
        BrixBlockSucher sucher(0);
        BrixBlockSucher sucher64;
        // Shorter views before and after longer ones: what holds in one may not in the other.
        for (const int nKuerzer : {200, 7, 0, 3, 1, 2}) {
            const BrixSubString sicht(&cs, 0, static_cast<std::ptrdiff_t>(text.size()) - nKuerzer);
            for (std::ptrdiff_t nStart = 0; nStart <= sicht.Laenge(); ++nStart) {
                for (const BrixSubString* pName : {static_cast<const BrixSubString*>(nullptr), &nameSicht}) {
                    Aufruf frisch{{}, nStart, U, U, U, U};
                    frisch.block = pName ? sicht.FindeTagBlock(*pName, frisch.nPos, frisch.nNext, frisch.nError,
                                                               &frisch.nStartTagLen, &frisch.nEndTagOffset)
                                         : sicht.FindeNaechstenTagBlock(frisch.nPos, frisch.nNext, frisch.nError,
                                                                        &frisch.nStartTagLen, &frisch.nEndTagOffset);
                    auto vergleiche = [&](auto& wer, const char* strWer) {
                        Aufruf a{{}, nStart, U, U, U, U};
                        a.block = Beantworte(wer.FindeTagBlock(sicht, pName, a.nPos), a.nPos, a.nNext, a.nError,
                                             &a.nStartTagLen, &a.nEndTagOffset);
                        const bool bGleich = a.nPos == frisch.nPos && a.nNext == frisch.nNext &&
                                             a.nError == frisch.nError && a.nStartTagLen == frisch.nStartTagLen &&
                                             a.nEndTagOffset == frisch.nEndTagOffset &&
                                             a.block.m_nStart == frisch.block.m_nStart &&
                                             a.block.m_nEnd == frisch.block.m_nEnd;
                        EXPECT_TRUE(bGleich) << strWer << " ab " << nStart << " (Name " << (pName ? "b" : "-")
                                             << ", Sicht um " << nKuerzer << " kuerzer): code " << a.nError
                                             << " statt " << frisch.nError << ", nNext " << a.nNext << " statt "
                                             << frisch.nNext;
                        return bGleich;
                    };
                    if (!vergleiche(abtaster, "BrixAbtaster") || !vergleiche(sucher, "BrixBlockSucher") ||
                        !vergleiche(sucher64, "BrixBlockSucher(64)")) {
                        return;
                    }
                }
            }
        }
        // In one view a scanner learns at most one thing about each '<'.
        BrixAbtaster einer(nullptr, 0);
        const BrixSubString ganz(cs);
        for (std::ptrdiff_t nStart = 0; nStart <= ganz.Laenge(); ++nStart) {
            std::ptrdiff_t nPos = nStart, nNext = -1;
            int nError = -1;
            Beantworte(einer.FindeTagBlock(ganz, nullptr, nPos), nPos, nNext, nError);
        }
        EXPECT_LE(einer.AnzahlGruppen(), static_cast<std::size_t>(std::count(text.begin(), text.end(), '<')));
    }
}

// On text without faults a scanner remembers no bracket group and the seeker no search that a
// walk by name passed: nothing grows with the text.
TEST(GelerntesAendertNichts, SaubererTextLaesstNichtsZurueck)
{
    std::string text;
    for (int i = 0; i < 300; ++i) text += "<book id=\"b1\" x='(2)'><title>T [1]</title><n a=\"{x}\"/></book>\n";
    const CString cs(text);
    const BrixSubString sicht(cs);
    const CString name("zz");
    const BrixSubString nameSicht(name);
    BrixBlockSucher sucher;
    BrixAbtaster abtaster;
    std::ptrdiff_t s = 0;
    for (;;) {
        std::ptrdiff_t nPos = s, nNext = -1;
        int nError = -1;
        Beantworte(abtaster.FindeTagBlock(sicht, nullptr, nPos), nPos, nNext, nError);
        if (nError != XML_OK) break;
        s = nNext;
    }
    std::ptrdiff_t nPos = 0, nNext = -1;
    int nError = -1;
    Beantworte(sucher.FindeTagBlock(sicht, &nameSicht, nPos), nPos, nNext, nError);
    EXPECT_EQ(nError, XML_TAG_NICHT_GEFUNDEN);
    EXPECT_EQ(s, static_cast<std::ptrdiff_t>(text.size()) - 1);  // every book walked, up to the last line end
    EXPECT_EQ(abtaster.AnzahlGruppen(), 0u);
    EXPECT_EQ(sucher.AnzahlGemerkt(), 0u);
}

// --- Error texts ---

// The seeker's memory: what it keeps decides whether -S stays small and linear. An element that
// a search by name steps over or finds leaves nothing behind (looking for a name that never
// occurs must not remember the whole document); one whose end is missing keeps the elements
// left open in it, as the walk goes on there (an element that closed inside is walked once
// more); behind any other fault the walk goes on at the fault, so nothing is kept. A search for
// any name (as -R makes) keeps what it learned in elements that closed, for the descent into them.
TEST(BlockSucher, BehaeltNurWasDerWegNochBraucht)
{
    std::string tief;
    for (int i = 0; i < 50; ++i) tief += "<b>x";
    for (int i = 0; i < 50; ++i) tief += "</b>";
    std::string offen;
    for (int i = 0; i < 100; ++i) offen += "<b>x";
    const struct {
        std::string text;
        std::string name;
        int nError;
        std::size_t nBehaelt;  // a search by name keeps this many (0: none)
        bool bJederBehaelt;    // a search for any name keeps something
        int zeile;
    } faelle[] = {
        {"<a>" + tief + "</a><a>" + tief + "</a>", "zz", XML_TAG_NICHT_GEFUNDEN, 0, true, __LINE__},
        {"<a>" + tief + "</a><zz/>", "zz", XML_OK, 0, true, __LINE__},           // stepped over, then found
        {"<a>" + tief, "zz", XML_UNERWARTETES_ENDE, 1, true, __LINE__},           // end missing: the element
        {"<a>" + offen, "zz", XML_UNERWARTETES_ENDE, 101, true, __LINE__},        // many ends missing: all of them
        {"<a>" + tief + "</x>", "zz", XML_VERSCHACHTELUNG, 0, false, __LINE__},   // wrong end tag
        {"<zz>" + tief + "</zz>", "zz", XML_OK, 0, true, __LINE__},              // the element found
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString text(f.text);
        const CString name(f.name);
        const BrixSubString sicht(text);
        const BrixSubString nameSicht(name);
        BrixBlockSucher sucher(0);
        std::ptrdiff_t nPos = 0, nNext = -1;
        int nError = -1;
        Beantworte(sucher.FindeTagBlock(sicht, &nameSicht, nPos), nPos, nNext, nError);
        EXPECT_EQ(nError, f.nError);
        EXPECT_EQ(sucher.AnzahlGemerkt(), f.nBehaelt);
        BrixBlockSucher jeder(0);
        nPos = 0;
        Beantworte(jeder.FindeTagBlock(sicht, nullptr, nPos), nPos, nNext, nError);
        if (f.bJederBehaelt)
            EXPECT_GE(jeder.AnzahlGemerkt(), 50u);
        else
            EXPECT_EQ(jeder.AnzahlGemerkt(), 0u);
        nPos = 0;
        Beantworte(sucher.FindeTagBlock(sicht, &nameSicht, nPos), nPos, nNext, nError);
        // The plain scanner gives the same answer.
        std::ptrdiff_t nPos2 = 0, nNext2 = -1;
        int nError2 = -1;
        sicht.FindeTagBlock(nameSicht, nPos2, nNext2, nError2);
        EXPECT_EQ(nError2, nError);
        EXPECT_EQ(nPos2, nPos);
        EXPECT_EQ(nNext2, nNext);
    }
}

TEST(XmlFehlerText, Tabelle)
{
    struct Fall {
        int nCode;
        const char* pText;  // null: no text
        int zeile;
    };
    const Fall faelle[] = {
        {0, "kein Fehler", __LINE__},
        {1, "Tag nicht gefunden", __LINE__},
        {2, "Keine Daten vorhanden", __LINE__},
        {3, "unerwartetes Ende", __LINE__},
        {4, "Close-Tag bei Suche nach Tag-Block gefunden", __LINE__},
        {5, "Tag wird nicht geschlossen", __LINE__},
        {6, "'<' nicht gefunden", __LINE__},
        {7, "'>' nicht gefunden", __LINE__},
        {8, "\xC3\x96" "ffnendes Tag: Name wird nicht Terminiert", __LINE__},  // U+00D6 in UTF-8
        {9, "Ein \xC3\xA4u\xC3\x9F" "eres Tag, wird vor dem inneren geschlossen, z.B. <a><b></a></b>", __LINE__},
        {10, "Eine Kommentarklammer <!-- wird nicht mehr geschlossen.", __LINE__},
        {11, "Darf nicht auftreten, deutet auf Fehler in XML-Routinen selbst", __LINE__},
        {12, "Unbekannter Fehler", __LINE__},
        {13, nullptr, __LINE__},  // the guard code has no text
        {14, "Der Text geht noch weiter", __LINE__},
        {15, nullptr, __LINE__},  // past the table
        {-1, nullptr, __LINE__},  // negative
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const char* p = XmlFehlerText(f.nCode);
        if (f.pText == nullptr) {
            EXPECT_EQ(p, nullptr);
        } else {
            ASSERT_NE(p, nullptr);
            EXPECT_STREQ(p, f.pText);
        }
    }
}

}  // namespace
