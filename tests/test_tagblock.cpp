// Tests of the tag-block scanner: FindeTagBlock, FindeNaechstenTagBlock, FindeEndTag.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "brix/BrixSubString.h"
#include "xml/Abtaster.h"
#include "xml/BlockSucher.h"
#include "xml/XmlFehler.h"

namespace {

using namespace std::string_view_literals;

// Value the optional outputs hold before a call; expected back when they must stay unwritten.
constexpr int U = -999;
// Expected block of a call that returns a view with no data.
constexpr std::nullopt_t KEINE = std::nullopt;

std::u16string Text(const BrixSubString& v) { return std::u16string(v.Sicht()); }

struct Aufruf {
    BrixSubString block;
    int nPos;
    int nNext;
    int nError;
    int nStartTagLen;
    int nEndTagOffset;
};

// One block-finder call on view with nPos on entry; pName null calls FindeNaechstenTagBlock.
Aufruf Rufe(const BrixSubString& view, const char16_t* pName, int nPos = 0)
{
    Aufruf a{{}, nPos, U, U, U, U};
    if (pName == nullptr) {
        a.block = view.FindeNaechstenTagBlock(a.nPos, a.nNext, a.nError, &a.nStartTagLen, &a.nEndTagOffset);
    } else {
        const CString name{std::u16string_view(pName)};
        a.block = view.FindeTagBlock(BrixSubString(name), a.nPos, a.nNext, a.nError, &a.nStartTagLen,
                                     &a.nEndTagOffset);
    }
    return a;
}

struct BlockFall {
    std::u16string_view text;
    const char16_t* name;  // null: FindeNaechstenTagBlock
    int nCode;
    int nPos;
    int nNext;
    int nStartTagLen;
    int nEndTagOffset;
    std::optional<std::u16string_view> block;  // KEINE: a view with no data
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
        {u"<a x='1'>text</a>"sv, u"a", 0, 0, 17, 9, 13, u"<a x='1'>text</a>", __LINE__},  // attributes, whole input
        {u"<!-- x --><b/>"sv, nullptr, 0, 10, 14, -1, -1, u"<b/>", __LINE__},  // comment skipped
        {u"<?xml version='1.0'?><r>1</r>"sv, nullptr, 0, 21, 29, 3, 4, u"<r>1</r>", __LINE__},  // PI skipped
        {u"<!DOCTYPE r><r/>"sv, u"r", 0, 12, 16, -1, -1, u"<r/>", __LINE__},  // declaration skipped
        {u"<!--><b/>"sv, nullptr, 0, 5, 9, -1, -1, u"<b/>", __LINE__},  // "<!-->" is a whole comment
        {u"<a><b>x</b></a>"sv, u"b", 1, -1, -1, U, U, KEINE, __LINE__},  // nested b stepped over with a
        {u"<a><b/></a>"sv, u"b", 1, -1, -1, U, U, KEINE, __LINE__},  // nested self-closing b too
        {u"<a>1</a><b>2</b>"sv, u"b", 0, 8, 16, 3, 4, u"<b>2</b>", __LINE__},  // a stepped over
        {u"<a/>"sv, u"A", 1, -1, -1, U, U, KEINE, __LINE__},  // case counts
        {u"<a />"sv, u"a", 0, 0, 5, -1, -1, u"<a />", __LINE__},  // blank before "/>"
        {u"</a><a/>"sv, nullptr, 4, 0, 3, U, U, u"</a", __LINE__},  // end tag where a start tag was sought
        {u"<a><b></a></b>"sv, nullptr, 9, 0, 6, U, U, u"<a><b>", __LINE__},  // crossed elements
        {u"<a><b></a></b><c/>"sv, u"c", 9, 0, 6, U, U, u"<a><b>", __LINE__},  // fault in stepped-over element ends
        {u"<a></a >"sv, nullptr, 9, 0, 3, U, U, u"<a>", __LINE__},  // end-tag name keeps its blank
        {u"<a>"sv, nullptr, 3, 0, 2, U, U, u"<a", __LINE__},  // never closed
        {u"x <"sv, nullptr, 1, -1, -1, U, U, KEINE, __LINE__},  // '<' is the last unit
        {u"<abc"sv, nullptr, 8, 0, 4, U, U, u"<abc", __LINE__},  // name not terminated
        {u"<ab c"sv, nullptr, 7, 0, 5, U, U, u"<ab c", __LINE__},  // no '>'
        {u"<!-- x"sv, nullptr, 10, 0, 5, U, U, KEINE, __LINE__},  // comment left open
        {u"<!x"sv, nullptr, 12, 0, 2, U, U, KEINE, __LINE__},  // declaration left open
        {u"<?x"sv, nullptr, 11, 0, 2, U, U, KEINE, __LINE__},  // processing instruction left open
        {u"<a><b x='<'>y</b></a>"sv, nullptr, 9, 0, 13, U, U, u"<a><b x='<'>y", __LINE__},  // quoted '<' taken for a tag
    };
    PruefeFaelle(faelle, std::size(faelle));
}

