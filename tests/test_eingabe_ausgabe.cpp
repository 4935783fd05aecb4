// Tests of document input (LiesDatei, LiesStream, EingabeWache) and output (ErzeugeString,
// Zuweisen, SchreibeAusgabe), in-process on real files, FIFOs, pipes and devices.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "io/Ausgabe.h"
#include "io/Eingabe.h"
#include "platform/Datei.h"
#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

using namespace std::literals;

std::string Text(const CString& s) { return std::string(s.Sicht()); }
CString Name(const std::string& s) { return CString(std::string_view(s)); }

// Whether the process has a part of the named file mapped.
bool IstAbgebildet(const std::string& strPfad)
{
    std::ifstream maps("/proc/self/maps");
    std::string zeile;
    while (std::getline(maps, zeile)) {
        if (zeile.size() >= strPfad.size() && zeile.compare(zeile.size() - strPfad.size(), strPfad.size(), strPfad) == 0)
            return true;
    }
    return false;
}

// Writes bytes into a pipe from a thread (so that any size fits) and hands out the read end.
// The writer stops when the reader goes away.
class PipeQuelle {
public:
    explicit PipeQuelle(std::string bytes)
    {
        signal(SIGPIPE, SIG_IGN);
        if (pipe2(m_fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        m_schreiber = std::thread([this, b = std::move(bytes)] {
            std::size_t n = 0;
            while (n < b.size()) {
                const ssize_t w = write(m_fd[1], b.data() + n, b.size() - n);
                if (w <= 0) break;
                n += static_cast<std::size_t>(w);
            }
            close(m_fd[1]);
        });
    }
    ~PipeQuelle()
    {
        SchliesseLesende();
        m_schreiber.join();
    }
    int Lesende() const { return m_fd[0]; }
    int Schreibende() const { return m_fd[1]; }
    void SchliesseLesende()
    {
        if (m_fd[0] >= 0) close(m_fd[0]);
        m_fd[0] = -1;
    }

private:
    int m_fd[2];
    std::thread m_schreiber;
};

class EinAusTest : public ::testing::Test {
protected:
    void SetUp() override { m_strVerzeichnis = NeuesTempVerzeichnis(); }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }
    std::string Datei(const std::string& bytes, const std::string& strName = "eingabe.xml")
    {
        const std::string strPfad = m_strVerzeichnis + "/" + strName;
        EXPECT_TRUE(SchreibeDatei(strPfad, bytes));
        return strPfad;
    }
    // A regular file holding bytes, opened for reading at its start.
    int OffeneDatei(const std::string& bytes) { return open(Datei(bytes, "stdin.bin").c_str(), O_RDONLY); }
    std::string m_strVerzeichnis;
};

// --- LiesDatei ---

struct DateiFall {
    std::string bytes;
    std::string intern;   // the bytes the text holds
    TextForm eForm;
    std::string ausgabe;  // the bytes written for it
    int zeile;
};

TEST_F(EinAusTest, LiesDateiKodierungen)
{
    const TextForm S = TextForm::Schmal, U = TextForm::AusUtf16;
    const DateiFall faelle[] = {
        {""s, ""s, S, ""s, __LINE__},                                                  // empty file: empty text
        {"\xFF\xFE"s, ""s, U, ""s, __LINE__},                                          // only the mark: empty text
        {"\xFF\xFE\x41\x00\x42"s, "A\xF8\x81\x82"s, U, "AB"s, __LINE__},               // odd last byte kept
        {"\xFF\xFE\xE4\x00\xFF"s, "\xC3\xA4\xF8\x83\xBF"s, U, "\xC3\xA4\xFF"s, __LINE__},  // ... whatever its value
        {"\xFF\xFE\x41\x00\x00\x00\x42\x00"s, "A\0B"s, U, "A\0B"s, __LINE__},          // UTF-16 U+0000 kept
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"s, U, "\xF0\x9F\x98\x80"s, __LINE__},  // a pair: its code point
        {"\xFF\xFE\x00\xD8" "A\0"s, "\xED\xA0\x80" "A"s, U, "\xEF\xBF\xBD" "A"s, __LINE__},  // lone high: U+FFFD out
        {"\xFF\xFE\x80\xDC"s, "\xED\xB2\x80"s, U, "\x80"s, __LINE__},                  // lone DC80: its byte out
        {"\xFF\xFE\x00\xDE\x3D\xD8"s, "\xED\xB8\x80\xED\xA0\xBD"s, U, "\xEF\xBF\xBD\xEF\xBF\xBD"s, __LINE__},  // reversed
        {"\xFF\xFE\x0D\x00\x0A\x00"s, "\r\n"s, U, "\r\n"s, __LINE__},                  // UTF-16 CR LF untouched
        {"\xFF"s, "\xFF"s, S, "\xFF"s, __LINE__},                                      // one byte FF: no mark
        {"\xFE\xFF\x41"s, "\xFE\xFF\x41"s, S, "\xFE\xFF\x41"s, __LINE__},              // big-endian mark: narrow
        {"\xEF\xBB\xBF" "A"s, "\xEF\xBB\xBF" "A"s, S, "\xEF\xBB\xBF" "A"s, __LINE__},  // UTF-8 mark kept as text
        {"a\0b"s, "a\0b"s, S, "a\0b"s, __LINE__},                                      // zero byte: goes on
        {"\0\0"s, "\0\0"s, S, "\0\0"s, __LINE__},                                      // only zero bytes
        {"a\r\nb\r"s, "a\r\nb\r"s, S, "a\r\nb\r"s, __LINE__},                          // no newline translation
        {"Gr\xC3\xBC\xC3\x9F" "e"s, "Gr\xC3\xBC\xC3\x9F" "e"s, S, "Gr\xC3\xBC\xC3\x9F" "e"s, __LINE__},  // UTF-8
        {"x\x80y\xED\xA0\x80"s, "x\x80y\xED\xA0\x80"s, S, "x\x80y\xED\xA0\x80"s, __LINE__},  // invalid bytes as they are
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString text("alt"sv);
        DateiFehler fehler;
        EXPECT_TRUE(LiesDatei(text, Name(Datei(f.bytes)), &fehler)) << fehler.strMeldung;
        EXPECT_EQ(Text(text), f.intern);
        EXPECT_EQ(text.Form(), f.eForm);
        EXPECT_EQ(AusgabeVon(text), f.ausgabe);
    }
}

TEST_F(EinAusTest, LiesDateiBildetDieDateiAbSolangeDerTextSieBraucht)
{
    // Larger than several pages and than one 1 MiB request, with multi-byte characters across
    // the borders; the whole file comes through, mapped while the text holds it.
    std::string bytes;
    while (bytes.size() < 3 * 1048576 + 17) bytes += "<a>\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80</a>\n";
    const std::string strPfad = Datei(bytes);
    CString text;
    ASSERT_TRUE(LiesDatei(text, Name(strPfad)));
    EXPECT_TRUE(Text(text) == bytes);
    EXPECT_TRUE(IstAbgebildet(strPfad));
    text.Freigeben();
    EXPECT_FALSE(IstAbgebildet(strPfad)) << "the mapping outlived the text";
    // A later read replaces the text and lets the old mapping go.
    ASSERT_TRUE(LiesDatei(text, Name(strPfad)));
    const std::string strAnderer = Datei("<b/>", "anderer.xml");
    ASSERT_TRUE(LiesDatei(text, Name(strAnderer)));
    EXPECT_EQ(Text(text), "<b/>");
    EXPECT_FALSE(IstAbgebildet(strPfad));
}

struct FehlerFall {
    std::string strPfad;      // relative to the test directory
    std::string strErwartet;  // part of the message
    int nErrno;
    int zeile;
};

TEST_F(EinAusTest, LiesDateiUnlesbar)
{
    Datei("x", "datei");
    mkdir((m_strVerzeichnis + "/verzeichnis").c_str(), 0755);
    const FehlerFall faelle[] = {
        {"fehlt.xml", "Datei nicht gefunden", ENOENT, __LINE__},                 // no such file
        {"verzeichnis", "Ist ein Verzeichnis", EISDIR, __LINE__},                // a directory
        {"datei/unter", "kein Verzeichnis", ENOTDIR, __LINE__},                  // a file used as a folder
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const std::string strPfad = m_strVerzeichnis + "/" + f.strPfad;
        CString text("alt"sv);
        DateiFehler fehler;
        EXPECT_FALSE(LiesDatei(text, Name(strPfad), &fehler));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_NE(fehler.strMeldung.find("\"" + strPfad + "\""), std::string::npos) << fehler.strMeldung;
        EXPECT_NE(fehler.strMeldung.find(f.strErwartet), std::string::npos) << fehler.strMeldung;
        EXPECT_EQ(fehler.nErrno, f.nErrno);
    }
}

TEST_F(EinAusTest, LiesDateiOhneBerechtigung)
{
    const std::string strPfad = Datei("geheim");
    chmod(strPfad.c_str(), 0);
    const CString name = Name(strPfad);
    if (geteuid() != 0) {
        CString text;
        DateiFehler fehler;
        EXPECT_FALSE(LiesDatei(text, name, &fehler));
        EXPECT_NE(fehler.strMeldung.find("Keine Berechtigung"), std::string::npos) << fehler.strMeldung;
        return;
    }
    // Root reads every file: try it as an unprivileged user in a child process instead.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        CString text;
        DateiFehler fehler;
        const bool bGelesen = LiesDatei(text, name, &fehler);
        _exit(bGelesen ? 1 : fehler.strMeldung.find("Keine Berechtigung") == std::string::npos ? 2 : 0);
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFEXITED(nStatus));
    if (WEXITSTATUS(nStatus) == 3) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(WEXITSTATUS(nStatus), 0) << "1: the file was read; 2: the message lacks the reason";
}

