// Tests of the two forms of a text (platform/Textform.h): the length and unit count of a
// character, the step by units, the moves from UTF-16LE and from narrow bytes into the form
// AusUtf16, and the move from there to output bytes.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/Hilfen.h"

namespace {

using namespace std::string_view_literals;

constexpr TextForm S = TextForm::Schmal;
constexpr TextForm A = TextForm::AusUtf16;

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// The form AusUtf16 of UTF-16LE bytes of any length, through the two functions under test: the
// length function must give exactly the bytes written.
std::string Intern(std::string_view le)
{
    const std::size_t n = Utf16InternLaenge(Bytes(le), le.size());
    // Guard bytes on both sides show a write outside the room asked for.
    std::string puffer(n + 2, '#');
    const std::size_t nGeschrieben = Utf16ZuIntern(puffer.data() + 1, Bytes(le), le.size());
    EXPECT_EQ(nGeschrieben, n) << Zeige(le);
    EXPECT_EQ(puffer.front(), '#');
    EXPECT_EQ(puffer.back(), '#') << Zeige(le);
    return puffer.substr(1, nGeschrieben);
}

// The output bytes of a text in the form AusUtf16, into room for exactly its length.
std::string Ausgabe(std::string_view intern)
{
    std::string puffer(intern.size() + 1, '#');
    const std::size_t n = InternZuAusgabe(puffer.data(), intern.data(), intern.size());
    EXPECT_LE(n, intern.size());
    EXPECT_EQ(puffer.back(), '#') << Zeige(intern);
    return puffer.substr(0, n);
}

// --- ZeichenLaenge ---

TEST(ZeichenLaenge, Tabelle)
{
    struct Fall {
        std::string_view bytes;
        std::size_t nRest;  // 0: all of bytes
        TextForm eForm;
        int nLaenge;
        int nUnits;
        int zeile;
    };
    const Fall faelle[] = {
        {"A"sv, 0, S, 1, 1, __LINE__},                      // ASCII
        {"\0"sv, 0, S, 1, 1, __LINE__},                     // a zero byte
        {"\x7F"sv, 0, A, 1, 1, __LINE__},                   // the last ASCII byte
        {"\x80"sv, 0, S, 1, 1, __LINE__},                   // a stray continuation byte
        {"\xC2\x80"sv, 0, S, 2, 1, __LINE__},               // U+0080, the first 2-byte character
        {"\xDF\xBF"sv, 0, S, 2, 1, __LINE__},               // U+07FF, the last
        {"\xC1\xBF"sv, 0, S, 1, 1, __LINE__},               // overlong 2-byte form: a stray lead
        {"\xC3"sv, 0, S, 1, 1, __LINE__},                   // a lead at the end
        {"\xC3x"sv, 0, S, 1, 1, __LINE__},                  // a lead before ASCII
        {"\xC3\xA4\xA4"sv, 0, S, 2, 1, __LINE__},           // what follows a whole character is not looked at
        {"\xE0\xA0\x80"sv, 0, S, 3, 1, __LINE__},           // U+0800, the first 3-byte character
        {"\xE0\x9F\xBF"sv, 0, S, 1, 1, __LINE__},           // overlong 3-byte form
        {"\xE2\x82\xAC"sv, 0, S, 3, 1, __LINE__},           // U+20AC
        {"\xE2\x82\xAC"sv, 2, S, 1, 1, __LINE__},           // cut short by the rest
        {"\xE2\x82x"sv, 0, S, 1, 1, __LINE__},              // cut short by ASCII
        {"\xED\x9F\xBF"sv, 0, S, 3, 1, __LINE__},           // U+D7FF, just below the surrogates
        {"\xED\xA0\x80"sv, 0, S, 1, 1, __LINE__},           // an encoded surrogate is not UTF-8
        {"\xED\xBF\xBF"sv, 0, S, 1, 1, __LINE__},           // nor is the last one
        {"\xED\xA0\x80"sv, 0, A, 3, 1, __LINE__},           // read as UTF-16 it is a lone surrogate: one unit
        {"\xED\xBF\xBF"sv, 0, A, 3, 1, __LINE__},           // U+DFFF alike
        {"\xED\xA0"sv, 0, A, 1, 1, __LINE__},               // cut short
        {"\xEE\x80\x80"sv, 0, S, 3, 1, __LINE__},           // U+E000, just above them
        {"\xEF\xBF\xBF"sv, 0, S, 3, 1, __LINE__},           // U+FFFF
        {"\xF0\x90\x80\x80"sv, 0, S, 4, 2, __LINE__},       // U+10000: a pair
        {"\xF0\x9F\x98\x80"sv, 0, A, 4, 2, __LINE__},       // U+1F600, read as UTF-16 alike
        {"\xF4\x8F\xBF\xBF"sv, 0, S, 4, 2, __LINE__},       // U+10FFFF, the last
        {"\xF0\x8F\xBF\xBF"sv, 0, S, 1, 1, __LINE__},       // overlong 4-byte form
        {"\xF4\x90\x80\x80"sv, 0, S, 1, 1, __LINE__},       // above U+10FFFF
        {"\xF5\x80\x80\x80"sv, 0, S, 1, 1, __LINE__},       // a lead that never starts a character
        {"\xF0\x9F\x98\x80"sv, 3, S, 1, 1, __LINE__},       // cut short by the rest
        {"\xF0\x9F\x98x"sv, 0, S, 1, 1, __LINE__},          // cut short by ASCII
        {"\xF8\x81\x81"sv, 0, A, 3, 0, __LINE__},           // the odd byte of a UTF-16 file: half a unit
        {"\xF8\x83\xBF"sv, 0, A, 3, 0, __LINE__},           // the odd byte FF
        {"\xF8\x81\x81"sv, 0, S, 1, 1, __LINE__},           // narrow: a stray byte
        {"\xF8\x81"sv, 0, A, 1, 1, __LINE__},               // cut short
        {"\xF8x\x81"sv, 0, A, 1, 1, __LINE__},              // not followed by continuation bytes
        {"\xFF"sv, 0, A, 1, 1, __LINE__},                   // never part of a character
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        int nUnits = -7;
        const std::size_t nRest = f.nRest != 0 ? f.nRest : f.bytes.size();
        EXPECT_EQ(ZeichenLaenge(Bytes(f.bytes), nRest, f.eForm, nUnits), f.nLaenge);
        EXPECT_EQ(nUnits, f.nUnits);
    }
}

// --- ZeichenNachUnits ---

TEST(ZeichenNachUnits, Tabelle)
{
    struct Fall {
        std::string_view bytes;
        std::ptrdiff_t n;  // -1: all of bytes
        TextForm eForm;
        std::ptrdiff_t p;
        std::ptrdiff_t nUnits;
        std::ptrdiff_t nErgebnis;
        int zeile;
    };
    const Fall faelle[] = {
        {"abcdef"sv, -1, S, 0, 3, 3, __LINE__},                           // ASCII: a unit a byte
        {"abcdef"sv, -1, S, 2, 3, 5, __LINE__},                           // counted from p
        {"abcdef"sv, -1, S, 2, 0, 2, __LINE__},                           // no step
        {"abc"sv, -1, S, 0, 10, 2, __LINE__},                             // the text ends sooner: its last unit
        {"abc"sv, -1, S, 0, 3, 2, __LINE__},                              // one unit past the end
        {"abc"sv, -1, S, 0, 2, 2, __LINE__},                              // exactly the last unit
        {"a\xF0\x9F\x98\x80" "b"sv, -1, S, 0, 1, 1, __LINE__},          // the first unit of a pair
        {"a\xF0\x9F\x98\x80" "b"sv, -1, S, 0, 2, 1, __LINE__},          // its second: the pair's start
        {"a\xF0\x9F\x98\x80" "b"sv, -1, S, 0, 3, 5, __LINE__},          // behind it
        {"a\xF0\x9F\x98\x80"sv, -1, S, 0, 5, 1, __LINE__},              // the text ends in the pair
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80"sv, -1, S, 4, 1, 4, __LINE__},  // from a pair's start: its second unit
        {"\xC3\xA4\xE2\x82\xAC" "x"sv, -1, S, 0, 2, 5, __LINE__},       // 2 and 3 bytes, one unit each
        {"\x80\x80\x80\x80"sv, -1, S, 0, 2, 2, __LINE__},                // stray bytes, one unit each
        {"\xED\xA0\x80\xED\xB0\x80x"sv, -1, S, 0, 1, 1, __LINE__},       // narrow: encoded surrogates are stray bytes
        {"\xED\xA0\x80\xED\xB0\x80x"sv, -1, A, 0, 1, 0, __LINE__},       // read as UTF-16: a high and a low side by side, a pair
        {"\xED\xA0\x80\xED\xB0\x80x"sv, -1, A, 0, 2, 6, __LINE__},
        {"\xED\xB0\x80\xED\xA0\x80x"sv, -1, A, 0, 1, 3, __LINE__},       // a low before a high: lone, one unit each
        {"\xED\xA0\x80x\xED\xB0\x80"sv, -1, A, 0, 1, 3, __LINE__},       // something between them: lone
        {"a\xF0\x9F\x98\x80"sv, 4, S, 0, 2, 2, __LINE__},                // the end n cuts the pair: stray bytes
        {"ab\xF8\x81\x81"sv, -1, A, 0, 5, 1, __LINE__},                  // the odd byte holds no unit
        {"ab\xF8\x81\x81"sv, -1, A, 0, 2, 1, __LINE__},
        {"ab\xF8\x81\x81"sv, -1, S, 0, 2, 2, __LINE__},                  // narrow: its bytes are stray
        {"a\xF0\x9F\x98\x80\xF8\x81\x81"sv, -1, A, 0, 9, 1, __LINE__},  // a pair before it
        {"\xF8\x81\x81"sv, -1, A, 0, 3, 0, __LINE__},                    // no unit at all: p itself
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const std::ptrdiff_t n = f.n < 0 ? static_cast<std::ptrdiff_t>(f.bytes.size()) : f.n;
        EXPECT_EQ(ZeichenNachUnits(f.bytes.data(), n, f.p, f.nUnits, f.eForm), f.nErgebnis);
    }
}

// --- Utf16InternLaenge, Utf16ZuIntern, InternZuUtf16 ---

TEST(Utf16ZuIntern, Tabelle)
{
    // Each row both ways: InternZuUtf16 gives the bytes back.
    struct Fall {
        std::string_view le;  // UTF-16LE bytes, without a mark
        std::string_view intern;
        int zeile;
    };
    const Fall faelle[] = {
        {""sv, ""sv, __LINE__},                                                  // nothing
        {"A\0"sv, "A"sv, __LINE__},                                              // ASCII: its byte
        {"\0\0"sv, "\0"sv, __LINE__},                                            // U+0000: a zero byte
        {"\x7F\0"sv, "\x7F"sv, __LINE__},
        {"\x80\0"sv, "\xC2\x80"sv, __LINE__},                                    // U+0080: two bytes
        {"\xFF\x07"sv, "\xDF\xBF"sv, __LINE__},                                  // U+07FF
        {"\x00\x08"sv, "\xE0\xA0\x80"sv, __LINE__},                              // U+0800: three bytes
        {"\xE4\0\xAC\x20"sv, "\xC3\xA4\xE2\x82\xAC"sv, __LINE__},                // U+00E4 U+20AC
        {"\xFF\xFF"sv, "\xEF\xBF\xBF"sv, __LINE__},                              // U+FFFF
        {"\x3D\xD8\x00\xDE"sv, "\xF0\x9F\x98\x80"sv, __LINE__},                  // a pair: its code point
        {"\x00\xD8\x00\xDC"sv, "\xF0\x90\x80\x80"sv, __LINE__},                  // D800 DC00: U+10000
        {"\xFF\xDB\xFF\xDF"sv, "\xF4\x8F\xBF\xBF"sv, __LINE__},                  // DBFF DFFF: U+10FFFF
        {"\x00\xD8"sv, "\xED\xA0\x80"sv, __LINE__},                              // a lone high surrogate at the end
        {"\x00\xD8" "A\0"sv, "\xED\xA0\x80" "A"sv, __LINE__},                    // one before ASCII
        {"\xFF\xDB\xFF\xDB"sv, "\xED\xAF\xBF\xED\xAF\xBF"sv, __LINE__},          // two high ones
        {"\x00\xDC"sv, "\xED\xB0\x80"sv, __LINE__},                              // a lone low one
        {"\x80\xDC"sv, "\xED\xB2\x80"sv, __LINE__},                              // DC80
        {"\xFF\xDF"sv, "\xED\xBF\xBF"sv, __LINE__},                              // DFFF
        {"\x00\xDC\x00\xD8"sv, "\xED\xB0\x80\xED\xA0\x80"sv, __LINE__},          // low, then high: no pair
        {"\x00\xD8\x00\xD8\x00\xDC"sv, "\xED\xA0\x80\xF0\x90\x80\x80"sv, __LINE__},  // the second high pairs
        {"A"sv, "\xF8\x81\x81"sv, __LINE__},                                     // the odd last byte 41
        {"\0"sv, "\xF8\x80\x80"sv, __LINE__},                                    // 00
        {"\xFF"sv, "\xF8\x83\xBF"sv, __LINE__},                                  // FF
        {"A\0B"sv, "A\xF8\x81\x82"sv, __LINE__},                                 // behind a unit
        {"\x00\xD8\xDC"sv, "\xED\xA0\x80\xF8\x83\x9C"sv, __LINE__},              // a high one and the byte DC: no pair
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Zeige(Intern(f.le)), Zeige(f.intern));
        EXPECT_EQ(Zeige(Utf16Von(f.intern)), Zeige(f.le));
    }
}

