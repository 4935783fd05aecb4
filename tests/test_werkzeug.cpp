// The tool as users meet it: --help and --version, the option list kept in step with the man
// page, the help text and the completion, and installing (DESTDIR and the Debian package: what
// it holds, the program stripped, the man page compressed, the license).
// The package tests need cpack and dpkg-deb (Debian's dpkg) and gzip; they package the build
// folder's own program, which takes about a second.
#include <gtest/gtest.h>

#include <elf.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Treiber.h"
#include "platform/Datei.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

// The man page's text with groff's escaped hyphens ("\-") turned into plain ones.
std::string ManSeite()
{
    std::string s = LiesAlles(std::string(BRIX_SOURCE_DIR) + "/doc/brixfilter.1");
    std::string ergebnis;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '-') continue;
        ergebnis += s[i];
    }
    return ergebnis;
}

std::string Shell(const std::string& strBefehl, int* pnStatus = nullptr)
{
    const ProzessErgebnis erg = [&] {
        ProzessOptionen o;
        o.programm = "/bin/sh";
        return StarteProzess({"-c", strBefehl}, "", o);
    }();
    if (pnStatus) *pnStatus = erg.status;
    return erg.out + erg.err;
}

TEST(Werkzeug, JedeOptionStehtInManSeiteHilfeUndVervollstaendigung)
{
    const std::string man = ManSeite();
    const std::string hilfe = HilfeText();
    const std::string vervollstaendigung = LiesAlles(std::string(BRIX_SOURCE_DIR) + "/completion/brixfilter.bash");
    ASSERT_GT(man.size(), 1000u);
    for (std::size_t i = 0; i < kAnzahlOptionen; ++i) {
        const std::string option(kOptionen[i].text);
        SCOPED_TRACE(option);
        EXPECT_NE(man.find(option), std::string::npos);
        EXPECT_NE(hilfe.find(option), std::string::npos);
        EXPECT_NE(vervollstaendigung.find(" " + option + " "), std::string::npos);
    }
    EXPECT_NE(man.find("EXIT STATUS"), std::string::npos);
}

TEST(Werkzeug, HilfeUndVersion)
{
    struct Fall {
        std::vector<std::string> args;
        StdinArt stdinArt;
        int nStatus;
        const char* pAusgabeBeginn;  // what stdout starts with
    };
    const Fall faelle[] = {
        {{"--help"}, StdinArt::Geschlossen, 0, "Aufruf: brixfilter [-f DATEI] OPTION ...\n"},  // no input read
        {{"--version"}, StdinArt::Geschlossen, 0, "brixfilter "},
        {{"-c", "-d", "--help"}, StdinArt::Geschlossen, 0, "Aufruf: "},     // behind other options
        {{"-s", "--help"}, StdinArt::Pipe, 0, ""},                          // a name list, not help
        {{"-S", "--version"}, StdinArt::Pipe, 0, "<a/>"},                     // a name, not version
        {{"-x", "--help"}, StdinArt::Pipe, 255, ""},                        // the first stranger wins
        {{"--helpx"}, StdinArt::Pipe, 255, ""},
        {{"--HELP"}, StdinArt::Pipe, 255, ""},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.args.back());
        const ProzessErgebnis erg = StarteBrixfilter(fall.args, "<a/>", fall.stdinArt);
        EXPECT_EQ(erg.status, fall.nStatus) << erg.err;
        EXPECT_EQ(erg.out.rfind(fall.pAusgabeBeginn, 0), 0u) << erg.out;
    }
    const ProzessErgebnis version = StarteBrixfilter({"--version"});
    EXPECT_EQ(version.out, "brixfilter " BRIX_VERSION_TEXT "\n");
}

// The text with every run of white space made one space.
std::string Einzeilig(const std::string& s)
{
    std::string ergebnis;
    for (const char c : s) {
        const bool bLeer = c == ' ' || c == '\n' || c == '\t';
        if (!bLeer) ergebnis += c;
        else if (!ergebnis.empty() && ergebnis.back() != ' ') ergebnis += ' ';
    }
    return ergebnis;
}

