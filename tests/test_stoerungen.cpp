// I/O faults made to happen on purpose: the built binary runs with a preload shim that makes
// reads, writes, opens and the mapping of files fail (tests/stoerung/Stoerung.cpp). A regular
// file is mapped, not read, so the read faults are made on a FIFO and a pipe, and on a regular
// file whose mapping failed (it is then read whole). Interrupted calls and short transfers must
// not lose a byte; real failures give status 2, a message naming the file, and nothing on
// standard output when reading failed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/Bruecke.h"
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
    Stoerung(const char* pLesen, const char* pSchreiben, const char* pOeffnen, const char* pAbbilden)
    {
        Setze("BRIX_STOERUNG_READ", pLesen);
        Setze("BRIX_STOERUNG_WRITE", pSchreiben);
        Setze("BRIX_STOERUNG_OPEN", pOeffnen);
        Setze("BRIX_STOERUNG_MMAP", pAbbilden);
        // Without a fault to make, the program runs as it is (a runner could not carry the shim).
        for (const char* p : {pLesen, pSchreiben, pOeffnen, pAbbilden})
            if (p && *p) {
                setenv("LD_PRELOAD", BRIX_STOERUNG_LIB, 1);
                setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
            }
    }
    ~Stoerung()
    {
        for (const char* p : {"BRIX_STOERUNG_READ", "BRIX_STOERUNG_WRITE", "BRIX_STOERUNG_OPEN", "BRIX_STOERUNG_MMAP",
                              "LD_PRELOAD"})
            unsetenv(p);
    }

private:
    static void Setze(const char* pName, const char* pWert)
    {
        if (pWert && *pWert) setenv(pName, pWert, 1); else unsetenv(pName);
    }
};

// Feeds bytes into a FIFO from a thread once a reader has opened it; gives up quietly when the
// reader goes away or none comes before the object ends.
class FifoSchreiber {
public:
    FifoSchreiber(std::string strPfad, std::string bytes) : m_strPfad(std::move(strPfad)), m_bytes(std::move(bytes))
    {
        signal(SIGPIPE, SIG_IGN);
        m_faden = std::thread([this] { Laufe(); });
    }
    ~FifoSchreiber()
    {
        m_bHalt = true;
        m_faden.join();
    }

private:
    void Laufe()
    {
        int fd = -1;
        while (!m_bHalt) {
            fd = open(m_strPfad.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) break;
            usleep(1000);  // no reader yet (ENXIO)
        }
        std::size_t n = 0;
        while (fd >= 0 && n < m_bytes.size() && !m_bHalt) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const ssize_t w = write(fd, m_bytes.data() + n, m_bytes.size() - n);
            if (w > 0) n += static_cast<std::size_t>(w);
            else if (errno != EAGAIN && errno != EINTR) break;  // the reader went away
        }
        if (fd >= 0) close(fd);
    }

    std::string m_strPfad;
    std::string m_bytes;
    std::atomic<bool> m_bHalt{false};
    std::thread m_faden;
};

// Where the document comes from.
enum class Quelle {
    Datei,       // -f on a regular file
    Fifo,        // -f on a FIFO: read with read()
    StdinPipe,   // standard input a pipe
    StdinDatei,  // standard input redirected from a regular file
};

class StoerungTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strVerzeichnis = NeuesTempVerzeichnis();
        m_strDatei = m_strVerzeichnis + "/eingabe.xml";
        m_strFifo = m_strVerzeichnis + "/fifo.xml";
        ASSERT_EQ(mkfifo(m_strFifo.c_str(), 0600), 0);
    }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }

    // Runs brixfilter on the document from the given source, with the faults set.
    ProzessErgebnis Lauf(Quelle quelle, const std::string& dokument, const Stoerung&)
    {
        switch (quelle) {
        case Quelle::Datei:
            EXPECT_TRUE(SchreibeDatei(m_strDatei, dokument));
            return StarteBrixfilter({"-f", m_strDatei});
        case Quelle::Fifo: {
            FifoSchreiber schreiber(m_strFifo, dokument);
            return StarteBrixfilter({"-f", m_strFifo});
        }
        case Quelle::StdinPipe: return StarteBrixfilter({}, dokument, StdinArt::Pipe);
        case Quelle::StdinDatei: return StarteBrixfilter({}, dokument, StdinArt::Datei);
        }
        return {};
    }

    std::string m_strVerzeichnis;
    std::string m_strDatei;
    std::string m_strFifo;
};