// --- SchmalZuIntern ---

TEST(SchmalZuIntern, Tabelle)
{
    struct Fall {
        std::string_view bytes;
        std::string_view intern;
        int zeile;
    };
    const Fall faelle[] = {
        {""sv, ""sv, __LINE__},                                                          // nothing
        {"a\0b"sv, "a\0b"sv, __LINE__},                                                  // ASCII and a zero byte stay
        {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"sv, "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"sv, __LINE__},  // whole characters stay
        {"\x80"sv, "\xED\xB2\x80"sv, __LINE__},                                          // a stray byte b: DC00 + b
        {"\xBF"sv, "\xED\xB2\xBF"sv, __LINE__},
        {"\xC0"sv, "\xED\xB3\x80"sv, __LINE__},
        {"\xFF"sv, "\xED\xB3\xBF"sv, __LINE__},
        {"\xC3" "a"sv, "\xED\xB3\x83" "a"sv, __LINE__},                                  // a lead before ASCII
        {"\xC0\xAF"sv, "\xED\xB3\x80\xED\xB2\xAF"sv, __LINE__},                          // overlong: two stray bytes
        {"\xED\xA0\x80"sv, "\xED\xB3\xAD\xED\xB2\xA0\xED\xB2\x80"sv, __LINE__},          // an encoded surrogate: three
        {"\xF8\x81\x81"sv, "\xED\xB3\xB8\xED\xB2\x81\xED\xB2\x81"sv, __LINE__},          // the odd byte's form: three
        {"\xF4\x90\x80\x80"sv, "\xED\xB3\xB4\xED\xB2\x90\xED\xB2\x80\xED\xB2\x80"sv, __LINE__},  // above U+10FFFF
        {"\xF0\x9F\x98" "x"sv, "\xED\xB3\xB0\xED\xB2\x9F\xED\xB2\x98" "x"sv, __LINE__},  // a cut-short pair
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Zeige(SchmalZuIntern(f.bytes)), Zeige(f.intern));
    }
}

