// End-to-end tests of -i (--in-place): the file named by -f is replaced by the result, atomically;
// on any failure it stays byte for byte what it was, and no new file is left behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/Treiber.h"
#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

using namespace std::string_literals;

// The names in a folder, "." and ".." left out.
std::set<std::string> Namen(const std::string& strOrdner)
{
    std::set<std::string> namen;
    if (DIR* d = opendir(strOrdner.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") namen.insert(n);
        }
        closedir(d);
    }
    return namen;
}

mode_t Modus(const std::string& strPfad)
{
    struct stat st {};
    return lstat(strPfad.c_str(), &st) == 0 ? st.st_mode : 0;
}

constexpr char kDokument[] = "<r><!-- weg --><a></a><b>x</b></r>\n";

class ImOrtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strOrdner = NeuesTempVerzeichnis();
        m_strDatei = m_strOrdner + "/doc.xml";
        ASSERT_TRUE(SchreibeDatei(m_strDatei, kDokument));
        ASSERT_EQ(chmod(m_strDatei.c_str(), 0640), 0);
    }
    void TearDown() override { EntferneVerzeichnis(m_strOrdner); }

    // brixfilter with args in the folder, the shim's variables (if any) set.
    ProzessErgebnis Lauf(const std::vector<std::string>& args, const std::string& strStoerung = "",
                         const std::function<void(int)>& nachStart = {})
    {
        ProzessOptionen o;
        o.arbeitsVerzeichnis = m_strOrdner;
        o.nachStart = nachStart;
        if (strStoerung.empty()) return StarteProzess(args, "", o);
        // Only the cases without the shim reach here with a runner (see JederFehlerLaesstDasOriginal).
        o.programm = "/bin/sh";
        // A sanitized binary accepts the shim ahead of its runtime only when told to. The signals
        // that end a run are not ignored, whatever this process does with them.
        std::vector<std::string> sh = {"-c",
                                       "exec env --default-signal=INT,TERM,HUP LD_PRELOAD=\"$0\" "
                                       "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 " +
                                           strStoerung + " \"$@\"",
                                       BRIX_STOERUNG_LIB, BRIXFILTER_BIN};
        sh.insert(sh.end(), args.begin(), args.end());
        return StarteProzess(sh, "", o);
    }

    std::string m_strOrdner;
    std::string m_strDatei;
};

TEST_F(ImOrtTest, ErsetztDieDateiUndBehaeltIhreRechte)
{
    // A UTF-16LE file with lone surrogates, a high and a low one parted by a comment, and an odd
    // last byte: it is written back as UTF-16LE, every unit as it was.
    const std::u16string vorn = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<r>\xDC80\xD800x\xD83D"s;
    const std::u16string hinten = u"\xDE00<a>\U0001F600</a>\xDFFF\xDBFF</r>\n"s;
    const std::string utf16 = Utf16Datei(vorn + u"<!-- weg -->" + hinten) + "Z";
    const struct {
        std::vector<std::string> args;
        std::string erwartet;
        int zeile;
        std::string dokument = kDokument;
    } faelle[] = {
        {{"-c", "-i", "-fdoc.xml"}, "<r><a></a><b>x</b></r>\n", __LINE__},
        {{"--in-place", "-f", "doc.xml", "-c", "-t"}, "x\n", __LINE__},     // anywhere among the options
        {{"-fdoc.xml", "-Rb=neu", "-i"}, "<r><!-- weg --><a></a><b>neu</b></r>\n", __LINE__},
        {{"-i", "-fdoc.xml", "-Sr"}, "\n", __LINE__},
        {{"-i", "-fdoc.xml", "-sq"}, "", __LINE__},                       // an empty result: an empty file
        {{"-i", "-fdoc.xml"}, kDokument, __LINE__},                          // no filter: the same bytes
        {{"-i", "-Rnope=x", "-fdoc.xml"}, kDokument, __LINE__},              // nothing changed: the same bytes
        {{"-i", "-c", "-fdoc.xml"}, Utf16Datei(vorn + hinten) + "Z", __LINE__, utf16},  // UTF-16 stays UTF-16
        {{"-i", "-Rnope=x", "-fdoc.xml"}, utf16, __LINE__, utf16},
        {{"-i", "-sq", "-fdoc.xml"}, "\xFF\xFE", __LINE__, utf16},           // an empty result keeps the mark
        {{"-i", "-c", "-fdoc.xml"}, "\xFF\xFE", __LINE__, "\xFF\xFE"},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        ASSERT_TRUE(SchreibeDatei(m_strDatei, f.dokument));
        ASSERT_EQ(chmod(m_strDatei.c_str(), 0640), 0);
        const ProzessErgebnis r = Lauf(f.args);
        EXPECT_EQ(r.status, kStatusErfolg) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(Zeige(LiesAlles(m_strDatei)), Zeige(f.erwartet));
        // Permission bits are POSIX's; Wine shows a Windows build none (windows.sh checks attributes).
        if (!MitAusfuehrer()) {
            EXPECT_EQ(Modus(m_strDatei) & 07777, 0640u);
        }
        EXPECT_EQ(Namen(m_strOrdner), std::set<std::string>{"doc.xml"});
    }
}

