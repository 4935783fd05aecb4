// Tests of the narrow codec: strict UTF-8 decoding with byte escapes, and encoding back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/SchmalCodec.h"

namespace {

std::u16string Dekodiere(const std::string& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::int64_t n = SchmalZaehle(p, bytes.size());
    std::u16string units(static_cast<std::size_t>(n), u'\xFFFF');
    const std::size_t nGeschrieben = SchmalZuUtf16(units.data(), p, bytes.size());
    EXPECT_EQ(nGeschrieben, static_cast<std::size_t>(n)) << "count and conversion disagree";
    return units;
}

std::string Kodiere(const std::u16string& units)
{
    const std::size_t n = Utf16SchmalLaenge(units.data(), units.size());
    std::string bytes(n, '\x55');
    const std::size_t nGeschrieben = Utf16ZuSchmal(bytes.data(), units.data(), units.size());
    EXPECT_EQ(nGeschrieben, n) << "measured and written lengths disagree";
    return bytes;
}

// --- Decoding ---

struct DekodierFall {
    std::string bytes;
    std::u16string units;
    int zeile;
};

TEST(SchmalCodecDekodieren, GueltigeUndUngueltigeFolgen)
{
    const DekodierFall faelle[] = {
        {"", u"", __LINE__},                                                      // nothing
        {"abc", u"abc", __LINE__},                                                // ASCII
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3), __LINE__},           // zero byte is U+0000
        {"\xC3\xA4", u"\u00E4", __LINE__},                                        // 2 bytes
        {"\xC2\x80", u"\u0080", __LINE__},                                        // smallest 2-byte
        {"\xDF\xBF", u"\u07FF", __LINE__},                                        // largest 2-byte
        {"\xE0\xA0\x80", u"\u0800", __LINE__},                                    // smallest 3-byte
        {"\xE2\x82\xAC", u"\u20AC", __LINE__},                                    // euro sign
        {"\xED\x9F\xBF", u"\uD7FF", __LINE__},                                    // just below the surrogates
        {"\xEE\x80\x80", u"\uE000", __LINE__},                                    // just above the surrogates
        {"\xEF\xBF\xBF", u"\uFFFF", __LINE__},                                    // largest 3-byte
        {"\xF0\x90\x80\x80", u"\U00010000", __LINE__},                            // smallest 4-byte: a pair
        {"\xF0\x9F\x98\x80", u"\U0001F600", __LINE__},                            // emoji: a pair
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", __LINE__},                            // largest code point
        {"\xC0\x80", u"\xDCC0\xDC80", __LINE__},                                  // overlong 2-byte zero
        {"\xC1\xBF", u"\xDCC1\xDCBF", __LINE__},                                  // overlong 2-byte
        {"\xE0\x80\x80", u"\xDCE0\xDC80\xDC80", __LINE__},                        // overlong 3-byte
        {"\xE0\x9F\xBF", u"\xDCE0\xDC9F\xDCBF", __LINE__},                        // overlong 3-byte, top
        {"\xF0\x80\x80\x80", u"\xDCF0\xDC80\xDC80\xDC80", __LINE__},              // overlong 4-byte
        {"\xF0\x8F\xBF\xBF", u"\xDCF0\xDC8F\xDCBF\xDCBF", __LINE__},              // overlong 4-byte, top
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80", __LINE__},                        // encoded high surrogate
        {"\xED\xBF\xBF", u"\xDCED\xDCBF\xDCBF", __LINE__},                        // encoded low surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80", __LINE__},              // U+110000
        {"\xF5\x80\x80\x80", u"\xDCF5\xDC80\xDC80\xDC80", __LINE__},              // lead byte F5
        {"\xFE\xFF", u"\xDCFE\xDCFF", __LINE__},                                  // never-valid bytes
        {"\xE2\x82", u"\xDCE2\xDC82", __LINE__},                                  // cut short at the end
        {"\xE2\x82" "A", u"\xDCE2\xDC82" u"A", __LINE__},                         // cut short before ASCII
        {"\xF0\x9F\x98", u"\xDCF0\xDC9F\xDC98", __LINE__},                        // 4-byte cut short
        {"\xC3", u"\xDCC3", __LINE__},                                            // lone lead at the end
        {"\x80", u"\xDC80", __LINE__},                                            // stray continuation
        {"\xC3\xA4\xA4", u"\u00E4\xDCA4", __LINE__},                              // continuation too many
        {"\xC3\xC3\xA4", u"\xDCC3\u00E4", __LINE__},                              // bad lead, then a good one
        {"1234567\xC3\xA4", u"1234567\u00E4", __LINE__},                          // sequence across the 8-byte step
        {"12345678\xC3\xA4" "12345678", u"12345678\u00E4" u"12345678", __LINE__}, // fast path on both sides
        {"1234567\xE2\x82", u"1234567\xDCE2\xDC82", __LINE__},                    // cut short after the fast path
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Dekodiere(f.bytes), f.units);
    }
}

