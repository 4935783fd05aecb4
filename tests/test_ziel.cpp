// Output targets: the string target that the filters append to, the target that writes over its
// own text, the stream that converts and writes pieces as they come, and the driver, whose last
// filter writes to that stream: its bytes must be those of the whole result made in memory and
// converted at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "app/Treiber.h"
#include "brix/TextZiel.h"
#include "io/Ausgabe.h"
#include "platform/Ausnahmen.h"
#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"
#include "support/Zufallsdokument.h"
#include "xml/Filter.h"

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

// Pieces of text in the form AusUtf16, as the program holds a document read as UTF-16.
const std::string kHoch = "\xED\xA0\xBD";        // the high surrogate D83D, alone
const std::string kTief = "\xED\xB8\x80";        // the low surrogate DE00, alone
const std::string kHoch2 = "\xED\xAF\xBF";       // DBFF, the last high surrogate
const std::string kTief2 = "\xED\xBF\xBF";       // DFFF, the last low surrogate
const std::string kPaar = "\xF0\x9F\x98\x80";    // U+1F600 (D83D DE00 as one character)
const std::string kByte80 = "\xED\xB2\x80";      // DC80: the stray byte 0x80 of narrow text
const std::string kByteFF = "\xED\xB3\xBF";      // DCFF: the stray byte 0xFF
const std::string kUngerade = "\xF8\x81\x81";    // the odd last byte 0x41 of a file
const std::string kUngeradeFF = "\xF8\x83\xBF";  // the odd last byte 0xFF
const std::string kAe = "\xC3\xA4";              // U+00E4
const std::string kEuro = "\xE2\x82\xAC";        // U+20AC

std::string Zeig(std::string_view bytes) { return testing::PrintToString(std::string(bytes)); }

// Patterned bytes that differ from their neighbours and hold zero bytes and bytes above 0x7F.
std::string Muster(std::size_t nAnfang, std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(((nAnfang + i) * 7 + 3) % 251);
    return s;
}

class ZielTest : public ::testing::Test {
protected:
    void SetUp() override { m_strVerzeichnis = NeuesTempVerzeichnis(); }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }
    // Sends the pieces through an output stream into a file and returns the bytes that arrived.
    std::string DurchStrom(const std::vector<std::string_view>& aStuecke, TextForm eForm,
                           AusgabeForm eAusgabe = AusgabeForm::Schmal)
    {
        const std::string strPfad = m_strVerzeichnis + "/strom";
        const int fd = NeueDatei(strPfad);
        EXPECT_GE(fd, 0);
        {
            CStdioFile datei(fd);
            AusgabeStrom strom(datei, eForm, nullptr, eAusgabe);
            for (const std::string_view s : aStuecke) strom.Anhaengen(s.data(), s.size());
            strom.Fertig();
        }
        close(fd);
        return LiesAlles(strPfad);
    }
    // The text cut at the given positions (ascending, within the text).
    static std::vector<std::string_view> Geschnitten(std::string_view text, const std::vector<std::size_t>& aSchnitte)
    {
        std::vector<std::string_view> a;
        std::size_t nVorher = 0;
        for (const std::size_t n : aSchnitte) {
            a.push_back(text.substr(nVorher, n - nVorher));
            nVorher = n;
        }
        a.push_back(text.substr(nVorher));
        return a;
    }
    // Opens a new, empty file for writing. The old one is removed rather than truncated: some file
    // systems write a truncated file's data out first, which makes thousands of runs slow.
    static int NeueDatei(const std::string& strPfad)
    {
        unlink(strPfad.c_str());
        return open(strPfad.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    }
    std::string m_strVerzeichnis;
};

// --- AusgabeStrom ---