TEST_F(EinAusTest, LiesDateiNamenOhneDatei)
{
    // Neither the empty name nor a name with a zero byte inside can name a file.
    for (const CString& name : {CString(), CString("a\0b"sv)}) {
        CString text("alt"sv);
        DateiFehler fehler;
        EXPECT_FALSE(LiesDatei(text, name, &fehler));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_EQ(fehler.nErrno, ENOENT);
    }
}

TEST_F(EinAusTest, LiesDateiNameAusBeliebigenBytes)
{
    // A file name is bytes: invalid UTF-8 in it names the file with exactly those bytes.
    const std::string strName = "n\xFF\xC3(\x80.xml";
    const std::string strPfad = Datei("<x/>", strName);
    CString text;
    DateiFehler fehler;
    ASSERT_TRUE(LiesDatei(text, Name(strPfad), &fehler)) << fehler.strMeldung;
    EXPECT_EQ(Text(text), "<x/>");
    EXPECT_FALSE(LiesDatei(text, Name(m_strVerzeichnis + "/n\xFF\xC3(\x81.xml"), &fehler));
    EXPECT_NE(fehler.strMeldung.find("n\xFF\xC3(\x81.xml\""), std::string::npos) << "the name as given";
}

TEST_F(EinAusTest, LiesDateiAusFifoBisZumEnde)
{
    const std::string strPfad = m_strVerzeichnis + "/fifo";
    ASSERT_EQ(mkfifo(strPfad.c_str(), 0600), 0);
    std::string bytes;
    while (bytes.size() < 2 * 1048576) bytes += "<b>fifo\xC3\xA4</b>";
    std::thread schreiber([&] { SchreibeDatei(strPfad, bytes); });
    CString text;
    DateiFehler fehler;
    const bool bOk = LiesDatei(text, Name(strPfad), &fehler);
    schreiber.join();
    ASSERT_TRUE(bOk) << fehler.strMeldung;
    EXPECT_TRUE(Text(text) == bytes);  // no line feed added: only standard input gains one
}