// --- Encoding ---

struct KodierFall {
    std::u16string units;
    std::string bytes;
    int zeile;
};

TEST(SchmalCodecKodieren, EinheitenZuBytes)
{
    const KodierFall faelle[] = {
        {u"", "", __LINE__},                                                    // nothing
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3), __LINE__},         // U+0000 is a zero byte
        {u"\u00E4", "\xC3\xA4", __LINE__},                                      // 2 bytes
        {u"\u20AC", "\xE2\x82\xAC", __LINE__},                                  // 3 bytes
        {u"\U0001F600", "\xF0\x9F\x98\x80", __LINE__},                          // valid pair: 4 bytes
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF", __LINE__},                          // largest pair
        {u"\xD800", "\xEF\xBF\xBD", __LINE__},                                  // lone high: U+FFFD
        {u"\xD83D" u"A", "\xEF\xBF\xBD" "A", __LINE__},                         // high before ASCII: U+FFFD
        {u"\xDE00", "\xEF\xBF\xBD", __LINE__},                                  // lone low outside the escapes
        {u"\xDC7F", "\xEF\xBF\xBD", __LINE__},                                  // just below the escapes
        {u"\xDC80", "\x80", __LINE__},                                          // smallest escape: its byte
        {u"\xDCFF", "\xFF", __LINE__},                                          // largest escape: its byte
        {u"\xDD00", "\xEF\xBF\xBD", __LINE__},                                  // just above the escapes
        {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD", __LINE__},                // reversed pair: two lone units
        {u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80", __LINE__},      // lone high, then a pair
        {u"\xD83D\xDC80", "\xF0\x9F\x92\x80", __LINE__},                        // escape value after a high: a pair
        {u"abc\xD83D", "abc\xEF\xBF\xBD", __LINE__},                            // high as the last unit is lone
        {u"abcd\u00E4", "abcd\xC3\xA4", __LINE__},                              // after the 4-unit fast path
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(Kodiere(f.units), f.bytes);
    }
}

// --- Round trips ---