TEST(FindeTagBlock, WeitereFaelle)
{
    const BlockFall faelle[] = {
        {u""sv, nullptr, 1, -1, -1, U, U, KEINE, __LINE__},  // empty text
        {u"abc"sv, u"a", 1, -1, -1, U, U, KEINE, __LINE__},  // no '<' at all
        {u"t<a/>u<b/>"sv, u"b", 0, 6, 10, -1, -1, u"<b/>", __LINE__},  // self-closing a stepped over
        {u"<b x='/>'></b>"sv, nullptr, 0, 0, 8, -1, -1, u"<b x='/>", __LINE__},  // plain '>' search ignores quotes
        {u"<a>x</a><a>y</a>"sv, u"a", 0, 0, 8, 3, 4, u"<a>x</a>", __LINE__},  // first of equal names
        {u"<ab>1</ab><a>2</a>"sv, u"a", 0, 10, 18, 3, 4, u"<a>2</a>", __LINE__},  // names compared whole
        {u"<a\tk='v'\n>1</a>"sv, u"a", 0, 0, 15, 10, 11, u"<a\tk='v'\n>1</a>", __LINE__},  // tab ends the name
        {u"<a><a></a></a>"sv, nullptr, 0, 0, 14, 3, 10, u"<a><a></a></a>", __LINE__},  // same name nested
        {u"<a><!--</a>--></a>"sv, nullptr, 0, 0, 18, 3, 14, u"<a><!--</a>--></a>", __LINE__},  // comment in content
        {u"<a><?p </a>?></a>"sv, nullptr, 0, 0, 17, 3, 13, u"<a><?p </a>?></a>", __LINE__},  // PI in content
        {u"<a><!D </a>></a>"sv, nullptr, 0, 0, 16, 3, 12, u"<a><!D </a>></a>", __LINE__},  // declaration in content
        {u"<>x</>"sv, nullptr, 0, 0, 6, 2, 3, u"<>x</>", __LINE__},  // empty name closed by "</>"
        {u"<a>\0</a>"sv, nullptr, 0, 0, 8, 3, 4, u"<a>\0</a>"sv, __LINE__},  // U+0000 is text
        {u"<a\0b>x</a\0c>"sv, nullptr, 9, 0, 6, U, U, u"<a\0b>x"sv, __LINE__},  // names differ behind U+0000
        {u"<a\0b>x</a\0b>"sv, u"a", 1, -1, -1, U, U, KEINE, __LINE__},  // "a" is not "a\0b"
        {u"<a><b></a>"sv, u"x", 9, 0, 6, U, U, u"<a><b>", __LINE__},  // fault before any name compare
    };
    PruefeFaelle(faelle, std::size(faelle));
}

TEST(FindeTagBlock, OhneDaten)
{
    const BrixSubString leer;
    for (const char16_t* pName : {static_cast<const char16_t*>(nullptr), u"a"}) {
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
        {u"x</a"sv, nullptr, 6, 1, 4, U, U, u"</a", __LINE__},  // rest of the view
        {u"</"sv, nullptr, 6, 0, 2, U, U, u"</", __LINE__},  // nothing behind the "</"
        {u"<a/></b"sv, u"a", 0, 0, 4, -1, -1, u"<a/>", __LINE__},  // not reached when a block comes first
        {u"<a/></b"sv, u"b", 6, 4, 7, U, U, u"</b", __LINE__},  // reached by FindeTagBlock
    };
    PruefeFaelle(faelle, std::size(faelle));
}

