// What the README and the man page show, run through the built binary, so that it stays true:
// every "$ command" line with the output shown under it, every catalog example
// ("brixfilter -f examples/katalog.xml ..."), the README's install and package commands, its
// first screen and length, and the input and status rules the two state in prose.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

std::string Quelle(const std::string& strDatei) { return std::string(BRIX_SOURCE_DIR) + "/" + strDatei; }

struct Zeile {
    std::size_t nNummer;  // 1-based, in its document
    std::string text;
};

std::vector<Zeile> Zeilen(const std::string& text)
{
    std::vector<Zeile> zeilen;
    std::size_t nAnfang = 0;
    for (std::size_t nNummer = 1; nAnfang < text.size(); ++nNummer) {
        std::size_t nEnde = text.find('\n', nAnfang);
        if (nEnde == std::string::npos) nEnde = text.size();
        zeilen.push_back({nNummer, text.substr(nAnfang, nEnde - nAnfang)});
        nAnfang = nEnde + 1;
    }
    return zeilen;
}

// The README's code lines: those indented by four blanks or more (code blocks, also inside list
// items), as they stand.
std::vector<std::vector<Zeile>> ReadmeBloecke()
{
    std::vector<std::vector<Zeile>> bloecke(1);
    for (const Zeile& z : Zeilen(LiesAlles(Quelle("README.md")))) {
        if (z.text.rfind("    ", 0) == 0) {
            bloecke.back().push_back(z);
        } else if (!bloecke.back().empty()) {
            bloecke.emplace_back();
        }
    }
    return bloecke;
}

// The man page's example blocks (.EX to .EE) as a reader sees them: "\-" a hyphen, "\e" a
// backslash, "\(aq" a straight quote.
std::vector<std::vector<Zeile>> ManBloecke()
{
    std::vector<std::vector<Zeile>> bloecke;
    bool bImBlock = false;
    for (Zeile z : Zeilen(LiesAlles(Quelle("doc/brixfilter.1")))) {
        if (z.text == ".EX") {
            bImBlock = true;
            bloecke.emplace_back();
            continue;
        }
        if (z.text == ".EE") bImBlock = false;
        if (!bImBlock) continue;
        std::string klar;
        for (std::size_t i = 0; i < z.text.size(); ++i) {
            if (z.text.compare(i, 2, "\\-") == 0) {
                klar += '-';
                ++i;
            } else if (z.text.compare(i, 2, "\\e") == 0) {
                klar += '\\';
                ++i;
            } else if (z.text.compare(i, 4, "\\(aq") == 0) {
                klar += '\'';
                i += 3;
            } else {
                klar += z.text[i];
            }
        }
        z.text = klar;
        bloecke.back().push_back(z);
    }
    return bloecke;
}

struct Beispiel {
    std::size_t nZeile;
    std::string befehl;   // without "$ "
    std::string ausgabe;  // the lines shown under it, each ended by LF
};

// The "$ " lines that call brixfilter, with the lines under them (as far as they are indented
// like the "$" and are no command) as their output.
std::vector<Beispiel> BeispieleMitAusgabe(const std::vector<std::vector<Zeile>>& bloecke)
{
    std::vector<Beispiel> beispiele;
    for (const auto& block : bloecke) {
        for (std::size_t i = 0; i < block.size(); ++i) {
            const std::string& t = block[i].text;
            const std::size_t nEinzug = t.find_first_not_of(' ');
            if (nEinzug == std::string::npos || t.compare(nEinzug, 2, "$ ") != 0) continue;
            if (t.find("brixfilter") == std::string::npos) continue;
            Beispiel b{block[i].nNummer, t.substr(nEinzug + 2), ""};
            for (std::size_t k = i + 1; k < block.size(); ++k) {
                const std::string& a = block[k].text;
                if (a.find_first_not_of(' ') < nEinzug || a.compare(nEinzug, 2, "$ ") == 0) break;
                b.ausgabe += a.substr(nEinzug) + "\n";
            }
            beispiele.push_back(b);
        }
    }
    return beispiele;
}

// The lines that run brixfilter on the bundled catalog, as typed in the source folder.
std::vector<Beispiel> KatalogBeispiele(const std::vector<std::vector<Zeile>>& bloecke)
{
    std::vector<Beispiel> beispiele;
    for (const auto& block : bloecke) {
        for (const Zeile& z : block) {
            const std::size_t nEinzug = z.text.find_first_not_of(' ');
            if (nEinzug != std::string::npos && z.text.compare(nEinzug, 34, "brixfilter -f examples/katalog.xml") == 0)
                beispiele.push_back({z.nNummer, z.text.substr(nEinzug), ""});
        }
    }
    return beispiele;
}