TEST_F(ImOrtTest, VerknuepfungenUndAusfuehrbareDateien)
{
    // A symbolic link is followed: its target gets the result, the link stays a link.
    ASSERT_EQ(symlink("doc.xml", (m_strOrdner + "/link.xml").c_str()), 0);
    ProzessErgebnis r = Lauf({"-c", "-i", "-flink.xml"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISLNK(Modus(m_strOrdner + "/link.xml")));
    EXPECT_EQ(LiesAlles(m_strDatei), "<r><a></a><b>x</b></r>\n");
    // A second hard link keeps the old content: the name given gets a new file.
    ASSERT_TRUE(SchreibeDatei(m_strDatei, kDokument));
    ASSERT_EQ(link(m_strDatei.c_str(), (m_strOrdner + "/hart.xml").c_str()), 0);
    r = Lauf({"-t", "-i", "-fdoc.xml"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LiesAlles(m_strDatei), "x\n");
    EXPECT_EQ(LiesAlles(m_strOrdner + "/hart.xml"), kDokument);
    // Other permission bits, the executable ones too, go over (POSIX only, as above).
    ASSERT_EQ(chmod(m_strDatei.c_str(), 0751), 0);
    r = Lauf({"-c", "-i", "-fdoc.xml"});
    EXPECT_EQ(r.status, 0) << r.err;
    if (!MitAusfuehrer()) {
        EXPECT_EQ(Modus(m_strDatei) & 07777, 0751u);
    }
    EXPECT_EQ(Namen(m_strOrdner), (std::set<std::string>{"doc.xml", "hart.xml", "link.xml"}));
    // No new file in the folder: for a link, the message names the folder of the file replaced.
    if (!MitAusfuehrer()) {
        r = Lauf({"-c", "-i", "-flink.xml"}, "BRIX_STOERUNG_MKOSTEMP=eacces");
        EXPECT_NE(r.err.find("Im Ordner \"" + std::filesystem::canonical(m_strOrdner).string() + "\""), std::string::npos) << r.err;
    }
}

TEST_F(ImOrtTest, SignalEntferntDieNeueDatei)
{
    // SIGTERM, SIGINT, SIGHUP sent while the new file exists: it is removed, the original stays
    // and the run ends by the signal. The shim holds the run in the new file's fsync, before the
    // rename, until a signal comes. A signal ignored (nohup) stays ignored: the run goes through.
    NUR_OHNE_AUSFUEHRER("signals and the preload shim of a POSIX process");
    const std::string dokument = "<!-- weg -->" + std::string(200'000'000, 'a');
    ASSERT_TRUE(SchreibeDatei(m_strDatei, dokument));
    const struct { int nSignal; const char* stoerung; int zeile; } faelle[] = {  // nSignal 0: none sent
        {SIGTERM, "BRIX_STOERUNG_FSYNC=haengt", __LINE__},
        {SIGINT, "BRIX_STOERUNG_FSYNC=haengt", __LINE__},
        {SIGHUP, "BRIX_STOERUNG_FSYNC=haengt", __LINE__},
        {0, "BRIX_STOERUNG_FSYNC=sighup nohup", __LINE__},  // SIGHUP raised in the fsync, ignored
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const ProzessErgebnis r = Lauf({"-c", "-i", "-fdoc.xml"}, f.stoerung, [&](int nPid) {
            for (int i = 0; i < 60'000 && f.nSignal != 0 && Namen(m_strOrdner).size() < 2; ++i) usleep(1000);
            if (f.nSignal != 0) kill(nPid, f.nSignal);
        });
        EXPECT_EQ(r.status, f.nSignal == 0 ? 0 : 128 + f.nSignal) << r.err;
        EXPECT_TRUE(LiesAlles(m_strDatei) == (f.nSignal == 0 ? dokument.substr(12) : dokument));
        EXPECT_EQ(Namen(m_strOrdner), std::set<std::string>{"doc.xml"});
    }
}

TEST_F(ImOrtTest, JederFehlerLaesstDasOriginal)
{
    const std::string strLang = "-Rb=" + std::string(100'000, 'x');
    const struct {
        std::vector<std::string> args;
        std::string stoerung;
        int status;
        std::string meldung;  // what the first line of standard error holds
        int zeile;
    } faelle[] = {
        {{"-c", "-i", "-fdoc.xml"}, "BRIX_STOERUNG_WRITE=enospc3", 2,
         "Datei \"doc.xml\" kann nicht geschrieben werden: Kein Platz auf dem Gerät", __LINE__},
        {{"-c", "-i", "-fdoc.xml"}, "BRIX_STOERUNG_WRITE=eio3", 2,
         "Datei \"doc.xml\" kann nicht geschrieben werden: Ein-/Ausgabefehler", __LINE__},
        {{"-c", "-i", "-fdoc.xml"}, "BRIX_STOERUNG_FSYNC=eio", 2,
         "Datei \"doc.xml\" kann nicht geschrieben werden: Ein-/Ausgabefehler", __LINE__},
        {{"-c", "-i", "-fdoc.xml"}, "BRIX_STOERUNG_RENAME=eacces", 2,
         "Datei \"doc.xml\" kann nicht ersetzt werden: Keine Berechtigung", __LINE__},
        {{"-c", "-i", "-fdoc.xml"}, "BRIX_STOERUNG_MKOSTEMP=eacces", 2,  // a folder that cannot be written: named
         "Datei \"doc.xml\" kann nicht ersetzt werden: Im Ordner \".\" kann keine Datei angelegt werden: "
         "Keine Berechtigung", __LINE__},
        {{"-c", "-i", "-f" + m_strOrdner + "//doc.xml"}, "BRIX_STOERUNG_MKOSTEMP=eacces", 2,
         "Datei \"" + m_strOrdner + "//doc.xml\" kann nicht ersetzt werden: Im Ordner \"" + m_strOrdner + "\"", __LINE__},
        // A read that fails after the new file was begun (the file cannot be mapped and shrinks).
        {{"-c", "-i", "-fdoc.xml"}, "BRIX_STOERUNG_MMAP=fehl BRIX_STOERUNG_READ=schrumpf", 2,
         "Datei \"doc.xml\" kann nicht gelesen werden: Die Datei wurde beim Lesen kürzer", __LINE__},
        {{"-i", "-fdoc.xml"}, "BRIX_STOERUNG_OPEN=eacces", 2,
         "Datei \"doc.xml\" kann nicht geöffnet werden: Keine Berechtigung", __LINE__},
        {{"-c", "-i", "-fdoc.xml", "-x"}, "", 255, "unbekannte Option \"-x\"", __LINE__},  // a usage error behind -i
        {{"-i", "-c", "-fdoc.xml", "-t", "buch"}, "", 255, "\"buch\" ist keine Option", __LINE__},
        {{"-i", "-c"}, "", 255, "-i braucht eine Datei", __LINE__},                         // no -f
        {{"-i", "-fnix.xml"}, "", 2, "Datei \"nix.xml\" kann nicht geöffnet werden: Datei nicht gefunden", __LINE__},
        {{"-i", "-f/dev/null"}, "", 2, "Datei \"/dev/null\" kann nicht ersetzt werden: Keine reguläre Datei", __LINE__},
        {{"-i", "-f."}, "", 2, "Datei \".\" kann nicht ersetzt werden: Keine reguläre Datei", __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        // The preload shim and device files are POSIX only; the other cases hold everywhere.
        if (MitAusfuehrer() && (!f.stoerung.empty() || f.args.back() == "-f/dev/null")) continue;
        const ProzessErgebnis r = Lauf(f.args, f.stoerung);
        EXPECT_EQ(r.status, f.status) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("brixfilter: " + f.meldung, 0), 0u) << r.err;
        EXPECT_EQ(LiesAlles(m_strDatei), kDokument);
        EXPECT_EQ(Modus(m_strDatei) & 07777, 0640u);
        EXPECT_EQ(Namen(m_strOrdner), std::set<std::string>{"doc.xml"});
    }
}

TEST_F(ImOrtTest, FifoWirdNichtGelesen)
{
    NUR_OHNE_AUSFUEHRER("FIFOs are POSIX only");
    // A FIFO is refused before it is opened: no writer is needed, nothing waits.
    ASSERT_EQ(mkfifo((m_strOrdner + "/fifo").c_str(), 0600), 0);
    const ProzessErgebnis r = Lauf({"-c", "-i", "-ffifo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "brixfilter: Datei \"fifo\" kann nicht ersetzt werden: Keine reguläre Datei\n");
}

TEST_F(ImOrtTest, ZuWenigSpeicherLaesstDasOriginal)
{
    // An element that a step makes and the next must hold, and that cannot fit, is refused
    // before it is made; the file stays.
    if (kSanitiert) GTEST_SKIP() << "the sanitizers' shadow memory cannot live under an address-space limit";
    NUR_OHNE_AUSFUEHRER("the address-space limit of a POSIX process");
    std::string dokument = "<r>";
    for (int i = 0; i < 10'000; ++i) dokument += "<b/>";
    dokument += "</r>";
    ASSERT_TRUE(SchreibeDatei(m_strDatei, dokument));
    ProzessOptionen o;
    o.arbeitsVerzeichnis = m_strOrdner;
    o.nAdressraum = std::int64_t{512} << 20;
    const ProzessErgebnis r = StarteProzess({"-Rb=" + std::string(100'000, 'x'), "-d", "-i", "-fdoc.xml"}, "", o);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Nicht genug Speicher"), std::string::npos) << r.err.substr(0, 300);
    EXPECT_EQ(LiesAlles(m_strDatei), dokument);
    EXPECT_EQ(Namen(m_strOrdner), std::set<std::string>{"doc.xml"});
}

TEST_F(ImOrtTest, GrosseDateiMitSoVielSpeicherWieNachStdout)
{
    // 100 MB edited in place under an address-space limit that leaves little beyond the mapped
    // file: the result goes to the new file as it would go to standard output, never held whole.
    if (kSanitiert) GTEST_SKIP() << "the sanitizers' shadow memory cannot live under an address-space limit";
    NUR_OHNE_AUSFUEHRER("the address-space limit of a POSIX process");
    std::string zeile = "<book><!-- c --><title>T</title></book>\n";
    std::string dokument;
    dokument.reserve(100u << 20);
    while (dokument.size() < (100u << 20)) dokument += zeile;
    ASSERT_TRUE(SchreibeDatei(m_strDatei, dokument));
    ProzessOptionen o;
    o.arbeitsVerzeichnis = m_strOrdner;
    o.nAdressraum = (std::int64_t{100} << 20) + (std::int64_t{48} << 20);
    ProzessErgebnis r = StarteProzess({"-c", "-fdoc.xml"}, "", o);
    EXPECT_EQ(r.status, 0) << r.err;  // the same limit suffices for standard output
    const std::string erwartet = r.out;
    r = StarteProzess({"-c", "-i", "-fdoc.xml"}, "", o);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(LiesAlles(m_strDatei) == erwartet);
}

// A stand-in for ssh as parallel and rsync call it: "ssh HOST [--] COMMAND..." runs COMMAND in the
// folder HOST beside bin/. Like sshd it sets SHELL: parallel's worker on the host runs the command
// with $SHELL and, without one, runs nothing and still reports success.
constexpr char kSsh[] = R"sh(#!/bin/sh
h=$1; shift; [ "$1" = -- ] && shift
export SHELL=/bin/sh
cd "$(dirname "$0")/.." && mkdir -p "$h" && cd "$h" && exec sh -c "$*"
)sh";

TEST_F(ImOrtTest, VieleDateienMitXargsUndParallel)
{
    // The README's ways of editing a folder of files, several at a time, as written there. ssh
    // (PARALLEL_SSH, as --ssh) is the stand-in, so rsync really carries each file there and back.
    const std::string strBin = m_strOrdner + "/bin";
    const std::string strDocs = m_strOrdner + "/docs";
    ASSERT_EQ(mkdir(strBin.c_str(), 0755), 0);
    ASSERT_TRUE(SchreibeDatei(strBin + "/brixfilter", "#!/bin/sh\nexec " + ProgrammFuerShell() + " \"$@\"\n"));
    ASSERT_TRUE(SchreibeDatei(strBin + "/ssh", kSsh));
    ASSERT_EQ(chmod((strBin + "/brixfilter").c_str(), 0755) | chmod((strBin + "/ssh").c_str(), 0755), 0);
    // The README's command lines for many files (a line ending in a backslash goes on).
    std::vector<std::string> befehle;
    std::istringstream readme(LiesAlles(std::string(BRIX_SOURCE_DIR) + "/README.md"));
    for (std::string zeile; std::getline(readme, zeile);) {
        if (zeile.rfind("    find docs ", 0) != 0) continue;
        befehle.push_back(zeile.substr(4));
        while (befehle.back().back() == '\\' && std::getline(readme, zeile)) {
            befehle.back().pop_back();
            befehle.back() += zeile.substr(zeile.find_first_not_of(' '));
        }
    }
    ASSERT_EQ(befehle.size(), 3u);
    ProzessOptionen o;
    o.programm = "/bin/sh";
    o.arbeitsVerzeichnis = m_strOrdner;
    for (const std::string& strBefehl : befehle) {
        SCOPED_TRACE(strBefehl);
        const bool bFern = strBefehl.find("--sshlogin") != std::string::npos;  // through the two hosts
        EntferneVerzeichnis(strDocs);
        ASSERT_EQ(mkdir(strDocs.c_str(), 0755), 0);
        std::set<std::string> namen;
        for (int i = 0; i < 20; ++i) {
            const std::string strName = "d " + std::to_string(i) + ".xml";
            namen.insert(strName);
            ASSERT_TRUE(SchreibeDatei(strDocs + "/" + strName, "<a><!--" + std::to_string(i) + "--></a>"));
        }
        const ProzessErgebnis r = StarteProzess(
            {"-c", "export PATH=\"$PWD/bin:$PATH\" HOME=\"$PWD\" PARALLEL_SSH=\"$PWD/bin/ssh\"; " + strBefehl}, "", o);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (const std::string& strName : namen) EXPECT_EQ(LiesAlles(strDocs + "/" + strName), "<a></a>") << strName;
        EXPECT_EQ(Namen(strDocs), namen);  // no new file left behind
        EXPECT_EQ(S_ISDIR(Modus(m_strOrdner + "/host1")) && S_ISDIR(Modus(m_strOrdner + "/host2")), bFern);  // both had work
        EXPECT_EQ(Namen(m_strOrdner + "/host1").size() + Namen(m_strOrdner + "/host2").size(), 0u);
    }
}

}  // namespace
