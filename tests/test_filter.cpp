// The filters at function level, one table per operation, and a representative set through the
// built program. Filters that empty their output get one that already holds text, so that
// leftovers show; the appending forms must keep it. The reference model of the differential
// tests has to give the same tables.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"
#include "support/Referenz.h"
#include "xml/Filter.h"

namespace {

using namespace std::string_view_literals;

// A text and the output expected; the filter sees the view nVon..nBis (-1: to the end).
struct Fall {
    std::string_view ein;
    std::string_view aus;
    std::ptrdiff_t nVon = 0;
    std::ptrdiff_t nBis = -1;
};

BrixSubString SichtAuf(const CString& text, const Fall& fall)
{
    return BrixSubString(&text, fall.nVon, fall.nBis < 0 ? text.GetLength() : fall.nBis);
}

// The reference model works on UTF-16 units: the text before, in and behind the view goes in as
// the units a decoder makes of each part's bytes (so a character that a view's end cuts is stray
// bytes there, as the product sees it), and its results come back as bytes.
struct ReferenzText {
    std::u16string units;
    int nVon = 0;
    int nBis = 0;

    explicit ReferenzText(const Fall& fall)
    {
        const auto nVonByte = static_cast<std::size_t>(fall.nVon);
        const std::size_t nBisByte = fall.nBis < 0 ? fall.ein.size() : static_cast<std::size_t>(fall.nBis);
        units = UnitsAus(fall.ein.substr(0, nVonByte));
        nVon = static_cast<int>(units.size());
        units += UnitsAus(fall.ein.substr(nVonByte, nBisByte - nVonByte));
        nBis = static_cast<int>(units.size());
        units += UnitsAus(fall.ein.substr(nBisByte));
    }
    ReferenzText(const ReferenzText&) = delete;
    referenz::Sicht Sicht() const { return referenz::Sicht{&units, nVon, nBis}; }
};

// U+1F600: four bytes, two UTF-16 units.
constexpr std::string_view kVier = "\xF0\x9F\x98\x80";
constexpr std::u16string_view kPaar = u"\xD83D\xDE00";

// --- EntferneKommentare ---

const Fall kKommentare[] = {
    {"a<!--x-->b", "ab"},                                  // plain comment
    {"<!--x-->\r\nb", "b"},                                // at the view's start: CR and LF go
    {"a\r\n<!--x-->\r\n\r\nb", "a\r\nb"},                  // begins a line: every following CR and LF goes
    {"a <!--x-->\r\nb", "a \nb"},                          // inside a line: the CR goes, the LF stays
    {"a<!--x-->\nb", "a\nb"},                              // inside a line: LF stays
    {"a\r<!--x-->\n\rb", "a\rb"},                          // after a lone CR it begins a line
    {"a<!-->b", "ab"},                                     // "-->" may share the hyphens of "<!--"
    {"a<!--b", "a<!--b"},                                  // unclosed: copied unchanged
    {"a<!--b-->c<!--d", "ac<!--d"},                        // closed one removed, later unclosed one copied
    {"<!--a<!--b-->c-->", "c-->"},                         // comments do not nest
    {"a<!--x--><!--y-->\r\nb", "a\nb"},                   // two in a row, not at a line start: only the CR goes
    {"a<!--x-->", "a"},                                    // at the end of the view
    {"", ""},                                              // empty view
    {"a\0<!--x-->b"sv, "a\0b"sv},                          // U+0000 is text, not an end
    {"xy<!--c-->\nb", "b", 2},                             // the view's own start counts as a line start
    {"a<!--c-->b", "a<!--c--", 0, 8},                      // a "-->" reaching past the view does not close
    {"\xC3\xA4<!--\xF0\x9F\x98\x80-->\xE2\x82\xAC", "\xC3\xA4\xE2\x82\xAC"},  // multi-byte characters around and inside
    {"\xC3\xA4<!--x-->\r\nb", "b", 2},                    // a view starting behind a 2-byte character
    {"\xC3\xA4<!--x-->\r\nb", "\xA4\nb", 1},              // a view starting inside it: a stray byte
};

TEST(EntferneKommentare, Tabelle)
{
    for (const Fall& fall : kKommentare) {
        const CString text(fall.ein);
        EXPECT_EQ(Zeige(SichtAuf(text, fall).EntferneKommentare().Sicht()), Zeige(fall.aus)) << Zeige(fall.ein);
        const ReferenzText ein(fall);
        EXPECT_EQ(Zeige(SchmalAus(referenz::EntferneKommentare(ein.Sicht()))), Zeige(fall.aus))
            << "Referenz";
    }
}

// "x" followed by text: what an appending form gives on an output that held "x". Built with +=,
// since g++ 12 warns falsely (-Wrestrict) about "x" + std::string in optimised builds.
std::string MitX(std::string_view text)
{
    std::string s = "x";
    s += text;
    return s;
}

TEST(EntferneKommentare, AnhaengendeFormBehaeltDenAnfang)
{
    for (const Fall& fall : kKommentare) {
        const CString text(fall.ein);
        CString out("x");
        SichtAuf(text, fall).EntferneKommentare(out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(MitX(fall.aus))) << Zeige(fall.ein);
    }
}

TEST(EntferneKommentare, OhneDatenNichts)
{
    CString out("x");
    BrixSubString().EntferneKommentare(out);
    EXPECT_EQ(Zeige(out.Sicht()), Zeige("x"));
    EXPECT_EQ(BrixSubString().EntferneKommentare().GetLength(), 0);
}

// --- EntferneTags ---

const Fall kTags[] = {
    {"<a>x</a>", "x"},                       // start and end tag removed
    {"a<b<c>d", "ad"},                       // from the first '<' to the next '>'
    {"a<b c='>'>d", "a'>d"},                 // quotes are not respected
    {"1 > 0", "1 > 0"},                      // '>' without '<' is text
    {"a<b>c<d", "ac<d"},                     // trailing unclosed '<' copied with the rest
    {"<!-- a > b -->c", " b -->c"},          // a comment is markup only up to its first '>'
    {"a<b\0>c"sv, "ac"},                     // U+0000 inside a tag goes with it
    {"<a>x</a>", "x</", 0, 6},               // a '>' behind the view does not close
    {"", ""},                                // empty view
    {"\xC3\xA4<b \xC3\xB6>\xF0\x9F\x98\x80", "\xC3\xA4\xF0\x9F\x98\x80"},  // multi-byte characters
    {"\xFF<\x80>\xFE", "\xFF\xFE"},        // stray bytes are text like any other
    {"<a>\xC3\xA4</a>", "\xC3", 0, 4},         // the view's end cuts a character
};

TEST(EntferneTags, Tabelle)
{
    for (const Fall& fall : kTags) {
        const CString text(fall.ein);
        EXPECT_EQ(Zeige(SichtAuf(text, fall).EntferneTags().Sicht()), Zeige(fall.aus)) << Zeige(fall.ein);
        CString out("x");
        SichtAuf(text, fall).EntferneTags(out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(MitX(fall.aus))) << Zeige(fall.ein);
        const ReferenzText ein(fall);
        EXPECT_EQ(Zeige(SchmalAus(referenz::EntferneTags(ein.Sicht()))), Zeige(fall.aus)) << "Referenz";
    }
}

// The stripping filters write straight into their output, except into the text they read:
// that case is filtered into a copy first, with the same result.
TEST(EntferneTagsUndKommentare, EigeneAusgabe)
{
    struct Eintrag {
        bool bTags;
        std::string_view ein;
        std::string_view aus;
    };
    const Eintrag eintraege[] = {
        {true, "a<b>c<!--d-->e", "ace"},
        {false, "a<!--x-->b<!--y", "ab<!--y"},
        {true, "<x>", ""},
        {false, "<!---->", ""},
        {true, "\xC3\xA4<b>\xF0\x9F\x98\x80</b>", "\xC3\xA4\xF0\x9F\x98\x80"},
    };
    for (const Eintrag& e : eintraege) {
        CString s(e.ein);
        const BrixSubString sicht(s);
        if (e.bTags) sicht.EntferneTags(s); else sicht.EntferneKommentare(s);
        std::string erwartet(e.ein);
        erwartet.append(e.aus);
        EXPECT_EQ(Zeige(s.Sicht()), Zeige(erwartet));

        // A view of the string's own second half.
        CString t(std::string(e.ein) + std::string(e.ein));
        const BrixSubString haelfte = BrixSubString(t).Mitte(static_cast<std::ptrdiff_t>(e.ein.size()));
        if (e.bTags) haelfte.EntferneTags(t); else haelfte.EntferneKommentare(t);
        EXPECT_EQ(Zeige(t.Sicht()), Zeige(std::string(e.ein) + std::string(e.ein) + std::string(e.aus)));
    }
}

TEST(EntferneTags, OhneDatenNichts)
{
    EXPECT_EQ(BrixSubString().EntferneTags().GetLength(), 0);
}

// --- LoescheLeereTags ---

const Fall kLeere[] = {
    {"x<a></a>y", "xy"},                           // start tag directly followed by end tag
    {"x<a/>y<b />z", "xyz"},                       // self-closing elements are empty
    {"<a>1</a>x<b></b>", "<a>1</a>x"},             // text between elements is copied
    {"<a> </a>", "<a> </a>"},                      // a space is content
    {"<r><e/></r>", "<r><e/></r>"},                // nested empty element remains
    {"<!--c--><a></a>", "<!--c-->"},               // comments are text, not elements
    {"<?pi x?><a></a>t", "<?pi x?>t"},             // processing instruction copied
    {"x</a>y<b></b>", "x</a>y<b></b>"},            // stray end tag: the pass stops
    {"<a></a><b>", "<b>"},                         // element without end tag after an empty one
    {"abc", "abc"},                                // no elements
    {"", ""},                                      // empty view
    {"<a>\0</a>"sv, "<a>\0</a>"sv},                // U+0000 is content
    {"<a></a><b></b>", "<b></b", 0, 7 + 6},        // the view ends inside an end tag: the pass stops there
    {"\xC3\xA4<a></a>\xF0\x9F\x98\x80", "\xC3\xA4\xF0\x9F\x98\x80"},  // multi-byte characters around
};

TEST(LoescheLeereTags, Tabelle)
{
    for (const Fall& fall : kLeere) {
        const CString text(fall.ein);
        CString out("alt");
        LoescheLeereTags(SichtAuf(text, fall), out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein);
        const ReferenzText ein(fall);
        EXPECT_EQ(Zeige(SchmalAus(referenz::LoescheLeereTags(ein.Sicht()))), Zeige(fall.aus))
            << "Referenz";
    }
}

// --- ZeigeTagBlocks, LaengeTagBlockListe ---

struct NamenFall {
    std::string_view ein;
    std::string_view namen;
    std::string_view aus;
};

const NamenFall kListen[] = {
    {"<a>1</a>x<a>2</a>", "a", "<a>1</a>\r\n<a>2</a>\r\n"},                                    // one line each, text between dropped
    {"<a><b>1</b>t<c>2</c><b>3</b></a>", "a,b", "<a><b>1</b><b>3</b></a>\r\n"},                // start tag, inner elements, end tag
    {"<a><b>1</b>t<c>2</c><b>3</b></a>", "a,c,b", "<a><b>1</b><c>2</c><b>3</b></a>\r\n"},      // document order, not name order
    {"<a><x><b>1</b></x></a>", "a,b", "<a></a>\r\n"},                                          // inner elements stand directly inside
    {"<r><a>1</a></r>", "a", ""},                                                              // outer elements at the top level only
    {"<a/>", "a,b", "<a/>\r\n"},                                                               // self-closing outer element, inner names
    {"<b>1</b>", "a", ""},                                                                     // no outer element
    {"<a>1</a>", "", ""},                                                                      // no names
    {"<a>1</a><b></c><a>2</a>", "a", "<a>1</a>\r\n"},                                          // a fault ends the outer walk
    {"<a><b>1</b><b>2</b></a>", "a,c,b", "<a><b>1</b><b>2</b></a>\r\n"},                       // a name that never occurs
    {"<a:b>1</a:b>", "a:b", "<a:b>1</a:b>\r\n"},                                               // the scanner's name runs to '>'
    {"<a\0b>1</a\0b>"sv, "a\0c"sv, ""},                                                        // a zero byte inside a name compares as any byte
    {"<a\xC3\xA4>1</a\xC3\xA4>x<a>2</a>", "a\xC3\xA4", "<a\xC3\xA4>1</a\xC3\xA4>\r\n"},  // a name with a 2-byte character
};

TEST(ZeigeTagBlocks, Tabelle)
{
    for (const NamenFall& fall : kListen) {
        const CString text(fall.ein);
        const CString namen(fall.namen);
        CString out("alt");
        ZeigeTagBlocks(BrixSubString(text), BrixSubString(namen), out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein) << " " << Zeige(fall.namen);
        EXPECT_EQ(LaengeTagBlockListe(BrixSubString(text), BrixSubString(namen)),
                  static_cast<std::int64_t>(fall.aus.size()))
            << Zeige(fall.ein) << " " << Zeige(fall.namen);
        const std::u16string ein = UnitsAus(fall.ein);
        const std::u16string rnamen = UnitsAus(fall.namen);
        EXPECT_EQ(Zeige(SchmalAus(referenz::ZeigeTagBlocks(referenz::Ganz(ein), referenz::Ganz(rnamen)))),
                  Zeige(fall.aus))
            << "Referenz";
    }
}

TEST(ZeigeTagBlocks, NamenOhneDaten)
{
    const CString text("<a>1</a>");
    CString out("alt");
    ZeigeTagBlocks(BrixSubString(text), BrixSubString(), out);
    EXPECT_EQ(out.GetLength(), 0);
    EXPECT_EQ(LaengeTagBlockListe(BrixSubString(text), BrixSubString()), 0);
}

// --- UeberspringeTagBlocks ---

const NamenFall kUeberspringen[] = {
    {"x<a>1</a>y<a>2</a>z", "a", "z"},                // text behind the last element of that name
    {"x<b>1</b>y", "a", "x<b>1</b>y"},                // no element of that name: whole text
    {"<r><a/></r>t", "a", "<r><a/></r>t"},            // nested elements are not found
    {"x</q>y<a/>z", "a", "xz"},                       // stray end tag: text before it, walk goes on
    {"x<a/>", "a", ""},                               // nothing behind the last one
    {"<a,b>1</a,b>t", "a,b", "t"},                    // the name is not split at ','
    {"x<a>1", "a", "x>1"},                            // unclosed: text up to it, then on behind its '>'
    {"", "a", ""},                                    // empty text
    {"\xC3\xA4<a>1</a>\xF0\x9F\x98\x80", "a", "\xF0\x9F\x98\x80"},  // multi-byte characters around
};

TEST(UeberspringeTagBlocks, Tabelle)
{
    for (const NamenFall& fall : kUeberspringen) {
        const CString text(fall.ein);
        const CString name(fall.namen);
        CString out("alt");
        UeberspringeTagBlocks(BrixSubString(text), BrixSubString(name), out);
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein) << " " << Zeige(fall.namen);
        const std::u16string ein = UnitsAus(fall.ein);
        const std::u16string rname = UnitsAus(fall.namen);
        EXPECT_EQ(Zeige(SchmalAus(referenz::UeberspringeTagBlocks(referenz::Ganz(ein), referenz::Ganz(rname)))),
                  Zeige(fall.aus))
            << "Referenz";
    }
}

