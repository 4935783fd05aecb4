// Tests of document input (LiesDatei, LiesStream) and output (ErzeugeString, Zuweisen,
// SchreibeAusgabe), in-process on real files, pipes and devices.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "io/Ausgabe.h"
#include "io/Eingabe.h"
#include "platform/Grenzen.h"
#include "platform/SchmalCodec.h"
#include "support/Prozess.h"

namespace {

using namespace std::string_literals;

std::u16string Text(const CString& s) { return std::u16string(s.Sicht()); }

std::string LiesAlles(const std::string& strPfad)
{
    std::ifstream datei(strPfad, std::ios::binary);
    return {std::istreambuf_iterator<char>(datei), std::istreambuf_iterator<char>()};
}

// Writes bytes into a pipe from a thread (so that any size fits) and hands out the read end.
class PipeQuelle {
public:
    explicit PipeQuelle(std::string bytes)
    {
        if (pipe(m_fd) != 0) throw std::runtime_error("pipe");
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
        m_schreiber.join();
        close(m_fd[0]);
    }
    int Lesende() const { return m_fd[0]; }

private:
    int m_fd[2];
    std::thread m_schreiber;
};

class EinAusTest : public ::testing::Test {
protected:
    void SetUp() override { m_strVerzeichnis = NeuesTempVerzeichnis(); }
    void TearDown() override
    {
        SetzeMaxTextLaenge(kMaxTextLaenge);
        EntferneVerzeichnis(m_strVerzeichnis);
    }
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
    std::u16string erwartet;
    int zeile;
};

TEST_F(EinAusTest, LiesDateiKodierungen)
{
    const DateiFall faelle[] = {
        {""s, u""s, __LINE__},                                                // empty file: empty text
        {"\xFF\xFE"s, u""s, __LINE__},                                        // only the mark: empty text
        {"\xFF\xFE\x41\x00\x42"s, u"A"s, __LINE__},                           // odd last byte dropped
        {"\xFF\xFE\x41\x00\x00\x00\x42\x00"s, u"A\0B"s, __LINE__},            // UTF-16 U+0000 kept
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, u"\U0001F600"s, __LINE__},              // UTF-16 pair
        {"\xFF\xFE\x0D\x00\x0A\x00"s, u"\r\n"s, __LINE__},                    // UTF-16 CR LF untouched
        {"\xFF"s, u"\xDCFF"s, __LINE__},                                      // one byte FF: no mark
        {"\xFE\xFF\x41"s, u"\xDCFE\xDCFF" u"A"s, __LINE__},                   // big-endian mark: narrow
        {"\xEF\xBB\xBF" "A"s, u"\uFEFF" u"A"s, __LINE__},                     // UTF-8 mark kept as text
        {"a\0b"s, u"a\0b"s, __LINE__},                                        // zero byte: U+0000, goes on
        {"\0\0"s, u"\0\0"s, __LINE__},                                        // only zero bytes
        {"a\r\nb\r"s, u"a\r\nb\r"s, __LINE__},                                // no newline translation
        {"Gr\xC3\xBC\xC3\x9F" "e"s, u"Grüße"s, __LINE__},                     // UTF-8 umlauts
        {"x\x80y"s, u"x\xDC80y"s, __LINE__},                                  // invalid byte escaped
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString text(u"alt"s);
        DateiFehler fehler;
        EXPECT_TRUE(LiesDatei(text, CString::AusSchmal(Datei(f.bytes)), &fehler)) << fehler.strMeldung;
        EXPECT_EQ(Text(text), f.erwartet);
    }
}

TEST_F(EinAusTest, LiesDateiGrosseDateiIstVollstaendig)
{
    // More than one 1 MiB request, with multi-byte characters across the request borders.
    std::string bytes;
    while (bytes.size() < 3 * 1048576 + 17) bytes += "<a>\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80</a>\n";
    CString text;
    ASSERT_TRUE(LiesDatei(text, CString::AusSchmal(Datei(bytes))));
    const std::string zurueck = ZuSchmal(text.Sicht());
    EXPECT_EQ(zurueck, bytes);
}