// Unclosed comment, PI or declaration: nNext at most 100 units behind the '<'.
TEST(FindeTagBlock, SprungNachOffenemKonstrukt)
{
    struct Fall {
        int nAt;
        const char16_t* pOeffner;
        int nCode;
        int nNext;
        int zeile;
    };
    const Fall faelle[] = {
        {10, u"<!--", XML_KOMMENTAR_OFFEN, 110, __LINE__},  // 100 units on
        {950, u"<!--", XML_KOMMENTAR_OFFEN, 999, __LINE__},  // cut at the last unit
        {10, u"<?", XML_PI_OFFEN, 110, __LINE__},  // processing instruction alike
        {950, u"<!", XML_DEKLARATION_OFFEN, 999, __LINE__},  // declaration alike
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        std::u16string t(1000, u'x');
        t.replace(static_cast<std::size_t>(f.nAt), std::u16string_view(f.pOeffner).size(), f.pOeffner);
        const CString s{std::u16string_view(t)};
        const Aufruf a = Rufe(BrixSubString(s), nullptr);
        EXPECT_EQ(a.nError, f.nCode);
        EXPECT_EQ(a.nPos, f.nAt);
        EXPECT_EQ(a.nNext, f.nNext);
        EXPECT_FALSE(a.block.HatDaten());
    }
}