// "</" without any '>' is a fault whose outcome the scanner had to fix; the walk must end and
// must neither repeat nor lose the text before it.
TEST(UeberspringeTagBlocks, EndTagOhneSpitzeKlammerBeendetDenWeg)
{
    const CString text("x<a/>y</a");
    const CString name("a");
    CString out;
    UeberspringeTagBlocks(BrixSubString(text), BrixSubString(name), out);
    EXPECT_EQ(Zeige(out.Sicht()), Zeige("y"));
}

// Behind an unclosed comment the walk goes on 100 UTF-16 units further, at the start of a
// character: a 4-byte character that the step would cut in two is kept whole, in both forms.
// (The odd last byte of a UTF-16 file counts for no unit and comes out as itself.)
TEST(UeberspringeTagBlocks, SchrittHinterOffenemKommentarTeiltKeinZeichen)
{
    const std::string v(kVier);
    const std::u16string paar(kPaar);
    const std::string x95(95, 'x');
    const std::u16string u95(95, u'x');
    struct Fall {
        CString text;
        std::string aus;  // the bytes written out
        int zeile;
    };
    const Fall faelle[] = {
        {SchmalText("<!--x" + Mal(v, 60)), Mal(v, 13), __LINE__},       // the step ends in the 48th pair
        {SchmalText("<!--" + x95 + v + "yz"), v + "yz", __LINE__},      // unit 100 is the second of the pair
        {SchmalText("<!--" + x95 + "x" + v + "yz"), v + "yz", __LINE__},  // unit 100 is the first
        {SchmalText("<!--x" + v), v, __LINE__},                         // the text ends in the pair
        {SchmalText("<!--" + x95 + "\xF0\x9F\x98" "yz"), "\x9F\x98yz", __LINE__},  // a cut-short pair: stray bytes
        {Utf16Text(u"<!--x" + Mal16(paar, 60)), Mal(v, 13), __LINE__},  // read as UTF-16 alike
        {Utf16Text(u"<!--" + u95 + paar + u"yz"), v + "yz", __LINE__},
        {Utf16Text(u"<!--" + u95 + u"\xDC80yz"), "yz", __LINE__},      // a lone surrogate is one unit
        {Utf16Text(u"<!--" + u95 + u"x\xDC80yz"), "\x80yz", __LINE__},  // and kept whole
        {Utf16MitEinzelbyte(u"<!--" + u95, 0x41), "xA", __LINE__},      // the odd byte is not a step's end
        {Utf16MitEinzelbyte(u"<!--x" + paar, 0xE4), v + "\xE4", __LINE__},  // a pair before it
    };
    const CString name("a");
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString out("alt");
        UeberspringeTagBlocks(BrixSubString(f.text), BrixSubString(name), out);
        out.SetzeForm(f.text.Form());
        EXPECT_EQ(Zeige(AusgabeVon(out)), Zeige(f.aus));
    }
}