struct FehlerFall {
    std::string strPfad;    // relative to the test directory; "" for the empty name
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
        CString text(u"alt"s);
        DateiFehler fehler;
        EXPECT_FALSE(LiesDatei(text, CString::AusSchmal(strPfad), &fehler));
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
    const CString name = CString::AusSchmal(strPfad);
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

TEST_F(EinAusTest, DateiKuerzerAlsErwartetIstEinFehler)
{
    // What a file that shrinks while it is read looks like: fewer bytes than its length said.
    CFile datei;
    datei.Open(CString::AusSchmal(Datei("0123456789")));
    CBytePuffer puffer;
    try {
        datei.LiesGenau(puffer, 20);
        FAIL() << "a short file passed as complete";
    } catch (const CFileException& e) {
        EXPECT_NE(e.Meldung().find("kürzer"), std::string::npos) << e.Meldung();
        EXPECT_NE(e.Meldung().find("eingabe.xml"), std::string::npos) << e.Meldung();
    }
}

TEST_F(EinAusTest, LiesDateiNamenOhneDatei)
{
    // Neither the empty name nor a name with U+0000 inside can name a file.
    for (const CString& name : {CString(), CString(u"a\0b"s)}) {
        CString text(u"alt"s);
        DateiFehler fehler;
        EXPECT_FALSE(LiesDatei(text, name, &fehler));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_EQ(fehler.nErrno, ENOENT);
    }
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
    const bool bOk = LiesDatei(text, CString::AusSchmal(strPfad), &fehler);
    schreiber.join();
    ASSERT_TRUE(bOk) << fehler.strMeldung;
    EXPECT_EQ(ZuSchmal(text.Sicht()), bytes);
}

struct GrenzFall {
    std::string bytes;
    std::int64_t nGrenze;
    bool bOk;
    int zeile;
};

TEST_F(EinAusTest, LiesDateiLaengengrenze)
{
    const GrenzFall faelle[] = {
        {"abcd", 4, true, __LINE__},                                // exactly at the limit
        {"abcde", 4, false, __LINE__},                              // one unit too many
        {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4", 4, true, __LINE__},     // 8 bytes, 4 units: units count
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\x41", 4, false, __LINE__},  // two pairs and one: 5 units
        {"\xFF\xFE" "a\0b\0c\0d\0"s, 4, true, __LINE__},             // UTF-16 at the limit
        {"\xFF\xFE" "a\0b\0c\0d\0e\0"s, 4, false, __LINE__},         // UTF-16 beyond it
        {std::string(40, 'x'), 4, false, __LINE__},                  // refused before decoding
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString name = CString::AusSchmal(Datei(f.bytes));  // the name is a text too
        SetzeMaxTextLaenge(f.nGrenze);
        CString text(u"alt"s);
        DateiFehler fehler;
        EXPECT_EQ(LiesDatei(text, name, &fehler), f.bOk) << fehler.strMeldung;
        SetzeMaxTextLaenge(kMaxTextLaenge);
        if (!f.bOk) {
            EXPECT_TRUE(text.IsEmpty());
            EXPECT_NE(fehler.strMeldung.find("Text zu lang"), std::string::npos) << fehler.strMeldung;
            EXPECT_NE(fehler.strMeldung.find("eingabe.xml"), std::string::npos) << fehler.strMeldung;
        }
    }
}

// --- LiesStream ---

struct StreamFall {
    std::string bytes;
    std::u16string ausPipe;   // line mode
    std::u16string ausDatei;  // whole-read mode
    int zeile;
};

TEST_F(EinAusTest, LiesStreamPipeUndDatei)
{
    const StreamFall faelle[] = {
        {""s, u""s, u""s, __LINE__},                                      // empty input: empty text
        {"a\nb"s, u"a\nb\n"s, u"a\nb"s, __LINE__},                        // a pipe gains the last LF
        {"a\n"s, u"a\n"s, u"a\n"s, __LINE__},                             // already ends in LF
        {"\n"s, u"\n"s, u"\n"s, __LINE__},                                // a single LF
        {"a\r\n"s, u"a\r\n"s, u"a\r\n"s, __LINE__},                       // CR kept
        {"a\r"s, u"a\r\n"s, u"a\r"s, __LINE__},                           // CR is no line end
        {"x\0y"s, u"x\0y\n"s, u"x\0y"s, __LINE__},                        // not cut at a zero byte
        {"\xFF\xFE" "A\0"s, u"\xDCFF\xDCFE" u"A\0\n"s, u"\xDCFF\xDCFE" u"A\0"s, __LINE__},  // no UTF-16 on stdin
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        {
            PipeQuelle quelle(f.bytes);
            CStdioFile stream(quelle.Lesende());
            CString text(u"alt"s);
            EXPECT_TRUE(LiesStream(text, stream));
            EXPECT_EQ(Text(text), f.ausPipe);
        }
        const int fd = OffeneDatei(f.bytes);
        CStdioFile stream(fd);
        CString text(u"alt"s);
        EXPECT_TRUE(LiesStream(text, stream));
        EXPECT_EQ(Text(text), f.ausDatei);
        close(fd);
    }
}

TEST_F(EinAusTest, LiesStreamAbAktuellerPosition)
{
    const int fd = OffeneDatei("abcdef");
    ASSERT_EQ(lseek(fd, 2, SEEK_SET), 2);
    CStdioFile stream(fd);
    CString text;
    EXPECT_TRUE(LiesStream(text, stream));
    EXPECT_EQ(Text(text), u"cdef");
    close(fd);
}

TEST_F(EinAusTest, LiesStreamOhneStreamLaesstTextStehen)
{
    CStdioFile stream(-1);
    CString text(u"alt"s);
    EXPECT_FALSE(LiesStream(text, stream));
    EXPECT_EQ(Text(text), u"alt");
}

TEST_F(EinAusTest, LiesStreamLesefehler)
{
    // A descriptor that cannot be read: a write-only one, and a directory.
    const int fdNurSchreiben = open(Datei("x").c_str(), O_WRONLY);
    const int fdVerzeichnis = open(m_strVerzeichnis.c_str(), O_RDONLY | O_DIRECTORY);
    for (const int fd : {fdNurSchreiben, fdVerzeichnis}) {
        CStdioFile stream(fd);
        CString text(u"alt"s);
        DateiFehler fehler;
        EXPECT_FALSE(LiesStream(text, stream, &fehler));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_NE(fehler.strMeldung.find("kann nicht gelesen werden"), std::string::npos) << fehler.strMeldung;
        close(fd);
    }
}

TEST_F(EinAusTest, LiesStreamLaengengrenze)
{
    SetzeMaxTextLaenge(4);
    for (const bool bPipe : {false, true}) {
        SCOPED_TRACE(bPipe);
        // "abc" from a pipe gains a LF (4 units: fits); "abcd" gains one too (5 units: refused).
        const std::pair<std::string, bool> faelle[] = {{"abc", true}, {"abcd", !bPipe}, {"abcde", false}};
        for (const auto& [bytes, bOk] : faelle) {
            std::unique_ptr<PipeQuelle> quelle;
            int fd;
            if (bPipe) {
                quelle = std::make_unique<PipeQuelle>(bytes);
                fd = quelle->Lesende();
            } else {
                fd = OffeneDatei(bytes);
            }
            CStdioFile stream(fd);
            CString text;
            DateiFehler fehler;
            EXPECT_EQ(LiesStream(text, stream, &fehler), bOk) << bytes;
            if (!bOk) {
                EXPECT_NE(fehler.strMeldung.find("Text zu lang"), std::string::npos);
            }
            if (!bPipe) close(fd);
        }
    }
}

// --- Reading in pieces ---

// Reads bytes three ways: as a named file, as a stream on a regular file, and from a pipe
// (which gains a final LF); every result must equal the decoding of the whole byte string.
class StueckweiseTest : public EinAusTest {
protected:
    void PruefeAlleWege(const std::string& bytes)
    {
        const CString erwartet = CString::AusSchmal(bytes);
        CString text;
        DateiFehler fehler;
        ASSERT_TRUE(LiesDatei(text, CString::AusSchmal(Datei(bytes)), &fehler)) << fehler.strMeldung;
        EXPECT_TRUE(text == erwartet) << "file";
        const int fd = OffeneDatei(bytes);
        {
            CStdioFile stream(fd);
            CString ausStream;
            ASSERT_TRUE(LiesStream(ausStream, stream, &fehler)) << fehler.strMeldung;
            EXPECT_TRUE(ausStream == erwartet) << "stream";
        }
        close(fd);
        PipeQuelle quelle(bytes);
        CStdioFile stream(quelle.Lesende());
        CString ausPipe;
        ASSERT_TRUE(LiesStream(ausPipe, stream, &fehler)) << fehler.strMeldung;
        const CString erwartetPipe =
            CString::AusSchmal(bytes.empty() || bytes.back() == '\n' ? bytes : bytes + "\n");
        EXPECT_TRUE(ausPipe == erwartetPipe) << "pipe";
    }
};

TEST_F(StueckweiseTest, FolgenAnDenStueckgrenzen)
{
    // Every kind of sequence placed so that it starts just before, at and just after each border
    // of 256 KiB and of 1 MiB, the sizes in which a reader may take its bytes; also at the end.
    const std::string folgen[] = {
        "\xC3\xA4",          // two bytes
        "\xE2\x82\xAC",      // three bytes
        "\xF0\x9F\x98\x80",  // four bytes: a pair
        "\xE2\x82",          // cut short
        "\xF0\x9F\x98",      // cut short by one
        "\xC3",              // a lone lead
        "\xA4\xA4",          // stray continuations
        "\xC3\xC3\xA4",      // bad lead, then a good one
    };
    const std::size_t grenzen[] = {262144, 1048576};
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
    // with and without an odd last byte (which is dropped).
    std::u16string units;
    while (units.size() < 700000) units += u"<b>\u00E4\U0001F600\u20AC</b>\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    for (const bool bUngerade : {false, true}) {
        SCOPED_TRACE(bUngerade);
        const std::string datei = bUngerade ? bytes + "\x41" : bytes;
        CString text;
        DateiFehler fehler;
        ASSERT_TRUE(LiesDatei(text, CString::AusSchmal(Datei(datei)), &fehler)) << fehler.strMeldung;
        EXPECT_TRUE(text.Sicht() == units);
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
    const bool bOk = LiesDatei(text, CString::AusSchmal(strPfad), &fehler);
    schreiber.join();
    ASSERT_TRUE(bOk) << fehler.strMeldung;
    EXPECT_EQ(Text(text), u"AB");
}

struct GrosseGrenzFall {
    std::string bytes;
    std::int64_t nGrenze;
    std::int64_t nUnits;  // the count the refusal names
    int zeile;
};

TEST_F(EinAusTest, GrenzeMittenImGrossenDokumentNenntDieGanzeZahl)
{
    // The limit is passed in a later piece: the refusal still names the count of the whole text.
    std::string umlaute;
    while (umlaute.size() < 1200000) umlaute += "\xC3\xA4";
    std::string utf16 = "\xFF\xFE";
    while (utf16.size() < 1200002) utf16 += "a\0"s;
    const GrosseGrenzFall faelle[] = {
        {std::string(900000, 'x'), 700000, 900000, __LINE__},  // ASCII
        {umlaute, 500000, 600000, __LINE__},                    // two bytes per unit
        {utf16, 500000, 600000, __LINE__},                      // UTF-16
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const std::string strPfad = Datei(f.bytes);
        const std::string strErwartet = "Text zu lang: " + std::to_string(f.nUnits) + " Zeichen";
        SetzeMaxTextLaenge(f.nGrenze);
        CString text(u"alt"s);
        DateiFehler fehler;
        EXPECT_FALSE(LiesDatei(text, CString::AusSchmal(strPfad), &fehler));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_NE(fehler.strMeldung.find(strErwartet), std::string::npos) << fehler.strMeldung;
        if (f.bytes[0] != '\xFF') {
            PipeQuelle quelle(f.bytes);
            CStdioFile stream(quelle.Lesende());
            CString ausPipe;
            EXPECT_FALSE(LiesStream(ausPipe, stream, &fehler));
            // The pipe adds a line feed: one unit more.
            EXPECT_NE(fehler.strMeldung.find("Text zu lang: " + std::to_string(f.nUnits + 1) + " Zeichen"),
                      std::string::npos)
                << fehler.strMeldung;
        }
        SetzeMaxTextLaenge(kMaxTextLaenge);
    }
}

// --- ErzeugeString and Zuweisen ---

struct KopierFall {
    int nStart;  // -1: a view with no data
    int nEnd;
    std::u16string erwartet;
    int zeile;
};

TEST(ErzeugeString, Sichten)
{
    const CString quelle(u"ab\0de"s);
    const KopierFall faelle[] = {
        {-1, 0, u""s, __LINE__},       // no data
        {3, 3, u""s, __LINE__},        // empty view
        {1, 4, u"b\0d"s, __LINE__},    // U+0000 inside: every unit copied
        {0, 5, u"ab\0de"s, __LINE__},  // the whole string, no zero-filling behind U+0000
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const BrixSubString sicht = f.nStart < 0 ? BrixSubString() : BrixSubString(&quelle, f.nStart, f.nEnd);
        EXPECT_EQ(Text(ErzeugeString(sicht)), f.erwartet);
    }
}

TEST(Zuweisen, FremdeUndEigeneSicht)
{
    const KopierFall faelle[] = {
        {-1, 0, u""s, __LINE__},         // no data empties the target
        {2, 5, u"\0de"s, __LINE__},      // a part of the target itself, starting at U+0000
        {1, 3, u"b\0"s, __LINE__},       // a part that ends in U+0000
        {0, 5, u"ab\0de"s, __LINE__},    // the whole target: unchanged, also behind U+0000
        {5, 5, u""s, __LINE__},          // empty view at the end
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString ziel(u"ab\0de"s);
        const BrixSubString eigene = f.nStart < 0 ? BrixSubString() : BrixSubString(&ziel, f.nStart, f.nEnd);
        EXPECT_EQ(Text(Zuweisen(ziel, eigene)), f.erwartet);

        const CString fremd(u"ab\0de"s);
        CString ziel2(u"ganz anderer, laengerer Text"s);
        const BrixSubString fremde = f.nStart < 0 ? BrixSubString() : BrixSubString(&fremd, f.nStart, f.nEnd);
        EXPECT_EQ(Text(Zuweisen(ziel2, fremde)), f.erwartet);
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
};

TEST_F(SchreibeAusgabeTest, Bytes)
{
    const struct {
        std::u16string text;
        std::string bytes;
        int zeile;
    } faelle[] = {
        {u""s, ""s, __LINE__},                                  // empty text: nothing written
        {u"a\0b"s, "a\0b"s, __LINE__},                          // U+0000 as a zero byte
        {u"a\r\nb\n"s, "a\r\nb\n"s, __LINE__},                  // no newline translation
        {u"Grüße"s, "Gr\xC3\xBC\xC3\x9F" "e"s, __LINE__},       // UTF-8
        {u"\xDC80\xDCFF"s, "\x80\xFF"s, __LINE__},              // escaped bytes go back as they came
        {u"\xD800" "x"s, "\xEF\xBF\xBDx"s, __LINE__},           // lone surrogate: U+FFFD
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Geschrieben(CString(f.text)), f.bytes);
    }
}

TEST_F(SchreibeAusgabeTest, PaareUeberBlockgrenzenBleibenGanz)
{
    // Long runs of pairs after prefixes of 0, 1 and 2 units put a pair across every possible cut.
    for (const std::u16string& vorspann : {u""s, u"a"s, u"ab"s}) {
        SCOPED_TRACE(vorspann.size());
        std::u16string text = vorspann;
        for (int i = 0; i < 700000; ++i) text += u"\U0001F600";
        text += u"ä";
        const CString s(text);
        std::string erwartet(Utf16SchmalLaenge(text.data(), text.size()), '\0');
        Utf16ZuSchmal(erwartet.data(), text.data(), text.size());
        const std::string geschrieben = Geschrieben(s);
        ASSERT_EQ(geschrieben.size(), erwartet.size());
        EXPECT_TRUE(geschrieben == erwartet) << "a pair was cut";
        EXPECT_EQ(geschrieben.find("\xEF\xBF\xBD"), std::string::npos);
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
        EXPECT_FALSE(SchreibeAusgabe(CString(u"Text"s), stream, &fehler));
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