TEST(Werkzeug, HilfeNenntJedenRueckgabewert)
{
    const ProzessErgebnis erg = StarteBrixfilter({"--help"}, "", StdinArt::Geschlossen);
    EXPECT_EQ(erg.out, HilfeText());
    const std::string hilfe = Einzeilig(HilfeText());
    for (const char* pWert : {"0 Erfolg;", "1 Startfehler (kein Speicher);",
                              "2 Eingabe nicht lesbar, Ausgabe nicht schreibbar oder nicht genug Speicher;",
                              "255 unbekannte Option"}) {
        EXPECT_NE(hilfe.find(pWert), std::string::npos) << pWert;
    }
}

TEST(Werkzeug, ManSeiteNenntDieRueckgabewerteDerHilfe)
{
    // The man page's EXIT STATUS tells what --help tells: status 2 also when memory ran out;
    // there is no length limit.
    const std::string man = ManSeite();
    const std::size_t nAbschnitt = man.find(".SH EXIT STATUS");
    ASSERT_NE(nAbschnitt, std::string::npos);
    const std::size_t nZwei = man.find(".B 2\n", nAbschnitt);
    ASSERT_NE(nZwei, std::string::npos);
    const std::string zwei = man.substr(nZwei, man.find(".TP", nZwei) - nZwei);
    EXPECT_NE(zwei.find("memory"), std::string::npos) << zwei;
    EXPECT_EQ(zwei.find("length limit"), std::string::npos) << zwei;
}

// The option a spelling in a help or man line names: "--" and its word, or "-" and one letter.
std::string Schreibweise(const std::string& token)
{
    if (token.rfind("--", 0) != 0) return token.substr(0, 2);
    return token.substr(0, token.find_first_not_of("-abcdefghijklmnopqrstuvwxyz", 2));
}

TEST(Werkzeug, HilfeIstEinBlockInDerOrdnungDerManSeite)
{
    // Every line of --help fits 80 columns and holds no TAB. Each option line starts with its
    // spellings (short and long together); every spelling the driver knows stands in exactly one
    // of them, with a value where it takes one; and the lines come in the order of the man page.
    std::vector<std::vector<std::string>> eintraege;  // the spellings of each option line
    std::istringstream hilfe(HilfeText());
    for (std::string zeile; std::getline(hilfe, zeile);) {
        SCOPED_TRACE(zeile);
        std::size_t nSpalten = 0;
        for (const char c : zeile) nSpalten += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        EXPECT_LE(nSpalten, 80u);
        EXPECT_EQ(zeile.find('\t'), std::string::npos);
        if (zeile.rfind("  -", 0) != 0 && zeile.rfind("      --", 0) != 0) continue;
        std::string spalte = zeile.substr(zeile.find('-'));
        spalte = spalte.substr(0, spalte.find("  "));
        eintraege.emplace_back();
        for (std::size_t i = 0; i < spalte.size();) {
            const std::size_t nEnde = std::min(spalte.find(", ", i), spalte.size());
            eintraege.back().push_back(spalte.substr(i, nEnde - i));
            i = nEnde + 2;
        }
    }
    for (std::size_t k = 0; k < kAnzahlOptionen; ++k) {
        const std::string option(kOptionen[k].text);
        SCOPED_TRACE(option);
        int nEintraege = 0;
        for (const auto& eintrag : eintraege) {
            bool bDrin = false;
            for (const std::string& token : eintrag)
                bDrin |= Schreibweise(token) == option && (token.size() > option.size()) == kOptionen[k].bPraefix;
            nEintraege += bDrin;
        }
        EXPECT_EQ(nEintraege, 1);
    }
    // The man page's option headlines (.TP and .TQ) in OPTIONS, by their first spelling.
    const std::string man = ManSeite();
    std::istringstream optionen(man.substr(man.find(".SH OPTIONS"), man.find(".SH LISTING") - man.find(".SH OPTIONS")));
    std::vector<std::string> reihe, hilfeReihe;
    bool bKopf = false;
    for (std::string zeile; std::getline(optionen, zeile);) {
        if (bKopf) reihe.push_back(Schreibweise(zeile.substr(zeile.find('-'))));
        bKopf = zeile == ".TP" || zeile == ".TQ";
    }
    for (const auto& eintrag : eintraege) hilfeReihe.push_back(Schreibweise(eintrag.front()));
    EXPECT_EQ(hilfeReihe, reihe);
}

