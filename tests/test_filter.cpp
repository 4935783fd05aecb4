// The filters at function level, one table per operation, and a representative set through the
// built program. Filters that empty their output get one that already holds text, so that
// leftovers show; the appending forms must keep it. The reference model of the differential
// tests has to give the same tables.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "platform/Ausnahmen.h"
#include "platform/Grenzen.h"
#include "support/Prozess.h"
#include "support/Referenz.h"
#include "support/Zufallsdokument.h"
#include "xml/Filter.h"

namespace {

using namespace std::string_view_literals;

// A text and the output expected; the filter sees the view nVon..nBis (-1: to the end).
struct Fall {
    std::u16string_view ein;
    std::u16string_view aus;
    int nVon = 0;
    int nBis = -1;
};

BrixSubString SichtAuf(const CString& text, const Fall& fall)
{
    return BrixSubString(&text, fall.nVon, fall.nBis < 0 ? text.GetLength() : fall.nBis);
}

referenz::Sicht ReferenzSicht(const std::u16string& text, const Fall& fall)
{
    return referenz::Sicht{&text, fall.nVon, fall.nBis < 0 ? static_cast<int>(text.size()) : fall.nBis};
}

std::string Zeige(std::u16string_view s) { return "\"" + Lesbar(std::u16string(s)) + "\""; }

// --- EntferneKommentare ---

const Fall kKommentare[] = {
    {u"a<!--x-->b", u"ab"},                                // plain comment
    {u"<!--x-->\r\nb", u"b"},                              // at the view's start: CR and LF go
    {u"a\r\n<!--x-->\r\n\r\nb", u"a\r\nb"},                // begins a line: every following CR and LF goes
    {u"a <!--x-->\r\nb", u"a \nb"},                        // inside a line: the CR goes, the LF stays
    {u"a<!--x-->\nb", u"a\nb"},                            // inside a line: LF stays
    {u"a\r<!--x-->\n\rb", u"a\rb"},                        // after a lone CR it begins a line
    {u"a<!-->b", u"ab"},                                   // "-->" may share the hyphens of "<!--"
    {u"a<!--b", u"a<!--b"},                                // unclosed: copied unchanged
    {u"a<!--b-->c<!--d", u"ac<!--d"},                      // closed one removed, later unclosed one copied
    {u"<!--a<!--b-->c-->", u"c-->"},                       // comments do not nest
    {u"a<!--x--><!--y-->\r\nb", u"a\nb"},                 // two in a row, not at a line start: only the CR goes
    {u"a<!--x-->", u"a"},                                  // at the end of the view
    {u"", u""},                                            // empty view
    {u"a\0<!--x-->b"sv, u"a\0b"sv},                        // U+0000 is text, not an end
    {u"xy<!--c-->\nb", u"b", 2},                           // the view's own start counts as a line start
    {u"a<!--c-->b", u"a<!--c--", 0, 8},                    // a "-->" reaching past the view does not close
};

TEST(EntferneKommentare, Tabelle)
{
    for (const Fall& fall : kKommentare) {
        const CString text(fall.ein);
        EXPECT_EQ(Zeige(SichtAuf(text, fall).EntferneKommentare().Sicht()), Zeige(fall.aus)) << Zeige(fall.ein);
        const std::u16string ein(fall.ein);
        EXPECT_EQ(Zeige(referenz::EntferneKommentare(ReferenzSicht(ein, fall))), Zeige(fall.aus)) << "Referenz";
    }
}

// "x" followed by text: what an appending form gives on an output that held "x". Built with +=,
// since g++ 12 warns falsely (-Wrestrict) about "x" + std::u16string in optimised builds.
std::u16string MitX(std::u16string_view text)
{
    std::u16string s = u"x";
    s += text;
    return s;
}

TEST(EntferneKommentare, AnhaengendeFormBehaeltDenAnfang)
{
    for (const Fall& fall : kKommentare) {
        const CString text(fall.ein);
        CString out(u"x");
        SichtAuf(text, fall).EntferneKommentare(out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(MitX(fall.aus))) << Zeige(fall.ein);
    }
}

TEST(EntferneKommentare, OhneDatenNichts)
{
    CString out(u"x");
    BrixSubString().EntferneKommentare(out);
    EXPECT_EQ(Zeige(out.Sicht()), Zeige(u"x"));
    EXPECT_EQ(BrixSubString().EntferneKommentare().GetLength(), 0);
}

// --- EntferneTags ---

const Fall kTags[] = {
    {u"<a>x</a>", u"x"},                     // start and end tag removed
    {u"a<b<c>d", u"ad"},                     // from the first '<' to the next '>'
    {u"a<b c='>'>d", u"a'>d"},               // quotes are not respected
    {u"1 > 0", u"1 > 0"},                    // '>' without '<' is text
    {u"a<b>c<d", u"ac<d"},                   // trailing unclosed '<' copied with the rest
    {u"<!-- a > b -->c", u" b -->c"},        // a comment is markup only up to its first '>'
    {u"a<b\0>c"sv, u"ac"},                   // U+0000 inside a tag goes with it
    {u"<a>x</a>", u"x</", 0, 6},             // a '>' behind the view does not close
    {u"", u""},                              // empty view
};

TEST(EntferneTags, Tabelle)
{
    for (const Fall& fall : kTags) {
        const CString text(fall.ein);
        EXPECT_EQ(Zeige(SichtAuf(text, fall).EntferneTags().Sicht()), Zeige(fall.aus)) << Zeige(fall.ein);
        CString out(u"x");
        SichtAuf(text, fall).EntferneTags(out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(MitX(fall.aus))) << Zeige(fall.ein);
        const std::u16string ein(fall.ein);
        EXPECT_EQ(Zeige(referenz::EntferneTags(ReferenzSicht(ein, fall))), Zeige(fall.aus)) << "Referenz";
    }
}

// The stripping filters write straight into their output, except into the text they read or
// past the length limit (lowered here): those cases append piece by piece, with the same result.
TEST(EntferneTagsUndKommentare, EigeneAusgabeUndGrenze)
{
    struct Eintrag {
        bool bTags;
        std::u16string_view ein;
        std::u16string_view aus;
    };
    const Eintrag eintraege[] = {
        {true, u"a<b>c<!--d-->e", u"ace"},
        {false, u"a<!--x-->b<!--y", u"ab<!--y"},
        {true, u"<x>", u""},
        {false, u"<!---->", u""},
    };
    for (const Eintrag& e : eintraege) {
        CString s(e.ein);
        const BrixSubString sicht(s);
        if (e.bTags) sicht.EntferneTags(s); else sicht.EntferneKommentare(s);
        std::u16string erwartet(e.ein);
        erwartet.append(e.aus);
        EXPECT_EQ(Zeige(s.Sicht()), Zeige(erwartet));

        const CString text(e.ein);
        CString out(u"xyz");
        const std::int64_t nAlt = MaxTextLaenge();
        // Old length plus the view's passes the limit; the result itself does not.
        SetzeMaxTextLaenge(static_cast<std::int64_t>(e.ein.size()) + 2);
        if (e.bTags) BrixSubString(text).EntferneTags(out); else BrixSubString(text).EntferneKommentare(out);
        SetzeMaxTextLaenge(nAlt);
        std::u16string erwartetMitXyz(u"xyz");
        erwartetMitXyz.append(e.aus);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(erwartetMitXyz));
    }
}