// --- ErsetzeTagInhalt ---

struct ErsatzFall {
    std::string_view ein;
    std::string_view name;
    const char* szErsatz;  // null: a replacement with no data ("-Rname" without "=")
    std::string_view aus;
};

const ErsatzFall kErsetzen[] = {
    {"a<b>c</b>d", "b", "X", "a<b>X</b>d"},                                                  // plain replacement
    {"<r><b>1</b><c><b>2</b></c></r>", "b", "X", "<r><b>X</b><c><b>X</b></c></r>"},          // at any depth
    {"<b><b>1</b></b>", "b", "X", "<b>X</b>"},                                               // content replaced whole
    {"<b x='1'>2</b>", "b", "X", "<b x='1'>X</b>"},                                          // attributes remain
    {"<b/>t", "b", "X", "<b/>Xt"},                                                           // self-closing: behind the tag
    {"<b>1</b>", "b", nullptr, "<b></b>"},                                                   // no replacement: content emptied
    {"<bb>1</bb>", "b", "X", "<bb>1</bb>"},                                                  // names compared whole
    {"<B>1</B>", "b", "X", "<B>1</B>"},                                                      // case-sensitive
    {"<!--<b>1</b>--><b>2</b>", "b", "X", "<!--<b>1</b>--><b>X</b>"},                        // comments are text
    {"x</q><b>1</b>", "b", "X", "x</q><b>1</b>"},                                            // a fault ends the walk
    {"t", "b", "X", "t"},                                                                    // no elements
    {"<r><c></q></c><b>1</b></r>", "b", "X", "<r><c></q></c><b>1</b></r>"},                  // fault inside: whole r stays
    {"<r><c x='/>'>1</c></r><b>2</b>", "b", "X", "<r><c x='/>'>1</c></r><b>X</b>"},          // a fault in a content stays there
    {"<c><c><b>1</b>x</c></c>", "b", "<b>2</b>", "<c><c><b><b>2</b></b>x</c></c>"},          // markup in the replacement is kept
    {"<a:b>1</a:b>", "a", "X", "<a:b>X</a:b>"},                                              // TagName stops at ':'
    {"<b>1</b><b/>", "b", "", "<b></b><b/>"},                                                // an empty replacement
    {"<b>\xC3\xB6</b>", "b", "\xF0\x9F\x98\x80", "<b>\xF0\x9F\x98\x80</b>"},  // multi-byte content and replacement
    {"<\xC3\xA4>1</\xC3\xA4>", "\xC3\xA4", "X", "<\xC3\xA4>1</\xC3\xA4>"},  // TagName takes no byte from 0x80 on
};

