// The program under test against the reference model, end to end: seeded random documents
// (broken ones included) and documents of the hostile families are written to files, once as
// the narrow bytes and once as UTF-16LE (every fourth with an odd last byte), and the program
// filters them with -f through single options and chains. Its standard output must be the
// reference model's result, as bytes; its status 0 and standard error empty. Every fourth random
// document and half the hostile ones also come through a pipe in pieces of mostly a few bytes
// (-f /dev/stdin), each read on its own, which must not change what the program writes.
//
// This is the differential check of the whole path (arguments, reading, the chain, writing) that
// runs against another build too (BRIX_PROGRAMM, BRIX_AUSFUEHRER: a brixfilter.exe under Wine).
// Each document costs one process per command, so it takes fewer documents through a runner and
// under the sanitizers.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"
#include "support/Referenz.h"
#include "support/Zufallsdokument.h"

namespace {

namespace ref = referenz;

// Commands, one option per entry, as units: a unit DC80..DCFF in a value is that byte, which no
// decoder takes (only a POSIX build can receive it).
const std::vector<std::vector<std::u16string>> kBefehle = {
    {u"-c"},
    {u"-t"},
    {u"-d"},
    {u"-sa,b"},
    {u"-Sa"},
    {u"-Rb=X"},
    {u"-Ra=<n/>\u00e4"},
    {u"-c", u"-d", u"-sa,b"},
    {u"-d", u"-Sa", u"-Rb=X"},
    {u"-t", u"-d"},
    {u"-Rb=\U0001F600\xDCBE", u"-c", u"-Sb"},
};

// The odd last bytes that the UTF-16 files get.
constexpr char kUngerade[] = {'<', '>', '\x80', '\xFF', 'a', '\0'};

// The reference model's result of one option.
std::u16string WendeAn(const std::u16string& option, const std::u16string& text)
{
    const ref::Sicht sicht = ref::Ganz(text);
    const std::u16string wert = UnitsAus(SchmalAus(std::u16string_view(option).substr(2)));
    switch (option[1]) {
    case u'c': return ref::EntferneKommentare(sicht);
    case u't': return ref::EntferneTags(sicht);
    case u'd': return ref::LoescheLeereTags(sicht);
    case u's': return ref::ZeigeTagBlocks(sicht, ref::Ganz(wert));
    case u'S': return ref::UeberspringeTagBlocks(sicht, ref::Ganz(wert));
    default: {
        const int nGleich = static_cast<int>(wert.find(u'='));
        const ref::Sicht w = ref::Ganz(wert);
        return ref::ErsetzeTagInhalt(sicht, w.Links(nGleich), w.Mitte(nGleich + 1));
    }
    }
}

// What the program writes for a document of units in one world: narrow (the bytes the units
// encode to, decoded strictly anew after every step, as a chain of narrow texts is) or UTF-16
// (the units themselves; the odd byte comes out behind them unless a listing left the end out).
std::string Erwartet(std::u16string text, const std::vector<std::u16string>& befehl, bool bUtf16,
                     const std::string& strUngerade)
{
    bool bNachsatz = bUtf16 && !strUngerade.empty();
    if (!bUtf16) text = UnitsAus(SchmalAus(text));
    for (const std::u16string& option : befehl) {
        text = WendeAn(option, text);
        bNachsatz = bNachsatz && option[1] != u's';
        if (!bUtf16) text = UnitsAus(SchmalAus(text));
    }
    return SchmalAus(text) + (bNachsatz ? strUngerade : std::string());
}

class DifferenzProgramm : public ::testing::Test {
protected:
    void SetUp() override { m_strOrdner = NeuesTempVerzeichnis(); }
    void TearDown() override { EntferneVerzeichnis(m_strOrdner); }