// --- InternZuAusgabe, HohesEnde ---

TEST(InternZuAusgabe, Tabelle)
{
    struct Fall {
        std::string_view intern;
        std::string_view aus;
        int zeile;
    };
    const Fall faelle[] = {
        {""sv, ""sv, __LINE__},                                                  // nothing
        {"a\0b"sv, "a\0b"sv, __LINE__},                                          // ASCII copied
        {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"sv, "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"sv, __LINE__},  // characters copied
        {"\xED\x9F\xBF"sv, "\xED\x9F\xBF"sv, __LINE__},                          // U+D7FF copied
        {"\xED\xB2\x80"sv, "\x80"sv, __LINE__},                                  // lone DC80: the byte 80
        {"\xED\xB3\xBF"sv, "\xFF"sv, __LINE__},                                  // lone DCFF: FF
        {"a\xED\xB2\x80" "b"sv, "a\x80" "b"sv, __LINE__},                        // between ASCII
        {"\xED\xB1\xBF"sv, "\xEF\xBF\xBD"sv, __LINE__},                          // DC7F: U+FFFD
        {"\xED\xB4\x80"sv, "\xEF\xBF\xBD"sv, __LINE__},                          // DD00: U+FFFD
        {"\xED\xB0\x80"sv, "\xEF\xBF\xBD"sv, __LINE__},                          // DC00
        {"\xED\xBF\xBF"sv, "\xEF\xBF\xBD"sv, __LINE__},                          // DFFF
        {"\xED\xA0\x80"sv, "\xEF\xBF\xBD"sv, __LINE__},                          // a lone high one: D800
        {"\xED\xAF\xBF"sv, "\xEF\xBF\xBD"sv, __LINE__},                          // DBFF
        {"\xED\xA0\x80" "a"sv, "\xEF\xBF\xBD" "a"sv, __LINE__},                  // a high one before ASCII
        {"\xED\xA0\xBD\xED\xB8\x80"sv, "\xF0\x9F\x98\x80"sv, __LINE__},          // high and low side by side: U+1F600
        {"\xED\xA0\x80\xED\xB0\x80"sv, "\xF0\x90\x80\x80"sv, __LINE__},          // D800 DC00: U+10000
        {"\xED\xAF\xBF\xED\xBF\xBF"sv, "\xF4\x8F\xBF\xBF"sv, __LINE__},          // DBFF DFFF: U+10FFFF
        {"\xED\xA0\x80\xED\xB2\x80"sv, "\xF0\x90\x82\x80"sv, __LINE__},          // D800 DC80: a pair, not the byte 80
        {"\xED\xB0\x80\xED\xA0\x80"sv, "\xEF\xBF\xBD\xEF\xBF\xBD"sv, __LINE__},  // low, then high: two lone ones
        {"\xED\xA0\x80\xED\xA0\x80\xED\xB0\x80"sv, "\xEF\xBF\xBD\xF0\x90\x80\x80"sv, __LINE__},  // the second high pairs
        {"\xF8\x81\x81"sv, "A"sv, __LINE__},                                     // the odd byte: itself
        {"\xF8\x80\x80"sv, "\0"sv, __LINE__},
        {"\xF8\x83\xBF"sv, "\xFF"sv, __LINE__},
        {"\xF8\x83\x9C"sv, "\xDC"sv, __LINE__},
        {"\xED\xA0\x80\xF8\x83\x9C"sv, "\xEF\xBF\xBD\xDC"sv, __LINE__},          // a high one before it stays lone
        {"\xF8\x81"sv, "\xF8\x81"sv, __LINE__},                                  // cut short: copied
        {"\xF8x\x81"sv, "\xF8x\x81"sv, __LINE__},                                // no continuation: copied
        {"\xED\xA0"sv, "\xED\xA0"sv, __LINE__},                                  // a surrogate cut short: copied
        {"\xED" "ab"sv, "\xED" "ab"sv, __LINE__},
        {"\xED\xA0\x80\xED\xB0"sv, "\xEF\xBF\xBD\xED\xB0"sv, __LINE__},          // a low one cut short does not pair
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Zeige(Ausgabe(f.intern)), Zeige(f.aus));
    }
}

