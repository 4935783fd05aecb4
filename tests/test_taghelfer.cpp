// Tests of the tag helpers: Inhalt, TagName, FindeErstenTagBlock.
#include <gtest/gtest.h>

#include <cstddef>
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
constexpr std::ptrdiff_t TEXTANFANG = -1;
// Expected result with no data.
constexpr std::nullopt_t KEINE = std::nullopt;

std::string Text(const BrixSubString& v) { return std::string(v.Sicht()); }

// A block view over part of a longer text, and what a helper should cut out of it.
struct SchnittFall {
    std::string_view text;
    std::ptrdiff_t nStart;  // the view on which the helper is called, as buffer indices
    std::ptrdiff_t nEnd;
    std::optional<std::string_view> ergebnis;  // KEINE: no data
    std::ptrdiff_t nErgebnisStart;  // buffer index of the result, or TEXTANFANG
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
        {"<a>xyz</a>"sv, 0, 10, "xyz"sv, 3, __LINE__},  // plain content
        {"<a/>"sv, 0, 4, ""sv, TEXTANFANG, __LINE__},  // self-closing
        {"<a></a>"sv, 0, 7, ""sv, 3, __LINE__},  // empty content at 3
        {"<a><b/></a>"sv, 0, 11, "<b/>"sv, 3, __LINE__},  // nested element is content
        {"<a>x<b>y</b>z</a>"sv, 0, 17, "x<b>y</b>z"sv, 3, __LINE__},  // up to the last '<'
        {"<a x='>'>y</a>"sv, 0, 14, "'>y"sv, 7, __LINE__},  // quoted '>' ends the start tag
        {"<a>"sv, 0, 3, "<a>"sv, 0, __LINE__},  // no '>' before the last byte: whole view
        {"</a"sv, 0, 3, "</a"sv, 0, __LINE__},  // no '>' at all
        {"<a>>"sv, 0, 4, "<a>>"sv, 0, __LINE__},  // no '<' behind the first '>'
        {"<a><"sv, 0, 4, ""sv, 3, __LINE__},  // '<' right behind the '>'
        {">"sv, 0, 1, ">"sv, 0, __LINE__},  // one byte: never "/>"
        {"/>"sv, 0, 2, ""sv, TEXTANFANG, __LINE__},  // just "/>"
        {""sv, 0, 0, ""sv, 0, __LINE__},  // empty view: itself
        {"<a>\0</a>"sv, 0, 8, "\0"sv, 3, __LINE__},  // U+0000 is content
        {"zz<a>x</a>zz"sv, 2, 10, "x"sv, 5, __LINE__},  // view inside a longer text
        {"zz<a/>zz"sv, 2, 6, ""sv, TEXTANFANG, __LINE__},  // self-closing: buffer index 0, not 2
        {"<a>x</a>"sv, 0, 7, "x"sv, 3, __LINE__},  // view cut before the last '>'
        {"<a>x</a>"sv, 0, 3, "<a>"sv, 0, __LINE__},  // the '>' behind the view is not seen
        {"<a>x</a><b>"sv, 0, 8, "x"sv, 3, __LINE__},  // the '<' behind the view is not seen
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
        {"<abc d='1'>x</abc>"sv, 0, 18, "abc"sv, 1, __LINE__},  // blank ends the name
        {"<1x/>"sv, 0, 5, "1x"sv, 1, __LINE__},  // digits count
        {"<a:b>x</a:b>"sv, 0, 12, "a"sv, 1, __LINE__},  // ':' ends it
        {"<my-tag>x</my-tag>"sv, 0, 18, "my"sv, 1, __LINE__},  // '-' ends it
        {"<a_b.c>"sv, 0, 7, "a"sv, 1, __LINE__},  // '_' ends it
        {"< a>"sv, 0, 4, ""sv, 1, __LINE__},  // empty at position 1
        {"x<a/>"sv, 0, 5, ""sv, TEXTANFANG, __LINE__},  // no '<' at the front
        {"AZaz09@[`{/:"sv, 0, 12, ""sv, TEXTANFANG, __LINE__},  // no '<' at the front
        {"<AZaz09@"sv, 0, 8, "AZaz09"sv, 1, __LINE__},  // range ends; '@' just before 'A'
        {"<Z[z{9:"sv, 0, 7, "Z"sv, 1, __LINE__},  // '[' just after 'Z'
        {"<z{"sv, 0, 3, "z"sv, 1, __LINE__},  // '{' just after 'z'
        {"<a`"sv, 0, 3, "a"sv, 1, __LINE__},  // '`' just before 'a'
        {"<a/b"sv, 0, 4, "a"sv, 1, __LINE__},  // '/' just before '0'
        {"<ab\xC3\xA9" "c>"sv, 0, 7, "ab"sv, 1, __LINE__},  // a Latin-1 letter ends the name
        {"<ab\xC2\xB2>"sv, 0, 6, "ab"sv, 1, __LINE__},  // superscript two ends it
        {"<a\xC4\xB1>"sv, 0, 5, "a"sv, 1, __LINE__},  // a character above U+00FF ends it
        {"<a\xC5\xA1>"sv, 0, 5, "a"sv, 1, __LINE__},  // U+0161: its low byte is 'a' in UTF-16
        {"<a\xE1z>"sv, 0, 5, "a"sv, 1, __LINE__},  // stray byte E1: 'a' with the top bit set
        {"<\xC1" "B>"sv, 0, 4, ""sv, 1, __LINE__},  // stray byte C1: 'A' with the top bit set
        {"<1\xB0>"sv, 0, 4, "1"sv, 1, __LINE__},  // stray byte B0: '0' with the top bit set
        {"<ab\xF0\x9F\x98\x80" "c>"sv, 0, 9, "ab"sv, 1, __LINE__},  // a 4-byte character ends it
        {"<a\0b>"sv, 0, 5, "a"sv, 1, __LINE__},  // U+0000 ends it
        {"<"sv, 0, 1, ""sv, 1, __LINE__},  // the '<' alone
        {""sv, 0, 0, ""sv, TEXTANFANG, __LINE__},  // empty view
        {"<abc>"sv, 0, 3, "ab"sv, 1, __LINE__},  // name cut at the view's end
        {"zz<abc>"sv, 2, 7, "abc"sv, 3, __LINE__},  // view inside a longer text
        {"<zz<abc>"sv, 3, 8, "abc"sv, 4, __LINE__},  // '<' before the view is not looked at
        {"zz<a>"sv, 1, 5, ""sv, TEXTANFANG, __LINE__},  // view starting with 'z': buffer index 0
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
    std::string_view text;
    std::initializer_list<const char*> namen;
    std::ptrdiff_t nPosEin;
    int nCode;
    std::ptrdiff_t nPos;
    std::ptrdiff_t nNext;
    int nIndex;
    std::ptrdiff_t nStartTagLen;
    std::ptrdiff_t nEndTagOffset;
    std::optional<std::string_view> block;  // KEINE: no data
    std::ptrdiff_t nBlockStart;                           // buffer index of the block, or TEXTANFANG
    int zeile;
};

