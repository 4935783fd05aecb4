// End to end on the built binary: the bytes of a document pass through unchanged wherever an
// option keeps text. Every byte value, invalid UTF-8, encoded surrogates and zero bytes, read
// from a named file, from standard input redirected from a file, and from a pipe. A UTF-16LE
// document comes out as the narrow encoding of its units, its odd last byte as itself.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/Bruecke.h"
#include "support/Prozess.h"

namespace {

using namespace std::literals;

// Seeded random bytes without '<' and '>', so that they hold no markup: every value else, zero
// bytes and runs of bytes that are no UTF-8 included.
std::string ZufallsBytes(std::size_t n, unsigned nSaat)
{
    std::mt19937 zufall(nSaat);
    std::string s;
    while (s.size() < n) {
        const auto c = static_cast<char>(zufall() % 256);
        if (c != '<' && c != '>') s += c;
    }
    return s;
}

// Every byte value once, in order ("<=" and ">?" are no markup), then the sequences a strict
// decoder refuses.
std::string AlleBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s + "\xC0\x80\xED\xA0\x80\xED\xBF\xBF\xF4\x90\x80\x80\xE2\x82\xF0\x9F\x98\xC3\xA4\xA4\xF8\x81\x82\xFF\xFE"s;
}

class BytetreueTest : public ::testing::Test {
protected:
    void SetUp() override { m_strVerzeichnis = NeuesTempVerzeichnis(); }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }

    struct Fall {
        std::vector<std::string> args;
        std::string eingabe;  // ends in a line feed, so that a pipe adds none
        std::string erwartet;
        int zeile;
    };

    // Runs every case with the document named by -f, redirected from a file, and through a pipe.
    void PruefeAlleWege(const std::vector<Fall>& faelle)
    {
        const std::string strDatei = m_strVerzeichnis + "/dokument";
        for (const Fall& f : faelle) {
            SCOPED_TRACE(f.zeile);
            if (!ArgumenteErreichenDasProgramm(f.args)) continue;
            ASSERT_EQ(f.eingabe.back(), '\n');
            ASSERT_TRUE(SchreibeDatei(strDatei, f.eingabe));
            std::vector<std::string> mitDatei = f.args;
            mitDatei.insert(mitDatei.begin(), {"-f", strDatei});
            const ProzessErgebnis ergebnisse[] = {
                StarteBrixfilter(mitDatei),
                StarteBrixfilter(f.args, f.eingabe, StdinArt::Datei),
                StarteBrixfilter(f.args, f.eingabe, StdinArt::Pipe),
            };
            for (const ProzessErgebnis& erg : ergebnisse) {
                EXPECT_EQ(erg.status, 0) << erg.err;
                EXPECT_EQ(erg.err, "");
                EXPECT_TRUE(erg.out == f.erwartet) << Abweichung(erg.out, f.erwartet);
            }
        }
    }

    // Where two byte strings first differ, for a readable failure.
    static std::string Abweichung(const std::string& ist, const std::string& soll)
    {
        std::size_t i = 0;
        while (i < ist.size() && i < soll.size() && ist[i] == soll[i]) ++i;
        return "sizes " + std::to_string(ist.size()) + " and " + std::to_string(soll.size()) + ", first difference at " +
               std::to_string(i);
    }

    std::string m_strVerzeichnis;
};