// Runs a command line with bash in the source folder, standard input /dev/null, the program
// under test first on the path as "brixfilter" (as an installed one would be): a script in a
// folder of its own that starts it with its runner, so that xargs and find reach it too.
ProzessErgebnis Befehl(const std::string& strBefehl)
{
    const std::string strOrdner = NeuesTempVerzeichnis();
    const std::string strSkript = strOrdner + "/brixfilter";
    EXPECT_TRUE(SchreibeDatei(strSkript, "#!/bin/sh\nexec " + ProgrammFuerShell() + " \"$@\"\n"));
    EXPECT_EQ(chmod(strSkript.c_str(), 0755), 0);
    ProzessOptionen optionen;
    optionen.programm = "/bin/bash";
    optionen.stdinArt = StdinArt::DevNull;
    optionen.arbeitsVerzeichnis = BRIX_SOURCE_DIR;
    ProzessErgebnis erg = StarteProzess({"-c", "PATH='" + strOrdner + "':\"$PATH\"\n" + strBefehl}, "", optionen);
    EntferneVerzeichnis(strOrdner);
    return erg;
}

struct Dokument {
    const char* pName;
    std::vector<std::vector<Zeile>> (*bloecke)();
    std::size_t nMindestensMitAusgabe;  // so that a change of form that hides them fails here
    std::size_t nMindestensKatalog;
};

const Dokument kDokumente[] = {
    {"README.md", ReadmeBloecke, 24, 6},
    {"doc/brixfilter.1", ManBloecke, 9, 3},
};

TEST(Dokumentation, BeispieleGebenDieGezeigteAusgabe)
{
    for (const Dokument& dok : kDokumente) {
        const std::vector<Beispiel> beispiele = BeispieleMitAusgabe(dok.bloecke());
        EXPECT_GE(beispiele.size(), dok.nMindestensMitAusgabe) << dok.pName;
        for (const Beispiel& b : beispiele) {
            SCOPED_TRACE(std::string(dok.pName) + ":" + std::to_string(b.nZeile) + ": " + b.befehl);
            if (MitAusfuehrer() && b.befehl.find("/dev/") != std::string::npos) continue;  // POSIX device files
            const ProzessErgebnis erg = Befehl(b.befehl);
            EXPECT_EQ(erg.status, 0) << erg.err;
            EXPECT_EQ(erg.err, "");
            EXPECT_EQ(Zeige(erg.out), Zeige(b.ausgabe));
        }
    }
}

TEST(Dokumentation, KatalogBeispieleGelingen)
{
    // Each succeeds, writes nothing to standard error, and changes the catalog: an example whose
    // option no longer does anything (a name that is not in the catalog) fails.
    const std::string katalog = LiesAlles(Quelle("examples/katalog.xml"));
    ASSERT_FALSE(katalog.empty());
    for (const Dokument& dok : kDokumente) {
        const std::vector<Beispiel> beispiele = KatalogBeispiele(dok.bloecke());
        EXPECT_GE(beispiele.size(), dok.nMindestensKatalog) << dok.pName;
        for (const Beispiel& b : beispiele) {
            SCOPED_TRACE(std::string(dok.pName) + ":" + std::to_string(b.nZeile) + ": " + b.befehl);
            if (MitAusfuehrer() && b.befehl.find("/dev/") != std::string::npos) continue;  // POSIX device files
            const ProzessErgebnis erg = Befehl(b.befehl);
            EXPECT_EQ(erg.status, 0) << erg.err;
            EXPECT_EQ(erg.err, "");
            EXPECT_FALSE(erg.out.empty());
            EXPECT_TRUE(erg.out != katalog) << "the catalog comes out unchanged";
        }
    }
}

// The README's section "## Install and package", up to the next section.
std::string InstallAbschnitt()
{
    const std::string readme = LiesAlles(Quelle("README.md"));
    const std::size_t nAnfang = readme.find("\n## Install and package\n");
    if (nAnfang == std::string::npos) return "";
    return readme.substr(nAnfang, readme.find("\n## ", nAnfang + 1) - nAnfang);
}