TEST(Werkzeug, HilfeAufVolleAusgabeScheitert)
{
    for (const char* pOption : {"--help", "--version"}) {
        ProzessOptionen optionen;
        optionen.stdoutArt = StdoutArt::DevFull;
        const ProzessErgebnis erg = StarteProzess({pOption}, "", optionen);
        EXPECT_EQ(erg.status, 2) << pOption;
        EXPECT_EQ(erg.err.rfind("brixfilter: ", 0), 0u) << erg.err;
    }
}

TEST(Werkzeug, VervollstaendigungSchlaegtOptionenVor)
{
    const std::string skript = std::string(BRIX_SOURCE_DIR) + "/completion/brixfilter.bash";
    int nStatus = -1;
    const std::string s = Shell("bash -c 'source \"" + skript +
                                    "\"; COMP_WORDS=(brixfilter --str); COMP_CWORD=1; _brixfilter; "
                                    "printf \"%s\\n\" \"${COMPREPLY[@]}\"'",
                                &nStatus);
    EXPECT_EQ(nStatus, 0);
    EXPECT_EQ(s, "--strip-xml-comments\n--strip-xml-tags\n");
}

TEST(Werkzeug, VervollstaendigungHaengtOrdnerAnF)
{
    // A folder glued to -f gets its slash (and no blank), as behind "-f "; a file stays as it is.
    const std::string strOrdner = NeuesTempVerzeichnis();
    ASSERT_EQ(mkdir((strOrdner + "/examples").c_str(), 0700), 0);
    SchreibeDatei(strOrdner + "/exakt.xml", "");
    SchreibeDatei(strOrdner + "/katalog.xml", "");
    const std::string skript = std::string(BRIX_SOURCE_DIR) + "/completion/brixfilter.bash";
    const struct {
        const char* pWort;
        const char* pVorschlaege;
    } faelle[] = {
        {"-fexa", "-fexakt.xml\n-fexamples/\n"},
        {"-fexam", "-fexamples/\n"},
        {"-fkat", "-fkatalog.xml\n"},
        {"-fnix", "\n"},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.pWort);
        int nStatus = -1;
        const std::string s = Shell("cd \"" + strOrdner + "\" && bash -c 'source \"" + skript +
                                        "\"; COMP_WORDS=(brixfilter " + f.pWort + "); COMP_CWORD=1; _brixfilter; "
                                        "printf \"%s\\n\" \"${COMPREPLY[@]}\" | sort'",
                                    &nStatus);
        EXPECT_EQ(nStatus, 0);
        EXPECT_EQ(s, f.pVorschlaege);
    }
    EntferneVerzeichnis(strOrdner);
}

// What an ELF file says about its sections: whether it has a symbol table (.symtab) or debug
// information (.debug_*), which strip removes. bGueltig is false when it is no 64-bit ELF file
// whose section headers lie within it.
struct ElfAbschnitte {
    bool bGueltig = false;
    bool bSymboltabelle = false;
    bool bDebug = false;
};