    // Every command on the document, in one world (and with bStuecke through a pipe in pieces);
    // reports at most a few mismatches.
    void Pruefe(const std::u16string& quelle, bool bUtf16, std::uint32_t nSeed, const std::string& strWo,
                bool bStuecke = false)
    {
        const std::string strUngerade =
            bUtf16 && nSeed % 4 == 3 ? std::string(1, kUngerade[nSeed / 4 % sizeof kUngerade]) : std::string();
        const std::string strDatei = m_strOrdner + "/dokument.xml";
        const std::string bytes = bUtf16 ? Utf16Datei(quelle) + strUngerade : SchmalAus(quelle);
        ASSERT_TRUE(SchreibeDatei(strDatei, bytes));
        // The pieces of the pipe: mostly a few bytes, now and then a longer stretch.
        ProzessOptionen stueckweise;
        std::mt19937 rng(nSeed);
        for (int i = 0; i < 16; ++i)
            stueckweise.aStuecke.push_back(std::array{1, 1, 2, 3, 5, 8, 13, 40, 300}[rng() % 9]);
        for (const auto& befehl : kBefehle) {
            std::vector<std::string> args = {"-f", strDatei};
            std::string strBefehl;
            for (const std::u16string& option : befehl) {
                args.push_back(SchmalAus(option));
                strBefehl.append(" ").append(LesbareBytes(args.back()));
            }
            if (!ArgumenteErreichenDasProgramm(args)) continue;
            const std::string erwartet = Erwartet(quelle, befehl, bUtf16, strUngerade);
            std::vector<std::pair<ProzessErgebnis, const char*>> aLaeufe = {{StarteBrixfilter(args), ""}};
            // A build for another system has no /dev/stdin.
            if (bStuecke && !MitAusfuehrer()) {
                args[1] = "/dev/stdin";
                aLaeufe.emplace_back(StarteProzess(args, bytes, stueckweise), ", Pipe in Stuecken");
            }
            for (const auto& [erg, pWie] : aLaeufe) {
                if (erg.status == 0 && erg.err.empty() && erg.out == erwartet) continue;
                ADD_FAILURE() << strWo << (bUtf16 ? ", UTF-16" : ", schmal") << pWie << ", Befehl" << strBefehl
                              << "\n  Status " << erg.status << ", stderr \"" << erg.err << "\"\n  Ausgabe  \""
                              << LesbareBytes(erg.out) << "\"\n  erwartet \"" << LesbareBytes(erwartet)
                              << "\"\n  Dokument \"" << LesbareBytes(SchmalAus(quelle)) << "\"";
                if (++m_nMeldungen >= 5) return;
            }
        }
    }

    bool Weiter() const { return m_nMeldungen < 5 && !HasFatalFailure(); }
    // Through a runner, and in a sanitized build, every process costs far more: fewer documents.
    static std::uint32_t Anzahl(std::uint32_t nDirekt)
    {
        return MitAusfuehrer() || kSanitiert ? nDirekt / 4 : nDirekt;
    }

private:
    std::string m_strOrdner;
    int m_nMeldungen = 0;
};

// Depth, width and fault rate vary with the seed.
ZufallsOptionen OptionenFuer(std::uint32_t nSeed)
{
    static constexpr int kFehler[] = {0, 3, 15, 60, 300};
    ZufallsOptionen optionen;
    optionen.nMaxTiefe = 2 + static_cast<int>(nSeed % 4);
    optionen.nMaxKinder = 3 + static_cast<int>((nSeed / 4) % 5);
    optionen.nFehlerPromille = kFehler[(nSeed / 16) % 5];
    return optionen;
}

TEST_F(DifferenzProgramm, ZufallsdokumenteSchmal)
{
    for (std::uint32_t nSeed = 1; nSeed <= Anzahl(100) && Weiter(); ++nSeed)
        Pruefe(ErzeugeZufallsdokument(nSeed, OptionenFuer(nSeed)), false, nSeed, "Seed " + std::to_string(nSeed),
               nSeed % 4 == 0);
}

TEST_F(DifferenzProgramm, ZufallsdokumenteUtf16)
{
    for (std::uint32_t nSeed = 1; nSeed <= Anzahl(100) && Weiter(); ++nSeed)
        Pruefe(ErzeugeZufallsdokument(nSeed, OptionenFuer(nSeed)), true, nSeed, "Seed " + std::to_string(nSeed),
               nSeed % 4 == 0);
}

TEST_F(DifferenzProgramm, FeindlicheFamilien)
{
    for (const Feindfamilie familie : kFeindfamilien) {
        for (std::uint32_t nSeed = 1; nSeed <= Anzahl(10) && Weiter(); ++nSeed) {
            const std::u16string quelle = ErzeugeFeindlichesDokument(nSeed, FeindOptionen{familie, 400});
            const std::string strWo = std::string("Familie ") + FamilienName(familie) + ", Seed " + std::to_string(nSeed);
            Pruefe(quelle, nSeed % 2 == 0, nSeed, strWo, nSeed % 4 < 2);
        }
    }
}

}  // namespace
