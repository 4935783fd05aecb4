// Output targets: the string target that the filters append to, the stream that encodes and
// writes pieces as they come, and the driver, whose last filter writes to that stream: its
// bytes must be those of the whole result made in memory and encoded at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/Treiber.h"
#include "brix/TextZiel.h"
#include "io/Ausgabe.h"
#include "platform/Ausnahmen.h"
#include "platform/Grenzen.h"
#include "platform/SchmalCodec.h"
#include "support/Prozess.h"
#include "support/Zufallsdokument.h"
#include "xml/Filter.h"

namespace {

using namespace std::string_literals;

std::string Kodiert(const std::u16string& text)
{
    std::string bytes(Utf16SchmalLaenge(text.data(), text.size()), '\0');
    bytes.resize(Utf16ZuSchmal(bytes.data(), text.data(), text.size()));
    return bytes;
}

std::string LiesAlles(const std::string& strPfad)
{
    std::ifstream datei(strPfad, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(datei), std::istreambuf_iterator<char>());
}

class ZielTest : public ::testing::Test {
protected:
    void SetUp() override { m_strVerzeichnis = NeuesTempVerzeichnis(); }
    void TearDown() override
    {
        SetzeMaxTextLaenge(kMaxTextLaenge);
        EntferneVerzeichnis(m_strVerzeichnis);
    }
    // Sends the pieces through an output stream into a file and returns the bytes that arrived.
    std::string DurchStrom(const std::vector<std::u16string>& aStuecke)
    {
        const std::string strPfad = m_strVerzeichnis + "/strom";
        const int fd = open(strPfad.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        {
            CStdioFile datei(fd);
            AusgabeStrom strom(datei);
            for (const std::u16string& s : aStuecke) strom.Anhaengen(s.data(), s.size());
            strom.Fertig();
        }
        close(fd);
        return LiesAlles(strPfad);
    }
    std::string m_strVerzeichnis;
};

// --- AusgabeStrom ---

TEST_F(ZielTest, StromSchreibtWasDasGanzeErgibt)
{
    const std::u16string aTexte[] = {
        u""s,
        u"a"s,
        u"<a>Grüße</a>\r\n"s,
        u"x\U0001F600y\U0001F600"s,          // pairs inside and at the end
        u"\xD83D"s,                          // a lone high surrogate at the very end
        u"\xD83D" "a\xDE00\xD800\xD801\xDC00"s,  // lone high, lone low, high before a pair
        u"\xDC80\xDCFF\0z"s,                  // escaped bytes and U+0000
    };
    for (const std::u16string& text : aTexte) {
        SCOPED_TRACE(Lesbar(text));
        const std::string erwartet = Kodiert(text);
        // Every cut into two pieces, and every unit a piece of its own (empty pieces between).
        for (std::size_t i = 0; i <= text.size(); ++i) {
            EXPECT_EQ(DurchStrom({text.substr(0, i), text.substr(i)}), erwartet) << "cut at " << i;
        }
        std::vector<std::u16string> aEinzeln;
        for (char16_t u : text) {
            aEinzeln.push_back(std::u16string(1, u));
            aEinzeln.push_back(u""s);
        }
        EXPECT_EQ(DurchStrom(aEinzeln), erwartet);
    }
}

TEST_F(ZielTest, StromMitGrossenUndKleinenStuecken)
{
    // Large pieces are encoded where they are, small ones gathered; pairs cut between the two
    // kinds, and runs long enough to fill several output blocks.
    std::u16string gross;
    for (int i = 0; i < 300000; ++i) gross += u"\U0001F600\u00e4";
    std::mt19937 rng(7);
    for (int nRunde = 0; nRunde < 20; ++nRunde) {
        SCOPED_TRACE(nRunde);
        std::vector<std::u16string> aStuecke;
        std::u16string ganz;
        std::size_t i = 0;
        while (i < gross.size()) {
            // Lengths from 0 to far beyond the gathering buffer, odd ones cutting pairs.
            static constexpr std::size_t kLaengen[] = {0, 1, 2, 3, 7, 100, 8191, 8192, 8193, 40000, 150001};
            const std::size_t n = std::min(kLaengen[rng() % std::size(kLaengen)], gross.size() - i);
            aStuecke.push_back(gross.substr(i, n));
            ganz += aStuecke.back();
            i += n;
        }
        const std::string geschrieben = DurchStrom(aStuecke);
        ASSERT_EQ(geschrieben.size(), Kodiert(ganz).size());
        EXPECT_TRUE(geschrieben == Kodiert(ganz)) << "bytes differ";
    }
}

TEST_F(ZielTest, StromMeldetSchreibfehlerUndSchreibtKleinesErstAmEnde)
{
    const int fd = open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    CStdioFile voll(fd);
    {
        // A small text is only gathered: the failure shows when it is written at the end.
        AusgabeStrom strom(voll);
        strom.Anhaengen(u"Text", 4);
        EXPECT_THROW(strom.Fertig(), CFileException);
    }
    {
        // A large one is written while it is appended.
        AusgabeStrom strom(voll);
        const std::u16string gross(3000000, u'x');
        EXPECT_THROW(strom.Anhaengen(gross.data(), gross.size()), CFileException);
    }
    {
        // Nothing appended: nothing is written, so nothing fails.
        AusgabeStrom strom(voll);
        EXPECT_NO_THROW(strom.Fertig());
    }
    close(fd);
}

// --- StringZiel ---

TEST_F(ZielTest, StringZielHaengtAnUndWaechst)
{
    const struct {
        std::u16string alt;
        std::vector<std::u16string> stuecke;
        int zeile;
    } faelle[] = {
        {u""s, {}, __LINE__},
        {u""s, {u"a"s, u""s, u"bc"s}, __LINE__},
        {u"alt"s, {u"\0x"s, u"y"s}, __LINE__},                      // keeps what was there, U+0000 too
        {u"a"s, {std::u16string(100000, u'z'), u"!"s}, __LINE__},  // grows past its buffer
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString s(f.alt);
        std::u16string erwartet = f.alt;
        {
            StringZiel ziel(s);
            for (const std::u16string& t : f.stuecke) {
                ziel.Anhaengen(t.data(), t.size());
                erwartet += t;
                EXPECT_EQ(ziel.Laenge(), static_cast<std::int64_t>(erwartet.size()));
            }
        }
        EXPECT_EQ(s.Sicht(), erwartet);
        EXPECT_EQ(s.GetString()[s.GetLength()], 0);
    }
}

TEST_F(ZielTest, StringZielAnDerGrenze)
{
    SetzeMaxTextLaenge(10);
    CString s(u"abc"s);
    {
        StringZiel ziel(s);
        // A hint past the limit is no error; the pieces decide.
        EXPECT_NO_THROW(ziel.Erwarte(100));
        ziel.Anhaengen(u"defg", 4);
        EXPECT_THROW(ziel.Anhaengen(u"hijk", 4), CLaengenException);
        ziel.Anhaengen(u"hij", 3);  // exactly at the limit
    }
    // The string holds every piece appended before and after the refused one.
    EXPECT_EQ(s.Sicht(), u"abcdefghij");
}

// --- The driver's last filter ---

// The text as a UTF-16LE file with byte-order mark: the one way lone surrogates reach the program.
std::string Utf16Datei(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// Runs the driver in-process on a document given in standard input; returns status and output.
struct Lauf {
    int status;
    std::string out;
};

class TreiberZielTest : public ZielTest {
protected:
    // With bDatei the document is read from a file named with "-f" instead.
    Lauf Starte(const std::vector<std::u16string>& args, const std::string& eingabe, bool bDatei = false)
    {
        const std::string strEin = m_strVerzeichnis + "/ein", strAus = m_strVerzeichnis + "/aus",
                          strErr = m_strVerzeichnis + "/err";
        std::vector<CString> argumente;
        if (bDatei) argumente.push_back(CString::AusSchmal("-f" + strEin));
        for (const auto& a : args) argumente.push_back(CString(a));
        SchreibeDatei(strEin, eingabe);
        TreiberKanaele kanaele;
        kanaele.fdEingabe = open(strEin.c_str(), O_RDONLY);
        kanaele.fdAusgabe = open(strAus.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        kanaele.fdFehler = open(strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        Lauf lauf{FuehreBrixfilterAus(argumente, kanaele), ""};
        close(kanaele.fdEingabe);
        close(kanaele.fdAusgabe);
        close(kanaele.fdFehler);
        lauf.out = LiesAlles(strAus);
        return lauf;
    }
};

// The filter of one option, made in memory as the driver does for every filter but the last.
CString ImSpeicher(const std::u16string& option, const CString& text)
{
    const BrixSubString sicht(text);
    CString out;
    const CString opt(option);
    const BrixSubString name = BrixSubString(opt).Mitte(2);
    if (option == u"-c") out = sicht.EntferneKommentare();
    else if (option == u"-t") out = sicht.EntferneTags();
    else if (option == u"-d") LoescheLeereTags(sicht, out);
    else if (option.starts_with(u"-s")) ZeigeTagBlocks(sicht, name, out);
    else if (option.starts_with(u"-S")) UeberspringeTagBlocks(sicht, name, out);
    else {
        const int nGleich = name.FindeZeichen(u'=');
        ErsetzeTagInhalt(sicht, name.Links(nGleich), out, name.Mitte(nGleich + 1));
    }
    return out;
}

TEST_F(TreiberZielTest, LetzterFilterSchreibtDieBytesDesGanzenErgebnisses)
{
    const std::u16string aOptionen[] = {u"-c", u"-t", u"-d", u"-sa,b", u"-Sa", u"-Rb=\U0001F600\xD83D"};
    for (std::uint32_t nSeed = 1; nSeed <= 300; ++nSeed) {
        ZufallsOptionen optionen;
        optionen.nFehlerPromille = static_cast<int>(nSeed % 4) * 40;
        // Pairs split by markup and lone surrogates around it meet again in the output.
        const std::u16string text = u"\xD83D<!---->\xDE00<x>\xD800</x>\xDC00" + ErzeugeZufallsdokument(nSeed, optionen);
        const CString cs(text);
        for (const std::u16string& option : aOptionen) {
            SCOPED_TRACE("seed " + std::to_string(nSeed) + ", option " + Lesbar(option));
            const CString erwartet = ImSpeicher(option, cs);
            const Lauf lauf = Starte({option}, Utf16Datei(text), true);
            ASSERT_EQ(lauf.status, kStatusErfolg);
            EXPECT_EQ(lauf.out, Kodiert(std::u16string(erwartet.Sicht()))) << "document " << Lesbar(text);
        }
    }
}

TEST_F(TreiberZielTest, KettenSchreibenDieBytesDerFilterNacheinander)
{
    // -c, -t and -d write their result over their input when another filter follows; the chain
    // must give what the filters give one after another, each into a string of its own.
    const std::vector<std::vector<std::u16string>> aKetten = {
        {u"-c", u"-t"}, {u"-d", u"-c"}, {u"-c", u"-d", u"-sa,b"}, {u"-t", u"-d"},
        {u"-d", u"-d", u"-Rb=\U0001F600"}, {u"-Sa", u"-c", u"-d"}, {u"-c", u"-c", u"-Sb"},
    };
    for (std::uint32_t nSeed = 1; nSeed <= 200; ++nSeed) {
        ZufallsOptionen optionen;
        optionen.nFehlerPromille = static_cast<int>(nSeed % 4) * 40;
        const std::u16string text = u"<a>\xD83D<!-- c -->\xDE00</a>\r\n<!--x-->\n" + ErzeugeZufallsdokument(nSeed, optionen);
        for (const auto& kette : aKetten) {
            std::string strKette;
            CString erwartet(text);
            for (const std::u16string& option : kette) {
                strKette += Lesbar(option) + " ";
                erwartet = ImSpeicher(option, erwartet);
            }
            SCOPED_TRACE("seed " + std::to_string(nSeed) + ", " + strKette);
            const Lauf lauf = Starte(kette, Utf16Datei(text), true);
            ASSERT_EQ(lauf.status, kStatusErfolg);
            EXPECT_EQ(lauf.out, Kodiert(std::u16string(erwartet.Sicht()))) << "document " << Lesbar(text);
        }
    }
}

TEST_F(ZielTest, EigenZielSchreibtUeberDenText)
{
    // The stripping filters and -d over a string, writing into that same string.
    const std::u16string aTexte[] = {
        u""s, u"abc"s, u"<!---->"s, u"x<!--a-->\r\n<!--b-->\ny"s, u"<a></a>t<b/>u<c>v</c>"s, u"<a><b></b></a>"s,
    };
    for (const std::u16string& t : aTexte) {
        SCOPED_TRACE(Lesbar(t));
        const CString original(t);
        for (int nFilter = 0; nFilter < 3; ++nFilter) {
            CString text(t);
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
            EXPECT_EQ(text.Sicht(), erwartet.Sicht()) << nFilter;
            EXPECT_EQ(text.GetString()[text.GetLength()], 0);
        }
    }
}

TEST_F(TreiberZielTest, ErgebnisNaheDerGrenzeEntstehtImSpeicher)
{
    // With the limit just above the result, the bound that allows writing as it goes is passed:
    // the result is made in memory and still comes out whole.
    const std::string eingabe = "<b>x</b><a/><b>y</b>";
    const struct {
        std::u16string option;
        std::string erwartet;
        int zeile;
    } faelle[] = {
        {u"-Rb=0123456789", "<b>0123456789</b><a/><b>0123456789</b>", __LINE__},
        {u"-sb", "<b>x</b>\r\n<b>y</b>\r\n", __LINE__},
        {u"-d", "<b>x</b><b>y</b>", __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        for (const std::int64_t nGrenze : {std::int64_t{40}, kMaxTextLaenge}) {
            SetzeMaxTextLaenge(nGrenze);
            const Lauf lauf = Starte({f.option}, eingabe);
            SetzeMaxTextLaenge(kMaxTextLaenge);
            EXPECT_EQ(lauf.status, kStatusErfolg) << nGrenze;
            EXPECT_EQ(lauf.out, f.erwartet) << nGrenze;
        }
    }
}

}  // namespace