TEST(ErsetzeTagInhalt, Tabelle)
{
    for (const ErsatzFall& fall : kErsetzen) {
        const CString text(fall.ein);
        const CString name(fall.name);
        const CString ersatz(fall.szErsatz != nullptr ? std::string_view(fall.szErsatz) : "");
        CString out("alt");
        ErsetzeTagInhalt(BrixSubString(text), BrixSubString(name), out,
                         fall.szErsatz != nullptr ? BrixSubString(ersatz) : BrixSubString());
        EXPECT_EQ(Zeige(out.Sicht()), Zeige(fall.aus)) << Zeige(fall.ein) << " " << Zeige(fall.name);
        const std::u16string ein = UnitsAus(fall.ein);
        const std::u16string rname = UnitsAus(fall.name);
        const std::u16string rersatz = UnitsAus(fall.szErsatz != nullptr ? fall.szErsatz : "");
        const referenz::Sicht ersatzSicht = fall.szErsatz != nullptr ? referenz::Ganz(rersatz) : referenz::Sicht{};
        EXPECT_EQ(
            Zeige(SchmalAus(referenz::ErsetzeTagInhalt(referenz::Ganz(ein), referenz::Ganz(rname), ersatzSicht))),
            Zeige(fall.aus))
            << "Referenz";
    }
}

