// The limits a run meets: no fixed length limit, but the memory the process may still take
// (platform/Speicher.h). Checked in-process in child processes whose address space or data is
// limited, and end to end on the built binary under an address-space limit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/Speicher.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

using namespace std::literals;

constexpr std::int64_t kMB = std::int64_t{1} << 20;

// The limits below are told apart only where the machine itself leaves more than they do.
bool GenugSpeicherFuerDieProbe()
{
    const std::int64_t nFrei = FreierSpeicher();
    return nFrei < 0 || nFrei >= 2048 * kMB;
}

// "wirft" when f throws std::bad_alloc, "ok" when it returns.
std::string Wirft(const std::function<void()>& f)
{
    try {
        f();
        return "ok";
    } catch (const std::bad_alloc&) {
        return "wirft";
    }
}

TEST(FreierSpeicher, UnbekanntOderHoechstensDerGanzeSpeicher)
{
    struct sysinfo info {};
    ASSERT_EQ(sysinfo(&info), 0);
    const std::int64_t nGanz = (static_cast<std::int64_t>(info.totalram) + static_cast<std::int64_t>(info.totalswap)) *
                               static_cast<std::int64_t>(info.mem_unit);
    const std::int64_t nFrei = FreierSpeicher();
    EXPECT_TRUE(nFrei == -1 || (nFrei >= 0 && nFrei <= nGanz)) << nFrei << " of " << nGanz;
}

TEST(FreierSpeicher, FolgtDenGrenzenDesProzesses)
{
    // Under a limit of the address space or of the data, what is free is what the limit leaves
    // (less a little the process took meanwhile), and at most that.
    if (!GenugSpeicherFuerDieProbe()) GTEST_SKIP() << "the machine has less memory free than the limits leave";
    struct Fall {
        int nArt;
        std::int64_t nMehr;
        int zeile;
    };
    const Fall faelle[] = {
        {RLIMIT_AS, 512 * kMB, __LINE__},
        {RLIMIT_AS, 100 * kMB, __LINE__},
        {RLIMIT_DATA, 300 * kMB, __LINE__},
        {RLIMIT_AS, 8 * kMB, __LINE__},  // little left
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const std::string s = ImKind(f.nArt, f.nMehr, [] { return std::to_string(FreierSpeicher()); });
        const std::int64_t nFrei = std::stoll(s);
        EXPECT_LE(nFrei, f.nMehr) << s;
        EXPECT_GE(nFrei, f.nMehr - 16 * kMB) << s;
        EXPECT_GE(nFrei, 0) << s;
    }
}

TEST(PruefeSpeicher, WachstumUeberDenFreienSpeicherWirdAbgelehnt)
{
    if (!GenugSpeicherFuerDieProbe()) GTEST_SKIP() << "the machine has less memory free than the limits leave";
    struct Fall {
        std::int64_t nMehr;   // what the child's address space may still take
        std::int64_t nBytes;  // the growth asked for
        const char* pErwartet;
        int zeile;
    };
    const Fall faelle[] = {
        {512 * kMB, 256 * kMB, "ok", __LINE__},                      // fits
        {512 * kMB, 1024 * kMB, "wirft", __LINE__},                  // does not
        {8 * kMB, kSpeicherPruefSchwelle - 1, "ok", __LINE__},       // small growths are not checked
        {8 * kMB, kSpeicherPruefSchwelle, "wirft", __LINE__},        // from the threshold on they are
        {100 * kMB, std::numeric_limits<std::int64_t>::max(), "wirft", __LINE__},  // absurdly much
        {100 * kMB, -5, "ok", __LINE__},                             // shrinking asks for nothing
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(ImKind(RLIMIT_AS, f.nMehr, [&] { return Wirft([&] { PruefeSpeicher(f.nBytes); }); }), f.pErwartet);
    }
    // Without a limit of the process: the machine's memory bounds it, if it can be read at all.
    if (FreierSpeicher() >= 0) {
        EXPECT_THROW(PruefeSpeicher(std::numeric_limits<std::int64_t>::max()), std::bad_alloc);
    }
    EXPECT_NO_THROW(PruefeSpeicher(kSpeicherPruefSchwelle - 1));
}