struct Fall {
    const char* pName;
    const char* pLesen;
    const char* pSchreiben;
    const char* pOeffnen;
    const char* pAbbilden;
    Quelle quelle;
    std::size_t nGroesse;
    int nStatus;
    bool bAusgabeGanz;      // stdout holds the whole input (else: a part of its start, what was final)
    const char* pMeldung;   // text that stderr must hold (null: stderr empty)
    std::size_t nMindestAus = 0;  // stdout holds at least that many bytes (what came before a failure)
};

const Fall kFaelle[] = {
    // Interrupted and short reads are retried: nothing is lost.
    {"lesen_eintr_fifo", "eintr", "", "", "", Quelle::Fifo, 3'000'000, 0, true, nullptr},
    {"lesen_eintr_pipe", "eintr", "", "", "", Quelle::StdinPipe, 300'000, 0, true, nullptr},
    {"lesen_kurz_fifo", "kurz", "", "", "", Quelle::Fifo, 200'000, 0, true, nullptr},
    {"lesen_kurz_pipe", "kurz", "", "", "", Quelle::StdinPipe, 200'000, 0, true, nullptr},
    // A regular file that cannot be mapped is read whole instead, through the same faults.
    {"abbild_fehlt_datei", "", "", "", "fehl", Quelle::Datei, 3'000'000, 0, true, nullptr},
    {"abbild_fehlt_umgeleitet", "", "", "", "fehl", Quelle::StdinDatei, 3'000'000, 0, true, nullptr},
    {"abbild_fehlt_lesen_eintr", "eintr", "", "", "fehl", Quelle::Datei, 3'000'000, 0, true, nullptr},
    {"abbild_fehlt_lesen_kurz", "kurz", "", "", "fehl", Quelle::Datei, 200'000, 0, true, nullptr},
    {"abbild_fehlt_lesen_kurz_umgeleitet", "kurz", "", "", "fehl", Quelle::StdinDatei, 200'000, 0, true, nullptr},
    // A mapped file is not read with read() at all: read faults do not touch it.
    {"abgebildet_lesen_eio", "eio", "", "", "", Quelle::Datei, 3'000'000, 0, true, nullptr},
    {"abgebildet_lesen_eio_umgeleitet", "eio0", "", "", "", Quelle::StdinDatei, 1000, 0, true, nullptr},
    // Interrupted and short writes.
    {"schreiben_eintr", "", "eintr", "", "", Quelle::Datei, 3'000'000, 0, true, nullptr},
    {"schreiben_kurz", "", "kurz", "", "", Quelle::Datei, 200'000, 0, true, nullptr},
    {"schreiben_kurz_ungebildet", "", "kurz", "", "fehl", Quelle::Datei, 200'000, 0, true, nullptr},
    // Real failures: status 2, a message naming the file.
    {"lesen_eio_fifo", "eio", "", "", "", Quelle::Fifo, 3'000'000, 2, false, "fifo.xml\" kann nicht gelesen werden"},
    {"lesen_eio_ungebildet", "eio", "", "", "fehl", Quelle::Datei, 3'000'000, 2, false,
     "eingabe.xml\" kann nicht gelesen werden: Ein-/Ausgabefehler"},
    {"lesen_eio_stdin", "eio0", "", "", "", Quelle::StdinPipe, 1000, 2, false, "Standardeingabe"},
    // A read that fails after output began: what came before is out, the failure reported.
    {"lesen_eio_stdin_spaet", "eio0nach", "", "", "", Quelle::StdinPipe, 3'000'000, 2, false,
     "Standardeingabe kann nicht gelesen werden: Ein-/Ausgabefehler", 50'000},
    {"lesen_eio_umgeleitet_ungebildet", "eio0", "", "", "fehl", Quelle::StdinDatei, 1000, 2, false,
     "Standardeingabe kann nicht gelesen werden"},
    {"datei_schrumpft_ungebildet", "schrumpf", "", "", "fehl", Quelle::Datei, 100'000, 2, false,
     "eingabe.xml\" kann nicht gelesen werden: Die Datei wurde beim Lesen kürzer"},
    {"oeffnen_verweigert", "", "", "eacces", "", Quelle::Datei, 1000, 2, false, "eingabe.xml"},
    {"oeffnen_verweigert_fifo", "", "", "eacces", "", Quelle::Fifo, 1000, 2, false, "fifo.xml"},
    {"schreiben_enospc", "", "enospc", "", "", Quelle::Datei, 1000, 2, false, "Standardausgabe"},
};

TEST_F(StoerungTest, EinUndAusgabeFehler)
{
    NUR_OHNE_AUSFUEHRER("the preload fault shim reaches a POSIX process only");
    for (const Fall& fall : kFaelle) {
        SCOPED_TRACE(fall.pName);
        const std::string dokument = GrossesDokument(fall.nGroesse);
        ProzessErgebnis erg;
        {
            Stoerung stoerung(fall.pLesen, fall.pSchreiben, fall.pOeffnen, fall.pAbbilden);
            erg = Lauf(fall.quelle, dokument, stoerung);
        }
        EXPECT_EQ(erg.status, fall.nStatus);
        if (fall.bAusgabeGanz)
            EXPECT_TRUE(erg.out == dokument) << "Ausgabe hat " << erg.out.size() << " statt " << dokument.size() << " Bytes";
        else
            EXPECT_TRUE(erg.out.size() < dokument.size() && dokument.starts_with(erg.out)) << erg.out.size();
        EXPECT_GE(erg.out.size(), fall.nMindestAus);
        if (fall.pMeldung) {
            EXPECT_EQ(erg.err.rfind("brixfilter: ", 0), 0u) << erg.err;
            EXPECT_NE(erg.err.find(fall.pMeldung), std::string::npos) << erg.err;
        } else {
            EXPECT_EQ(erg.err, "");
        }
    }
}

TEST_F(StoerungTest, Utf16DateiOhneAbbildGibtDieselbenBytes)
{
    // A UTF-16LE file read whole (its mapping failed), through short and interrupted reads,
    // with and without an odd last byte: the same bytes as when it is mapped.
    std::u16string units;
    while (units.size() < 400'000) units += u"<b>\u00E4\U0001F600\xD800\xDC80</b>\n";
    for (const bool bUngerade : {false, true}) {
        const std::string datei = Utf16Datei(units) + (bUngerade ? "\x7F" : "");
        const std::string erwartet = SchmalAus(units) + (bUngerade ? "\x7F" : "");
        for (const char* pLesen : {"", "kurz", "eintr"}) {
            for (const char* pAbbilden : {"", "fehl"}) {
                SCOPED_TRACE(testing::Message() << bUngerade << " '" << pLesen << "' '" << pAbbilden << "'");
                if (MitAusfuehrer() && (*pLesen || *pAbbilden)) continue;  // the shim: POSIX only
                ProzessErgebnis erg;
                {
                    Stoerung stoerung(pLesen, "", "", pAbbilden);
                    erg = Lauf(Quelle::Datei, datei, stoerung);
                }
                EXPECT_EQ(erg.status, 0);
                EXPECT_EQ(erg.err, "");
                EXPECT_TRUE(erg.out == erwartet) << erg.out.size() << " statt " << erwartet.size() << " Bytes";
            }
        }
    }
}

TEST_F(StoerungTest, UmgeleiteteEingabeAbIhrerPosition)
{
    // Standard input redirected from a regular file that was read in part already: the document
    // is the rest from the current offset, whether mapped (where read faults cannot touch it),
    // or read because it cannot be mapped.
    const std::string dokument = GrossesDokument(3 * 4096 + 10);
    ASSERT_TRUE(SchreibeDatei(m_strDatei, dokument));
    const off_t nGroesse = static_cast<off_t>(dokument.size());
    const struct {
        const char* pLesen;
        const char* pAbbilden;
    } stoerungen[] = {{"", ""}, {"eio0", ""}, {"", "fehl"}, {"kurz", "fehl"}};
    for (const off_t nVersatz : {off_t{0}, off_t{1}, off_t{4095}, off_t{4096}, off_t{9000}, nGroesse - 1, nGroesse}) {
        for (const auto& st : stoerungen) {
            SCOPED_TRACE(testing::Message() << nVersatz << " '" << st.pLesen << "' '" << st.pAbbilden << "'");
            if (MitAusfuehrer() && (*st.pLesen || *st.pAbbilden)) continue;  // the shim: POSIX only
            const int fd = open(m_strDatei.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(lseek(fd, nVersatz, SEEK_SET), nVersatz);
            ProzessOptionen optionen;
            optionen.stdinArt = StdinArt::Deskriptor;
            optionen.fdStdin = fd;
            ProzessErgebnis erg;
            {
                Stoerung stoerung(st.pLesen, "", "", st.pAbbilden);
                erg = StarteProzess({}, "", optionen);
            }
            close(fd);
            EXPECT_EQ(erg.status, 0) << erg.err;
            EXPECT_EQ(erg.err, "");
            const std::string rest = dokument.substr(static_cast<std::size_t>(nVersatz));
            EXPECT_TRUE(erg.out == rest) << erg.out.size() << " statt " << rest.size() << " Bytes";
        }
    }
}

// A mapped input that shrinks while the program writes its result: the program is not killed
// (its reads of the vanished pages get zero bytes), writes nothing made from them, and reports
// the file with status 2. The test truncates the file when the first output has arrived; the
// program cannot be done by then, as the pipe holds far less than one block of its output.
TEST_F(StoerungTest, AbgebildeteEingabeWirdWaehrendDesLaufsKuerzer)
{
    NUR_OHNE_AUSFUEHRER("Windows refuses to shorten a mapped file; only Wine's host could");
    std::string ohneKommentare, mitTags, ohneTags;
    while (ohneKommentare.size() < 24 * 1048576) ohneKommentare += "<a href=\"x\">Grüße, Welt</a>\n";
    while (mitTags.size() < 24 * 1048576) {
        mitTags += "<p>" + std::string(200, 'y') + "</p>\n";
        ohneTags += std::string(200, 'y') + "\n";
    }
    const struct {
        std::vector<std::string> args;  // "-f" and the file are added unless bStdin
        const std::string& dokument;
        const std::string& erwartet;    // the whole result, had the file stayed
        off_t nNeueLaenge;
        bool bStdin;                    // the file is standard input instead (mapped from it)
        int zeile;
    } faelle[] = {
        {{"-c"}, ohneKommentare, ohneKommentare, 0, false, __LINE__},       // one large piece written in place: EFAULT
        {{"-t"}, mitTags, ohneTags, 0, false, __LINE__},                     // pieces gathered from vanished pages
        {{"-t"}, mitTags, ohneTags, 8 * 1048576, false, __LINE__},           // the bytes still used are still there
        {{"-c", "-d"}, ohneKommentare, ohneKommentare, 0, false, __LINE__},  // a chain
        {{"-c"}, ohneKommentare, ohneKommentare, 1048576, true, __LINE__},   // standard input
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        ASSERT_TRUE(SchreibeDatei(m_strDatei, f.dokument));
        ProzessOptionen optionen;
        std::vector<std::string> args = f.args;
        int fdEin = -1;
        if (f.bStdin) {
            fdEin = open(m_strDatei.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_GE(fdEin, 0);
            optionen.stdinArt = StdinArt::Deskriptor;
            optionen.fdStdin = fdEin;
        } else {
            args.insert(args.begin(), {"-f", m_strDatei});
        }
        bool bGekuerzt = false;
        optionen.nachErsterAusgabe = [&] { bGekuerzt = truncate(m_strDatei.c_str(), f.nNeueLaenge) == 0; };
        const ProzessErgebnis erg = StarteProzess(args, "", optionen);
        if (fdEin >= 0) close(fdEin);
        ASSERT_TRUE(bGekuerzt) << "no output arrived, or truncate failed";
        EXPECT_EQ(erg.status, 2) << erg.err;
        const std::string strName = f.bStdin ? "Standardeingabe" : "Datei \"" + m_strDatei + "\"";
        EXPECT_EQ(erg.err, "brixfilter: " + strName + " kann nicht gelesen werden: Die Datei wurde beim Lesen kürzer\n");
        // What went out is a true beginning of the result: nothing made of the lost bytes.
        EXPECT_LT(erg.out.size(), f.erwartet.size());
        EXPECT_TRUE(f.erwartet.compare(0, erg.out.size(), erg.out) == 0) << "output is no prefix of the result";
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
// ignores SIGPIPE (or the system has none), with status 2 and no message.
TEST_F(StoerungTest, GeschlossenePipeEndetLeise)
{
    ASSERT_TRUE(SchreibeDatei(m_strDatei, GrossesDokument(3'000'000)));
    ProzessOptionen optionen;
    optionen.stdoutArt = StdoutArt::PipeOhneLeser;
    ProzessErgebnis erg = StarteProzess({"-f", m_strDatei}, "", optionen);
    EXPECT_EQ(erg.status, MitAusfuehrer() ? 2 : 128 + 13);  // no SIGPIPE on Windows
    EXPECT_EQ(erg.err, "");
    optionen.bSigpipeIgnorieren = true;
    erg = StarteProzess({"-f", m_strDatei}, "", optionen);
    EXPECT_EQ(erg.status, 2);
    EXPECT_EQ(erg.err, "");
}

}  // namespace