TEST(HohesEnde, Tabelle)
{
    struct Fall {
        std::string_view intern;
        std::size_t nErgebnis;
        int zeile;
    };
    const Fall faelle[] = {
        {""sv, 0, __LINE__},                                 // nothing
        {"ab"sv, 0, __LINE__},                               // ASCII
        {"\xED\xA0\x80"sv, 3, __LINE__},                     // D800
        {"x\xED\xAF\xBF"sv, 3, __LINE__},                    // DBFF behind ASCII
        {"\xED\xB0\x80"sv, 0, __LINE__},                     // a low one
        {"\xED\xA0\xBD\xED\xB8\x80"sv, 0, __LINE__},         // a whole pair
        {"\xED\xA0\x80" "x"sv, 0, __LINE__},                 // not at the end
        {"\xED\x9F\xBF"sv, 0, __LINE__},                     // U+D7FF
        {"\xA0\x80"sv, 0, __LINE__},                         // its last two bytes only
        {"\xF8\x81\x81"sv, 0, __LINE__},                     // the odd byte
        {"\xF0\x9F\x98\x80"sv, 0, __LINE__},                 // a 4-byte character
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(HohesEnde(f.intern.data(), f.intern.size()), f.nErgebnis);
    }
}

// A text sent out piece by piece, each piece's high surrogate at the end held back for the
// next, comes out as the whole text does, wherever it is cut between characters.
TEST(HohesEnde, StueckweiseWieGanz)
{
    const std::vector<std::string_view> zeichen = {
        "a"sv, "\xED\xA0\xBD"sv, "\xED\xB8\x80"sv, "\xED\xA0\x80"sv, "\xED\xA0\x80"sv, "\xED\xB2\x80"sv,
        "\xF8\x83\x9C"sv, "\xED\xAF\xBF"sv, "b"sv, "\xED\xAF\xBF"sv,
    };
    std::string text;
    std::vector<std::size_t> grenzen = {0};
    for (const std::string_view z : zeichen) {
        text += z;
        grenzen.push_back(text.size());
    }
    const std::string ganz = Ausgabe(text);
    for (const std::size_t k : grenzen) {
        SCOPED_TRACE(k);
        const std::string_view erstes = std::string_view(text).substr(0, k);
        const std::size_t nHalt = HohesEnde(erstes.data(), erstes.size());
        const std::string aus = Ausgabe(erstes.substr(0, k - nHalt)) + Ausgabe(text.substr(k - nHalt));
        EXPECT_EQ(Zeige(aus), Zeige(ganz));
    }
}