TEST(EntferneTags, OhneDatenNichts)
{
    EXPECT_EQ(BrixSubString().EntferneTags().GetLength(), 0);
}

// --- LoescheLeereTags ---

const Fall kLeere[] = {
    {u"x<a></a>y", u"xy"},                         // start tag directly followed by end tag
    {u"x<a/>y<b />z", u"xyz"},                     // self-closing elements are empty
    {u"<a>1</a>x<b></b>", u"<a>1</a>x"},           // text between elements is copied
    {u"<a> </a>", u"<a> </a>"},                    // a space is content
    {u"<r><e/></r>", u"<r><e/></r>"},              // nested empty element remains
    {u"<!--c--><a></a>", u"<!--c-->"},             // comments are text, not elements
    {u"<?pi x?><a></a>t", u"<?pi x?>t"},           // processing instruction copied
    {u"x</a>y<b></b>", u"x</a>y<b></b>"},          // stray end tag: the pass stops
    {u"<a></a><b>", u"<b>"},                       // element without end tag after an empty one
    {u"abc", u"abc"},                              // no elements
    {u"", u""},                                    // empty view
    {u"<a>\0</a>"sv, u"<a>\0</a>"sv},              // U+0000 is content
    {u"<a></a><b></b>", u"<b></b", 0, 7 + 6},      // the view ends inside an end tag: the pass stops there
};