// --- Results beyond the memory the process may take ---

// Lowers the soft limit of the process's data (RLIMIT_DATA) to what it uses now plus nFrei
// bytes, for one test, and restores it, also when the test fails. The memory a filter may still
// take is bounded by this limit, among others: a growth beyond it is refused.
class Datengrenze {
public:
    explicit Datengrenze(std::int64_t nFrei)
    {
        std::ifstream statm("/proc/self/statm");
        long long nGroesse = 0, nRes = 0, nGeteilt = 0, nText = 0, nLib = 0, nDaten = -1;
        statm >> nGroesse >> nRes >> nGeteilt >> nText >> nLib >> nDaten;
        if (!statm || getrlimit(RLIMIT_DATA, &m_alt) != 0) return;
        rlimit neu = m_alt;
        neu.rlim_cur = static_cast<rlim_t>(nDaten * sysconf(_SC_PAGESIZE) + nFrei);
        if (m_alt.rlim_max != RLIM_INFINITY && neu.rlim_cur > m_alt.rlim_max) return;
        m_bGesetzt = setrlimit(RLIMIT_DATA, &neu) == 0;
    }
    ~Datengrenze()
    {
        if (m_bGesetzt) setrlimit(RLIMIT_DATA, &m_alt);
    }
    Datengrenze(const Datengrenze&) = delete;
    Datengrenze& operator=(const Datengrenze&) = delete;
    bool Gesetzt() const { return m_bGesetzt; }

private:
    rlimit m_alt{};
    bool m_bGesetzt = false;
};