TEST_F(ZielTest, StromSchmalSchreibtDieStueckeInReihenfolge)
{
    // Piece lengths: tiny ones gathered, ones of 64 KiB and more written from where they are,
    // and ones that fill or straddle the block of 1 MiB.
    const struct {
        std::vector<std::size_t> aLaengen;
        int zeile;
    } faelle[] = {
        {{}, __LINE__},                                   // nothing: nothing written
        {{0, 0, 0}, __LINE__},                            // empty pieces only
        {{1}, __LINE__},                                  // one byte, written at the end
        {std::vector<std::size_t>(5000, 1), __LINE__},    // many one-byte pieces
        {{65535, 65536, 65537}, __LINE__},                // around the size written directly
        {{1000, 65536, 10}, __LINE__},                    // gathered bytes go out before a direct piece
        {{4095, 1, 4097, 3}, __LINE__},                   // around the first buffer's size
        {{kMiB - 1, 2}, __LINE__},                        // across the block, gathered
        {{kMiB, 1}, __LINE__},                            // a whole block, then one more
        {{60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000, 60000,
          60000, 60000, 60000, 60000}, __LINE__},         // gathered pieces that fill the block unevenly
        {{10, kMiB - 20, 30000, 3 * kMiB, 5}, __LINE__},  // large pieces between small ones
        {{3 * kMiB + 7}, __LINE__},                       // one piece of several blocks
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        std::size_t nGesamt = 0;
        for (const std::size_t n : f.aLaengen) nGesamt += n;
        const std::string ganz = Muster(0, nGesamt);
        std::vector<std::string_view> aStuecke;
        std::size_t i = 0;
        for (const std::size_t n : f.aLaengen) {
            aStuecke.push_back(std::string_view(ganz).substr(i, n));
            i += n;
        }
        const std::string geschrieben = DurchStrom(aStuecke, TextForm::Schmal);
        ASSERT_EQ(geschrieben.size(), ganz.size());
        EXPECT_TRUE(geschrieben == ganz) << "bytes differ";
    }
}

TEST_F(ZielTest, StromSchmalAnJedemSchnitt)
{
    // Narrow text goes out as it is, however it is cut; nothing is held back or converted, not
    // even bytes that look like the held forms.
    const std::string aTexte[] = {
        "<a>Gr" + kAe + "</a>\r\n",
        kHoch + kTief + kPaar,       // encoded surrogates and a 4-byte character
        kUngerade + "\xF0\x9F" + "x", // F8 and a cut-short sequence
        "\0\xFF\x80z"s,
    };
    for (const std::string& text : aTexte) {
        SCOPED_TRACE(Zeig(text));
        for (std::size_t i = 0; i <= text.size(); ++i) {
            for (std::size_t j = i; j <= text.size(); ++j) {
                ASSERT_EQ(DurchStrom(Geschnitten(text, {i, j}), TextForm::Schmal), text) << "cuts " << i << " " << j;
            }
        }
    }
}

// Texts in the form AusUtf16 and what the program writes for each (the rules of
// platform/Textform.h, spelt out here so that the conversion itself is checked too).
struct Utf16Fall {
    std::string text;
    std::string ausgabe;
    int zeile;
};

const std::vector<Utf16Fall>& Utf16Faelle()
{
    static const std::vector<Utf16Fall> faelle = {
        {"", "", __LINE__},
        {"a", "a", __LINE__},
        {"<a>Gr" + kAe + "&" + kEuro + "</a>\r\n", "<a>Gr\xC3\xA4&\xE2\x82\xAC</a>\r\n", __LINE__},
        {"x" + kPaar + "y" + kPaar, "x\xF0\x9F\x98\x80y\xF0\x9F\x98\x80", __LINE__},  // 4-byte sequences inside and at the end
        {kPaar + kPaar + kPaar, kPaar + kPaar + kPaar, __LINE__},                      // back to back
        {kHoch, "\xEF\xBF\xBD", __LINE__},                                             // a lone high surrogate at the very end
        {kHoch + "a" + kTief + kHoch + kPaar, "\xEF\xBF\xBD" "a\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80", __LINE__},  // lone high, lone low, high before a pair
        {kByte80 + kByteFF + "\0z"s, "\x80\xFF\0z"s, __LINE__},                        // stray bytes and a zero byte
        {kHoch + kTief, kPaar, __LINE__},                                               // halves side by side make a pair
        {"a" + kHoch + kTief + kHoch + kTief + "b" + kHoch2 + kTief2, "a" + kPaar + kPaar + "b\xF4\x8F\xBF\xBF", __LINE__},  // several, and the last code point
        {kHoch + kHoch + kTief + kTief, "\xEF\xBF\xBD" + kPaar + "\xEF\xBF\xBD", __LINE__},  // a pair between two lone halves
        {kTief + kHoch, "\xEF\xBF\xBD\xEF\xBF\xBD", __LINE__},                         // low before high: no pair
        {"ab" + kUngerade, "abA", __LINE__},                                            // the odd last byte
        {kHoch + kUngeradeFF, "\xEF\xBF\xBD\xFF", __LINE__},                            // a lone high before it
        {kUngerade + kHoch + kTief + kByteFF, "A" + kPaar + "\xFF", __LINE__},          // the odd byte anywhere
        {kHoch + kByte80, "\xF0\x9F\x92\x80", __LINE__},                                // the unit of a stray byte is a low half too
        {kByte80 + kHoch, "\x80\xEF\xBF\xBD", __LINE__},                                // but not behind the high one
    };
    return faelle;
}