TEST(LoescheLeereTags, Tabelle)
{
    for (const Fall& fall : kLeere) {
        const CString text(fall.ein);
        CString out(u"alt");
        LoescheLeereTags(SichtAuf(text, fall), out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein);
        const std::u16string ein(fall.ein);
        EXPECT_EQ(Zeige(referenz::LoescheLeereTags(ReferenzSicht(ein, fall))), Zeige(fall.aus)) << "Referenz";
    }
}

// --- ZeigeTagBlocks, LaengeTagBlockListe ---

struct NamenFall {
    std::u16string_view ein;
    std::u16string_view namen;
    std::u16string_view aus;
};

const NamenFall kListen[] = {
    {u"<a>1</a>x<a>2</a>", u"a", u"<a>1</a>\r\n<a>2</a>\r\n"},                                 // one line each, text between dropped
    {u"<a><b>1</b>t<c>2</c><b>3</b></a>", u"a,b", u"<a><b>1</b><b>3</b></a>\r\n"},             // start tag, inner elements, end tag
    {u"<a><b>1</b>t<c>2</c><b>3</b></a>", u"a,c,b", u"<a><b>1</b><c>2</c><b>3</b></a>\r\n"},   // document order, not name order
    {u"<a><x><b>1</b></x></a>", u"a,b", u"<a></a>\r\n"},                                       // inner elements stand directly inside
    {u"<r><a>1</a></r>", u"a", u""},                                                           // outer elements at the top level only
    {u"<a/>", u"a,b", u"<a/>\r\n"},                                                            // self-closing outer element, inner names
    {u"<b>1</b>", u"a", u""},                                                                  // no outer element
    {u"<a>1</a>", u"", u""},                                                                   // no names
    {u"<a>1</a><b></c><a>2</a>", u"a", u"<a>1</a>\r\n"},                                       // a fault ends the outer walk
    {u"<a><b>1</b><b>2</b></a>", u"a,c,b", u"<a><b>1</b><b>2</b></a>\r\n"},                    // a name that never occurs
    {u"<a:b>1</a:b>", u"a:b", u"<a:b>1</a:b>\r\n"},                                            // the scanner's name runs to '>'
    {u"<a\0b>1</a\0b>"sv, u"a\0c"sv, u""},                                                     // U+0000 inside a name compares as a unit
};

TEST(ZeigeTagBlocks, Tabelle)
{
    for (const NamenFall& fall : kListen) {
        const CString text(fall.ein);
        const CString namen(fall.namen);
        CString out(u"alt");
        ZeigeTagBlocks(BrixSubString(text), BrixSubString(namen), out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein) << " " << Zeige(fall.namen);
        EXPECT_EQ(LaengeTagBlockListe(BrixSubString(text), BrixSubString(namen)),
                  static_cast<std::int64_t>(fall.aus.size()))
            << Zeige(fall.ein) << " " << Zeige(fall.namen);
        const std::u16string ein(fall.ein);
        const std::u16string rnamen(fall.namen);
        EXPECT_EQ(Zeige(referenz::ZeigeTagBlocks(referenz::Ganz(ein), referenz::Ganz(rnamen))), Zeige(fall.aus))
            << "Referenz";
    }
}

