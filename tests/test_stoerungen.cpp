// I/O faults made to happen on purpose: the built binary runs with a preload shim that makes
// reads, writes and opens fail (tests/stoerung/Stoerung.cpp). Interrupted calls and short
// transfers must not lose a byte; real failures give status 2, a message naming the file, and
// nothing on standard output when reading failed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/Prozess.h"

namespace {

// A document large enough to need several reads and writes (more than one 1 MiB request).
std::string GrossesDokument(std::size_t nGroesse)
{
    std::string s;
    const std::string satz = "<book id=\"1\"><title>Grüße</title><!-- c --></book>\n";
    while (s.size() < nGroesse) s += satz;
    return s;
}

// Sets the fault variables and the preload for the children started while it lives.
class Stoerung {
public:
    Stoerung(const char* pLesen, const char* pSchreiben, const char* pOeffnen)
    {
        Setze("BRIX_STOERUNG_READ", pLesen);
        Setze("BRIX_STOERUNG_WRITE", pSchreiben);
        Setze("BRIX_STOERUNG_OPEN", pOeffnen);
        setenv("LD_PRELOAD", BRIX_STOERUNG_LIB, 1);
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
    }
    ~Stoerung()
    {
        for (const char* p : {"BRIX_STOERUNG_READ", "BRIX_STOERUNG_WRITE", "BRIX_STOERUNG_OPEN", "LD_PRELOAD"})
            unsetenv(p);
    }

private:
    static void Setze(const char* pName, const char* pWert)
    {
        if (pWert && *pWert) setenv(pName, pWert, 1); else unsetenv(pName);
    }
};

class StoerungTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strVerzeichnis = NeuesTempVerzeichnis();
        m_strDatei = m_strVerzeichnis + "/eingabe.xml";
    }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }
    std::string m_strVerzeichnis;
    std::string m_strDatei;
};

struct Fall {
    const char* pName;
    const char* pLesen;
    const char* pSchreiben;
    const char* pOeffnen;
    bool bAusDatei;         // -f file, else standard input
    StdinArt stdinArt;      // for standard input
    std::size_t nGroesse;
    int nStatus;
    bool bAusgabeGanz;      // stdout holds the whole input (else: empty)
    const char* pMeldung;   // text that stderr must hold (null: stderr empty)
};