TEST_F(ZielTest, StromAusUtf16AnJedemSchnitt)
{
    for (const Utf16Fall& f : Utf16Faelle()) {
        SCOPED_TRACE(f.zeile);
        const std::string& text = f.text;
        const std::string erwartet = AusgabeVon(text, TextForm::AusUtf16);
        ASSERT_EQ(erwartet, f.ausgabe);
        // Every cut into two and into three pieces (empty ones among them), also written as UTF-16.
        for (std::size_t i = 0; i <= text.size(); ++i) {
            for (std::size_t j = i; j <= text.size(); ++j) {
                ASSERT_EQ(DurchStrom(Geschnitten(text, {i, j}), TextForm::AusUtf16), erwartet)
                    << "cuts " << i << " " << j;
                ASSERT_EQ(DurchStrom(Geschnitten(text, {i, j}), TextForm::AusUtf16, AusgabeForm::WieGelesen),
                          "\xFF\xFE" + Utf16Von(text))
                    << "cuts " << i << " " << j;
            }
        }
        // Every byte a piece of its own, with empty pieces between.
        std::vector<std::string_view> aEinzeln;
        for (std::size_t i = 0; i < text.size(); ++i) {
            aEinzeln.push_back(std::string_view(text).substr(i, 1));
            aEinzeln.push_back({});
        }
        EXPECT_EQ(DurchStrom(aEinzeln, TextForm::AusUtf16), erwartet);
    }
}

TEST_F(ZielTest, StromAusUtf16WieGelesen)
{
    // Documents as the program holds them after reading a UTF-16LE file: each cut anywhere.
    const std::u16string aTexte[] = {
        u"x\U0001F600y\U0001F600"s,
        u"\xD83D" "a\xDE00\xD800\xD801\xDC00"s,
        u"\xDC80\xDCFF\0z"s,
        u"<a>Gr\u00FC\u00DFe</a>\r\n\xDBFF"s,
    };
    for (const std::u16string& units : aTexte) {
        SCOPED_TRACE(Lesbar(units));
        const CString text = Utf16Text(units);
        const std::string erwartet = AusgabeVon(text);
        EXPECT_EQ(erwartet, SchmalAus(units));  // what the narrow encoder makes of the units
        for (std::size_t i = 0; i <= static_cast<std::size_t>(text.GetLength()); ++i) {
            ASSERT_EQ(DurchStrom(Geschnitten(text.Sicht(), {i}), TextForm::AusUtf16), erwartet) << "cut at " << i;
        }
    }
}

TEST_F(ZielTest, StromAusUtf16AnDerBlockgrenze)
{
    // A pair made of two halves, the odd byte and a 4-byte sequence at every place around the
    // end of the first block: a character never goes out cut in two, halves still meet.
    // The text for k is k bytes 'x' and the same end: a tail of the longest one.
    constexpr std::size_t kMax = kMiB + 1;
    const std::string voll = std::string(kMax, 'x') + kHoch + kTief + kUngerade + kPaar + kHoch + kTief + "yz";
    const std::string vollAus = std::string(kMax, 'x') + kPaar + "A" + kPaar + kPaar + "yz";
    ASSERT_TRUE(AusgabeVon(voll, TextForm::AusUtf16) == vollAus);
    for (std::size_t k = kMiB - 12; k <= kMax; ++k) {
        SCOPED_TRACE(k);
        const std::string_view text = std::string_view(voll).substr(kMax - k);
        const std::string_view erwartet = std::string_view(vollAus).substr(kMax - k);
        // Whole, and one piece up to shortly before the block's end with one-byte pieces behind.
        EXPECT_TRUE(DurchStrom({text}, TextForm::AusUtf16) == erwartet);
        std::vector<std::string_view> aStuecke = {text.substr(0, kMiB - 16)};
        for (std::size_t i = kMiB - 16; i < text.size(); ++i) aStuecke.push_back(text.substr(i, 1));
        EXPECT_TRUE(DurchStrom(aStuecke, TextForm::AusUtf16) == erwartet);
        EXPECT_TRUE(DurchStrom(aStuecke, TextForm::AusUtf16, AusgabeForm::WieGelesen) == "\xFF\xFE" + Utf16Von(text));
    }
}