TEST(ZeigeTagBlocks, NamenOhneDaten)
{
    const CString text(u"<a>1</a>");
    CString out(u"alt");
    ZeigeTagBlocks(BrixSubString(text), BrixSubString(), out);
    EXPECT_EQ(out.GetLength(), 0);
    EXPECT_EQ(LaengeTagBlockListe(BrixSubString(text), BrixSubString()), 0);
}

// --- UeberspringeTagBlocks ---

const NamenFall kUeberspringen[] = {
    {u"x<a>1</a>y<a>2</a>z", u"a", u"z"},             // text behind the last element of that name
    {u"x<b>1</b>y", u"a", u"x<b>1</b>y"},             // no element of that name: whole text
    {u"<r><a/></r>t", u"a", u"<r><a/></r>t"},         // nested elements are not found
    {u"x</q>y<a/>z", u"a", u"xz"},                    // stray end tag: text before it, walk goes on
    {u"x<a/>", u"a", u""},                            // nothing behind the last one
    {u"<a,b>1</a,b>t", u"a,b", u"t"},                 // the name is not split at ','
    {u"x<a>1", u"a", u"x>1"},                         // unclosed: text up to it, then on behind its '>'
    {u"", u"a", u""},                                 // empty text
};

TEST(UeberspringeTagBlocks, Tabelle)
{
    for (const NamenFall& fall : kUeberspringen) {
        const CString text(fall.ein);
        const CString name(fall.namen);
        CString out(u"alt");
        UeberspringeTagBlocks(BrixSubString(text), BrixSubString(name), out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein) << " " << Zeige(fall.namen);
        const std::u16string ein(fall.ein);
        const std::u16string rname(fall.namen);
        EXPECT_EQ(Zeige(referenz::UeberspringeTagBlocks(referenz::Ganz(ein), referenz::Ganz(rname))), Zeige(fall.aus))
            << "Referenz";
    }
}

// "</" without any '>' is a fault whose outcome the scanner had to fix; the walk must end and
// must neither repeat nor lose the text before it.
TEST(UeberspringeTagBlocks, EndTagOhneSpitzeKlammerBeendetDenWeg)
{
    const CString text(u"x<a/>y</a");
    const CString name(u"a");
    CString out;
    UeberspringeTagBlocks(BrixSubString(text), BrixSubString(name), out);
    EXPECT_EQ(Zeige(out.Sicht()), Zeige(u"y"));
}

// --- ErsetzeTagInhalt ---

struct ErsatzFall {
    std::u16string_view ein;
    std::u16string_view name;
    const char16_t* szErsatz;  // null: a replacement with no data ("-Rname" without "=")
    std::u16string_view aus;
};