TEST_F(BytetreueTest, SchmaleBytesBleibenWoTextBleibt)
{
    const std::string alle = AlleBytes() + "\n";
    const std::string x = ZufallsBytes(20000, 1), y = ZufallsBytes(5000, 2);
    // A replacement comes from the command line, which holds no zero byte.
    std::string ersatz = AlleBytes().substr(1);
    const std::vector<Fall> faelle = {
        {{}, alle, alle, __LINE__},                                              // no option
        {{}, x + "\n", x + "\n", __LINE__},
        {{"-c"}, alle, alle, __LINE__},                                          // no comment: -c keeps all
        {{"-c"}, x + "\n", x + "\n", __LINE__},
        {{"-t"}, x + "\n", x + "\n", __LINE__},                                  // no tag: -t keeps all
        {{"-d"}, x + "\n", x + "\n", __LINE__},                                  // no element: -d keeps all
        {{"-d"}, alle, alle, __LINE__},
        {{"-Sa"}, x + "\n", x + "\n", __LINE__},                                 // no element to step over
        {{"-Ra=z"}, x + "\n", x + "\n", __LINE__},                               // none to replace in
        {{"-c", "-d", "-t"}, x + "\n", x + "\n", __LINE__},                      // a chain
        {{"-t"}, "<a>" + x + "</a>" + y + "<b/>\n", x + y + "\n", __LINE__},     // text around tags
        {{"-c"}, x + "<!--" + y + "-->" + x + "\n", x + x + "\n", __LINE__},     // text around a comment
        {{"-d"}, x + "<a></a>" + y + "\n", x + y + "\n", __LINE__},              // around an empty element
        {{"-sa"}, y + "<a>" + x + "</a>" + y + "\n", "<a>" + x + "</a>\r\n", __LINE__},  // inside a block
        {{"-Sa"}, "<a>" + x + "</a>" + y + "\n", y + "\n", __LINE__},            // behind a block
        {{"-Ra=" + ersatz}, "<a>" + x + "</a>\n", "<a>" + ersatz + "</a>\n", __LINE__},  // any replacement
        {{"-Ra=" + ersatz, "-c"}, y + "<a>" + x + "</a>\n", y + "<a>" + ersatz + "</a>\n", __LINE__},
    };
    PruefeAlleWege(faelle);
}

// --- UTF-16LE documents ---

// Seeded random UTF-16 units without '<' and '>': every kind of unit, lone surrogates of both
// halves and pairs among them.
std::u16string ZufallsUnits(std::size_t n, unsigned nSaat)
{
    std::mt19937 zufall(nSaat);
    std::u16string s;
    while (s.size() < n) {
        char16_t u;
        switch (zufall() % 6) {
        case 0: u = static_cast<char16_t>(zufall() % 0x80); break;              // ASCII, U+0000 included
        case 1: u = static_cast<char16_t>(0xD800 + zufall() % 0x400); break;    // high surrogate
        case 2: u = static_cast<char16_t>(0xDC00 + zufall() % 0x400); break;    // low surrogate
        case 3: u = static_cast<char16_t>(0xDC80 + zufall() % 0x80); break;     // lone byte stand-ins
        default: u = static_cast<char16_t>(zufall() % 0x10000); break;
        }
        if (u != u'<' && u != u'>') s += u;
    }
    return s;
}

class Utf16Test : public BytetreueTest {
protected:
    struct Utf16Fall {
        std::vector<std::string> args;
        std::u16string units;  // the document behind the mark
        std::string erwartet;
        int zeile;
    };

    // Runs every case as a named file, with and without an odd last byte behind its units.
    void PruefeUtf16(const std::vector<Utf16Fall>& faelle, bool bUngeradeBleibt)
    {
        const std::string strDatei = m_strVerzeichnis + "/utf16.xml";
        for (const Utf16Fall& f : faelle) {
            if (!ArgumenteErreichenDasProgramm(f.args)) continue;
            for (const bool bUngerade : {false, true}) {
                SCOPED_TRACE(testing::Message() << f.zeile << (bUngerade ? ", odd length" : ""));
                ASSERT_TRUE(SchreibeDatei(strDatei, Utf16Datei(f.units) + (bUngerade ? "\x9A" : "")));
                std::vector<std::string> args = f.args;
                args.insert(args.begin(), {"-f", strDatei});
                const ProzessErgebnis erg = StarteBrixfilter(args);
                EXPECT_EQ(erg.status, 0) << erg.err;
                EXPECT_EQ(erg.err, "");
                const std::string erwartet = f.erwartet + (bUngerade && bUngeradeBleibt ? "\x9A" : "");
                EXPECT_TRUE(erg.out == erwartet) << Abweichung(erg.out, erwartet);
            }
        }
    }
};