TEST_F(ZielTest, StromMitGrossenUndKleinenStuecken)
{
    // Random piece lengths from one byte to several blocks, in both forms; in the form AusUtf16
    // they cut characters and pairs of halves anywhere, over several output blocks.
    std::string gross;
    for (int i = 0; i < 110000; ++i) gross += kPaar + kAe + kHoch + kTief + kByte80 + "<";
    std::mt19937 rng(7);
    for (int nRunde = 0; nRunde < 8; ++nRunde) {
        const TextForm eForm = nRunde % 2 == 0 ? TextForm::AusUtf16 : TextForm::Schmal;
        SCOPED_TRACE(nRunde);
        std::vector<std::string_view> aStuecke;
        std::size_t i = 0;
        while (i < gross.size()) {
            static constexpr std::size_t kLaengen[] = {0,     1,     2,     3,      5,      7,         100,      4095,
                                                       4096,  65535, 65536, 65537,  150001, kMiB - 1,  kMiB + 1};
            const std::size_t n = std::min(kLaengen[rng() % std::size(kLaengen)], gross.size() - i);
            aStuecke.push_back(std::string_view(gross).substr(i, n));
            i += n;
        }
        const std::string erwartet = AusgabeVon(gross, eForm);
        const std::string geschrieben = DurchStrom(aStuecke, eForm);
        ASSERT_EQ(geschrieben.size(), erwartet.size());
        EXPECT_TRUE(geschrieben == erwartet) << "bytes differ";
    }
}

TEST_F(ZielTest, StromGehtNachFertigWeiter)
{
    // Fertig writes what is held and leaves the stream open: more text may follow, of any size.
    // Each run is made in a child process, so that a stream that writes beyond its buffers
    // cannot harm the other tests; the exit code tells how far it came.
    const struct {
        TextForm eForm;
        std::size_t nVorher;  // bytes appended before Fertig
        std::size_t nNachher; // bytes appended after it
        int zeile;
    } faelle[] = {
        {TextForm::AusUtf16, 10, 2 * kMiB, __LINE__},     // the first small buffer, then blocks
        {TextForm::AusUtf16, 5000, 3 * kMiB, __LINE__},   // a larger one, then blocks
        {TextForm::AusUtf16, 2 * kMiB, 10, __LINE__},     // blocks, then a little
        {TextForm::Schmal, 10, 2 * kMiB, __LINE__},
        {TextForm::Schmal, 10, 40000, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        // Characters of 1, 2, 3 and 4 bytes, none of them a half; whole ones only.
        std::string muster;
        while (muster.size() < f.nVorher + f.nNachher) muster += "a" + kAe + kEuro + kPaar;
        const std::string vorher = muster.substr(0, f.nVorher - f.nVorher % 10);
        const std::string nachher = muster.substr(0, f.nNachher - f.nNachher % 10);
        const std::string strPfad = m_strVerzeichnis + "/weiter";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int fd = NeueDatei(strPfad);
            if (fd < 0) _exit(10);
            CStdioFile datei(fd);
            AusgabeStrom strom(datei, f.eForm);
            strom.Anhaengen(vorher.data(), vorher.size());
            strom.Fertig();
            strom.Anhaengen(nachher.data(), nachher.size());
            strom.Fertig();
            _exit(0);
        }
        int nStatus = 0;
        ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
        EXPECT_TRUE(WIFEXITED(nStatus)) << "signal " << (WIFSIGNALED(nStatus) ? WTERMSIG(nStatus) : 0);
        if (!WIFEXITED(nStatus)) continue;
        EXPECT_EQ(WEXITSTATUS(nStatus), 0);
        EXPECT_TRUE(LiesAlles(strPfad) == AusgabeVon(vorher + nachher, f.eForm));
    }
}

// A pipe whose read end is closed, with SIGPIPE ignored while it lives: writes fail with EPIPE.
class PipeOhneLeser {
public:
    PipeOhneLeser()
    {
        m_alt = std::signal(SIGPIPE, SIG_IGN);
        int fds[2] = {-1, -1};
        if (pipe(fds) == 0) {
            close(fds[0]);
            m_fd = fds[1];
        }
    }
    PipeOhneLeser(const PipeOhneLeser&) = delete;
    PipeOhneLeser& operator=(const PipeOhneLeser&) = delete;
    ~PipeOhneLeser()
    {
        if (m_fd >= 0) close(m_fd);
        std::signal(SIGPIPE, m_alt);
    }
    int Deskriptor() const { return m_fd; }

private:
    int m_fd = -1;
    void (*m_alt)(int) = SIG_DFL;
};