TEST(Dokumentation, InstallierenUndPaketAusEigenemReleaseOrdner)
{
    // The install and package commands use a Release build folder that the test script does
    // not configure with another build type (which would put debug information in the package),
    // install with --strip, and name the package file of this version.
    const std::string abschnitt = InstallAbschnitt();
    ASSERT_FALSE(abschnitt.empty());
    const std::string strKonfiguriere = "    cmake -S . -B ";
    const std::size_t nKonfiguriere = abschnitt.find(strKonfiguriere);
    ASSERT_NE(nKonfiguriere, std::string::npos) << abschnitt;
    const std::size_t nOrdner = nKonfiguriere + strKonfiguriere.size();
    const std::string strOrdner = abschnitt.substr(nOrdner, abschnitt.find(' ', nOrdner) - nOrdner);
    SCOPED_TRACE(strOrdner);
    const std::string konfiguriere = abschnitt.substr(nKonfiguriere, abschnitt.find('\n', nKonfiguriere) - nKonfiguriere);
    EXPECT_NE(konfiguriere.find(" -DCMAKE_BUILD_TYPE=Release "), std::string::npos) << konfiguriere;
    EXPECT_NE(abschnitt.find("    cmake --build " + strOrdner + " "), std::string::npos);
    EXPECT_NE(abschnitt.find("    cmake --install " + strOrdner + " --strip"), std::string::npos);
    EXPECT_NE(abschnitt.find("    (cd " + strOrdner + " && cpack -G DEB)"), std::string::npos);
    EXPECT_NE(abschnitt.find(strOrdner + "/brixfilter_" BRIX_VERSION_TEXT "_amd64.deb"), std::string::npos);
    const std::string test = LiesAlles(Quelle("scripts/test.sh"));
    ASSERT_NE(test.find("cmake -S . -B "), std::string::npos);
    EXPECT_EQ(test.find("-B " + strOrdner + " "), std::string::npos) << test;
    // The example script builds the same folder in the same way, so the commands can follow it.
    const std::string beispiel = LiesAlles(Quelle("scripts/beispiel.sh"));
    EXPECT_NE(beispiel.find(konfiguriere.substr(4)), std::string::npos);
    // Both scripts of the first screen install what they need as the one CI runs on a fresh machine.
    EXPECT_NE(beispiel.find("bash scripts/abhaengigkeiten.sh\n"), std::string::npos);
    EXPECT_NE(test.find("bash scripts/abhaengigkeiten.sh\n"), std::string::npos);
}

TEST(Dokumentation, ReadmeIstFuerBenutzer)
{
    // At most 250 lines (internals belong in doc/DEVELOPMENT.md, figures in bench/README.md), and
    // the first screen tells how to build and test and where the program then is.
    const std::vector<Zeile> zeilen = Zeilen(LiesAlles(Quelle("README.md")));
    EXPECT_LE(zeilen.size(), 250u);
    std::string erste;
    for (std::size_t i = 0; i < zeilen.size() && i < 24; ++i) erste += zeilen[i].text + "\n";
    for (const char* pText : {"    bash scripts/beispiel.sh", "    bash scripts/test.sh", "`build-release/brixfilter`",
                              "`build/brixfilter`"})
        EXPECT_NE(erste.find(pText), std::string::npos) << pText;
}

TEST(Dokumentation, ManSeiteTraegtDieVersion)
{
    const std::string man = LiesAlles(Quelle("doc/brixfilter.1"));
    EXPECT_NE(man.find("\"brixfilter " BRIX_VERSION_TEXT "\""), std::string::npos) << man.substr(0, 80);
}

TEST(Dokumentation, LetzterZeilenvorschub)
{
    // Standard input that is not a regular file gains a final LF when it is not empty and does
    // not end in one; standard input from a regular file and every file named with -f (a FIFO
    // and /dev/stdin too) stay as they are.
    const std::string strOrdner = NeuesTempVerzeichnis();
    const std::string strDatei = strOrdner + "/datei";
    const std::string strFifo = strOrdner + "/fifo";
    ASSERT_TRUE(SchreibeDatei(strDatei, "a"));
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    const struct {
        std::vector<std::string> args;
        StdinArt art;
        const char* pEingabe;
        const char* pAusgabe;
        int nZeile;
    } faelle[] = {
        {{}, StdinArt::Pipe, "a", "a\n", __LINE__},
        {{}, StdinArt::Pipe, "a\n", "a\n", __LINE__},
        {{}, StdinArt::Pipe, "a\r", "a\r\n", __LINE__},
        {{}, StdinArt::Pipe, "", "", __LINE__},                         // empty: nothing added
        {{}, StdinArt::Datei, "a", "a", __LINE__},                      // a regular file
        {{"-f"}, StdinArt::Pipe, "a", "a\n", __LINE__},                 // -f alone: standard input
        {{"-f", ""}, StdinArt::Pipe, "a", "a\n", __LINE__},             // an empty name: the same
        {{"-f", "/dev/stdin"}, StdinArt::Pipe, "a", "a", __LINE__},     // named with -f
        {{"-f", strDatei}, StdinArt::Pipe, "", "a", __LINE__},
        {{"-s", "b"}, StdinArt::Pipe, "<b>x\ny</b>", "<b>x\ny</b>\r\n", __LINE__},  // listing keeps inner LF
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.nZeile);
        if (MitAusfuehrer() && f.args.size() == 2 && f.args[1] == "/dev/stdin") continue;  // POSIX only
        const ProzessErgebnis erg = StarteBrixfilter(f.args, f.pEingabe, f.art);
        EXPECT_EQ(erg.status, 0) << erg.err;
        EXPECT_EQ(Zeige(erg.out), Zeige(f.pAusgabe));
    }
    // A FIFO named with -f (POSIX only); the writer leaves the test's pipes alone, so a reader
    // that never comes cannot hold the test up.
    if (MitAusfuehrer()) {
        EntferneVerzeichnis(strOrdner);
        return;
    }
    const ProzessErgebnis erg =
        Befehl("(exec >/dev/null 2>&1; printf a > '" + strFifo + "') & brixfilter -f '" + strFifo + "'");
    EXPECT_EQ(erg.status, 0) << erg.err;
    EXPECT_EQ(Zeige(erg.out), Zeige("a"));
    EntferneVerzeichnis(strOrdner);
}