ElfAbschnitte LiesElfAbschnitte(const std::string& strPfad)
{
    ElfAbschnitte ergebnis;
    const std::string bytes = LiesAlles(strPfad);
    Elf64_Ehdr kopf;
    if (bytes.size() < sizeof kopf || bytes.compare(0, SELFMAG, ELFMAG) != 0 || bytes[EI_CLASS] != ELFCLASS64)
        return ergebnis;
    std::memcpy(&kopf, bytes.data(), sizeof kopf);
    if (kopf.e_shentsize != sizeof(Elf64_Shdr) || kopf.e_shstrndx >= kopf.e_shnum ||
        kopf.e_shoff > bytes.size() || (bytes.size() - kopf.e_shoff) / sizeof(Elf64_Shdr) < kopf.e_shnum)
        return ergebnis;
    const auto abschnitt = [&](std::size_t i) {
        Elf64_Shdr a;
        std::memcpy(&a, bytes.data() + kopf.e_shoff + i * sizeof a, sizeof a);
        return a;
    };
    const Elf64_Shdr namen = abschnitt(kopf.e_shstrndx);
    if (namen.sh_offset > bytes.size() || bytes.size() - namen.sh_offset < namen.sh_size) return ergebnis;
    const std::string tabelle = bytes.substr(namen.sh_offset, namen.sh_size);
    for (std::size_t i = 0; i < kopf.e_shnum; ++i) {
        const Elf64_Shdr a = abschnitt(i);
        if (a.sh_type == SHT_SYMTAB) ergebnis.bSymboltabelle = true;
        if (a.sh_name < tabelle.size() && tabelle.compare(a.sh_name, 7, ".debug_") == 0) ergebnis.bDebug = true;
    }
    ergebnis.bGueltig = true;
    return ergebnis;
}

class Installation : public ::testing::Test {
protected:
    void SetUp() override { m_strZiel = NeuesTempVerzeichnis(); }
    void TearDown() override { EntferneVerzeichnis(m_strZiel); }

    // The installed program filters.
    static void PruefeProgramm(const std::string& strProgramm)
    {
        ProzessOptionen optionen;
        optionen.programm = strProgramm;
        const ProzessErgebnis erg = StarteProzess({"-t"}, "<a>x</a>", optionen);
        EXPECT_EQ(erg.status, 0) << erg.err;
        EXPECT_EQ(erg.out, "x\n");
    }

    // The man page below the prefix: gzip (magic 1F 8B) made with -n (no name, no time), that
    // unpacks to doc/brixfilter.1, with no uncompressed page beside it.
    static void PruefeManSeite(const std::string& strPrefix)
    {
        const std::string strGz = strPrefix + "/share/man/man1/brixfilter.1.gz";
        const std::string gz = LiesAlles(strGz);
        ASSERT_GE(gz.size(), 10u) << strGz;
        EXPECT_EQ(gz.substr(0, 2), "\x1F\x8B");
        EXPECT_EQ(gz[3] & 0x08, 0) << "a file name in the gzip header";
        EXPECT_EQ(gz.substr(4, 4), std::string(4, '\0')) << "a time in the gzip header";
        int nStatus = -1;
        const std::string entpackt = Shell("gzip -dc '" + strGz + "'", &nStatus);
        EXPECT_EQ(nStatus, 0);
        EXPECT_TRUE(entpackt == LiesAlles(std::string(BRIX_SOURCE_DIR) + "/doc/brixfilter.1"))
            << entpackt.substr(0, 200);
        EXPECT_NE(access((strPrefix + "/share/man/man1/brixfilter.1").c_str(), F_OK), 0);
    }

    // The Debian copyright file: the machine-readable format, the MIT license of LICENSE.
    static void PruefeCopyright(const std::string& strPrefix)
    {
        const std::string copyright = LiesAlles(strPrefix + "/share/doc/brixfilter/copyright");
        ASSERT_FALSE(copyright.empty());
        EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0), 0u);
        EXPECT_NE(copyright.find("\nCopyright: 2026 the brixfilter developers\n"), std::string::npos) << copyright;
        EXPECT_NE(copyright.find("\nLicense: Expat\n MIT License\n .\n Copyright (c) 2026 the brixfilter developers\n"),
                  std::string::npos)
            << copyright;
        EXPECT_NE(copyright.find("The MIT license"), std::string::npos) << copyright;
        // Every line of LICENSE stands in it, indented by one blank (an empty one as " .").
        std::istringstream lizenz(LiesAlles(std::string(BRIX_SOURCE_DIR) + "/LICENSE"));
        std::size_t nZeilen = 0;
        for (std::string zeile; std::getline(lizenz, zeile); ++nZeilen) {
            EXPECT_NE(copyright.find("\n " + (zeile.empty() ? std::string(".") : zeile) + "\n"), std::string::npos) << zeile;
        }
        EXPECT_GE(nZeilen, 20u);
    }

    std::string m_strZiel;
};