TEST_F(ZielTest, StromMeldetSchreibfehler)
{
    enum class Ziel { Voll, Pipe };
    const struct {
        Ziel ziel;
        TextForm eForm;
        std::size_t nLaenge;       // one piece of this many bytes
        bool bBeimAnhaengen;       // the failure shows while appending (else at Fertig)
        int nErrno;
        int zeile;
    } faelle[] = {
        {Ziel::Voll, TextForm::Schmal, 4, false, ENOSPC, __LINE__},               // small: written at the end
        {Ziel::Voll, TextForm::Schmal, 3 * kMiB, true, ENOSPC, __LINE__},         // large: written while appended
        {Ziel::Voll, TextForm::Schmal, 64 * kKiB, true, ENOSPC, __LINE__},        // written directly
        {Ziel::Voll, TextForm::AusUtf16, 4, false, ENOSPC, __LINE__},
        {Ziel::Voll, TextForm::AusUtf16, 3 * kMiB, true, ENOSPC, __LINE__},       // a full block goes out
        {Ziel::Pipe, TextForm::Schmal, 4, false, EPIPE, __LINE__},
        {Ziel::Pipe, TextForm::Schmal, 3 * kMiB, true, EPIPE, __LINE__},
        {Ziel::Pipe, TextForm::AusUtf16, 10, false, EPIPE, __LINE__},
        {Ziel::Pipe, TextForm::AusUtf16, 3 * kMiB, true, EPIPE, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const PipeOhneLeser ohneLeser;
        const int fd = f.ziel == Ziel::Voll ? open("/dev/full", O_WRONLY) : ohneLeser.Deskriptor();
        ASSERT_GE(fd, 0);
        const std::string text(f.nLaenge, 'x');
        {
            CStdioFile datei(fd);
            AusgabeStrom strom(datei, f.eForm);
            int nErrno = 0;
            bool bAngehaengt = false;
            try {
                strom.Anhaengen(text.data(), text.size());
                bAngehaengt = true;
                strom.Fertig();
            } catch (const CFileException& e) {
                nErrno = e.Fehlernummer();
                EXPECT_FALSE(e.Meldung().empty());
            }
            EXPECT_EQ(nErrno, f.nErrno);
            EXPECT_EQ(!bAngehaengt, f.bBeimAnhaengen);
        }
        {
            // Nothing appended: nothing is written, so nothing fails.
            CStdioFile datei(fd);
            AusgabeStrom strom(datei, f.eForm);
            strom.Anhaengen("", 0);
            EXPECT_NO_THROW(strom.Fertig());
        }
        if (f.ziel == Ziel::Voll) close(fd);
    }
}

// --- StringZiel ---

TEST_F(ZielTest, StringZielHaengtAnUndWaechst)
{
    const struct {
        std::string alt;
        std::vector<std::string> stuecke;
        int zeile;
    } faelle[] = {
        {""s, {}, __LINE__},
        {""s, {"a"s, ""s, "bc"s}, __LINE__},
        {"alt"s, {"\0x"s, "y"s}, __LINE__},                      // keeps what was there, zero bytes too
        {"a"s, {std::string(100000, 'z'), "!"s}, __LINE__},     // grows past its buffer
        {"\xFF"s, {kHoch, kAe, "\x80"s}, __LINE__},              // bytes above 0x7F as they are
        {"b"s, {std::string(5 * kMiB, 'm'), "!"s}, __LINE__},   // into a mapped buffer
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString s(f.alt);
        std::string erwartet = f.alt;
        {
            StringZiel ziel(s);
            for (const std::string& t : f.stuecke) {
                ziel.Anhaengen(t.data(), t.size());
                erwartet += t;
                EXPECT_EQ(ziel.Laenge(), static_cast<std::int64_t>(erwartet.size()));
            }
        }
        EXPECT_TRUE(s.Sicht() == erwartet);
        EXPECT_EQ(s.GetString()[s.GetLength()], 0);
    }
}

TEST_F(ZielTest, StringZielOhneSpeicher)
{
    // In a child whose data limit leaves less than a large piece needs: a hint beyond it is no
    // error, the piece is refused with std::bad_alloc, and the string holds every piece appended
    // before and after it. Exit codes tell the parent what failed.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string gross(96 * kMiB, 'g');
        CString s("abc"sv);
        const std::int64_t nDaten = Belegt(RLIMIT_DATA);
        if (nDaten < 0) _exit(10);
        rlimit lim{};
        if (getrlimit(RLIMIT_DATA, &lim) != 0) _exit(11);
        lim.rlim_cur = static_cast<rlim_t>(nDaten + 32 * static_cast<std::int64_t>(kMiB));
        if (setrlimit(RLIMIT_DATA, &lim) != 0) _exit(12);
        {
            StringZiel ziel(s);
            try {
                ziel.Erwarte(static_cast<std::int64_t>(gross.size()));
            } catch (...) {
                _exit(13);
            }
            ziel.Anhaengen("defg", 4);
            bool bGeworfen = false;
            try {
                ziel.Anhaengen(gross.data(), gross.size());
            } catch (const std::bad_alloc&) {
                bGeworfen = true;
            }
            if (!bGeworfen) _exit(14);
            ziel.Anhaengen("hij", 3);
            if (ziel.Laenge() != 10) _exit(15);
        }
        if (s.Sicht() != "abcdefghij"sv) _exit(16);
        _exit(0);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus)) << "signal " << (WIFSIGNALED(nStatus) ? WTERMSIG(nStatus) : 0);
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
}