// --- Round trips ---

// Every sequence of up to four units of an alphabet of surrogates at the ends of their ranges,
// ASCII, U+00E4, U+20AC and U+0000: read from a UTF-16 file and written out, the units come out as
// the narrow encoder of the tests writes them (pairs as 4 bytes, lone DC80..DCFF as their byte,
// other lone surrogates as U+FFFD). An odd last byte comes out behind them as itself.
TEST(Rundreise, Utf16DateiWieSchmalerKodierer)
{
    const char16_t alphabet[] = {0xD800, 0xDBFF, 0xDC00, 0xDC80, 0xDCFF, 0xDFFF, 0x41, 0xE4, 0x20AC, 0};
    const unsigned char einzelbytes[] = {0x00, 0x41, 0xDC, 0xFF};
    std::vector<std::u16string> folgen = {u""};
    for (std::size_t i = 0; i < folgen.size(); ++i) {
        if (folgen[i].size() == 4) continue;
        for (const char16_t u : alphabet) folgen.push_back(folgen[i] + u);
    }
    ASSERT_EQ(folgen.size(), 11111u);
    int nFehler = 0;
    for (const std::u16string& units : folgen) {
        const std::string erwartet = SchmalAus(units);
        const std::string aus = AusgabeVon(Utf16Text(units));
        bool bGleich = aus == erwartet;
        if (units.size() <= 3) {
            for (const unsigned char b : einzelbytes) {
                bGleich = bGleich && AusgabeVon(Utf16MitEinzelbyte(units, b)) == erwartet + static_cast<char>(b);
            }
        }
        if (!bGleich && ++nFehler <= 10) {
            std::string strUnits;
            for (const char16_t u : units) {
                char a[8];
                std::snprintf(a, sizeof a, " %04X", static_cast<unsigned>(u));
                strUnits += a;
            }
            ADD_FAILURE() << "units" << strUnits << ": " << Zeige(aus) << " statt " << Zeige(erwartet);
        }
    }
    EXPECT_EQ(nFehler, 0);
}