TEST(PruefeSpeicher, StringWaechstNichtUeberDenFreienSpeicher)
{
    // A string refuses a growth beyond what the process may take, before anything changed.
    if (!GenugSpeicherFuerDieProbe()) GTEST_SKIP() << "the machine has less memory free than the limits leave";
    const std::string s = ImKind(RLIMIT_AS, 256 * kMB, [] {
        std::string bericht;
        CString text("abc"sv);
        bericht += Wirft([&] { text.GetBufferSetLength(1024 * kMB); }) + " " + std::string(text.Sicht()) + ";";
        bericht += Wirft([&] { text.Reserviere(1024 * kMB); }) + " " + std::string(text.Sicht()) + ";";
        // What fits is granted, and keeps the text.
        bericht += Wirft([&] { text.Reserviere(128 * kMB); }) + " " + std::string(text.Sicht()) + ";";
        return bericht;
    });
    EXPECT_EQ(s, "wirft abc;wirft abc;ok abc;");
}

// --- End to end: the built binary under an address-space limit ---

class SpeichergrenzeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "a sanitized binary cannot start with a small address space";
#endif
        NUR_OHNE_AUSFUEHRER("the address-space limit of a POSIX process");
        m_strVerzeichnis = NeuesTempVerzeichnis();
    }
    void TearDown() override
    {
        if (!m_strVerzeichnis.empty()) EntferneVerzeichnis(m_strVerzeichnis);
    }
    ProzessErgebnis Lauf(const std::vector<std::string>& args, const std::string& eingabe = {},
                         StdinArt art = StdinArt::Pipe)
    {
        ProzessOptionen optionen;
        optionen.stdinArt = art;
        optionen.nAdressraum = kGrenze;
        return StarteProzess(args, eingabe, optionen);
    }
    static constexpr std::int64_t kGrenze = 64 * kMB;
    std::string m_strVerzeichnis;
};