const ErsatzFall kErsetzen[] = {
    {u"a<b>c</b>d", u"b", u"X", u"a<b>X</b>d"},                                              // plain replacement
    {u"<r><b>1</b><c><b>2</b></c></r>", u"b", u"X", u"<r><b>X</b><c><b>X</b></c></r>"},      // at any depth
    {u"<b><b>1</b></b>", u"b", u"X", u"<b>X</b>"},                                           // content replaced whole
    {u"<b x='1'>2</b>", u"b", u"X", u"<b x='1'>X</b>"},                                      // attributes remain
    {u"<b/>t", u"b", u"X", u"<b/>Xt"},                                                       // self-closing: behind the tag
    {u"<b>1</b>", u"b", nullptr, u"<b></b>"},                                                // no replacement: content emptied
    {u"<bb>1</bb>", u"b", u"X", u"<bb>1</bb>"},                                              // names compared whole
    {u"<B>1</B>", u"b", u"X", u"<B>1</B>"},                                                  // case-sensitive
    {u"<!--<b>1</b>--><b>2</b>", u"b", u"X", u"<!--<b>1</b>--><b>X</b>"},                    // comments are text
    {u"x</q><b>1</b>", u"b", u"X", u"x</q><b>1</b>"},                                        // a fault ends the walk
    {u"t", u"b", u"X", u"t"},                                                                // no elements
    {u"<r><c></q></c><b>1</b></r>", u"b", u"X", u"<r><c></q></c><b>1</b></r>"},              // fault inside: whole r stays
    {u"<r><c x='/>'>1</c></r><b>2</b>", u"b", u"X", u"<r><c x='/>'>1</c></r><b>X</b>"},      // a fault in a content stays there
    {u"<c><c><b>1</b>x</c></c>", u"b", u"<b>2</b>", u"<c><c><b><b>2</b></b>x</c></c>"},      // markup in the replacement is kept
    {u"<a:b>1</a:b>", u"a", u"X", u"<a:b>X</a:b>"},                                          // TagName stops at ':'
    {u"<b>1</b><b/>", u"b", u"", u"<b></b><b/>"},                                            // an empty replacement
};

TEST(ErsetzeTagInhalt, Tabelle)
{
    for (const ErsatzFall& fall : kErsetzen) {
        const CString text(fall.ein);
        const CString name(fall.name);
        const CString ersatz(fall.szErsatz != nullptr ? std::u16string_view(fall.szErsatz) : u"");
        CString out(u"alt");
        ErsetzeTagInhalt(BrixSubString(text), BrixSubString(name), out,
                         fall.szErsatz != nullptr ? BrixSubString(ersatz) : BrixSubString());
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein) << " " << Zeige(fall.name);
        const std::u16string ein(fall.ein);
        const std::u16string rname(fall.name);
        const std::u16string rersatz(fall.szErsatz != nullptr ? fall.szErsatz : u"");
        const referenz::Sicht ersatzSicht = fall.szErsatz != nullptr ? referenz::Ganz(rersatz) : referenz::Sicht{};
        EXPECT_EQ(Zeige(referenz::ErsetzeTagInhalt(referenz::Ganz(ein), referenz::Ganz(rname), ersatzSicht)),
                  Zeige(fall.aus))
            << "Referenz";
    }
}

// --- Results beyond the length limit ---

// Lowers the length limit for one test and restores it, also when the test fails.
class Grenze {
public:
    explicit Grenze(std::int64_t n) { SetzeMaxTextLaenge(n); }
    ~Grenze() { SetzeMaxTextLaenge(kMaxTextLaenge); }
};

