// Tests of the view's own operations: slicing, comparison, hash, KopiereNach and Anhaengen.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "brix/BrixSubString.h"
#include "support/Hilfen.h"

namespace {

using namespace std::string_view_literals;

std::string Text(const BrixSubString& v) { return std::string(v.Sicht()); }

// --- Slicing ---

enum class Schnitt { Mitte2, Mitte1, Links, Rechts };

struct SchnittFall {
    Schnitt art;
    std::ptrdiff_t a;
    std::ptrdiff_t b;
    std::ptrdiff_t nStart;  // expected buffer indices
    std::ptrdiff_t nEnd;
    int zeile;
};

TEST(BrixSubStringSchnitt, UeberAbcdef)
{
    const CString s("abcdef"sv);
    const BrixSubString v(s);
    const SchnittFall faelle[] = {
        {Schnitt::Mitte2, 2, 3, 2, 5, __LINE__},    // in range: "cde"
        {Schnitt::Mitte2, 4, 10, 4, 6, __LINE__},   // count past the end: "ef"
        {Schnitt::Mitte2, -2, 3, 0, 3, __LINE__},   // negative first does not shorten the count: "abc"
        {Schnitt::Mitte2, 6, 1, 6, 6, __LINE__},    // first at the end: empty at 6
        {Schnitt::Mitte2, 9, 1, 6, 6, __LINE__},    // first far past the end: empty at the view's end
        {Schnitt::Mitte2, 2, -1, 2, 2, __LINE__},   // negative count: empty at 2
        {Schnitt::Mitte2, 1, PTRDIFF_MAX, 1, 6, __LINE__},  // huge count must not wrap
        {Schnitt::Mitte1, 3, 0, 3, 6, __LINE__},    // "def"
        {Schnitt::Mitte1, -1, 0, 0, 6, __LINE__},   // negative first: whole view
        {Schnitt::Mitte1, 8, 0, 6, 6, __LINE__},    // past the end: empty at the end
        {Schnitt::Links, 4, 0, 0, 4, __LINE__},     // "abcd"
        {Schnitt::Links, 9, 0, 0, 6, __LINE__},     // clamped to the length
        {Schnitt::Links, 0, 0, 0, 0, __LINE__},     // empty at the start
        {Schnitt::Rechts, 2, 0, 4, 6, __LINE__},    // "ef"
        {Schnitt::Rechts, 6, 0, 0, 6, __LINE__},    // not longer than n: the whole view
        {Schnitt::Rechts, 9, 0, 0, 6, __LINE__},    // shorter than n: the whole view
        {Schnitt::Rechts, 0, 0, 6, 6, __LINE__},    // empty at the end
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        BrixSubString r;
        switch (f.art) {
        case Schnitt::Mitte2: r = v.Mitte(f.a, f.b); break;
        case Schnitt::Mitte1: r = v.Mitte(f.a); break;
        case Schnitt::Links: r = v.Links(f.a); break;
        case Schnitt::Rechts: r = v.Rechts(f.a); break;
        }
        EXPECT_EQ(r.m_pString, &s);
        EXPECT_EQ(r.m_nStart, f.nStart);
        EXPECT_EQ(r.m_nEnd, f.nEnd);
    }
}

TEST(BrixSubStringSchnitt, PositionenSindRelativZurSicht)
{
    const CString s("abcdef"sv);
    const BrixSubString v(&s, 2, 6);  // "cdef"
    const BrixSubString r = v.Mitte(1, 2);
    EXPECT_EQ(Text(r), "de");
    EXPECT_EQ(r.m_nStart, 3);
    EXPECT_EQ(v.Mitte(9, 1).m_nStart, 6);  // empty at the view's end, in buffer indices
    EXPECT_EQ(Text(v.Links(3)), "cde");
    EXPECT_EQ(Text(v.Rechts(1)), "f");
    EXPECT_EQ(v.ZeichenAn(-5), 'c');  // negative index reads the first byte
    EXPECT_EQ(v.ZeichenAn(3), 'f');
}

TEST(BrixSubStringSchnitt, OhneDatenBleibtOhneDaten)
{
    const BrixSubString leer;
    for (const BrixSubString& r : {leer.Mitte(0, 3), leer.Mitte(2), leer.Links(1), leer.Rechts(2)}) {
        EXPECT_FALSE(r.HatDaten());
        EXPECT_EQ(r.m_nStart, 0);
        EXPECT_EQ(r.m_nEnd, 0);
    }
}

// --- Comparison ---

// A view is described by its text; nullptr means a view with no data.
struct VergleichFall {
    const char* a;
    const char* b;
    int vorzeichen;
    int zeile;
};

int Vorzeichen(int n) { return (n > 0) - (n < 0); }

TEST(BrixSubStringVergleiche, MitSicht)
{
    const VergleichFall faelle[] = {
        {"abc", "abd", -1, __LINE__},    // last byte decides
        {"abc", "ab", 1, __LINE__},      // longer after a common prefix
        {"ab", "abc", -1, __LINE__},     // prefix sorts first
        {"abc", "abc", 0, __LINE__},     // equal
        {nullptr, "", 0, __LINE__},      // no data equals empty
        {nullptr, nullptr, 0, __LINE__}, // no data equals no data
        {nullptr, "x", -1, __LINE__},    // no data before text
        {"x", nullptr, 1, __LINE__},     // text after no data
        {"", nullptr, 0, __LINE__},      // empty with source equals no data
        {"A", "a", -1, __LINE__},        // case matters, ordinal
        {"\xFF", "a", 1, __LINE__},      // bytes compare unsigned
        {"\x80", "\x7F", 1, __LINE__},   // just above and below the sign bit
        {"a\x80", "a\x7F", 1, __LINE__}, // the same behind a common prefix
        {"\xC3\xA4", "\xC3\xB6", -1, __LINE__},               // two-byte characters: their second bytes
        {"\xEF\xBF\xBF", "\xF0\x90\x80\x80", -1, __LINE__},  // U+FFFF before U+10000: code point order
        {"\xF0\x9F\x98\x80", "\xEF\xBC\xA1", 1, __LINE__},   // U+1F600 after U+FF21
        {"\xED\xA0\xBD", "\xEE\x80\x80", -1, __LINE__},      // a lone surrogate's form before U+E000
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString sa(f.a ? std::string_view(f.a) : ""sv);
        const CString sb(f.b ? std::string_view(f.b) : ""sv);
        const BrixSubString va = f.a ? BrixSubString(sa) : BrixSubString();
        const BrixSubString vb = f.b ? BrixSubString(sb) : BrixSubString();
        EXPECT_EQ(Vorzeichen(va.Vergleiche(vb)), f.vorzeichen);
        EXPECT_EQ(Vorzeichen(va.Vergleiche(f.b)), f.vorzeichen);
    }
}

TEST(BrixSubStringVergleiche, NullByteIstGewoehnlich)
{
    const CString a("a\0b"sv);
    const CString b("a\0c"sv);
    const CString c("a"sv);
    EXPECT_LT(BrixSubString(a).Vergleiche(BrixSubString(b)), 0);  // comparison goes on past the zero byte
    EXPECT_GT(BrixSubString(b).Vergleiche(BrixSubString(a)), 0);
    EXPECT_GT(BrixSubString(a).Vergleiche(BrixSubString(c)), 0);  // "a" is a prefix of "a\0b"
    EXPECT_GT(BrixSubString(a).Vergleiche("a"), 0);               // the zero-terminated "a" is shorter
    EXPECT_EQ(BrixSubString(a).Vergleiche(BrixSubString(a)), 0);
}

TEST(BrixSubStringVergleiche, TeilsichtMitten)
{
    const CString s("xxabcyy"sv);
    const BrixSubString v(&s, 2, 5);
    EXPECT_EQ(v.Vergleiche("abc"), 0);  // the bytes after the view do not count
    EXPECT_LT(v.Vergleiche("abcy"), 0);
}

// --- Hash ---

TEST(BrixSubStringHashWert, Summe)
{
    const CString s("abba\xFF\xFF\xC3\xA4"sv);
    const struct {
        BrixSubString v;
        std::uint32_t hash;
        int zeile;
    } faelle[] = {
        {BrixSubString(&s, 0, 2), 195, __LINE__},       // "ab"
        {BrixSubString(&s, 2, 4), 195, __LINE__},       // "ba": same bytes, same sum
        {BrixSubString(), 0, __LINE__},                 // no data
        {BrixSubString(&s, 3, 3), 0, __LINE__},         // empty
        {BrixSubString(&s, 4, 6), 0x1FEu, __LINE__},    // bytes are unsigned
        {BrixSubString(&s, 6, 8), 0xC3u + 0xA4u, __LINE__},  // a character counts as its bytes
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(f.v.HashWert(), f.hash);
    }
}

// --- KopiereNach ---

TEST(BrixSubStringKopiereNach, Faelle)
{
    const CString s("ab\0cd\xFF"sv);
    const struct {
        BrixSubString v;
        std::string_view erwartet;
        int zeile;
    } faelle[] = {
        {BrixSubString(&s, 0, 2), "ab"sv, __LINE__},        // plain text
        {BrixSubString(&s, 0, 5), "ab\0cd"sv, __LINE__},    // a zero byte is copied, not the end
        {BrixSubString(&s, 3, 6), "cd\xFF"sv, __LINE__},    // a byte above 0x7F as it is
        {BrixSubString(&s, 3, 3), ""sv, __LINE__},          // empty: only the zero byte
        {BrixSubString(), ""sv, __LINE__},                  // no data: only the zero byte
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        char puffer[8];
        std::fill(std::begin(puffer), std::end(puffer), '#');
        const std::ptrdiff_t n = f.v.KopiereNach(puffer);
        EXPECT_EQ(n, static_cast<std::ptrdiff_t>(f.erwartet.size()));
        EXPECT_EQ(std::string_view(puffer, f.erwartet.size()), f.erwartet);
        EXPECT_EQ(puffer[f.erwartet.size()], 0);
        EXPECT_EQ(puffer[f.erwartet.size() + 1], '#');  // nothing written beyond the zero
    }
}

// --- Anhaengen ---

TEST(BrixSubStringAnhaengen, Faelle)
{
    const CString quelle("xcd\0e"sv);
    const struct {
        BrixSubString v;
        std::string_view erwartet;
        int zeile;
    } faelle[] = {
        {BrixSubString(&quelle, 1, 3), "abcd"sv, __LINE__},       // "cd" onto "ab"
        {BrixSubString(&quelle, 1, 5), "abcd\0e"sv, __LINE__},    // a zero byte is appended too
        {BrixSubString(&quelle, 2, 2), "ab"sv, __LINE__},         // empty view: unchanged
        {BrixSubString(), "ab"sv, __LINE__},                      // no data: unchanged
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString ziel("ab"sv);
        CString& r = Anhaengen(ziel, f.v);
        EXPECT_EQ(&r, &ziel);
        EXPECT_EQ(ziel.Sicht(), f.erwartet);
        EXPECT_EQ(ziel.GetString()[ziel.GetLength()], 0);
    }
}

TEST(BrixSubStringAnhaengen, LeereSichtFordertKeinenPufferAn)
{
    CString ziel;
    const char* pVorher = ziel.GetString();  // the shared empty text: no buffer yet
    Anhaengen(ziel, BrixSubString());
    const CString leer;
    Anhaengen(ziel, BrixSubString(leer));
    EXPECT_EQ(ziel.GetString(), pVorher);
    EXPECT_EQ(ziel.GetLength(), 0);
}

TEST(BrixSubStringAnhaengen, SichtAufDasZielSelbst)
{
    CString ziel("ab"sv);
    Anhaengen(ziel, BrixSubString(ziel));
    EXPECT_EQ(ziel.Sicht(), "abab"sv);
    // Repeated self-appends force the buffer to move; the view reads it afresh each time.
    for (int i = 0; i < 10; ++i) Anhaengen(ziel, BrixSubString(&ziel, 1, 3));
    EXPECT_EQ(ziel.GetLength(), 24);
    EXPECT_EQ(ziel.Sicht().substr(0, 8), "ababbaba"sv);
}

TEST(BrixSubStringAnhaengen, OhneSpeicherWirftUndLaesstDasZiel)
{
    // A child process whose data limit leaves less than the growth needs: the append is refused
    // with std::bad_alloc, and the target keeps its text. Exit codes tell the parent what failed.
    constexpr std::ptrdiff_t kMiB = std::ptrdiff_t{1} << 20;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CString ziel;
        char* p = ziel.GetBufferSetLength(80 * kMiB);
        for (std::ptrdiff_t i = 0; i < 80 * kMiB; ++i) p[i] = static_cast<char>('a' + i % 23);
        ziel.ReleaseBuffer(80 * kMiB);
        const CString klein("xy"sv);
        const std::int64_t nDaten = Belegt(RLIMIT_DATA);
        if (nDaten < 0) _exit(10);
        rlimit lim{};
        if (getrlimit(RLIMIT_DATA, &lim) != 0) _exit(11);
        lim.rlim_cur = static_cast<rlim_t>(nDaten + 32 * kMiB);
        if (setrlimit(RLIMIT_DATA, &lim) != 0) _exit(12);
        Anhaengen(ziel, BrixSubString(klein));  // within the buffer: no new memory needed
        bool bGeworfen = false;
        try {
            Anhaengen(ziel, BrixSubString(ziel));  // twice the text: beyond the limit
        } catch (const std::bad_alloc&) {
            bGeworfen = true;
        }
        if (!bGeworfen) _exit(13);
        if (ziel.GetLength() != 80 * kMiB + 2) _exit(14);
        for (std::ptrdiff_t i = 0; i < 80 * kMiB; ++i)
            if (ziel[i] != static_cast<char>('a' + i % 23)) _exit(15);
        if (ziel.Sicht().substr(static_cast<std::size_t>(80 * kMiB)) != "xy"sv) _exit(16);
        if (ziel.GetString()[ziel.GetLength()] != 0) _exit(17);
        _exit(0);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus)) << "signal " << (WIFSIGNALED(nStatus) ? WTERMSIG(nStatus) : 0);
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
}

}  // namespace
