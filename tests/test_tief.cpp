// A million nested elements through every filter: closed, unclosed, and with a stray end tag at
// the bottom; and a million unclosed comments, instructions and declarations in a row. Nothing may recurse per level (the machine stack would overflow) and no filter may
// search the same nested elements again at every level (that would take hours). The expected
// outputs are built by hand; the reference model recurses and cannot take such input.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"
#include "xml/Filter.h"

namespace {

// Deep enough that a walk recursing per level would overflow any stack (a small one too).
constexpr int kTiefe = kSanitiert ? 100'000 : 1'000'000;

// oben repeated nOben times, then mitte, then unten repeated nUnten times, then nach.
struct Tief {
    std::string_view oben;
    std::string_view mitte;
    std::string_view unten;
    std::string_view nach = "";
    int nOben = kTiefe;
    int nUnten = kTiefe;

    std::string Text() const
    {
        std::string s;
        s.reserve(oben.size() * static_cast<std::size_t>(nOben) + mitte.size() +
                  unten.size() * static_cast<std::size_t>(nUnten) + nach.size());
        for (int i = 0; i < nOben; ++i) s += oben;
        s += mitte;
        for (int i = 0; i < nUnten; ++i) s += unten;
        s += nach;
        return s;
    }
};

const Tief kZu{"<a>", "x", "</a>"};                            // closed at every level
const Tief kOffen{"<a>", "x", "", "", kTiefe, 0};              // no end tag at all
const Tief kStreu{"<a>", "x</b>", "</a>"};                     // a stray end tag at the bottom
const Tief kMitB{"<a>", "<b>x</b>", "</a>"};                   // an element b at the bottom
const Tief kMitAttribut{"<a k='1'>", "<b>x</b>", "</a>"};      // the same, start tags with attributes

struct Fall {
    const Tief* pDokument;
    const char* szOption;  // one option as on the command line
    Tief erwartet;
    bool bProgramm = false;  // also through the built program (one or two cases per option)
};

// clang-format off
const Fall kFaelle[] = {
    {&kZu,         "-c",    kZu, true},                                             // nothing to strip
    {&kZu,         "-t",    {"", "x", ""}},                                         // all markup goes
    {&kOffen,      "-t",    {"", "x", ""}},                                         // unclosed: the same
    {&kStreu,      "-t",    {"", "x", ""}, true},                                   // stray end tag: the same
    {&kZu,         "-d",    kZu},                                                   // the one top element is not empty
    {&kOffen,      "-d",    kOffen, true},                                          // no end tag: copied unchanged
    {&kStreu,      "-d",    kStreu},                                                // mismatch deep down: copied unchanged
    {&kZu,         "-sa",   {"<a>", "x", "</a>", "\r\n"}},                          // the whole element, one line
    {&kZu,         "-sa,a", {"<a>", "x", "</a>", "\r\n"}, true},                    // the inner a is all of the content
    {&kZu,         "-sa,b", {"", "<a></a>\r\n", "", "", 0, 0}},                     // no b directly inside
    {&kOffen,      "-sa",   {"", "", "", "", 0, 0}},                                // no element found: empty
    {&kStreu,      "-sa",   {"", "", "", "", 0, 0}},                                // a fault: empty
    {&kZu,         "-Sa",   {"", "", "", "", 0, 0}},                                // nothing behind the element
    {&kZu,         "-Sb",   kZu},                                                   // no b at the top: whole text
    {&kOffen,      "-Sa",   {">", "x", "", "", kTiefe, 0}, true},                   // each unclosed level leaves its '>'
    {&kStreu,      "-Sa",   {">", ">", "", "", kTiefe, 0}, true},                   // behind the fault, each end tag's '>'
    {&kZu,         "-Ra=X", {"", "<a>X</a>", "", "", 0, 0}},                        // the top element matches
    {&kZu,         "-Rb=X", kZu},                                                   // descends a million levels, no match
    {&kMitB,       "-Rb=X", {"<a>", "<b>X</b>", "</a>"}},                           // the match at the bottom
    {&kMitAttribut,"-Rb=X", {"<a k='1'>", "<b>X</b>", "</a>"}, true},               // the same with attributes
    {&kOffen,      "-Rb=X", kOffen},                                                // fault at the top level: unchanged
    {&kStreu,      "-Rb=X", kStreu},                                                // the same
};
// clang-format on

// Runs the filter of one option as the driver does.
CString Filtere(const CString& text, std::string_view option)
{
    const CString argument(option.substr(2));
    const BrixSubString sicht(text);
    const BrixSubString arg(argument);
    CString out;
    if (option == "-c") return sicht.EntferneKommentare();
    if (option == "-t") return sicht.EntferneTags();
    if (option == "-d") LoescheLeereTags(sicht, out);
    if (option.starts_with("-s")) ZeigeTagBlocks(sicht, arg, out);
    if (option.starts_with("-S")) UeberspringeTagBlocks(sicht, arg, out);
    if (option.starts_with("-R")) {
        const std::ptrdiff_t p = arg.FindeZeichen('=');
        ErsetzeTagInhalt(sicht, arg.Links(p), out, arg.Mitte(p + 1));
    }
    return out;
}

// The documents, each built once.
const CString& Dokument(const Tief* pDokument)
{
    static std::map<const Tief*, CString> texte;
    auto it = texte.find(pDokument);
    if (it == texte.end()) it = texte.emplace(pDokument, CString(pDokument->Text())).first;
    return it->second;
}

std::string Beschreibung(const Fall& fall)
{
    return std::string(fall.szOption) + " on " + std::string(fall.pDokument->oben) + "..." +
           std::string(fall.pDokument->mitte) + "...";
}

TEST(TiefeVerschachtelung, JederFilter)
{
    for (const Fall& fall : kFaelle) {
        const CString& text = Dokument(fall.pDokument);
        const CString out = Filtere(text, fall.szOption);
        // Compared without gtest's printing of a megabyte on failure.
        EXPECT_TRUE(out.Sicht() == fall.erwartet.Text())
            << Beschreibung(fall) << ": got " << out.GetLength() << " bytes";
    }
}

TEST(TiefeVerschachtelung, DurchDasProgramm)
{
    for (const Fall& fall : kFaelle) {
        if (!fall.bProgramm) continue;
        // From a regular file: standard input that is a pipe gains a final line feed.
        const std::string ein(Dokument(fall.pDokument).Sicht());
        const ProzessErgebnis r = StarteBrixfilter({fall.szOption}, ein, StdinArt::Datei);
        EXPECT_EQ(r.status, 0) << Beschreibung(fall) << ": " << r.err;
        EXPECT_TRUE(r.out == fall.erwartet.Text())
            << Beschreibung(fall) << ": got " << r.out.size() << " bytes";
    }
}

// After an unclosed comment, processing instruction or declaration, -S goes on 100 units
// further; each later opener is unclosed too, and must not cost a search to the text's end.
TEST(LangeReihen, UnverschlosseneKonstrukteBeimUeberspringen)
{
    struct Reihe {
        std::string_view einheit;  // repeated kTiefe times; 4 UTF-16 units, so each step lands on a '<'
        std::string_view erwartet;
    };
    static constexpr Reihe kReihen[] = {
        {"<!--", "-"},  // only the last byte follows the last step
        {"<?xy", "y"},  // the same for processing instructions
        {"<!xy", "y"},  // and for declarations
        {"<!\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // a pair as the last unit: the step keeps it whole
    };
    for (const Reihe& reihe : kReihen) {
        const CString text(Tief{reihe.einheit, "", "", "", kTiefe, 0}.Text());
        const CString name("a");
        CString out;
        UeberspringeTagBlocks(BrixSubString(text), BrixSubString(name), out);
        EXPECT_TRUE(out.Sicht() == reihe.erwartet) << reihe.einheit;
    }
}

}  // namespace