// --- EingabeWache ---

TEST_F(EinAusTest, WacheMeldetEineGeschrumpfteDatei)
{
    // Reads of vanished pages must give zero bytes, not end the process.
    SchuetzeAbbilder();
    const std::string bytes(3 * 4096 + 100, 'x');
    const struct {
        off_t nNeueLaenge;
        bool bStdin;     // read through LiesStream from a descriptor, else LiesDatei
        bool bGemeldet;  // Pruefe throws
        int zeile;
    } faelle[] = {
        {0, false, true, __LINE__},                                                // all gone
        {static_cast<off_t>(bytes.size() - 1), false, true, __LINE__},             // one byte less
        {static_cast<off_t>(bytes.size()), false, false, __LINE__},                // unchanged
        {static_cast<off_t>(bytes.size() + 4096), false, false, __LINE__},         // grown: the bytes are all there
        {0, true, true, __LINE__},                                                 // a descriptor
        {static_cast<off_t>(bytes.size() + 1), true, false, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const std::string strPfad = Datei(bytes);
        const std::string strAusgabe = m_strVerzeichnis + "/ausgabe";
        CString text;
        EingabeWache wache;
        DateiFehler fehler;
        const int fdEin = f.bStdin ? open(strPfad.c_str(), O_RDONLY) : -1;
        CStdioFile ein(fdEin);
        ASSERT_TRUE(f.bStdin ? LiesStream(text, ein, &fehler, &wache) : LiesDatei(text, Name(strPfad), &fehler, &wache))
            << fehler.strMeldung;
        EXPECT_NO_THROW(wache.Pruefe());
        ASSERT_EQ(truncate(strPfad.c_str(), f.nNeueLaenge), 0);
        const std::string strName = f.bStdin ? "Dateideskriptor " + std::to_string(fdEin) : "Datei \"" + strPfad + "\"";
        const std::string strMeldung = strName + " kann nicht gelesen werden: Die Datei wurde beim Lesen kürzer";
        if (f.bGemeldet) {
            try {
                wache.Pruefe();
                ADD_FAILURE() << "a shrunk file passed";
            } catch (const CFileException& e) {
                EXPECT_EQ(e.Meldung(), strMeldung);
            }
        } else {
            EXPECT_NO_THROW(wache.Pruefe());
        }
        // Whatever the file holds now, its text can be read, and goes out only if it is whole.
        const std::string jetzt = Text(text);
        if (f.nNeueLaenge == 0) {
            EXPECT_EQ(std::count(jetzt.begin(), jetzt.end(), '\0'), std::ssize(bytes));
        }
        const int fdAus = open(strAusgabe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        CStdioFile aus(fdAus);
        EXPECT_EQ(SchreibeAusgabe(BrixSubString(text), aus, &fehler, &wache), !f.bGemeldet);
        close(fdAus);
        if (f.bGemeldet) {
            EXPECT_EQ(fehler.strMeldung, strMeldung);
            EXPECT_EQ(LiesAlles(strAusgabe), "");
        } else {
            EXPECT_TRUE(LiesAlles(strAusgabe) == bytes);
        }
        text.Freigeben();
        if (fdEin >= 0) close(fdEin);
    }
    // A wache that watches nothing has nothing to report.
    const EingabeWache leer;
    EXPECT_NO_THROW(leer.Pruefe());
}

// --- Too little memory ---

TEST_F(EinAusTest, ZuWenigSpeicherZumLesen)
{
    // With the address space allowed to grow by 96 MB: a regular file of 160 MB cannot be mapped
    // nor read whole; a pipe and a FIFO of that much cannot be held; a UTF-16 file of 64 MB
    // maps, but its conversion does not fit beside it. Each fails with the German message and
    // leaves the text empty; a small file still reads.
    constexpr std::int64_t kMehr = 96 << 20;
    signal(SIGPIPE, SIG_IGN);  // the writers below see their reader give up
    const std::string strGross = m_strVerzeichnis + "/gross.xml";
    {
        const int fd = open(strGross.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(ftruncate(fd, 160 << 20), 0);  // sparse: zero bytes, quickly
        close(fd);
    }
    std::string utf16 = "\xFF\xFE";
    utf16.resize(64 << 20, '\x08');  // U+0808 throughout: three bytes for every two
    const std::string strUtf16 = Datei(utf16, "utf16.xml");
    const std::string strKlein = Datei("<klein/>", "klein.xml");
    const std::string strFifo = m_strVerzeichnis + "/fifo";
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    const std::string viel(160 << 20, 'p');

    const auto liesDatei = [](const std::string& strPfad) {
        return [strPfad] {
            CString text("alt"sv);
            DateiFehler fehler;
            const bool bOk = LiesDatei(text, Name(strPfad), &fehler);
            return (bOk ? "ok " + std::to_string(text.GetLength()) : fehler.strMeldung) +
                   (text.IsEmpty() || bOk ? "" : " [text not empty]");
        };
    };
    const auto meldung = [](const std::string& strName) {
        return strName + " kann nicht gelesen werden: Nicht genug Speicher";
    };
    EXPECT_EQ(ImKind(RLIMIT_AS, kMehr, liesDatei(strGross)), meldung("Datei \"" + strGross + "\""));
    EXPECT_EQ(ImKind(RLIMIT_AS, kMehr, liesDatei(strUtf16)), meldung("Datei \"" + strUtf16 + "\""));
    EXPECT_EQ(ImKind(RLIMIT_AS, kMehr, liesDatei(strKlein)), "ok 8");
    {
        std::thread schreiber([&] {
            const int fd = open(strFifo.c_str(), O_WRONLY);
            for (std::size_t n = 0; n < viel.size();) {
                const ssize_t w = write(fd, viel.data() + n, viel.size() - n);
                if (w <= 0) break;  // the reader gave up
                n += static_cast<std::size_t>(w);
            }
            close(fd);
        });
        EXPECT_EQ(ImKind(RLIMIT_AS, kMehr, liesDatei(strFifo)), meldung("Datei \"" + strFifo + "\""));
        schreiber.join();
    }
    {
        PipeQuelle quelle(viel);
        const int fd = quelle.Lesende();
        const std::string ergebnis = ImKind(RLIMIT_AS,
            kMehr,
            [fd] {
                CStdioFile stream(fd);
                CString text("alt"sv);
                DateiFehler fehler;
                return LiesStream(text, stream, &fehler) ? "ok"s : fehler.strMeldung + (text.IsEmpty() ? "" : " [text]");
            },
            quelle.Schreibende());
        quelle.SchliesseLesende();
        EXPECT_EQ(ergebnis, meldung("Dateideskriptor " + std::to_string(fd)));
    }
}

// --- LiesStream ---

struct StreamFall {
    std::string bytes;
    std::string ausPipe;   // not a regular file: read to the end, a last line feed added
    std::string ausDatei;  // a regular file: as it is
    int zeile;
};

TEST_F(EinAusTest, LiesStreamPipeUndDatei)
{
    const StreamFall faelle[] = {
        {""s, ""s, ""s, __LINE__},                                      // empty input: empty text
        {"a\nb"s, "a\nb\n"s, "a\nb"s, __LINE__},                        // a pipe gains the last LF
        {"a\n"s, "a\n"s, "a\n"s, __LINE__},                             // already ends in LF
        {"\n"s, "\n"s, "\n"s, __LINE__},                                // a single LF
        {"a\r\n"s, "a\r\n"s, "a\r\n"s, __LINE__},                       // CR kept
        {"a\r"s, "a\r\n"s, "a\r"s, __LINE__},                           // CR is no line end
        {"x\0y"s, "x\0y\n"s, "x\0y"s, __LINE__},                        // not cut at a zero byte
        {"\xFF\xFE" "A\0"s, "\xFF\xFE" "A\0\n"s, "\xFF\xFE" "A\0"s, __LINE__},  // no UTF-16 on stdin
        {"\xC3"s, "\xC3\n"s, "\xC3"s, __LINE__},                        // a cut-short character stays
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        {
            PipeQuelle quelle(f.bytes);
            CStdioFile stream(quelle.Lesende());
            CString text("alt"sv);
            EXPECT_TRUE(LiesStream(text, stream));
            EXPECT_EQ(Text(text), f.ausPipe);
            EXPECT_EQ(text.Form(), TextForm::Schmal);
        }
        const int fd = OffeneDatei(f.bytes);
        CStdioFile stream(fd);
        CString text("alt"sv);
        EXPECT_TRUE(LiesStream(text, stream));
        EXPECT_EQ(Text(text), f.ausDatei);
        EXPECT_EQ(text.Form(), TextForm::Schmal);
        close(fd);
    }
}

TEST_F(EinAusTest, LiesStreamAbAktuellerPosition)
{
    // A regular file is taken from its current offset on, at any offset (inside the first page,
    // at and around page borders, at the end, beyond it), and the offset moves to the end.
    std::string bytes;
    for (int i = 0; i < 10000; ++i) bytes += static_cast<char>('a' + i % 26);
    const off_t nGroesse = static_cast<off_t>(bytes.size());
    const off_t versaetze[] = {0, 2, 4095, 4096, 4097, 8192, 9999, nGroesse, nGroesse + 5};
    for (const off_t nVersatz : versaetze) {
        SCOPED_TRACE(nVersatz);
        const int fd = OffeneDatei(bytes);
        ASSERT_EQ(lseek(fd, nVersatz, SEEK_SET), nVersatz);
        CStdioFile stream(fd);
        CString text("alt"sv);
        EXPECT_TRUE(LiesStream(text, stream));
        EXPECT_EQ(Text(text), nVersatz < nGroesse ? bytes.substr(static_cast<std::size_t>(nVersatz)) : "");
        EXPECT_EQ(lseek(fd, 0, SEEK_CUR), std::max(nVersatz, nGroesse));
        close(fd);
    }
}

TEST_F(EinAusTest, LiesStreamOhneStreamLaesstTextStehen)
{
    CStdioFile stream(-1);
    CString text("alt"sv);
    DateiFehler fehler;
    EXPECT_FALSE(LiesStream(text, stream, &fehler));
    EXPECT_EQ(Text(text), "alt");
    EXPECT_EQ(fehler.nErrno, EBADF);
}

TEST_F(EinAusTest, LiesStreamLesefehler)
{
    // A descriptor that cannot be read: a write-only one (it cannot be mapped either), and a
    // directory.
    const int fdNurSchreiben = open(Datei("x").c_str(), O_WRONLY);
    const int fdVerzeichnis = open(m_strVerzeichnis.c_str(), O_RDONLY | O_DIRECTORY);
    for (const int fd : {fdNurSchreiben, fdVerzeichnis}) {
        CStdioFile stream(fd);
        CString text("alt"sv);
        DateiFehler fehler;
        EXPECT_FALSE(LiesStream(text, stream, &fehler));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_NE(fehler.strMeldung.find("kann nicht gelesen werden"), std::string::npos) << fehler.strMeldung;
        close(fd);
    }
}

// --- Reading in pieces ---

// Reads bytes three ways: as a named file, as a stream on a regular file, and from a pipe
// (which gains a final LF); every result must be the bytes themselves.
class StueckweiseTest : public EinAusTest {
protected:
    void PruefeAlleWege(const std::string& bytes)
    {
        CString text;
        DateiFehler fehler;
        ASSERT_TRUE(LiesDatei(text, Name(Datei(bytes)), &fehler)) << fehler.strMeldung;
        EXPECT_TRUE(Text(text) == bytes) << "file";
        const int fd = OffeneDatei(bytes);
        {
            CStdioFile stream(fd);
            CString ausStream;
            ASSERT_TRUE(LiesStream(ausStream, stream, &fehler)) << fehler.strMeldung;
            EXPECT_TRUE(Text(ausStream) == bytes) << "stream";
        }
        close(fd);
        PipeQuelle quelle(bytes);
        CStdioFile stream(quelle.Lesende());
        CString ausPipe;
        ASSERT_TRUE(LiesStream(ausPipe, stream, &fehler)) << fehler.strMeldung;
        EXPECT_TRUE(Text(ausPipe) == (bytes.empty() || bytes.back() == '\n' ? bytes : bytes + "\n")) << "pipe";
    }
};

TEST_F(StueckweiseTest, FolgenAnDenStueckgrenzen)
{
    // Every kind of sequence placed so that it starts just before, at and just after each border
    // of a page, of 256 KiB and of 1 MiB, the sizes in which a reader may take its bytes; also
    // at the end.
    const std::string folgen[] = {
        "\xC3\xA4",          // two bytes
        "\xE2\x82\xAC",      // three bytes
        "\xF0\x9F\x98\x80",  // four bytes
        "\xE2\x82",          // cut short
        "\xF0\x9F\x98",      // cut short by one
        "\xC3",              // a lone lead
        "\xA4\xA4",          // stray continuations
        "\xC3\xC3\xA4",      // bad lead, then a good one
    };
    const std::size_t grenzen[] = {4096, 262144, 1048576};
    for (const std::string& folge : folgen) {
        for (const std::size_t nGrenze : grenzen) {
            for (std::size_t nVor = 1; nVor <= 4; ++nVor) {
                for (const bool bAmEnde : {false, true}) {
                    SCOPED_TRACE(testing::Message() << folge.size() << " bytes, " << nVor << " before " << nGrenze
                                                    << (bAmEnde ? ", at the end" : ""));
                    std::string bytes(nGrenze - nVor, 'x');
                    bytes += folge;
                    if (!bAmEnde) bytes += "<a>\n";
                    PruefeAlleWege(bytes);
                }
            }
        }
    }
}

TEST_F(StueckweiseTest, Utf16UeberStueckgrenzen)
{
    // UTF-16LE behind the mark, longer than several pieces, a pair across every kind of border,
    // with and without an odd last byte (which is kept and comes out as itself); from a regular
    // file and from a FIFO.
    std::u16string units;
    while (units.size() < 700000) units += u"<b>\u00E4\U0001F600\u20AC\xDC80</b>\n";
    const std::string bytes = Utf16Datei(units);
    const std::string strFifo = m_strVerzeichnis + "/fifo";
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    for (const bool bUngerade : {false, true}) {
        for (const bool bFifo : {false, true}) {
            SCOPED_TRACE(testing::Message() << bUngerade << bFifo);
            const std::string datei = bUngerade ? bytes + "\x41" : bytes;
            CString text;
            DateiFehler fehler;
            bool bOk;
            if (bFifo) {
                std::thread schreiber([&] { SchreibeDatei(strFifo, datei); });
                bOk = LiesDatei(text, Name(strFifo), &fehler);
                schreiber.join();
            } else {
                bOk = LiesDatei(text, Name(Datei(datei)), &fehler);
            }
            ASSERT_TRUE(bOk) << fehler.strMeldung;
            EXPECT_EQ(text.Form(), TextForm::AusUtf16);
            EXPECT_TRUE(AusgabeVon(text) == SchmalAus(units) + (bUngerade ? "\x41" : ""));
        }
    }
}

TEST_F(EinAusTest, Utf16MarkeAusFifoInKleinenStuecken)
{
    // The mark arrives one byte at a time: it is still recognised.
    const std::string strPfad = m_strVerzeichnis + "/fifo";
    ASSERT_EQ(mkfifo(strPfad.c_str(), 0600), 0);
    std::thread schreiber([&] {
        const int fd = open(strPfad.c_str(), O_WRONLY);
        for (const char c : "\xFF\xFE" "A\0B\0"s) {
            if (write(fd, &c, 1) != 1) break;
            usleep(2000);
        }
        close(fd);
    });
    CString text;
    DateiFehler fehler;
    const bool bOk = LiesDatei(text, Name(strPfad), &fehler);
    schreiber.join();
    ASSERT_TRUE(bOk) << fehler.strMeldung;
    EXPECT_EQ(Text(text), "AB");
    EXPECT_EQ(text.Form(), TextForm::AusUtf16);
}

// --- ErzeugeString and Zuweisen ---

struct KopierFall {
    int nStart;  // -1: a view with no data
    int nEnd;
    std::string erwartet;
    int zeile;
};

TEST(ErzeugeString, SichtenUndForm)
{
    const KopierFall faelle[] = {
        {-1, 0, ""s, __LINE__},       // no data
        {3, 3, ""s, __LINE__},        // empty view
        {1, 4, "b\0d"s, __LINE__},    // a zero byte inside: every byte copied
        {0, 5, "ab\0d\xFF"s, __LINE__},  // the whole string
    };
    for (const TextForm eForm : {TextForm::Schmal, TextForm::AusUtf16}) {
        CString quelle("ab\0d\xFF"sv);
        quelle.SetzeForm(eForm);
        for (const auto& f : faelle) {
            SCOPED_TRACE(f.zeile);
            const BrixSubString sicht = f.nStart < 0 ? BrixSubString() : BrixSubString(&quelle, f.nStart, f.nEnd);
            const CString s = ErzeugeString(sicht);
            EXPECT_EQ(Text(s), f.erwartet);
            // The copy keeps the form of the text it came from (a view with no data has none).
            EXPECT_EQ(s.Form(), f.nStart < 0 ? TextForm::Schmal : eForm);
        }
    }
}

TEST(Zuweisen, FremdeUndEigeneSicht)
{
    const KopierFall faelle[] = {
        {-1, 0, ""s, __LINE__},         // no data empties the target
        {2, 5, "\0de"s, __LINE__},      // a part of the target itself, starting at a zero byte
        {1, 3, "b\0"s, __LINE__},       // a part that ends in a zero byte
        {0, 5, "ab\0de"s, __LINE__},    // the whole target: unchanged, also behind the zero byte
        {5, 5, ""s, __LINE__},          // empty view at the end
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString ziel("ab\0de"sv);
        ziel.SetzeForm(TextForm::AusUtf16);
        const BrixSubString eigene = f.nStart < 0 ? BrixSubString() : BrixSubString(&ziel, f.nStart, f.nEnd);
        EXPECT_EQ(Text(Zuweisen(ziel, eigene)), f.erwartet);
        EXPECT_EQ(ziel.Form(), f.nStart < 0 ? TextForm::Schmal : TextForm::AusUtf16);

        // From another string: its form comes along, whatever the target had.
        CString fremd("ab\0de"sv);
        fremd.SetzeForm(TextForm::AusUtf16);
        CString ziel2("ganz anderer, laengerer Text"sv);
        const BrixSubString fremde = f.nStart < 0 ? BrixSubString() : BrixSubString(&fremd, f.nStart, f.nEnd);
        EXPECT_EQ(Text(Zuweisen(ziel2, fremde)), f.erwartet);
        EXPECT_EQ(ziel2.Form(), f.nStart < 0 ? TextForm::Schmal : TextForm::AusUtf16);
    }
}

// --- SchreibeAusgabe ---

class SchreibeAusgabeTest : public EinAusTest {
protected:
    // Writes the text through a regular file and returns the bytes that arrived.
    std::string Geschrieben(const CString& text)
    {
        const std::string strPfad = m_strVerzeichnis + "/ausgabe";
        const int fd = open(strPfad.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        CStdioFile stream(fd);
        DateiFehler fehler;
        EXPECT_TRUE(SchreibeAusgabe(text, stream, &fehler)) << fehler.strMeldung;
        close(fd);
        return LiesAlles(strPfad);
    }
    static CString InForm(std::string_view bytes, TextForm eForm)
    {
        CString s(bytes);
        s.SetzeForm(eForm);
        return s;
    }
};

TEST_F(SchreibeAusgabeTest, Bytes)
{
    const TextForm S = TextForm::Schmal, U = TextForm::AusUtf16;
    const struct {
        std::string text;
        TextForm eForm;
        std::string bytes;
        int zeile;
    } faelle[] = {
        {""s, S, ""s, __LINE__},                                          // empty text: nothing written
        {"a\0b"s, S, "a\0b"s, __LINE__},                                  // a zero byte is a byte
        {"a\r\nb\n"s, S, "a\r\nb\n"s, __LINE__},                          // no newline translation
        {"\x80\xFF\xED\xA0\x80\xF8\x81\x82"s, S, "\x80\xFF\xED\xA0\x80\xF8\x81\x82"s, __LINE__},  // narrow: as it is
        {"Gr\xC3\xBC\xC3\x9F" "e"s, U, "Gr\xC3\xBC\xC3\x9F" "e"s, __LINE__},  // UTF-16 read: valid text unchanged
        {"\xED\xB2\x80\xED\xB3\xBF"s, U, "\x80\xFF"s, __LINE__},          // lone DC80, DCFF: their bytes
        {"\xED\xB2\x7F"s, U, "\xED\xB2\x7F"s, __LINE__},                  // no surrogate, just bytes: copied
        {"\xED\xB1\xBF" "x"s, U, "\xEF\xBF\xBDx"s, __LINE__},              // lone DC7F: U+FFFD
        {"\xED\xA0\x80" "x"s, U, "\xEF\xBF\xBDx"s, __LINE__},              // lone high: U+FFFD
        {"x\xED\xA0\xBD"s, U, "x\xEF\xBF\xBD"s, __LINE__},                 // lone high at the very end
        {"\xED\xA0\xBD\xED\xB8\x80"s, U, "\xF0\x9F\x98\x80"s, __LINE__},   // high, low side by side: a pair
        {"\xED\xB8\x80\xED\xA0\xBD"s, U, "\xEF\xBF\xBD\xEF\xBF\xBD"s, __LINE__},  // low, high: two lone ones
        {"A\xF8\x81\x82"s, U, "AB"s, __LINE__},                            // the odd last byte of a file
        {"\xF8\x83\xBF"s, U, "\xFF"s, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Geschrieben(InForm(f.text, f.eForm)), f.bytes);
    }
}

TEST_F(SchreibeAusgabeTest, PaareUeberBlockgrenzenBleibenGanz)
{
    // Runs of a high and a low surrogate standing side by side (six bytes, one pair out), longer
    // than an output block, after prefixes of 0 to 5 bytes, put the cut of the first block at
    // every place of a pair.
    for (std::size_t nVor = 0; nVor < 6; ++nVor) {
        SCOPED_TRACE(nVor);
        std::string text(nVor, 'v'), erwartet(nVor, 'v');
        for (int i = 0; i < 180000; ++i) {
            text += "\xED\xA0\xBD\xED\xB8\x80";
            erwartet += "\xF0\x9F\x98\x80";
        }
        text += "\xC3\xA4";
        erwartet += "\xC3\xA4";
        const std::string geschrieben = Geschrieben(InForm(text, TextForm::AusUtf16));
        EXPECT_EQ(geschrieben.size(), erwartet.size());
        EXPECT_TRUE(geschrieben == erwartet) << "a pair was cut";
    }
}

TEST_F(SchreibeAusgabeTest, Schreibfehler)
{
    signal(SIGPIPE, SIG_IGN);
    int fdPipe[2];
    ASSERT_EQ(pipe(fdPipe), 0);
    close(fdPipe[0]);  // nobody reads
    const int fdVoll = open("/dev/full", O_WRONLY);
    const int fdNurLesen = open(Datei("x").c_str(), O_RDONLY);
    const struct {
        int fd;
        int nErrno;
        const char* pText;
        int zeile;
    } faelle[] = {
        {fdVoll, ENOSPC, "Kein Platz auf dem Gerät", __LINE__},    // device full
        {fdNurLesen, EBADF, "Dateideskriptor", __LINE__},          // not open for writing
        {fdPipe[1], EPIPE, "Verbindung geschlossen", __LINE__},    // reader gone
        {-1, EBADF, "Dateideskriptor", __LINE__},                  // no stream attached
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CStdioFile stream(f.fd);
        DateiFehler fehler;
        EXPECT_FALSE(SchreibeAusgabe(CString("Text"sv), stream, &fehler));
        EXPECT_EQ(fehler.nErrno, f.nErrno);
        EXPECT_NE(fehler.strMeldung.find(f.pText), std::string::npos) << fehler.strMeldung;
        EXPECT_NE(fehler.strMeldung.find("kann nicht geschrieben werden"), std::string::npos) << fehler.strMeldung;
    }
    // An empty text writes nothing, so nothing can fail.
    CStdioFile voll(fdVoll);
    EXPECT_TRUE(SchreibeAusgabe(CString(), voll));
    close(fdPipe[1]);
    close(fdVoll);
    close(fdNurLesen);
}

}  // namespace