// Narrow bytes taken into the form AusUtf16 are the form of the units a strict decoder makes of
// them, and come out as the same bytes: for every sequence of up to four bytes of an alphabet
// of leads, continuation bytes, ASCII and bytes that start nothing.
TEST(Rundreise, SchmalZuInternUndZurueck)
{
    const char alphabet[] = {'A', '\0', '\x80', '\xA0', '\xBF', '\xC3', '\xED', '\xF0', '\x9F', '\xF8', '\xFF'};
    std::vector<std::string> folgen = {""};
    for (std::size_t i = 0; i < folgen.size(); ++i) {
        if (folgen[i].size() == 4) continue;
        for (const char b : alphabet) folgen.push_back(folgen[i] + b);
    }
    int nFehler = 0;
    for (const std::string& bytes : folgen) {
        const std::string intern = SchmalZuIntern(bytes);
        const bool bGleich =
            intern == Utf16Text(UnitsAus(bytes)).Sicht() && Ausgabe(intern) == bytes;
        if (!bGleich && ++nFehler <= 10) {
            ADD_FAILURE() << Zeige(bytes) << ": " << Zeige(intern) << ", aus " << Zeige(Ausgabe(intern));
        }
    }
    EXPECT_EQ(nFehler, 0);
}

}  // namespace
