// Tests of the tag helpers: Inhalt, TagName, FindeErstenTagBlock.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/XmlFehler.h"

namespace {

using namespace std::string_view_literals;

// Value the outputs hold before a call; expected back when they must stay unwritten.
constexpr int U = -999;
// Expected start of "the empty view at the text's start" (buffer indices 0 and 0).
constexpr int TEXTANFANG = -1;
// Expected result with no data.
constexpr std::nullopt_t KEINE = std::nullopt;

std::u16string Text(const BrixSubString& v) { return std::u16string(v.Sicht()); }

// A block view over part of a longer text, and what a helper should cut out of it.
struct SchnittFall {
    std::u16string_view text;
    int nStart;  // the view on which the helper is called, as buffer indices
    int nEnd;
    std::optional<std::u16string_view> ergebnis;  // KEINE: no data
    int nErgebnisStart;  // buffer index of the result, or TEXTANFANG
    int zeile;
};

void PruefeSchnitt(const SchnittFall& f, BrixSubString (BrixSubString::*pHelfer)() const noexcept)
{
    SCOPED_TRACE(f.zeile);
    const CString s(f.text);
    const BrixSubString r = (BrixSubString(&s, f.nStart, f.nEnd).*pHelfer)();
    if (!f.ergebnis) {
        EXPECT_FALSE(r.HatDaten());
        return;
    }
    ASSERT_EQ(r.m_pString, &s);
    EXPECT_EQ(Text(r), *f.ergebnis);
    if (f.nErgebnisStart == TEXTANFANG) {
        EXPECT_EQ(r.m_nStart, 0);
        EXPECT_EQ(r.m_nEnd, 0);
    } else {
        EXPECT_EQ(r.m_nStart, f.nErgebnisStart);
    }
    // A result never reaches out of the view (the empty view at the text's start aside).
    if (f.nErgebnisStart != TEXTANFANG) {
        EXPECT_GE(r.m_nStart, f.nStart);
        EXPECT_LE(r.m_nEnd, f.nEnd);
    }
}

// --- Inhalt ---

TEST(Inhalt, Tabelle)
{
    const SchnittFall faelle[] = {
        {u"<a>xyz</a>"sv, 0, 10, u"xyz"sv, 3, __LINE__},  // plain content
        {u"<a/>"sv, 0, 4, u""sv, TEXTANFANG, __LINE__},  // self-closing
        {u"<a></a>"sv, 0, 7, u""sv, 3, __LINE__},  // empty content at 3
        {u"<a><b/></a>"sv, 0, 11, u"<b/>"sv, 3, __LINE__},  // nested element is content
        {u"<a>x<b>y</b>z</a>"sv, 0, 17, u"x<b>y</b>z"sv, 3, __LINE__},  // up to the last '<'
        {u"<a x='>'>y</a>"sv, 0, 14, u"'>y"sv, 7, __LINE__},  // quoted '>' ends the start tag
        {u"<a>"sv, 0, 3, u"<a>"sv, 0, __LINE__},  // no '>' before the last unit: whole view
        {u"</a"sv, 0, 3, u"</a"sv, 0, __LINE__},  // no '>' at all
        {u"<a>>"sv, 0, 4, u"<a>>"sv, 0, __LINE__},  // no '<' behind the first '>'
        {u"<a><"sv, 0, 4, u""sv, 3, __LINE__},  // '<' right behind the '>'
        {u">"sv, 0, 1, u">"sv, 0, __LINE__},  // one unit: never "/>"
        {u"/>"sv, 0, 2, u""sv, TEXTANFANG, __LINE__},  // just "/>"
        {u""sv, 0, 0, u""sv, 0, __LINE__},  // empty view: itself
        {u"<a>\0</a>"sv, 0, 8, u"\0"sv, 3, __LINE__},  // U+0000 is content
        {u"zz<a>x</a>zz"sv, 2, 10, u"x"sv, 5, __LINE__},  // view inside a longer text
        {u"zz<a/>zz"sv, 2, 6, u""sv, TEXTANFANG, __LINE__},  // self-closing: buffer index 0, not 2
        {u"<a>x</a>"sv, 0, 7, u"x"sv, 3, __LINE__},  // view cut before the last '>'
        {u"<a>x</a>"sv, 0, 3, u"<a>"sv, 0, __LINE__},  // the '>' behind the view is not seen
        {u"<a>x</a><b>"sv, 0, 8, u"x"sv, 3, __LINE__},  // the '<' behind the view is not seen
    };
    for (const auto& f : faelle) {
        PruefeSchnitt(f, &BrixSubString::Inhalt);
    }
}

TEST(Inhalt, OhneDaten)
{
    EXPECT_FALSE(BrixSubString().Inhalt().HatDaten());
}

// --- TagName ---

TEST(TagName, Tabelle)
{
    const SchnittFall faelle[] = {
        {u"<abc d='1'>x</abc>"sv, 0, 18, u"abc"sv, 1, __LINE__},  // blank ends the name
        {u"<1x/>"sv, 0, 5, u"1x"sv, 1, __LINE__},  // digits count
        {u"<a:b>x</a:b>"sv, 0, 12, u"a"sv, 1, __LINE__},  // ':' ends it
        {u"<my-tag>x</my-tag>"sv, 0, 18, u"my"sv, 1, __LINE__},  // '-' ends it
        {u"<a_b.c>"sv, 0, 7, u"a"sv, 1, __LINE__},  // '_' ends it
        {u"< a>"sv, 0, 4, u""sv, 1, __LINE__},  // empty at position 1
        {u"x<a/>"sv, 0, 5, u""sv, TEXTANFANG, __LINE__},  // no '<' at the front
        {u"AZaz09@[`{/:"sv, 0, 12, u""sv, TEXTANFANG, __LINE__},  // no '<' at the front
        {u"<AZaz09@"sv, 0, 8, u"AZaz09"sv, 1, __LINE__},  // range ends; '@' just before 'A'
        {u"<Z[z{9:"sv, 0, 7, u"Z"sv, 1, __LINE__},  // '[' just after 'Z'
        {u"<z{"sv, 0, 3, u"z"sv, 1, __LINE__},  // '{' just after 'z'
        {u"<a`"sv, 0, 3, u"a"sv, 1, __LINE__},  // '`' just before 'a'
        {u"<a/b"sv, 0, 4, u"a"sv, 1, __LINE__},  // '/' just before '0'
        {u"<ab\u00e9c>"sv, 0, 6, u"ab"sv, 1, __LINE__},  // a Latin-1 letter ends the name
        {u"<ab\u00b2>"sv, 0, 5, u"ab"sv, 1, __LINE__},  // superscript two ends it
        {u"<a\u0131>"sv, 0, 4, u"a"sv, 1, __LINE__},  // a unit above 255 ends it
        {u"<a\u0161>"sv, 0, 4, u"a"sv, 1, __LINE__},  // 0x161: its low byte is 'a'
        {u"<a\0b>"sv, 0, 5, u"a"sv, 1, __LINE__},  // U+0000 ends it
        {u"<"sv, 0, 1, u""sv, 1, __LINE__},  // the '<' alone
        {u""sv, 0, 0, u""sv, TEXTANFANG, __LINE__},  // empty view
        {u"<abc>"sv, 0, 3, u"ab"sv, 1, __LINE__},  // name cut at the view's end
        {u"zz<abc>"sv, 2, 7, u"abc"sv, 3, __LINE__},  // view inside a longer text
        {u"<zz<abc>"sv, 3, 8, u"abc"sv, 4, __LINE__},  // '<' before the view is not looked at
        {u"zz<a>"sv, 1, 5, u""sv, TEXTANFANG, __LINE__},  // view starting with 'z': buffer index 0
    };
    for (const auto& f : faelle) {
        PruefeSchnitt(f, &BrixSubString::TagName);
    }
}

TEST(TagName, OhneDaten)
{
    EXPECT_FALSE(BrixSubString().TagName().HatDaten());
}

// --- FindeErstenTagBlock ---

struct ErsterFall {
    std::u16string_view text;
    std::initializer_list<const char16_t*> namen;
    int nPosEin;
    int nCode;
    int nPos;
    int nNext;
    int nIndex;
    int nStartTagLen;
    int nEndTagOffset;
    std::optional<std::u16string_view> block;  // KEINE: no data
    int nBlockStart;                           // buffer index of the block, or TEXTANFANG
    int zeile;
};

TEST(FindeErstenTagBlock, Tabelle)
{
    const ErsterFall faelle[] = {
        {u"<c/><a>1</a><b>2</b>"sv, {u"b", u"a"}, 0, 0, 4, 12, 1, 3, 4, u"<a>1</a>"sv, 4, __LINE__},  // earliest start wins
        {u"<x>1</x>"sv, {u"b", u"a"}, 0, 1, -1, -1, U, U, U, u""sv, TEXTANFANG, __LINE__},  // no name found
        {u"</x><a/>"sv, {u"a"}, 0, 4, 0, U, U, U, U, u"</x"sv, 0, __LINE__},  // fault: nPos, nNext unchanged
        {u"<a/>"sv, {}, 0, 1, -1, -1, U, U, U, u""sv, TEXTANFANG, __LINE__},  // empty list
        {u"<a>1</a>"sv, {u"a", u"a"}, 0, 0, 0, 8, 0, 3, 4, u"<a>1</a>"sv, 0, __LINE__},  // tie: the first name
        {u"<b/><a/>"sv, {u"a", u"b"}, 0, 0, 0, 4, 1, -1, -1, u"<b/>"sv, 0, __LINE__},  // self-closing, later name
        {u"<x><a/></x>"sv, {u"a"}, 0, 1, -1, -1, U, U, U, u""sv, TEXTANFANG, __LINE__},  // nested in another name
        {u"<a>1</a><b>2</b>"sv, {u"a", u"b"}, 1, 4, 1, U, U, U, U, u"</a"sv, 4, __LINE__},  // fault from nPos 1
        {u"<a>1</a><b>2</b>"sv, {u"a", u"b"}, 8, 0, 8, 16, 1, 3, 4, u"<b>2</b>"sv, 8, __LINE__},  // from nPos 8
        {u"<a/><b>"sv, {u"a", u"b"}, 0, 3, 0, U, 0, U, U, u"<b"sv, 4, __LINE__},  // a found, b's fault ends it
        {u"<a/><b>"sv, {u"b", u"a"}, 0, 3, 0, U, U, U, U, u"<b"sv, 4, __LINE__},  // b's fault before a is searched
        {u"<c/><b/><a/><d>"sv, {u"a", u"b", u"d"}, 0, 3, 0, U, 1, U, U, u"<d"sv, 12, __LINE__},  // earlier best's index kept
        {u"<a>x</a><b/>"sv, {u"c"}, 0, 1, -1, -1, U, U, U, u""sv, TEXTANFANG, __LINE__},  // walk to the end
        {u"<a><b></a>"sv, {u"x"}, 0, 9, 0, U, U, U, U, u"<a><b>"sv, 0, __LINE__},  // fault in a stepped-over element
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString s(f.text);
        const BrixSubString view(s);
        CBrixArray<BrixSubString> aNamen;
        std::vector<CString> namenText;
        namenText.reserve(f.namen.size());
        for (const char16_t* p : f.namen) {
            namenText.emplace_back(std::u16string_view(p));
            aNamen.Hinzufuegen(BrixSubString(namenText.back()));
        }
        int nPos = f.nPosEin;
        int nNext = U;
        int nIndex = U;
        int nError = U;
        int nStartTagLen = U;
        int nEndTagOffset = U;
        const BrixSubString r =
            view.FindeErstenTagBlock(aNamen, nPos, nNext, nIndex, nError, &nStartTagLen, &nEndTagOffset);
        EXPECT_EQ(nError, f.nCode);
        EXPECT_EQ(nPos, f.nPos);
        EXPECT_EQ(nNext, f.nNext);
        EXPECT_EQ(nIndex, f.nIndex);
        EXPECT_EQ(nStartTagLen, f.nStartTagLen);
        EXPECT_EQ(nEndTagOffset, f.nEndTagOffset);
        ASSERT_EQ(r.HatDaten(), f.block.has_value());
        if (f.block) {
            EXPECT_EQ(r.m_pString, &s);
            EXPECT_EQ(Text(r), *f.block);
            EXPECT_EQ(r.m_nStart, f.nBlockStart == TEXTANFANG ? 0 : f.nBlockStart);
        }
    }
}

TEST(FindeErstenTagBlock, OhneDaten)
{
    const CString name(u"a"sv);
    CBrixArray<BrixSubString> aNamen;
    aNamen.Hinzufuegen(BrixSubString(name));
    int nPos = 3, nNext = 4, nIndex = 5, nError = U;
    const BrixSubString r = BrixSubString().FindeErstenTagBlock(aNamen, nPos, nNext, nIndex, nError);
    EXPECT_EQ(nError, XML_KEINE_DATEN);
    EXPECT_FALSE(r.HatDaten());
    // Unchanged.
    EXPECT_EQ(nPos, 3);
    EXPECT_EQ(nNext, 4);
    EXPECT_EQ(nIndex, 5);
}

TEST(FindeErstenTagBlock, LaufInDokumentReihenfolge)
{
    // Repeated calls from nNext list the blocks of all names in document order.
    const CString s(u"<a><b>1</b>t<c>2</c><x><b/></x><b>3</b></a>"sv);
    const CString namen(u"c,b"sv);
    CBrixArray<BrixSubString> aNamen;
    BrixSubString(namen).Teile(u',', aNamen, nullptr);
    const BrixSubString inhalt = BrixSubString(s).Inhalt();
    std::u16string gesehen;
    int nPos = 0, nNext = 0, nIndex = 0, nError = 0;
    for (;;) {
        const BrixSubString block = inhalt.FindeErstenTagBlock(aNamen, nPos, nNext, nIndex, nError);
        if (nError != 0) {
            break;
        }
        gesehen += Text(block);
        gesehen += static_cast<char16_t>(u'0' + nIndex);
        nPos = nNext;
    }
    EXPECT_EQ(nError, XML_TAG_NICHT_GEFUNDEN);
    EXPECT_EQ(gesehen, u"<b>1</b>1<c>2</c>0<b>3</b>1");
}

}  // namespace