// --- The driver's last filter ---

// Runs the driver in-process on a document given in standard input; returns status and output.
struct Lauf {
    int status;
    std::string out;
};

class TreiberZielTest : public ZielTest {
protected:
    // With bDatei the document is read from a file named with "-f" instead.
    Lauf Starte(const std::vector<std::string>& args, const std::string& eingabe, bool bDatei = false)
    {
        const std::string strEin = m_strVerzeichnis + "/ein", strAus = m_strVerzeichnis + "/aus",
                          strErr = m_strVerzeichnis + "/err";
        std::vector<CString> argumente;
        if (bDatei) argumente.emplace_back("-f" + strEin);
        for (const auto& a : args) argumente.emplace_back(a);
        unlink(strEin.c_str());
        EXPECT_TRUE(SchreibeDatei(strEin, eingabe));
        TreiberKanaele kanaele;
        kanaele.fdEingabe = open(strEin.c_str(), O_RDONLY);
        kanaele.fdAusgabe = NeueDatei(strAus);
        kanaele.fdFehler = NeueDatei(strErr);
        Lauf lauf{FuehreBrixfilterAus(argumente, kanaele), ""};
        close(kanaele.fdEingabe);
        close(kanaele.fdAusgabe);
        close(kanaele.fdFehler);
        lauf.out = LiesAlles(strAus);
        return lauf;
    }
};

// The text the program holds for a UTF-16LE file (the bytes behind FF FE), its odd last byte too.
CString AusUtf16Datei(std::string_view datei)
{
    const auto* p = reinterpret_cast<const unsigned char*>(datei.data()) + 2;
    const std::size_t n = datei.size() - 2;
    CString s;
    char* q = s.GetBufferSetLength(static_cast<std::ptrdiff_t>(Utf16InternLaenge(p, n)));
    s.ReleaseBuffer(static_cast<std::ptrdiff_t>(Utf16ZuIntern(q, p, n)));
    s.SetzeForm(TextForm::AusUtf16);
    return s;
}

// The filter of one option, made in memory as the driver does for every filter but the last;
// names and replacements in the form of the text, as the driver takes them.
CString ImSpeicher(std::string_view option, const CString& text)
{
    const TextForm eForm = text.Form();
    const auto InForm = [eForm](std::string_view wert) {
        CString s = eForm == TextForm::Schmal ? CString(wert) : CString(SchmalZuIntern(wert));
        s.SetzeForm(eForm);
        return s;
    };
    const BrixSubString sicht(text);
    const std::string_view rest = option.substr(2);
    CString out;
    if (option == "-c") {
        out = sicht.EntferneKommentare();
    } else if (option == "-t") {
        out = sicht.EntferneTags();
    } else if (option == "-d") {
        LoescheLeereTags(sicht, out);
    } else if (option.starts_with("-s")) {
        const CString namen = InForm(rest);
        ZeigeTagBlocks(sicht, BrixSubString(namen), out);
    } else if (option.starts_with("-S")) {
        const CString name = InForm(rest);
        UeberspringeTagBlocks(sicht, BrixSubString(name), out);
    } else {
        const std::size_t nGleich = rest.find('=');
        const CString name = InForm(rest.substr(0, nGleich));
        const CString ersatz = InForm(rest.substr(nGleich + 1));
        ErsetzeTagInhalt(sicht, BrixSubString(name), out, BrixSubString(ersatz));
    }
    out.SetzeForm(eForm);
    return out;
}

// A seeded document in one of three shapes: narrow bytes, a UTF-16LE file, or one of odd length.
// Pairs split by markup and lone halves around it meet again in the output.
enum class Dokumentart { Schmal, Utf16, Utf16Ungerade };

struct Dokument {
    std::string datei;  // the bytes of the file
    CString text;       // the text the program holds
};