constexpr std::int64_t kMB = std::int64_t{1} << 20;
// Room left beside the filters' input in the tests below: enough for everything small, too
// little for the large pieces, which pass the size from which growth is checked.
constexpr std::int64_t kWenigFrei = 32 * kMB;
constexpr std::size_t kGrossesStueck = 80 << 20;

// A listing, a replacement and a piece-by-piece growth that the memory does not hold are
// refused with std::bad_alloc; the output keeps the pieces appended before. With room enough
// the same calls go through.
TEST(Speichergrenze, ZuGrosseErgebnisseWerdenAbgelehnt)
{
    const std::string gross(kGrossesStueck, 'y');
    const CString liste("<a>" + gross + "</a>x<a/>");
    const CString namen("a");
    const CString ersatz(gross);
    const CString einzeln("<b></b>x");
    const CString leere(Mal("<b></b>", 100));
    const CString verschachtelt(Mal("<a>", 50) + Mal("<b></b>", 100) + Mal("</a>", 50));
    const CString name("b");
    const CString mittel(std::string(kGrossesStueck / 40, 'z'));  // 100 of them make 200 MB
    struct Fall {
        const CString* pText;
        bool bListe;  // ZeigeTagBlocks with namen, else ErsetzeTagInhalt of b
        const CString* pErsatz;
        std::string_view anfang;  // what the output holds after the refusal (bGanz), or begins with
        bool bGanz;
        int zeile;
    };
    const Fall faelle[] = {
        {&liste, true, nullptr, "", true, __LINE__},              // one listed element of 80 MB
        {&einzeln, false, &ersatz, "<b>", true, __LINE__},        // one replacement of 80 MB
        {&leere, false, &mittel, "<b>z", false, __LINE__},        // many small replacements that grow the output
        {&verschachtelt, false, &mittel, "<a><a>", false, __LINE__},  // the same inside nested elements
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        auto filtere = [&](CString& out) {
            if (f.bListe)
                ZeigeTagBlocks(BrixSubString(*f.pText), BrixSubString(namen), out);
            else
                ErsetzeTagInhalt(BrixSubString(*f.pText), BrixSubString(name), out, BrixSubString(*f.pErsatz));
        };
        CString out("alt");
        {
            const Datengrenze grenze(kWenigFrei);
            ASSERT_TRUE(grenze.Gesetzt());
            EXPECT_THROW(filtere(out), std::bad_alloc);
        }
        if (f.bGanz)
            EXPECT_EQ(Zeige(out.Sicht()), Zeige(f.anfang));
        else
            EXPECT_TRUE(out.Sicht().starts_with(f.anfang)) << Zeige(out.Sicht().substr(0, 20));
        {
            // With room for all of it: the whole result.
            const Datengrenze grenze(1024 * kMB);
            ASSERT_TRUE(grenze.Gesetzt());
            CString ganz;
            EXPECT_NO_THROW(filtere(ganz));
            EXPECT_GT(ganz.GetLength(), static_cast<std::ptrdiff_t>(kGrossesStueck));
        }
    }
    // The listing's length is counted without the memory for it.
    const Datengrenze grenze(kWenigFrei);
    EXPECT_EQ(LaengeTagBlockListe(BrixSubString(liste), BrixSubString(namen)),
              static_cast<std::int64_t>(kGrossesStueck) + 7 + 2 + 4 + 2);
}

