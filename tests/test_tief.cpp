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
#include "support/Prozess.h"
#include "xml/Filter.h"

namespace {

constexpr int kTiefe = 1000000;

// oben repeated nOben times, then mitte, then unten repeated nUnten times, then nach.
struct Tief {
    std::u16string_view oben;
    std::u16string_view mitte;
    std::u16string_view unten;
    std::u16string_view nach = u"";
    int nOben = kTiefe;
    int nUnten = kTiefe;

    std::u16string Text() const
    {
        std::u16string s;
        s.reserve(oben.size() * static_cast<std::size_t>(nOben) + mitte.size() +
                  unten.size() * static_cast<std::size_t>(nUnten) + nach.size());
        for (int i = 0; i < nOben; ++i) s += oben;
        s += mitte;
        for (int i = 0; i < nUnten; ++i) s += unten;
        s += nach;
        return s;
    }
};

const Tief kZu{u"<a>", u"x", u"</a>"};                         // closed at every level
const Tief kOffen{u"<a>", u"x", u"", u"", kTiefe, 0};          // no end tag at all
const Tief kStreu{u"<a>", u"x</b>", u"</a>"};                  // a stray end tag at the bottom
const Tief kMitB{u"<a>", u"<b>x</b>", u"</a>"};                // an element b at the bottom
const Tief kMitAttribut{u"<a k='1'>", u"<b>x</b>", u"</a>"};   // the same, start tags with attributes

struct Fall {
    const Tief* pDokument;
    const char* szOption;  // one option as on the command line
    Tief erwartet;
    bool bProgramm = false;  // also through the built program (one or two cases per option)
};

// clang-format off
const Fall kFaelle[] = {
    {&kZu,         "-c",    kZu, true},                                             // nothing to strip
    {&kZu,         "-t",    {u"", u"x", u""}},                                      // all markup goes
    {&kOffen,      "-t",    {u"", u"x", u""}},                                      // unclosed: the same
    {&kStreu,      "-t",    {u"", u"x", u""}, true},                                // stray end tag: the same
    {&kZu,         "-d",    kZu},                                                   // the one top element is not empty
    {&kOffen,      "-d",    kOffen, true},                                          // no end tag: copied unchanged
    {&kStreu,      "-d",    kStreu},                                                // mismatch deep down: copied unchanged
    {&kZu,         "-sa",   {u"<a>", u"x", u"</a>", u"\r\n"}},                      // the whole element, one line
    {&kZu,         "-sa,a", {u"<a>", u"x", u"</a>", u"\r\n"}, true},                // the inner a is all of the content
    {&kZu,         "-sa,b", {u"", u"<a></a>\r\n", u"", u"", 0, 0}},                 // no b directly inside
    {&kOffen,      "-sa",   {u"", u"", u"", u"", 0, 0}},                            // no element found: empty
    {&kStreu,      "-sa",   {u"", u"", u"", u"", 0, 0}},                            // a fault: empty
    {&kZu,         "-Sa",   {u"", u"", u"", u"", 0, 0}},                            // nothing behind the element
    {&kZu,         "-Sb",   kZu},                                                   // no b at the top: whole text
    {&kOffen,      "-Sa",   {u">", u"x", u"", u"", kTiefe, 0}, true},               // each unclosed level leaves its '>'
    {&kStreu,      "-Sa",   {u">", u">", u"", u"", kTiefe, 0}, true},               // behind the fault, each end tag's '>'
    {&kZu,         "-Ra=X", {u"", u"<a>X</a>", u"", u"", 0, 0}},                    // the top element matches
    {&kZu,         "-Rb=X", kZu},                                                   // descends a million levels, no match
    {&kMitB,       "-Rb=X", {u"<a>", u"<b>X</b>", u"</a>"}},                        // the match at the bottom
    {&kMitAttribut,"-Rb=X", {u"<a k='1'>", u"<b>X</b>", u"</a>"}, true},            // the same with attributes
    {&kOffen,      "-Rb=X", kOffen},                                                // fault at the top level: unchanged
    {&kStreu,      "-Rb=X", kStreu},                                                // the same
};
// clang-format on

// Runs the filter of one option as the driver does.
CString Filtere(const CString& text, std::string_view option)
{
    const std::u16string wert(option.begin() + 2, option.end());
    const CString argument(wert);
    const BrixSubString sicht(text);
    const BrixSubString arg(argument);
    CString out;
    if (option == "-c") return sicht.EntferneKommentare();
    if (option == "-t") return sicht.EntferneTags();
    if (option == "-d") LoescheLeereTags(sicht, out);
    if (option.starts_with("-s")) ZeigeTagBlocks(sicht, arg, out);
    if (option.starts_with("-S")) UeberspringeTagBlocks(sicht, arg, out);
    if (option.starts_with("-R")) {
        const int p = arg.FindeZeichen(u'=');
        ErsetzeTagInhalt(sicht, arg.Links(p), out, arg.Mitte(p + 1));
    }
    return out;
}

std::string Schmal(const std::u16string& s) { return std::string(s.begin(), s.end()); }  // ASCII only

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
    return std::string(fall.szOption) + " on " + Schmal(std::u16string(fall.pDokument->oben)) + "..." +
           Schmal(std::u16string(fall.pDokument->mitte)) + "...";
}

TEST(TiefeVerschachtelung, JederFilter)
{
    for (const Fall& fall : kFaelle) {
        const CString& text = Dokument(fall.pDokument);
        const CString out = Filtere(text, fall.szOption);
        // Compared without gtest's printing of a megabyte on failure.
        EXPECT_TRUE(out.Sicht() == fall.erwartet.Text())
            << Beschreibung(fall) << ": got " << out.GetLength() << " units";
    }
}

TEST(TiefeVerschachtelung, DurchDasProgramm)
{
    for (const Fall& fall : kFaelle) {
        if (!fall.bProgramm) continue;
        // From a regular file: standard input that is a pipe gains a final line feed.
        const std::string ein = Schmal(std::u16string(Dokument(fall.pDokument).Sicht()));
        const ProzessErgebnis r = StarteBrixfilter({fall.szOption}, ein, StdinArt::Datei);
        EXPECT_EQ(r.status, 0) << Beschreibung(fall) << ": " << r.err;
        EXPECT_TRUE(r.out == Schmal(fall.erwartet.Text()))
            << Beschreibung(fall) << ": got " << r.out.size() << " bytes";
    }
}

// After an unclosed comment, processing instruction or declaration, -S goes on 100 units
// further; each later opener is unclosed too, and must not cost a search to the text's end.
TEST(LangeReihen, UnverschlosseneKonstrukteBeimUeberspringen)
{
    struct Reihe {
        std::u16string_view einheit;  // repeated kTiefe times; 4 units, so each step lands on a '<'
        std::u16string_view erwartet;
    };
    static constexpr Reihe kReihen[] = {
        {u"<!--", u"-"},  // only the last unit follows the last step
        {u"<?xy", u"y"},  // the same for processing instructions
        {u"<!xy", u"y"},  // and for declarations
    };
    for (const Reihe& reihe : kReihen) {
        const CString text(Tief{reihe.einheit, u"", u"", u"", kTiefe, 0}.Text());
        const CString name(u"a");
        CString out;
        UeberspringeTagBlocks(BrixSubString(text), BrixSubString(name), out);
        EXPECT_TRUE(out.Sicht() == reihe.erwartet) << Schmal(std::u16string(reihe.einheit));
    }
}

}  // namespace