const Fall kFaelle[] = {
    // Interrupted and short transfers are retried: nothing is lost.
    {"lesen_eintr_datei", "eintr", "", "", true, StdinArt::Pipe, 3'000'000, 0, true, nullptr},
    {"lesen_eintr_pipe", "eintr", "", "", false, StdinArt::Pipe, 300'000, 0, true, nullptr},
    {"lesen_kurz_datei", "kurz", "", "", true, StdinArt::Pipe, 200'000, 0, true, nullptr},
    {"lesen_kurz_umgeleitet", "kurz", "", "", false, StdinArt::Datei, 200'000, 0, true, nullptr},
    {"schreiben_eintr", "", "eintr", "", true, StdinArt::Pipe, 3'000'000, 0, true, nullptr},
    {"schreiben_kurz", "", "kurz", "", true, StdinArt::Pipe, 200'000, 0, true, nullptr},
    // Real failures: status 2, a message naming the file.
    {"lesen_eio_datei", "eio", "", "", true, StdinArt::Pipe, 3'000'000, 2, false, "eingabe.xml"},
    {"lesen_eio_stdin", "eio0", "", "", false, StdinArt::Pipe, 1000, 2, false, "Standardeingabe"},
    {"lesen_eio_stdin_umgeleitet", "eio0", "", "", false, StdinArt::Datei, 1000, 2, false, "Standardeingabe"},
    {"datei_schrumpft", "schrumpf", "", "", true, StdinArt::Pipe, 100'000, 2, false, "eingabe.xml"},
    {"oeffnen_verweigert", "", "", "eacces", true, StdinArt::Pipe, 1000, 2, false, "eingabe.xml"},
    {"schreiben_enospc", "", "enospc", "", true, StdinArt::Pipe, 1000, 2, false, "Standardausgabe"},
};

TEST_F(StoerungTest, EinUndAusgabeFehler)
{
    for (const Fall& fall : kFaelle) {
        SCOPED_TRACE(fall.pName);
        const std::string dokument = GrossesDokument(fall.nGroesse);
        ASSERT_TRUE(SchreibeDatei(m_strDatei, dokument));
        ProzessErgebnis erg;
        {
            Stoerung stoerung(fall.pLesen, fall.pSchreiben, fall.pOeffnen);
            erg = fall.bAusDatei ? StarteBrixfilter({"-f", m_strDatei}) : StarteBrixfilter({}, dokument, fall.stdinArt);
        }
        EXPECT_EQ(erg.status, fall.nStatus);
        if (fall.bAusgabeGanz)
            EXPECT_TRUE(erg.out == dokument) << "Ausgabe hat " << erg.out.size() << " statt " << dokument.size() << " Bytes";
        else
            EXPECT_EQ(erg.out, "");
        if (fall.pMeldung) {
            EXPECT_EQ(erg.err.rfind("brixfilter: ", 0), 0u) << erg.err;
            EXPECT_NE(erg.err.find(fall.pMeldung), std::string::npos) << erg.err;
        } else {
            EXPECT_EQ(erg.err, "");
        }
    }
}

// Without the shim: what the system itself refuses.
TEST_F(StoerungTest, UnlesbareEingabenUndVolleAusgabe)
{
    ASSERT_TRUE(SchreibeDatei(m_strDatei, "<a>x</a>\n"));
    struct Lauf {
        const char* pName;
        std::vector<std::string> args;
        StdoutArt stdoutArt;
        const char* pMeldung;
    };
    const Lauf laeufe[] = {
        {"fehlt", {"-f", m_strVerzeichnis + "/fehlt.xml"}, StdoutArt::Pipe, "fehlt.xml"},
        {"verzeichnis", {"-f", m_strVerzeichnis}, StdoutArt::Pipe, m_strVerzeichnis.c_str()},
        {"verzeichnis_dann_keine_option", {"-f", m_strVerzeichnis, "-x"}, StdoutArt::Pipe, m_strVerzeichnis.c_str()},
        {"dev_full", {"-f", m_strDatei}, StdoutArt::DevFull, "Standardausgabe"},
        {"stdout_geschlossen", {"-f", m_strDatei}, StdoutArt::Geschlossen, "Standardausgabe"},
    };
    for (const Lauf& lauf : laeufe) {
        SCOPED_TRACE(lauf.pName);
        ProzessOptionen optionen;
        optionen.stdoutArt = lauf.stdoutArt;
        const ProzessErgebnis erg = StarteProzess(lauf.args, "", optionen);
        EXPECT_EQ(erg.status, 2);
        EXPECT_EQ(erg.out, "");
        EXPECT_EQ(erg.err.rfind("brixfilter: ", 0), 0u) << erg.err;
        EXPECT_NE(erg.err.find(lauf.pMeldung), std::string::npos) << erg.err;
    }
}

// A reader that went away ends the program quietly: by SIGPIPE as usual, or, when the parent
// ignores SIGPIPE, with status 2 and no message.
TEST_F(StoerungTest, GeschlossenePipeEndetLeise)
{
    ASSERT_TRUE(SchreibeDatei(m_strDatei, GrossesDokument(3'000'000)));
    ProzessOptionen optionen;
    optionen.stdoutArt = StdoutArt::PipeOhneLeser;
    ProzessErgebnis erg = StarteProzess({"-f", m_strDatei}, "", optionen);
    EXPECT_EQ(erg.status, 128 + 13);
    EXPECT_EQ(erg.err, "");
    optionen.bSigpipeIgnorieren = true;
    erg = StarteProzess({"-f", m_strDatei}, "", optionen);
    EXPECT_EQ(erg.status, 2);
    EXPECT_EQ(erg.err, "");
}

}  // namespace