TEST_F(Installation, NachDestdir)
{
    // Without --strip the program keeps its symbols (the build has them, a check that the test
    // sees them); with it they are gone. Both install the program, the compressed man page, the
    // completion and the copyright file.
    for (const bool bStrip : {false, true}) {
        SCOPED_TRACE(bStrip ? "--strip" : "");
        const std::string strZiel = m_strZiel + (bStrip ? "/mit" : "/ohne");
        int nStatus = -1;
        const std::string log = Shell("DESTDIR='" + strZiel + "' '" BRIX_CMAKE "' --install '" BRIX_BUILD_DIR
                                      "' --prefix /usr" + (bStrip ? " --strip" : "") + " 2>&1",
                                      &nStatus);
        ASSERT_EQ(nStatus, 0) << log;
        for (const char* pDatei : {"/usr/bin/brixfilter", "/usr/share/bash-completion/completions/brixfilter"}) {
            EXPECT_EQ(access((strZiel + pDatei).c_str(), R_OK), 0) << pDatei;
        }
        PruefeManSeite(strZiel + "/usr");
        PruefeCopyright(strZiel + "/usr");
        const ElfAbschnitte elf = LiesElfAbschnitte(strZiel + "/usr/bin/brixfilter");
        EXPECT_TRUE(elf.bGueltig);
        EXPECT_EQ(elf.bSymboltabelle, !bStrip);
        if (bStrip) {
            EXPECT_FALSE(elf.bDebug);
        }
        PruefeProgramm(strZiel + "/usr/bin/brixfilter");
    }
}

TEST_F(Installation, DebianPaket)
{
    // The package of the build folder (whatever its build type): the program stripped, the man
    // page compressed, the copyright file; nothing else but the completion.
    int nStatus = -1;
    const std::string log =
        Shell("cd '" + m_strZiel + "' && '" BRIX_CPACK "' -G DEB --config '" BRIX_BUILD_DIR "/CPackConfig.cmake' 2>&1",
              &nStatus);
    ASSERT_EQ(nStatus, 0) << log;
    const std::string strPaket = m_strZiel + "/brixfilter_" BRIX_VERSION_TEXT "_amd64.deb";
    const std::string inhalt = Shell("dpkg-deb -c '" + strPaket + "' | awk '$1 !~ /^d/ {print $6}' | sort", &nStatus);
    ASSERT_EQ(nStatus, 0) << inhalt;
    EXPECT_EQ(inhalt,
              "./usr/bin/brixfilter\n"
              "./usr/share/bash-completion/completions/brixfilter\n"
              "./usr/share/doc/brixfilter/copyright\n"
              "./usr/share/man/man1/brixfilter.1.gz\n");

    const std::string strEntpackt = m_strZiel + "/entpackt";
    const std::string ausgabe = Shell("dpkg-deb -x '" + strPaket + "' '" + strEntpackt + "' 2>&1", &nStatus);
    ASSERT_EQ(nStatus, 0) << ausgabe;
    const ElfAbschnitte gebaut = LiesElfAbschnitte(BRIXFILTER_BIN);
    ASSERT_TRUE(gebaut.bGueltig);
    EXPECT_TRUE(gebaut.bSymboltabelle);  // the test sees a symbol table where there is one
    const ElfAbschnitte elf = LiesElfAbschnitte(strEntpackt + "/usr/bin/brixfilter");
    EXPECT_TRUE(elf.bGueltig);
    EXPECT_FALSE(elf.bSymboltabelle);
    EXPECT_FALSE(elf.bDebug);
    PruefeProgramm(strEntpackt + "/usr/bin/brixfilter");
    PruefeManSeite(strEntpackt + "/usr");
    PruefeCopyright(strEntpackt + "/usr");
}

}  // namespace