// The stripping filters ask for room for a result as long as the text; that is a hint only: a
// result that is short passes even when the memory would not hold the text twice.
TEST(Speichergrenze, KurzesErgebnisEinesGrossenTextesGehtDurch)
{
    const std::string gross(kGrossesStueck, 'y');
    const CString kommentar("a<!--" + gross + "-->b");
    const CString tag("a<" + gross + ">b");
    const Datengrenze grenze(kWenigFrei);
    ASSERT_TRUE(grenze.Gesetzt());
    CString out("x");
    EXPECT_NO_THROW(BrixSubString(kommentar).EntferneKommentare(out));
    EXPECT_EQ(Zeige(out.Sicht()), Zeige("xab"));
    out = CString("x");
    EXPECT_NO_THROW(BrixSubString(tag).EntferneTags(out));
    EXPECT_EQ(Zeige(out.Sicht()), Zeige("xab"));
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
    {{"-Sa"}, "<!--x" + Mal(kVier, 60), Mal(kVier, 13)},                                        // the step keeps a pair whole
};

// A document read as UTF-16 (a named file starting FF FE) is filtered in its units and written
// as UTF-8.
TEST(Programm, Utf16Datei)
{
    struct Fall {
        std::vector<std::string> args;
        std::string datei;  // the file's bytes
        std::string aus;
        int zeile;
    };
    const Fall faelle[] = {
        {{"-Sa"}, Utf16Datei(u"<!--x" + Mal16(kPaar, 60)), Mal(kVier, 13), __LINE__},  // the step keeps a pair whole
        {{"-Sa"}, Utf16Datei(u"<!--" + Mal16(u"x", 95)) + "A", "xA", __LINE__},        // the odd byte kept at the end
        {{"-t"}, Utf16Datei(u"\xE4<a>\xD800</a>") + "B", "\xC3\xA4\xEF\xBF\xBD" "B", __LINE__},  // a lone surrogate
    };
    const std::string verzeichnis = NeuesTempVerzeichnis();
    const std::string pfad = verzeichnis + "/utf16.xml";
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        ASSERT_TRUE(SchreibeDatei(pfad, f.datei));
        std::vector<std::string> args = {"-f", pfad};
        args.insert(args.end(), f.args.begin(), f.args.end());
        const ProzessErgebnis r = StarteBrixfilter(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Zeige(r.out), Zeige(f.aus));
    }
    EntferneVerzeichnis(verzeichnis);
}

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