TEST(FindeErstenTagBlock, Tabelle)
{
    const ErsterFall faelle[] = {
        {"<c/><a>1</a><b>2</b>"sv, {"b", "a"}, 0, 0, 4, 12, 1, 3, 4, "<a>1</a>"sv, 4, __LINE__},  // earliest start wins
        {"<x>1</x>"sv, {"b", "a"}, 0, 1, -1, -1, U, U, U, ""sv, TEXTANFANG, __LINE__},  // no name found
        {"</x><a/>"sv, {"a"}, 0, 4, 0, U, U, U, U, "</x"sv, 0, __LINE__},  // fault: nPos, nNext unchanged
        {"<a/>"sv, {}, 0, 1, -1, -1, U, U, U, ""sv, TEXTANFANG, __LINE__},  // empty list
        {"<a>1</a>"sv, {"a", "a"}, 0, 0, 0, 8, 0, 3, 4, "<a>1</a>"sv, 0, __LINE__},  // tie: the first name
        {"<b/><a/>"sv, {"a", "b"}, 0, 0, 0, 4, 1, -1, -1, "<b/>"sv, 0, __LINE__},  // self-closing, later name
        {"<x><a/></x>"sv, {"a"}, 0, 1, -1, -1, U, U, U, ""sv, TEXTANFANG, __LINE__},  // nested in another name
        {"<a>1</a><b>2</b>"sv, {"a", "b"}, 1, 4, 1, U, U, U, U, "</a"sv, 4, __LINE__},  // fault from nPos 1
        {"<a>1</a><b>2</b>"sv, {"a", "b"}, 8, 0, 8, 16, 1, 3, 4, "<b>2</b>"sv, 8, __LINE__},  // from nPos 8
        {"<a/><b>"sv, {"a", "b"}, 0, 3, 0, U, 0, U, U, "<b"sv, 4, __LINE__},  // a found, b's fault ends it
        {"<a/><b>"sv, {"b", "a"}, 0, 3, 0, U, U, U, U, "<b"sv, 4, __LINE__},  // b's fault before a is searched
        {"<c/><b/><a/><d>"sv, {"a", "b", "d"}, 0, 3, 0, U, 1, U, U, "<d"sv, 12, __LINE__},  // earlier best's index kept
        {"<a>x</a><b/>"sv, {"c"}, 0, 1, -1, -1, U, U, U, ""sv, TEXTANFANG, __LINE__},  // walk to the end
        {"<a><b></a>"sv, {"x"}, 0, 9, 0, U, U, U, U, "<a><b>"sv, 0, __LINE__},  // fault in a stepped-over element
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString s(f.text);
        const BrixSubString view(s);
        CBrixArray<BrixSubString> aNamen;
        std::vector<CString> namenText;
        namenText.reserve(f.namen.size());
        for (const char* p : f.namen) {
            namenText.emplace_back(std::string_view(p));
            aNamen.Hinzufuegen(BrixSubString(namenText.back()));
        }
        std::ptrdiff_t nPos = f.nPosEin;
        std::ptrdiff_t nNext = U;
        int nIndex = U;
        int nError = U;
        std::ptrdiff_t nStartTagLen = U;
        std::ptrdiff_t nEndTagOffset = U;
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
    const CString name("a"sv);
    CBrixArray<BrixSubString> aNamen;
    aNamen.Hinzufuegen(BrixSubString(name));
    std::ptrdiff_t nPos = 3, nNext = 4;
    int nIndex = 5, nError = U;
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
    const CString s("<a><b>1</b>t<c>2</c><x><b/></x><b>3</b></a>"sv);
    const CString namen("c,b"sv);
    CBrixArray<BrixSubString> aNamen;
    BrixSubString(namen).Teile(',', aNamen, nullptr);
    const BrixSubString inhalt = BrixSubString(s).Inhalt();
    std::string gesehen;
    std::ptrdiff_t nPos = 0, nNext = 0;
    int nIndex = 0, nError = 0;
    for (;;) {
        const BrixSubString block = inhalt.FindeErstenTagBlock(aNamen, nPos, nNext, nIndex, nError);
        if (nError != 0) {
            break;
        }
        gesehen += Text(block);
        gesehen += static_cast<char>('0' + nIndex);
        nPos = nNext;
    }
    EXPECT_EQ(nError, XML_TAG_NICHT_GEFUNDEN);
    EXPECT_EQ(gesehen, "<b>1</b>1<c>2</c>0<b>3</b>1");
}

}  // namespace
