// The tool as users meet it: --help and --version, the option list kept in step with the man
// page, the help text and the completion, and installing (DESTDIR and the Debian package).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Treiber.h"
#include "platform/Datei.h"
#include "support/Prozess.h"

namespace {

std::string LiesText(const std::string& strPfad)
{
    std::ifstream ein(strPfad, std::ios::binary);
    std::stringstream s;
    s << ein.rdbuf();
    return s.str();
}

// The man page's text with groff's escaped hyphens ("\-") turned into plain ones.
std::string ManSeite()
{
    std::string s = LiesText(std::string(BRIX_SOURCE_DIR) + "/doc/brixfilter.1");
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
    const std::string vervollstaendigung = LiesText(std::string(BRIX_SOURCE_DIR) + "/completion/brixfilter.bash");
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

class Installation : public ::testing::Test {
protected:
    void SetUp() override { m_strZiel = NeuesTempVerzeichnis(); }
    void TearDown() override { EntferneVerzeichnis(m_strZiel); }
    std::string m_strZiel;
};

TEST_F(Installation, NachDestdirMitManSeiteUndVervollstaendigung)
{
    int nStatus = -1;
    const std::string log = Shell("DESTDIR='" + m_strZiel + "' '" BRIX_CMAKE "' --install '" BRIX_BUILD_DIR
                                  "' --prefix /usr 2>&1",
                                  &nStatus);
    ASSERT_EQ(nStatus, 0) << log;
    for (const char* pDatei : {"/usr/bin/brixfilter", "/usr/share/man/man1/brixfilter.1",
                               "/usr/share/bash-completion/completions/brixfilter"}) {
        EXPECT_EQ(access((m_strZiel + pDatei).c_str(), R_OK), 0) << pDatei;
    }
    ProzessOptionen optionen;
    optionen.programm = m_strZiel + "/usr/bin/brixfilter";
    const ProzessErgebnis erg = StarteProzess({"-t"}, "<a>x</a>", optionen);
    EXPECT_EQ(erg.status, 0);
    EXPECT_EQ(erg.out, "x\n");
}

TEST_F(Installation, DebianPaket)
{
    int nStatus = -1;
    const std::string log =
        Shell("cd '" + m_strZiel + "' && '" BRIX_CPACK "' -G DEB --config '" BRIX_BUILD_DIR "/CPackConfig.cmake' 2>&1",
              &nStatus);
    ASSERT_EQ(nStatus, 0) << log;
    const std::string inhalt = Shell("dpkg-deb -c \"$(ls '" + m_strZiel + "'/brixfilter_*.deb)\"", &nStatus);
    ASSERT_EQ(nStatus, 0) << inhalt;
    EXPECT_NE(inhalt.find("./usr/bin/brixfilter"), std::string::npos) << inhalt;
    EXPECT_NE(inhalt.find("man1/brixfilter.1"), std::string::npos) << inhalt;
}

}  // namespace