Dokument ErzeugeDokument(std::uint32_t nSeed, Dokumentart art, std::u16string_view vorne)
{
    ZufallsOptionen optionen;
    optionen.nFehlerPromille = static_cast<int>(nSeed % 4) * 40;
    const std::u16string units = std::u16string(vorne) + ErzeugeZufallsdokument(nSeed, optionen);
    Dokument d;
    if (art == Dokumentart::Schmal) {
        // Narrow: the units' bytes, with encoded halves and stray bytes that stay as they are.
        d.datei = "\xED\xA0\xBD<!---->\xFF<x>\xC3</x>\x80" + SchmalAus(units);
        d.text = CString(d.datei);
        return d;
    }
    d.datei = Utf16Datei(units);
    if (art == Dokumentart::Utf16Ungerade) d.datei += static_cast<char>(0x41 + nSeed % 60);
    d.text = AusUtf16Datei(d.datei);
    return d;
}

const char* Name(Dokumentart art)
{
    return art == Dokumentart::Schmal ? "narrow" : art == Dokumentart::Utf16 ? "UTF-16" : "UTF-16, odd length";
}

TEST_F(TreiberZielTest, LetzterFilterSchreibtDieBytesDesGanzenErgebnisses)
{
    const std::string aOptionen[] = {"-c", "-t", "-d", "-sa,b", "-Sa", "-Rb=\xF0\x9F\x98\x80\xFF", "-R\xC3\xA4=x"};
    for (std::uint32_t nSeed = 1; nSeed <= 150; ++nSeed) {
        for (const Dokumentart art : {Dokumentart::Schmal, Dokumentart::Utf16, Dokumentart::Utf16Ungerade}) {
            const Dokument d = ErzeugeDokument(nSeed, art, u"\xD83D<!---->\xDE00<x>\xD800</x>\xDC00<\u00E4>a</\u00E4>");
            for (const std::string& option : aOptionen) {
                SCOPED_TRACE("seed " + std::to_string(nSeed) + ", " + Name(art) + ", option " + Zeig(option));
                const std::string erwartet = AusgabeVon(ImSpeicher(option, d.text));
                const Lauf lauf = Starte({option}, d.datei, true);
                ASSERT_EQ(lauf.status, kStatusErfolg);
                EXPECT_TRUE(lauf.out == erwartet) << "document " << Zeig(d.datei) << "\nexpected " << Zeig(erwartet)
                                                  << "\nwritten " << Zeig(lauf.out);
            }
        }
    }
}

TEST_F(TreiberZielTest, KettenSchreibenDieBytesDerFilterNacheinander)
{
    // -c, -t and -d write their result over their input when another filter follows; the chain
    // must give what the filters give one after another, each into a string of its own.
    const std::vector<std::vector<std::string>> aKetten = {
        {"-c", "-t"}, {"-d", "-c"}, {"-c", "-d", "-sa,b"}, {"-t", "-d"},
        {"-d", "-d", "-Rb=\xF0\x9F\x98\x80"}, {"-Sa", "-c", "-d"}, {"-c", "-c", "-Sb"},
    };
    for (std::uint32_t nSeed = 1; nSeed <= 100; ++nSeed) {
        for (const Dokumentart art : {Dokumentart::Schmal, Dokumentart::Utf16, Dokumentart::Utf16Ungerade}) {
            const Dokument d = ErzeugeDokument(nSeed, art, u"<a>\xD83D<!-- c -->\xDE00</a>\r\n<!--x-->\n");
            for (const auto& kette : aKetten) {
                std::string strKette;
                CString erwartet(d.text);
                for (const std::string& option : kette) {
                    strKette += Zeig(option) + " ";
                    erwartet = ImSpeicher(option, erwartet);
                }
                SCOPED_TRACE("seed " + std::to_string(nSeed) + ", " + Name(art) + ", " + strKette);
                const Lauf lauf = Starte(kette, d.datei, true);
                ASSERT_EQ(lauf.status, kStatusErfolg);
                EXPECT_TRUE(lauf.out == AusgabeVon(erwartet)) << "document " << Zeig(d.datei);
            }
        }
    }
}