TEST_F(SpeichergrenzeTest, NurWasGehaltenWirdBrauchtPlatz)
{
    // Under a limit of 64 MB, 100 MB go through a chain as long as no filter has to hold them
    // (each holds what it is in); what must be held whole and does not fit fails with status 2,
    // naming the option whose result it is, or the input, and nothing more is written.
    std::string flach, wurzel = "<r>";
    for (int i = 0; i < 1000; ++i) flach += "<b/>";
    wurzel += flach + "</r>";
    const std::string strErsetze = "-Rb=" + std::string(100'000, 'x');
    const std::string strOption = "Option \"-Rb=" + std::string(56, 'x') + "...\" (100004 Bytes)";
    const std::string strDatei = m_strVerzeichnis + "/offen.xml";
    std::string offen = "<!--" + std::string(100 * kMB, 'p');  // a comment that is never closed
    ASSERT_TRUE(SchreibeDatei(strDatei, offen));
    const struct {
        std::vector<std::string> args;
        const std::string& eingabe;
        StdinArt art;
        std::string meldung;  // empty: the run goes through, with nAus bytes
        std::size_t nAus;
        int zeile;
    } faelle[] = {
        // 100 MB, element by element (a pipe gains a last line feed); ... through a middle step
        {{strErsetze, "-c"}, flach, StdinArt::Pipe, "", 1000 * (4 + 100'000) + 1, __LINE__},
        {{"-c", strErsetze, "-d"}, flach, StdinArt::Pipe, "", 1000 * 100'000 + 1, __LINE__},
        {{strErsetze, "-d"}, wurzel, StdinArt::Pipe, strOption, 0, __LINE__},  // one element of 100 MB
        {{"-sr", strErsetze, "-Rb=y"}, wurzel, StdinArt::Pipe, strOption, 0, __LINE__},
        {{"-c"}, offen, StdinArt::Pipe, "Standardeingabe kann nicht gelesen werden", 0, __LINE__},
        {{"-c"}, offen, StdinArt::Datei, "Standardeingabe kann nicht gelesen werden", 0, __LINE__},
        {{"-f", strDatei, "-c"}, flach, StdinArt::DevNull, "Datei \"" + strDatei + "\" kann nicht gelesen werden", 0,
         __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const ProzessErgebnis erg = Lauf(f.args, f.eingabe, f.art);
        if (f.meldung.empty()) {
            EXPECT_EQ(erg.status, 0) << erg.err;
            EXPECT_EQ(erg.out.size(), f.nAus);
            continue;
        }
        EXPECT_EQ(erg.status, 2);
        EXPECT_EQ(erg.err, "brixfilter: " + f.meldung + ": Nicht genug Speicher\n") << erg.err.substr(0, 200);
    }
}

TEST_F(SpeichergrenzeTest, LetzterSchrittWirdNichtGanzGehalten)
{
    // The last step's result goes out while it is made: 100 MB of output under a limit of 64 MB.
    std::string dokument, erwartet;
    const std::string inhalt(100'000, 'x');
    for (int i = 0; i < 1000; ++i) {
        dokument += "<b/>";
        erwartet += "<b/>" + inhalt;  // the content of an empty-element tag follows it
    }
    erwartet += '\n';  // standard input, a pipe, gains its last line feed
    const ProzessErgebnis erg = Lauf({"-Rb=" + inhalt}, dokument);
    EXPECT_EQ(erg.status, 0) << erg.err;
    EXPECT_EQ(erg.err, "");
    EXPECT_EQ(erg.out.size(), erwartet.size());
    EXPECT_TRUE(erg.out == erwartet);
}

TEST_F(SpeichergrenzeTest, AuslassendeSchritteBrauchenKeinenZweitenPuffer)
{
    // A mapped file of 40 MB through three steps that only leave text out: they write over the
    // text itself, so the run fits in 64 MB, where a second copy would not.
    std::string dokument, erwartet;
    while (dokument.size() < 40 * kMB) {
        dokument += "<a><!-- c --></a>text <i>kursiv</i>\n";
        erwartet += "text kursiv\n";
    }
    const std::string strDatei = m_strVerzeichnis + "/gross.xml";
    ASSERT_TRUE(SchreibeDatei(strDatei, dokument));
    const ProzessErgebnis erg = Lauf({"-f", strDatei, "-c", "-d", "-t"});
    EXPECT_EQ(erg.status, 0) << erg.err;
    EXPECT_EQ(erg.out.size(), erwartet.size());
    EXPECT_TRUE(erg.out == erwartet);
}


}  // namespace

TEST(Speichergrenze, NieEinAbbruch)
{
    // Under every address-space limit from where the program cannot even be loaded to where it
    // runs, each run ends with a status and its message: never with a signal (SIGABRT came from a
    // throw that found no memory for its exception). Status 127 is the loader's, before main.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a sanitized binary cannot start with a small address space";
#endif
    NUR_OHNE_AUSFUEHRER("the address-space limit of a POSIX process");
    // Under -i the file is the old one or the new one, and nothing is left beside it.
    const std::string strOrdner = NeuesTempVerzeichnis();
    const std::string strDatei = strOrdner + "/d.xml";
    const struct {
        std::vector<std::string> args;
        int nErfolg;  // the status once there is memory enough
        int zeile;
    } faelle[] = {
        {{"--version"}, 0, __LINE__},
        {{"--help"}, 0, __LINE__},
        {{"-c", "-d"}, 0, __LINE__},
        {{"-h"}, 255, __LINE__},  // a usage error
        {{"-c", "-i", "-f", strDatei}, 0, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        ProzessErgebnis erg;
        for (std::int64_t nGrenze = 2 * kMB; nGrenze < 64 * kMB && erg.status != f.nErfolg; nGrenze += 16 << 10) {
            SCOPED_TRACE(nGrenze);
            ASSERT_TRUE(SchreibeDatei(strDatei, "<a/><!-- x -->"));
            ProzessOptionen optionen;
            optionen.stdinArt = StdinArt::Datei;
            optionen.nAdressraum = nGrenze;
            erg = StarteProzess(f.args, "<a/><!-- x -->", optionen);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(strOrdner), {}), 1);
            EXPECT_EQ(LiesAlles(strDatei), erg.status == 0 && f.args.size() == 4 ? "<a/>" : "<a/><!-- x -->");
            if (erg.status == 127) {
                EXPECT_NE(erg.err, "");  // the loader's message; the program never returns 127
            } else if (erg.status == 1) {
                EXPECT_EQ(erg.err, "Fatal Error: MFC initialization failed\n");
            } else if (erg.status == 2) {
                EXPECT_EQ(erg.err.rfind("brixfilter: ", 0), 0u) << erg.err;
                EXPECT_NE(erg.err.find("Nicht genug Speicher\n"), std::string::npos) << erg.err;
            } else {
                ASSERT_EQ(erg.status, f.nErfolg) << erg.err;
            }
        }
        EXPECT_EQ(erg.status, f.nErfolg);
    }
    EntferneVerzeichnis(strOrdner);
}