std::u16string Mal(std::u16string_view s, int n)
{
    std::u16string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

TEST(Laengengrenze, ListeLaengerAlsDieGrenzeWirdAbgelehnt)
{
    const CString text(Mal(u"<a/>", 300));  // 1200 units; the listing is 300 lines of 6
    const CString namen(u"a");
    const Grenze grenze(1500);
    EXPECT_EQ(LaengeTagBlockListe(BrixSubString(text), BrixSubString(namen)), 1800);
    CString out;
    EXPECT_THROW(ZeigeTagBlocks(BrixSubString(text), BrixSubString(namen), out), CLaengenException);
}

TEST(Laengengrenze, ListeGenauAnDerGrenzeGehtDurch)
{
    const CString text(Mal(u"<a/>", 300));
    const CString namen(u"a");
    const Grenze grenze(1800);
    CString out;
    ZeigeTagBlocks(BrixSubString(text), BrixSubString(namen), out);
    EXPECT_EQ(out.GetLength(), 1800);
}

TEST(Laengengrenze, LangerErsatzAufVielenElementenWirdAbgelehnt)
{
    const CString text(Mal(u"<b></b>", 100));  // 700 units; 100 replacements of 50 make 5700
    const CString name(u"b");
    const CString ersatz(Mal(u"y", 50));
    const Grenze grenze(2000);
    CString out;
    EXPECT_THROW(ErsetzeTagInhalt(BrixSubString(text), BrixSubString(name), out, BrixSubString(ersatz)),
                 CLaengenException);
}

TEST(Laengengrenze, ErsatzInVerschachteltenElementenWirdAbgelehnt)
{
    const CString text(Mal(u"<a>", 50) + u"<b></b>" + Mal(u"</a>", 50));
    const CString name(u"b");
    const CString ersatz(Mal(u"y", 400));
    const Grenze grenze(600);
    CString out;
    EXPECT_THROW(ErsetzeTagInhalt(BrixSubString(text), BrixSubString(name), out, BrixSubString(ersatz)),
                 CLaengenException);
}

// --- Through the program ---

struct ProgrammFall {
    std::vector<std::string> args;
    std::string ein;
    std::string aus;
};

const ProgrammFall kProgramm[] = {
    {{"-c"}, "a<!--x-->b", "ab"},                                                               // comments
    {{"--strip-xml-comments"}, "a\r\n<!--x-->\r\n\r\nb", "a\r\nb"},                              // long form, line ends
    {{"-t"}, "<a>x</a>", "x"},                                                                   // markup
    {{"--strip-xml-tags"}, "a<b c='>'>d", "a'>d"},                                               // long form
    {{"-d"}, "x<a/>y<b />z", "xyz"},                                                             // empty elements
    {{"--delete-empty-tags"}, "<a>1</a>x<b></b>", "<a>1</a>x"},                                  // long form
    {{"-sa,b"}, "<a><b>1</b>t<c>2</c><b>3</b></a>", "<a><b>1</b><b>3</b></a>\r\n"},              // listing
    {{"-ta,c,b"}, "<a><b>1</b>t<c>2</c><b>3</b></a>", "<a><b>1</b><c>2</c><b>3</b></a>\r\n"},    // -t with a list
    {{"-s", "a"}, "<a>1</a>x<a>2</a>", "<a>1</a>\r\n<a>2</a>\r\n"},                              // list from the next argument
    {{"-Sa"}, "x<a>1</a>y<a>2</a>z", "z"},                                                       // stepping over
    {{"-S", "a"}, "x</q>y<a/>z", "xz"},                                                          // name from the next argument
    {{"-Rb=X"}, "<r><b>1</b><c><b>2</b></c></r>", "<r><b>X</b><c><b>X</b></c></r>"},             // replacing at any depth
    {{"-Rb"}, "<b>1</b>", "<b></b>"},                                                            // no "=": content emptied
    {{"-Rb=\xc3\x84"}, "<b>\xc3\xb6</b>", "<b>\xc3\x84</b>"},                                    // non-ASCII replacement
    {{"-t"}, "\xc3\xa4<a>\xc3\xb6</a>\xf0\x9f\x98\x80", "\xc3\xa4\xc3\xb6\xf0\x9f\x98\x80"},       // umlauts, a surrogate pair
    {{"-c", "-d"}, "<!--c--><a></a>x", "x"},                                                     // each on the one before
    {{"-sa", "-Rb=Y"}, "<a><b>1</b></a>t<a/>", "<a><b>Y</b></a>\r\n<a/>\r\n"},                   // a listing, then replaced
};

TEST(Programm, Tabelle)
{
    for (const ProgrammFall& fall : kProgramm) {
        // From a regular file: standard input that is a pipe gains a final line feed.
        const ProzessErgebnis r = StarteBrixfilter(fall.args, fall.ein, StdinArt::Datei);
        EXPECT_EQ(r.status, 0) << fall.args[0] << ": " << r.err;
        EXPECT_EQ(r.out, fall.aus) << fall.args[0] << " on " << fall.ein;
    }
}

}  // namespace