TEST(FindeTagBlock, Startposition)
{
    const CString s(u"<a>1</a>x<b/>"sv);
    const BrixSubString view(s);
    struct Fall {
        int nPos;
        int nCode;
        int nPosAus;
        int nNext;
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
        int nPos = f.nPos;
        int nNext = U;
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
    const CString s(u"t<a>1</a><!--c--><b/><?p?><c><d/></c>e"sv);
    const BrixSubString view(s);
    std::u16string gesehen;
    int nPos = 0, nNext = 0, nError = 0;
    for (;;) {
        const BrixSubString block = view.FindeNaechstenTagBlock(nPos, nNext, nError);
        if (nError != 0) {
            break;
        }
        gesehen += Text(block);
        gesehen += u'|';
        nPos = nNext;
    }
    EXPECT_EQ(nError, XML_TAG_NICHT_GEFUNDEN);
    EXPECT_EQ(gesehen, u"<a>1</a>|<b/>|<c><d/></c>|");
}

// --- Views inside a longer string: nothing beyond m_nEnd counts ---

TEST(FindeTagBlock, TeilansichtSiehtNichtUeberIhrEnde)
{
    struct Fall {
        std::u16string_view text;
        int nStart;
        int nEnd;
        int nCode;
        int nPos;
        int nNext;
        std::optional<std::u16string_view> block;
        int zeile;
    };
    const Fall faelle[] = {
        {u"xx<a>1</a>yy"sv, 2, 10, 0, 0, 8, u"<a>1</a>", __LINE__},  // positions relative to the view
        {u"<a>x</a><b/>"sv, 0, 7, 6, 0, 4, u"<a>x", __LINE__},  // end tag's '>' lies behind the view
        {u"<a>x</a>"sv, 0, 5, 8, 0, 4, u"<a>x", __LINE__},  // end tag's '<' is the view's last unit
        {u"<!-- c --><a/>"sv, 0, 8, 10, 0, 7, KEINE, __LINE__},  // "-->" ends behind the view
        {u"<?p ?><a/>"sv, 0, 5, 11, 0, 4, KEINE, __LINE__},  // "?>" ends behind the view
        {u"<!D><a/>"sv, 0, 3, 12, 0, 2, KEINE, __LINE__},  // declaration's '>' behind the view
        {u"<ab/>"sv, 0, 3, 8, 0, 3, u"<ab", __LINE__},  // name terminator behind the view
        {u"<a b/>"sv, 0, 4, 7, 0, 4, u"<a b", __LINE__},  // '>' behind the view
        {u"<a/>"sv, 0, 3, 7, 0, 3, u"<a/", __LINE__},  // self-closing tag cut before its '>'
        {u"x<a/>"sv, 0, 2, 1, -1, -1, KEINE, __LINE__},  // '<' is the view's last unit
        {u"</a>"sv, 0, 3, 6, 0, 3, u"</a", __LINE__},  // end tag cut before its '>'
        {u"<a><b/></a>"sv, 3, 7, 0, 0, 4, u"<b/>", __LINE__},  // view of the content only
        {u"<a><b></b></a>"sv, 3, 12, 0, 0, 7, u"<b></b>", __LINE__},  // outer end tag partly inside
        {u"<r><a>1</a></r>"sv, 3, 15, 0, 0, 8, u"<a>1</a>", __LINE__},  // view starting inside the text
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
        std::u16string_view text;
        const char16_t* name;
        int nFrom;
        int nErgebnis;
        int nCode;
        int nEndTagPos;  // last value written, U if none
        int zeile;
    };
    const Fall faelle[] = {
        {u"<a><b>x</b></a>"sv, u"a", 3, 15, 0, 11, __LINE__},  // nested end tag written first, then 11
        {u"<a><b>x</b></c>"sv, u"a", 3, 11, 9, 7, __LINE__},  // nested end tag was written before the fault
        {u"<a>x"sv, u"a", 3, -1, 3, U, __LINE__},  // no further '<'
        {u"<a>x</a"sv, u"a", 3, 4, 6, U, __LINE__},  // "</" without '>'
        {u"<a><"sv, u"a", 3, 3, 8, U, __LINE__},  // '<' as the last unit
        {u"<a><b"sv, u"a", 3, 3, 8, U, __LINE__},  // nested name not terminated
        {u"<a><!-- x"sv, u"a", 3, 3, 10, U, __LINE__},  // comment left open
        {u"<a><?x"sv, u"a", 3, 3, 11, U, __LINE__},  // PI left open
        {u"<a><!x"sv, u"a", 3, 3, 12, U, __LINE__},  // declaration left open
        {u"<a><!-- <b> --></a>"sv, u"a", 3, 19, 0, 15, __LINE__},  // tags in comments do not count
        {u"<a><b/></a>"sv, u"a", 3, 11, 0, 7, __LINE__},  // nested self-closing
        {u"<a><b x='/>'></b></a>"sv, u"a", 3, 21, 0, 17, __LINE__},  // quoted "/>" does not close the tag
        {u"<a><b x=\"(\"/></a>"sv, u"a", 3, 17, 0, 13, __LINE__},  // quoted bracket does not nest
        {u"<a><b (>x</b></a>"sv, u"a", 3, 17, 0, 13, __LINE__},  // unmatched '(': open from behind the name
        {u"<a><b [x]/></a>"sv, u"a", 3, 15, 0, 11, __LINE__},  // matched brackets in the tag
        {u"<a><>x</></a>"sv, u"a", 3, 13, 0, 9, __LINE__},  // empty nested name
        {u"<a><ab></a></ab>"sv, u"a", 3, 7, 9, U, __LINE__},  // names compared whole
        {u"<a><b><c></c></b><d/></a>"sv, u"a", 3, 25, 0, 21, __LINE__},  // two levels
        {u"<a><b><c></b></a>"sv, u"a", 3, 9, 9, U, __LINE__},  // innermost element reports the fault
        {u"<a><b><c></c>"sv, u"a", 3, -1, 3, 9, __LINE__},  // runs out after closing c
        {u"<a></a>"sv, u"a", 0, -1, 3, 3, __LINE__},  // from the start tag: a nested a, closed; then the end
        {u"<a></a>"sv, u"a", 8, -1, 3, U, __LINE__},  // start past the end
        {u"<a></a>"sv, u"a", -1, -1, 3, U, __LINE__},  // negative start
        {u"</a>"sv, u"", 0, 0, 9, U, __LINE__},  // empty name does not match "a"
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString s(f.text);
        const CString name{std::u16string_view(f.name)};
        int nError = U;
        int nEndTagPos = U;
        const int r = BrixSubString(s).FindeEndTag(BrixSubString(name), f.nFrom, nError, &nEndTagPos);
        EXPECT_EQ(r, f.nErgebnis);
        EXPECT_EQ(nError, f.nCode);
        EXPECT_EQ(nEndTagPos, f.nEndTagPos);
    }
}

TEST(FindeEndTag, OhneDatenUndOhneZeiger)
{
    const CString name(u"a"sv);
    int nError = U;
    EXPECT_EQ(BrixSubString().FindeEndTag(BrixSubString(name), 0, nError), 0);
    EXPECT_EQ(nError, XML_KEINE_DATEN);

    const CString s(u"<a><b/></a>"sv);
    nError = U;
    EXPECT_EQ(BrixSubString(s).FindeEndTag(BrixSubString(name), 3, nError, nullptr), 11);
    EXPECT_EQ(nError, XML_OK);
}

TEST(FindeEndTag, TeilansichtSiehtNichtUeberIhrEnde)
{
    const CString s(u"<a><b></b></a><x>"sv);
    const CString name(u"a"sv);
    struct Fall {
        int nEnd;
        int nErgebnis;
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

std::u16string Wiederholt(std::u16string_view teil, int n)
{
    std::u16string t;
    t.reserve(teil.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        t += teil;
    }
    return t;
}

TEST(TiefeVerschachtelung, GeschlosseneElemente)
{
    const CString s{Wiederholt(u"<a>", kTiefe) + Wiederholt(u"</a>", kTiefe)};
    const BrixSubString view(s);
    const int nLaenge = 7 * kTiefe;
    for (const char16_t* pName : {static_cast<const char16_t*>(nullptr), u"a"}) {
        const Aufruf a = Rufe(view, pName);
        EXPECT_EQ(a.nError, XML_OK);
        EXPECT_EQ(a.nPos, 0);
        EXPECT_EQ(a.nNext, nLaenge);
        EXPECT_EQ(a.nStartTagLen, 3);
        EXPECT_EQ(a.nEndTagOffset, nLaenge - 4);
    }
    // Another name: the whole element is stepped over.
    EXPECT_EQ(Rufe(view, u"b").nError, XML_TAG_NICHT_GEFUNDEN);

    const CString name(u"a"sv);
    int nError = U;
    int nEndTagPos = U;
    EXPECT_EQ(view.FindeEndTag(BrixSubString(name), 3, nError, &nEndTagPos), nLaenge);
    EXPECT_EQ(nError, XML_OK);
    EXPECT_EQ(nEndTagPos, nLaenge - 4);
}

TEST(TiefeVerschachtelung, UngeschlosseneElemente)
{
    const CString s{Wiederholt(u"<a>", kTiefe)};
    const BrixSubString view(s);
    for (const char16_t* pName : {static_cast<const char16_t*>(nullptr), u"a", u"b"}) {
        const Aufruf a = Rufe(view, pName);
        EXPECT_EQ(a.nError, XML_UNERWARTETES_ENDE);
        EXPECT_EQ(a.nPos, 0);
        EXPECT_EQ(a.nNext, 2);
        EXPECT_EQ(Text(a.block), u"<a");
    }

    const CString name(u"a"sv);
    int nError = U;
    EXPECT_EQ(view.FindeEndTag(BrixSubString(name), 3, nError), -1);
    EXPECT_EQ(nError, XML_UNERWARTETES_ENDE);
}

TEST(TiefeVerschachtelung, FehlerDesInnerstenElements)
{
    // A wrong end tag at the bottom: the position reported is the innermost element's.
    const CString s{Wiederholt(u"<a>", kTiefe) + u"</b>"};
    const Aufruf a = Rufe(BrixSubString(s), u"a");
    EXPECT_EQ(a.nError, XML_VERSCHACHTELUNG);
    EXPECT_EQ(a.nPos, 0);
    EXPECT_EQ(a.nNext, 3 * kTiefe);
    EXPECT_EQ(a.block.Laenge(), 3 * kTiefe);
}

TEST(TiefeVerschachtelung, VieleKlammernImTag)
{
    const std::u16string auf = Wiederholt(u"(", kTiefe);
    const std::u16string zu = Wiederholt(u")", kTiefe);
    struct Fall {
        std::u16string text;
        int zeile;
    };
    const Fall faelle[] = {
        {u"<r><a " + auf + u"></a></r>", __LINE__},  // unmatched: a stays open, closed by "</a>"
        {u"<r><a " + auf + zu + u"/></r>", __LINE__},  // matched: a is self-closing
        {u"<r><a " + auf + u"]" + zu + u"/></r>", __LINE__},  // a closer of another kind passed over
        {u"<a " + auf + u">x</a>", __LINE__},  // brackets in the outer tag itself
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
        std::u16string_view kopf;
        std::u16string_view stueck;
        int nMal;
        int zeile;
        std::u16string_view schwanz = u"";
        int nSchwanzMal = 1;
        std::u16string_view ende = u"";
    } faelle[] = {
        {u"<r>", u"<b (>t\n", 120, __LINE__},
        {u"", u"<b [x>t\n", 120, __LINE__},
        {u"<r>", u"<b {>t<b <>u\n", 80, __LINE__},
        {u"<r>", u"<b x='1>t\n", 120, __LINE__},
        {u"", u"<b x=\"1'>t\n", 120, __LINE__},
        {u"<r>", u"<a ", 300, __LINE__},
        {u"", u"<a x <a y ", 150, __LINE__},
        {u"", u"<p>if (x < y) then [z] {w} a<b c</p>\n<q>x <= 3 (see <i>r</i></q>\n", 25, __LINE__},
        {u"<r>", u"<a><b>x</b>", 150, __LINE__},              // ends missing: -S goes on inside
        {u"", u"<a x='<'><b/>(", 100, __LINE__},              // '<' in attributes
        {u"<r>", u"<!-- x <b>", 100, __LINE__},               // comments left open
        {u"<r><a>", u"<?p </a>", 100, __LINE__},              // instructions left open
        {u"", u"</q><a><b></a></b><!x ", 80, __LINE__},       // stray, crossed, declaration open
        {u"<r>", u"<a (", 150, __LINE__, u")>/>"},              // groups that close at the very end
        {u"<r>", u"<a (", 150, __LINE__, u")/>", 150, u"</r>"},  // all of them, self-closing
        {u"<r>", u"<a x='", 150, __LINE__, u"'>"},              // a quote closed at the very end
        {u"<r>", u"<a <b/>", 150, __LINE__, u"</r>"},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        std::u16string text(f.kopf);
        for (int i = 0; i < f.nMal; ++i) text += f.stueck;
        for (int i = 0; i < f.nSchwanzMal; ++i) text += f.schwanz;
        text += f.ende;
        const CString cs(text);
        const CString name(u"b");
        const BrixSubString nameSicht(name);
        BrixAbtaster abtaster(nullptr, 0);
        BrixBlockSucher sucher(0);
        BrixBlockSucher sucher64;
        // Shorter views before and after longer ones: what holds in one may not in the other.
        for (const int nKuerzer : {200, 7, 0, 3, 1, 2}) {
            const BrixSubString sicht(&cs, 0, static_cast<int>(text.size()) - nKuerzer);
            for (int nStart = 0; nStart <= sicht.Laenge(); ++nStart) {
                for (const BrixSubString* pName : {static_cast<const BrixSubString*>(nullptr), &nameSicht}) {
                    Aufruf frisch{{}, nStart, U, U, U, U};
                    frisch.block = pName ? sicht.FindeTagBlock(*pName, frisch.nPos, frisch.nNext, frisch.nError,
                                                               &frisch.nStartTagLen, &frisch.nEndTagOffset)
                                         : sicht.FindeNaechstenTagBlock(frisch.nPos, frisch.nNext, frisch.nError,
                                                                        &frisch.nStartTagLen, &frisch.nEndTagOffset);
                    auto vergleiche = [&](auto& wer, const char* strWer) {
                        Aufruf a{{}, nStart, U, U, U, U};
                        a.block = wer.FindeTagBlock(sicht, pName, a.nPos, a.nNext, a.nError, &a.nStartTagLen,
                                                    &a.nEndTagOffset);
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
        for (int nStart = 0; nStart <= ganz.Laenge(); ++nStart) {
            int nPos = nStart, nNext = -1, nError = -1;
            einer.FindeTagBlock(ganz, nullptr, nPos, nNext, nError);
        }
        EXPECT_LE(einer.AnzahlGruppen(), static_cast<std::size_t>(std::count(text.begin(), text.end(), u'<')));
    }
}

// On text without faults a scanner remembers no bracket group and the seeker no search that a
// walk by name passed: nothing grows with the text.
TEST(GelerntesAendertNichts, SaubererTextLaesstNichtsZurueck)
{
    std::u16string text;
    for (int i = 0; i < 300; ++i) text += u"<book id=\"b1\" x='(2)'><title>T [1]</title><n a=\"{x}\"/></book>\n";
    const CString cs(text);
    const BrixSubString sicht(cs);
    const CString name(u"zz");
    const BrixSubString nameSicht(name);
    BrixBlockSucher sucher;
    BrixAbtaster abtaster;
    int s = 0;
    for (;;) {
        int nPos = s, nNext = -1, nError = -1;
        abtaster.FindeTagBlock(sicht, nullptr, nPos, nNext, nError);
        if (nError != XML_OK) break;
        s = nNext;
    }
    int nPos = 0, nNext = -1, nError = -1;
    sucher.FindeTagBlock(sicht, &nameSicht, nPos, nNext, nError);
    EXPECT_EQ(nError, XML_TAG_NICHT_GEFUNDEN);
    EXPECT_EQ(s, static_cast<int>(text.size()) - 1);  // every book walked, up to the last line end
    EXPECT_EQ(abtaster.AnzahlGruppen(), 0u);
    EXPECT_EQ(sucher.AnzahlGemerkt(), 0u);
}

// --- Error texts ---

// The seeker's memory: what it keeps decides whether -S stays small and linear. An element that
// a search by name steps over or finds leaves nothing behind (looking for a name that never
// occurs must not remember the whole document); one whose end is missing keeps the searches
// made inside it, as the walk goes on there; behind any other fault the walk goes on at the
// fault, so nothing inside is kept. A search for any name (as -R makes) keeps what it learned
// in elements that closed, for the descent into them.
TEST(BlockSucher, BehaeltNurWasDerWegNochBraucht)
{
    std::u16string tief;
    for (int i = 0; i < 50; ++i) tief += u"<b>x";
    for (int i = 0; i < 50; ++i) tief += u"</b>";
    std::u16string offen;
    for (int i = 0; i < 100; ++i) offen += u"<b>x";
    const struct {
        std::u16string text;
        std::u16string name;
        int nError;
        bool bBehaelt;       // a search by name keeps something
        bool bJederBehaelt;  // a search for any name keeps something
        int zeile;
    } faelle[] = {
        {u"<a>" + tief + u"</a><a>" + tief + u"</a>", u"zz", XML_TAG_NICHT_GEFUNDEN, false, true, __LINE__},
        {u"<a>" + tief + u"</a><zz/>", u"zz", XML_OK, false, true, __LINE__},        // stepped over, then found
        {u"<a>" + tief, u"zz", XML_UNERWARTETES_ENDE, true, true, __LINE__},         // end missing
        {u"<a>" + offen, u"zz", XML_UNERWARTETES_ENDE, true, true, __LINE__},        // many ends missing
        {u"<a>" + tief + u"</x>", u"zz", XML_VERSCHACHTELUNG, false, false, __LINE__}, // wrong end tag
        {u"<zz>" + tief + u"</zz>", u"zz", XML_OK, false, true, __LINE__},           // the element found
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString text(f.text);
        const CString name(f.name);
        const BrixSubString sicht(text);
        const BrixSubString nameSicht(name);
        BrixBlockSucher sucher(0);
        int nPos = 0, nNext = -1, nError = -1;
        sucher.FindeTagBlock(sicht, &nameSicht, nPos, nNext, nError);
        EXPECT_EQ(nError, f.nError);
        if (f.bBehaelt)
            EXPECT_GE(sucher.AnzahlGemerkt(), 50u);
        else
            EXPECT_EQ(sucher.AnzahlGemerkt(), 0u);
        BrixBlockSucher jeder(0);
        nPos = 0;
        jeder.FindeTagBlock(sicht, nullptr, nPos, nNext, nError);
        if (f.bJederBehaelt)
            EXPECT_GE(jeder.AnzahlGemerkt(), 50u);
        else
            EXPECT_EQ(jeder.AnzahlGemerkt(), 0u);
        nPos = 0;
        sucher.FindeTagBlock(sicht, &nameSicht, nPos, nNext, nError);
        // The plain scanner gives the same answer.
        int nPos2 = 0, nNext2 = -1, nError2 = -1;
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
        {14, nullptr, __LINE__},  // past the table
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