TEST(SchmalCodecRundreise, JedesByteUndJedesBytepaar)
{
    for (int a = 0; a < 256; ++a) {
        const std::string eins(1, static_cast<char>(a));
        ASSERT_EQ(Kodiere(Dekodiere(eins)), eins) << "byte " << a;
        for (int b = 0; b < 256; ++b) {
            const std::string zwei{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(Kodiere(Dekodiere(zwei)), zwei) << "bytes " << a << " " << b;
        }
    }
}

TEST(SchmalCodecRundreise, ZufaelligeBytes)
{
    // Bytes drawn mostly from the interesting places: ASCII, continuations, every kind of lead.
    const unsigned char auswahl[] = {0x00, 'a', '<', 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2,
                                     0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::mt19937 zufall(20240601);
    for (int nRunde = 0; nRunde < 20000; ++nRunde) {
        std::string bytes(zufall() % 40, '\0');
        for (char& c : bytes)
            c = static_cast<char>(zufall() % 4 == 0 ? zufall() % 256 : auswahl[zufall() % sizeof auswahl]);
        const std::u16string units = Dekodiere(bytes);
        ASSERT_LE(units.size(), bytes.size());
        ASSERT_EQ(Kodiere(units), bytes) << "round " << nRunde;
    }
}

TEST(SchmalCodecRundreise, GueltigerTextKommtGleichZurueck)
{
    // Text without lone surrogates and without escape units survives encoding and decoding.
    std::mt19937 zufall(7);
    for (int nRunde = 0; nRunde < 5000; ++nRunde) {
        std::u16string text;
        const int n = static_cast<int>(zufall() % 30);
        for (int i = 0; i < n; ++i) {
            switch (zufall() % 4) {
            case 0: text += static_cast<char16_t>(zufall() % 0x80); break;
            case 1: text += static_cast<char16_t>(0x80 + zufall() % (0xD800 - 0x80)); break;
            case 2: text += static_cast<char16_t>(0xE000 + zufall() % 0x2000); break;
            default: {
                const std::uint32_t v = zufall() % 0x100000;
                text += static_cast<char16_t>(0xD800 + (v >> 10));
                text += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            }
            }
        }
        ASSERT_EQ(Dekodiere(Kodiere(text)), text) << "round " << nRunde;
    }
}

// --- Long texts: the paths that take 16 bytes or units per step ---

// A literal decoder, one code point at a time, for comparison on long inputs.
std::u16string ReferenzDekodiere(const std::string& text)
{
    std::u16string units;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    auto folge = [&](std::size_t i, std::size_t k) { return i + k < n && (p[i + k] & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        std::uint32_t cp = 0;
        std::size_t nLaenge = 0;
        if (b < 0x80) {
            cp = b;
            nLaenge = 1;
        } else if (b >= 0xC2 && b <= 0xDF && folge(i, 1)) {
            cp = ((b & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
            nLaenge = 2;
        } else if (b >= 0xE0 && b <= 0xEF && folge(i, 1) && folge(i, 2)) {
            cp = ((b & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
            if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) nLaenge = 3;
        } else if (b >= 0xF0 && b <= 0xF4 && folge(i, 1) && folge(i, 2) && folge(i, 3)) {
            cp = ((b & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
            if (cp >= 0x10000 && cp <= 0x10FFFF) nLaenge = 4;
        }
        if (nLaenge == 0) {
            units += static_cast<char16_t>(0xDC00 + b);
            ++i;
        } else if (cp > 0xFFFF) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            i += nLaenge;
        } else {
            units += static_cast<char16_t>(cp);
            i += nLaenge;
        }
    }
    return units;
}

// A literal encoder, one unit at a time, for comparison on long inputs.
std::string ReferenzKodiere(const std::u16string& units)
{
    std::string bytes;
    auto b = [&](std::uint32_t x) { bytes += static_cast<char>(x); };
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            const std::uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00u);
            b(0xF0 | (cp >> 18));
            b(0x80 | ((cp >> 12) & 0x3F));
            b(0x80 | ((cp >> 6) & 0x3F));
            b(0x80 | (cp & 0x3F));
            continue;
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {
            b(u - 0xDC00);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        if (u < 0x80) {
            b(u);
        } else if (u < 0x800) {
            b(0xC0 | (u >> 6));
            b(0x80 | (u & 0x3F));
        } else {
            b(0xE0 | (u >> 12));
            b(0x80 | ((u >> 6) & 0x3F));
            b(0x80 | (u & 0x3F));
        }
    }
    return bytes;
}

TEST(SchmalCodecLang, StueckAnJederStelleEinesLangenTextes)
{
    // Each piece is put at every offset of a long ASCII text, so it meets the 16-byte steps at
    // every position, near the start, in the middle and within the last 48 bytes.
    const std::string stuecke[] = {
        "\xC3\xA4",          // umlaut: the two-byte path
        "\xC3\xA4\xC3\xB6",  // two in a row
        "\xC3",              // lead without its continuation (ASCII follows)
        "\xC3\xC3\xA4",      // bad lead, then a good one
        "\xC1\xBF",          // overlong two-byte form
        "\xDF\xBF",          // largest two-byte
        "\xE2\x82\xAC",      // three bytes
        "\xED\xA0\x80",      // encoded surrogate
        "\xF0\x9F\x98\x80",  // four bytes: a pair
        "\x80\xBF",          // stray continuations
        "\xFF",              // never valid
    };
    for (const std::string& stueck : stuecke) {
        for (std::size_t nVorne = 0; nVorne < 70; ++nVorne) {
            for (const std::size_t nHinten : {std::size_t{0}, std::size_t{1}, std::size_t{47}, std::size_t{64}}) {
                std::string bytes(nVorne, 'v');
                bytes += stueck;
                bytes += std::string(nHinten, 'h');
                SCOPED_TRACE(testing::Message() << "piece " << stueck.size() << " bytes at " << nVorne << ", "
                                                << nHinten << " behind");
                const std::u16string erwartet = ReferenzDekodiere(bytes);
                ASSERT_EQ(Dekodiere(bytes), erwartet);
                ASSERT_EQ(Kodiere(erwartet), bytes);
            }
        }
    }
}

TEST(SchmalCodecLang, ZufaelligeLangeTexteWieDieReferenz)
{
    // Long texts, mostly ASCII with umlauts, salted with every kind of byte; decoded and encoded
    // as the literal reference does, and the length functions agree with the conversions.
    const unsigned char auswahl[] = {0x80, 0xA4, 0xBF, 0xC0, 0xC2, 0xC3, 0xDF, 0xE0, 0xE2, 0xED, 0xF0, 0xF4, 0xFF};
    std::mt19937 zufall(424242);
    for (int nRunde = 0; nRunde < 3000; ++nRunde) {
        std::string bytes;
        const std::size_t n = zufall() % 400;
        while (bytes.size() < n) {
            const unsigned nWahl = zufall() % 16;
            if (nWahl < 9)
                bytes += static_cast<char>('a' + zufall() % 26);
            else if (nWahl < 13)
                bytes += "\xC3\xA4";
            else if (nWahl < 14)
                bytes += "\xE2\x82\xAC";
            else if (nWahl < 15)
                bytes += "\xF0\x9F\x98\x80";
            else
                bytes += static_cast<char>(auswahl[zufall() % sizeof auswahl]);
        }
        const std::u16string erwartet = ReferenzDekodiere(bytes);
        ASSERT_EQ(Dekodiere(bytes), erwartet) << "round " << nRunde;
        ASSERT_EQ(Kodiere(erwartet), bytes) << "round " << nRunde;
    }
}

TEST(SchmalCodecLang, EinheitenAnJederStelleEinesLangenTextes)
{
    // Units that leave the 16-unit step, put at every offset of a long ASCII text.
    const std::u16string stuecke[] = {
        u"\u0080", u"\u00E4", u"\u07FF", u"\u0800", u"\u20AC", u"\uFFFF", u"\U0001F600",
        u"\xD800", u"\xDC80", u"\xDCFF", u"\xDFFF", u"\x00FF", u"\x0100", u"\x7FFF", u"\x8000",
    };
    for (const std::u16string& stueck : stuecke) {
        for (std::size_t nVorne = 0; nVorne < 40; ++nVorne) {
            for (const std::size_t nHinten : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{33}}) {
                std::u16string units(nVorne, u'v');
                units += stueck;
                units += std::u16string(nHinten, u'h');
                SCOPED_TRACE(testing::Message() << "unit " << static_cast<unsigned>(stueck[0]) << " at " << nVorne
                                                << ", " << nHinten << " behind");
                ASSERT_EQ(Kodiere(units), ReferenzKodiere(units));
            }
        }
    }
}

TEST(SchmalCodecLang, ZufaelligeLangeEinheitenfolgenWieDieReferenz)
{
    std::mt19937 zufall(99);
    for (int nRunde = 0; nRunde < 3000; ++nRunde) {
        std::u16string units;
        const std::size_t n = zufall() % 200;
        while (units.size() < n) {
            switch (zufall() % 8) {
            case 0: units += static_cast<char16_t>(0x80 + zufall() % 0x780); break;    // two bytes
            case 1: units += static_cast<char16_t>(zufall() % 0x10000); break;         // anything
            case 2: units += static_cast<char16_t>(0xDC80 + zufall() % 0x80); break;   // escapes
            case 3: units += u"\U0001F600"; break;                                     // a pair
            default: units += static_cast<char16_t>(zufall() % 0x80); break;           // ASCII
            }
        }
        ASSERT_EQ(Kodiere(units), ReferenzKodiere(units)) << "round " << nRunde;
    }
}

}  // namespace