TEST_F(TreiberZielTest, GrossesErgebnisKommtGanzHeraus)
{
    // Results of several output blocks, written while they are made: read as UTF-16 (so that
    // pairs and halves meet across blocks) and narrow from standard input. Every option keeps
    // most of the document: -S steps over the one element q at its start, -R puts in as much as
    // it takes out.
    std::u16string units = u"<q>\xD83D</q>\xDE00";
    while (units.size() < 1800000) {
        units += u"<b>Lorem ipsum dolor sit amet, \u00E4\u00F6\u00FC \U0001F600 consectetur\xD83D</b>\xDE00"
                 u"<!-- c \xD800 -->\xDC80<c></c>\r\n<b>\xD800\U00010000\xDBFF</b>\xDFFF\xD800<c>\xDC00</c>";
    }
    const std::string aOptionen[] = {"-c", "-t", "-d", "-sb", "-Sq",
                                     "-Rb=0123456789 \xC3\xA4\xC3\xB6\xC3\xBC \xF0\x9F\x98\x80 0123456789 0123456789"};
    for (const bool bUtf16 : {true, false}) {
        const std::string datei = bUtf16 ? Utf16Datei(units) : SchmalAus(units);
        const CString text = bUtf16 ? AusUtf16Datei(datei) : CString(datei);
        for (const std::string& option : aOptionen) {
            SCOPED_TRACE(Zeig(option) + (bUtf16 ? " UTF-16" : " narrow"));
            const std::string erwartet = AusgabeVon(ImSpeicher(option, text));
            EXPECT_GT(erwartet.size(), kMiB);
            const Lauf lauf = Starte({option}, datei, bUtf16);
            EXPECT_EQ(lauf.status, kStatusErfolg);
            ASSERT_EQ(lauf.out.size(), erwartet.size());
            EXPECT_TRUE(lauf.out == erwartet) << "bytes differ";
        }
    }
}

TEST_F(TreiberZielTest, HaelftenTreffenSichAnDerBlockgrenze)
{
    // A high and a low half that a filter brings together, at every place around the end of the
    // first output block.
    const struct {
        std::string option;
        std::u16string zwischen;  // what the filter takes from between the halves
    } faelle[] = {{"-c", u"<!-- c -->"}, {"-t", u"<x/>"}, {"-d", u"<e></e>"}};
    for (std::size_t k = kMiB - 8; k <= kMiB + 1; ++k) {
        const auto& [option, zwischen] = faelle[k % std::size(faelle)];
        SCOPED_TRACE(std::to_string(k) + " " + option);
        const std::string datei = Utf16Datei(std::u16string(k, u'x') + u"\xD83D" + zwischen + u"\xDE00yz");
        const Lauf lauf = Starte({option}, datei, true);
        EXPECT_EQ(lauf.status, kStatusErfolg);
        EXPECT_EQ(lauf.out.find_first_not_of('x'), k);
        EXPECT_EQ(lauf.out.substr(std::min(k, lauf.out.size())), kPaar + "yz");
    }
}

// --- EigenZiel ---

TEST_F(ZielTest, EigenZielSchreibtUeberDenText)
{
    // The stripping filters and -d over a string, writing into that same string.
    std::string unterbrochen = "<!--";  // an unclosed comment: the walk steps on by units
    for (int i = 0; i < 80; ++i) unterbrochen += kPaar + "<a></a>";
    const struct {
        std::string text;
        TextForm eForm;
        int zeile;
    } faelle[] = {
        {""s, TextForm::Schmal, __LINE__},
        {"abc"s, TextForm::Schmal, __LINE__},
        {"<!---->"s, TextForm::Schmal, __LINE__},
        {"x<!--a-->\r\n<!--b-->\ny"s, TextForm::Schmal, __LINE__},
        {"<a></a>t<b/>u<c>v</c>"s, TextForm::Schmal, __LINE__},
        {"<a><b></b></a>"s, TextForm::Schmal, __LINE__},
        {"\xFF<a>\x80</a><!--\xC3-->\xA4<b></b>\0"s, TextForm::Schmal, __LINE__},  // stray bytes and a zero byte
        {kHoch + "<!---->" + kTief + "<x></x>" + kUngerade, TextForm::AusUtf16, __LINE__},  // halves brought together
        {unterbrochen, TextForm::Schmal, __LINE__},
        {unterbrochen, TextForm::AusUtf16, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString original(f.text);
        original.SetzeForm(f.eForm);
        for (int nFilter = 0; nFilter < 3; ++nFilter) {
            CString text(original);
            CString erwartet;
            {
                EigenZiel ziel(text);
                const BrixSubString sicht(text);
                if (nFilter == 0) {
                    sicht.EntferneKommentare(ziel);
                    erwartet = BrixSubString(original).EntferneKommentare();
                } else if (nFilter == 1) {
                    sicht.EntferneTags(ziel);
                    erwartet = BrixSubString(original).EntferneTags();
                } else {
                    LoescheLeereTags(sicht, ziel);
                    LoescheLeereTags(BrixSubString(original), erwartet);
                }
            }
            EXPECT_TRUE(text.Sicht() == erwartet.Sicht()) << nFilter;
            EXPECT_EQ(text.GetString()[text.GetLength()], 0);
            EXPECT_EQ(text.Form(), f.eForm);
        }
    }
}

}  // namespace