TEST(Dokumentation, SLaesstDieStreckeEinesFehlersAus)
{
    // -S keeps the text before a fault, leaves out the stretch up to where its walk goes on, and
    // goes on there; how long the stretch is, by the kind of fault. Standard input is a regular
    // file, so the bytes stay exactly as given.
    const std::string lang(200, 'x');
    const struct {
        std::string eingabe;
        std::string ausgabe;
        int nZeile;
    } faelle[] = {
        {"x<book>1</book>y<book/>z", "z", __LINE__},                 // no fault: behind the last
        {"x<b>1</b>y", "x<b>1</b>y", __LINE__},                      // none of that name: all
        {"vor</q>nach", "vor>nach", __LINE__},                       // stray end tag: all but its '>'
        {"<book>x", ">x", __LINE__},                                 // end missing: up to the first '>'
        {"a<c x=\"1>2\" y>b", "a>2\" y>b", __LINE__},                // ... even one inside quotes
        {"a<c><d>1</d>x", "a><d>1</d>x", __LINE__},                  // ... the elements inside stay
        {"x<a>y</b>z", "x>z", __LINE__},                             // crossed: up to that tag's '>'
        {"<book>1</book>a<r><book>x</r>b", "a>b", __LINE__},
        {"a<!--" + lang, "a" + lang.substr(96), __LINE__},           // comment left open: 100 bytes
        {"a<?pi" + lang, "a" + lang.substr(96), __LINE__},           // processing instruction
        {"a<!DOC" + lang, "a" + lang.substr(95), __LINE__},          // declaration
        {"a<!-- x", "ax", __LINE__},                                 // ... never the last byte
        {"a<x y", "a", __LINE__},                                    // a start tag without '>': the rest
        {"a</q", "a", __LINE__},                                     // an end tag without '>'
        {"<book>1</book>a</q>b<book>2</book>c", "ac", __LINE__},     // the text before a fault stays,
                                                                     // also before a later book
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.nZeile);
        const ProzessErgebnis erg = StarteBrixfilter({"-S", "book"}, f.eingabe, StdinArt::Datei);
        EXPECT_EQ(erg.status, 0) << erg.err;
        EXPECT_EQ(Zeige(erg.out), Zeige(f.ausgabe));
    }
}

TEST(Dokumentation, Status1WennDieArgumenteNichtInDenSpeicherPassen)
{
    // Status 1 and its line, when the arguments cannot be copied: the address space is raised
    // step by step from where the program cannot even be loaded until it runs; on the way, some
    // limit leaves room to load it but not to copy its 1.4 MB of arguments.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a sanitized binary cannot start with a small address space";
#endif
    NUR_OHNE_AUSFUEHRER("the address-space limit of a POSIX process");
    const std::vector<std::string> args(12, "-Ra=" + std::string(120'000, 'x'));
    bool bStatus1 = false;
    bool bLaeuft = false;
    for (std::int64_t nGrenze = 2 << 20; nGrenze < (64 << 20) && !bLaeuft; nGrenze += 64 << 10) {
        ProzessOptionen optionen;
        optionen.stdinArt = StdinArt::DevNull;
        optionen.nAdressraum = nGrenze;
        const ProzessErgebnis erg = StarteProzess(args, "", optionen);
        bLaeuft = erg.status == 0;
        if (erg.status == 1) {
            SCOPED_TRACE(nGrenze);
            bStatus1 = true;
            EXPECT_EQ(erg.err, "Fatal Error: MFC initialization failed\n");
            EXPECT_EQ(erg.out, "");
        }
    }
    EXPECT_TRUE(bLaeuft);
    EXPECT_TRUE(bStatus1);
}

}  // namespace