TEST_F(Utf16Test, UnitsKommenSchmalKodiertHeraus)
{
    const std::u16string x = ZufallsUnits(20000, 3), y = ZufallsUnits(3000, 4);
    // The odd last byte stands at the end of the document: it comes out at the end where the
    // end of the document does.
    const std::vector<Utf16Fall> amEnde = {
        {{}, x, SchmalAus(x), __LINE__},                                             // no option
        {{"-c"}, x, SchmalAus(x), __LINE__},                                         // no comment
        {{"-t"}, x, SchmalAus(x), __LINE__},                                         // no tag
        {{"-d"}, x, SchmalAus(x), __LINE__},
        {{"-Sa"}, x, SchmalAus(x), __LINE__},
        {{"-t"}, u"<a>" + x + u"</a>" + y, SchmalAus(x + y), __LINE__},              // halves may meet
        {{"-c"}, x + u"<!--" + y + u"-->" + x, SchmalAus(x + x), __LINE__},
        {{"-Sa"}, u"<a>" + x + u"</a>" + y, SchmalAus(y), __LINE__},
        {{"-c", "-d", "-t"}, u"<b>" + y + u"</b><!--x--><c></c>" + x, SchmalAus(y + x), __LINE__},
    };
    PruefeUtf16(amEnde, true);
    // A listing holds only the blocks: the odd byte behind them stays out.
    const std::vector<Utf16Fall> ohneEnde = {
        {{"-sa"}, y + u"<a>" + x + u"</a>" + y, SchmalAus(u"<a>" + x + u"</a>") + "\r\n", __LINE__},
    };
    PruefeUtf16(ohneEnde, false);
}

TEST_F(Utf16Test, GetrennteHaelftenFindenZusammen)
{
    // A high and a low surrogate that a filter brings together come out as the pair's four
    // bytes; apart, each is U+FFFD; DC80..DCFF alone are their byte.
    const std::vector<Utf16Fall> faelle = {
        {{"-c"}, u"\xD83D<!--x-->\xDE00", "\xF0\x9F\x98\x80", __LINE__},
        {{"-t"}, u"\xD83D<i>\xDE00</i>", "\xF0\x9F\x98\x80", __LINE__},
        {{"-d"}, u"\xD83D<e></e>\xDC80", "\xF0\x9F\x92\x80", __LINE__},          // low in the byte range
        {{"-t"}, u"\xDE00<i>\xD83D</i>", "\xEF\xBF\xBD\xEF\xBF\xBD", __LINE__},  // wrong order: two lone ones
        {{}, u"\xD83D<i>\xDE00", "\xEF\xBF\xBD<i>\xEF\xBF\xBD", __LINE__},          // kept apart
        {{}, u"\xDC80\xDCFF\xDC7F", "\x80\xFF\xEF\xBF\xBD", __LINE__},
    };
    PruefeUtf16(faelle, true);
}

TEST_F(Utf16Test, ZusammengefuehrteHaelftenAnJederBlockgrenze)
{
    // Pairs brought together by -c, more than one output block of them, behind 0 to 5 units, so
    // that the cut between two blocks falls at every place inside a pair's six bytes (a high and
    // a low surrogate side by side): each must still come out whole.
    for (int nVor = 0; nVor < 6; ++nVor) {
        SCOPED_TRACE(nVor);
        std::u16string units(static_cast<std::size_t>(nVor), u'v');
        std::u16string ohneKommentare = units;
        for (int i = 0; i < 180000; ++i) {
            units += u"\xD83D<!---->\xDE00";
            ohneKommentare += u"\xD83D\xDE00";
        }
        PruefeUtf16({{{"-c"}, units, SchmalAus(ohneKommentare), __LINE__}}, true);
    }
}

TEST_F(Utf16Test, ErsatzAusBeliebigenBytes)
{
    // A replacement's bytes are taken as a strict decoder takes them, and come out as they were
    // given; a name matches the same units (where the option takes names beyond ASCII).
    const std::string ersatz = AlleBytes().substr(1);
    const std::vector<Utf16Fall> faelle = {
        {{"-Ra=" + ersatz}, u"<a>x</a>", "<a>" + ersatz + "</a>", __LINE__},
        {{"-Rb=\xFF\xC3"}, u"<b>\u00E4</b>", "<b>\xFF\xC3</b>", __LINE__},          // invalid bytes alone
        {{"-R\xC3\xA4=y"}, u"<\u00E4>x</\u00E4>", "<\xC3\xA4>x</\xC3\xA4>", __LINE__},  // -R: ASCII names only
        {{"-S\xFF"}, u"<\xDCFF>x</\xDCFF>rest", "rest", __LINE__},               // an invalid byte: its stand-in
        {{"-S\xC3"}, u"<\u00C3>x</\u00C3>rest", "<\xC3\x83>x</\xC3\x83>rest", __LINE__},  // not U+00C3
    };
    PruefeUtf16(faelle, true);
    PruefeUtf16({{{"-s\xC3\xA4"}, u"<\u00E4>x</\u00E4>", "<\xC3\xA4>x</\xC3\xA4>\r\n", __LINE__}}, false);  // any name
}

}  // namespace
