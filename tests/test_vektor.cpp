// Tests of the byte-parallel searches (brix/Vektor.h): every variant must give what a plain loop
// gives, at every length, alignment and position, with any bytes (those above 0x7F too). Each
// text lies in a buffer of exactly the bytes the search may read, so that a sanitized build sees
// a read past them.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <string_view>

#include "brix/Vektor.h"

namespace {

// The pairs searched for: ASCII, equal bytes, bytes above 0x7F, and bytes whose low seven bits
// are those of another.
struct Paar {
    char a;
    char b;
    int zeile;
};

constexpr Paar kPaare[] = {
    {'<', '!', __LINE__},        // the start of a comment
    {'-', '-', __LINE__},        // both bytes alike
    {'?', '>', __LINE__},        // the end of a processing instruction
    {'\x80', '\xFF', __LINE__},  // both above 0x7F
    {'\xFF', '\x80', __LINE__},  // the same the other way round
    {'\xC3', '\xA4', __LINE__},  // a two-byte character
    {'>', '\xBE', __LINE__},     // 0xBE: '>' with the top bit set
    {'\0', '\0', __LINE__},      // zero bytes
    {'\xFF', '\xFF', __LINE__},  // all bits set
};

// The bytes random texts are drawn from: the pair's, their kin with the top bit flipped, and
// some others, so that candidates with the wrong second byte are frequent.
std::string Alphabet(const Paar& paar)
{
    std::string s = {paar.a, paar.b, paar.a, static_cast<char>(paar.a ^ 0x80), static_cast<char>(paar.b ^ 0x80),
                     'x', '\0', '\xFF'};
    return s;
}

// The plain definition: the first q in [p, pEnde) with q[0] == a and q[1] == b.
const char* PaarSchlicht(const char* p, const char* pEnde, char a, char b)
{
    for (const char* q = p; q < pEnde; ++q)
        if (q[0] == a && q[1] == b) return q;
    return nullptr;
}

constexpr std::size_t kMaxLaenge = 300;
constexpr std::size_t kAusrichtungen = 64;

// A buffer of exactly nAusrichtung + n + 1 bytes on a 64-byte boundary: the text of n bytes at
// nAusrichtung (so its address is nAusrichtung past a multiple of 64), the byte behind it last.
class Puffer {
public:
    Puffer(std::size_t nAusrichtung, std::size_t n)
        : m_p(static_cast<char*>(::operator new(nAusrichtung + n + 1, std::align_val_t{kAusrichtungen})))
    {
        std::memset(m_p, 'v', nAusrichtung + n + 1);
        pText = m_p + nAusrichtung;
        pEnde = pText + n;
    }
    Puffer(const Puffer&) = delete;
    Puffer& operator=(const Puffer&) = delete;
    ~Puffer() { ::operator delete(m_p, std::align_val_t{kAusrichtungen}); }

    char* pText;
    char* pEnde;

private:
    char* m_p;
};

// Two pages with the second one unreadable: a text that ends at the first page's end shows a
// read past it in every build.
class Seitenende {
public:
    Seitenende()
    {
        m_nSeite = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* p = mmap(nullptr, 2 * m_nSeite, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_p = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
        if (m_p && mprotect(m_p + m_nSeite, m_nSeite, PROT_NONE) != 0) {
            munmap(m_p, 2 * m_nSeite);
            m_p = nullptr;
        }
    }
    Seitenende(const Seitenende&) = delete;
    Seitenende& operator=(const Seitenende&) = delete;
    ~Seitenende()
    {
        if (m_p) munmap(m_p, 2 * m_nSeite);
    }
    bool Bereit() const { return m_p != nullptr; }
    // The n readable bytes that end where the unreadable page starts.
    char* Letzte(std::size_t n) const { return m_p + m_nSeite - n; }

private:
    char* m_p = nullptr;
    std::size_t m_nSeite = 0;
};

TEST(VektorSuchePaar, WieDieSchlichteSchleifeAufZufallstexten)
{
    std::mt19937 rng(20240517);
    int nTreffer = 0;
    for (const Paar& paar : kPaare) {
        SCOPED_TRACE(paar.zeile);
        const std::string alphabet = Alphabet(paar);
        for (std::size_t n = 0; n <= kMaxLaenge; ++n) {
            for (std::size_t nAusrichtung = 0; nAusrichtung < kAusrichtungen; ++nAusrichtung) {
                Puffer puf(nAusrichtung, n);
                for (char* q = puf.pText; q <= puf.pEnde; ++q) *q = alphabet[rng() % alphabet.size()];
                const char* pErwartet = PaarSchlicht(puf.pText, puf.pEnde, paar.a, paar.b);
                const char* pGefunden = brixvektor::SuchePaar(puf.pText, puf.pEnde, paar.a, paar.b);
                ASSERT_EQ(pGefunden, pErwartet) << "length " << n << ", alignment " << nAusrichtung << ", text "
                                                << testing::PrintToString(std::string(puf.pText, n + 1));
                nTreffer += pErwartet != nullptr;
            }
        }
    }
    EXPECT_GT(nTreffer, 10000);  // the texts hold pairs often enough to test the hits
}

TEST(VektorSuchePaar, PaarAnJederStelle)
{
    // The text holds no pair but the one placed at k; candidates with the wrong second byte
    // stand everywhere else. At k == n - 1 the second byte is the one behind the text.
    for (const Paar& paar : kPaare) {
        SCOPED_TRACE(paar.zeile);
        // A filler byte that is neither a nor b, and a wrong second byte.
        char fueller = 'x';
        while (fueller == paar.a || fueller == paar.b) ++fueller;
        char falsch = static_cast<char>(paar.b ^ 0x80);
        if (falsch == paar.a) falsch = fueller;
        // a, wrong byte, filler, ...: every third byte a candidate that fails; with a == b, a
        // and filler by turns, so that no two a stand side by side.
        std::string grund(kMaxLaenge + 1, fueller);
        for (std::size_t i = 0; i < grund.size(); ++i) {
            if (paar.a == paar.b)
                grund[i] = i % 2 == 0 ? paar.a : fueller;
            else
                grund[i] = i % 3 == 0 ? paar.a : i % 3 == 1 ? falsch : fueller;
        }
        for (std::size_t n = 0; n <= kMaxLaenge; ++n) {
            for (const std::size_t nAusrichtung : {0, 1, 7, 15, 16, 31, 33, 63}) {
                Puffer puf(nAusrichtung, n);
                std::memcpy(puf.pText, grund.data(), n);
                *puf.pEnde = fueller;
                ASSERT_EQ(brixvektor::SuchePaar(puf.pText, puf.pEnde, paar.a, paar.b), nullptr) << n;
                for (std::size_t k = 0; k < n; ++k) {
                    std::memcpy(puf.pText, grund.data(), n);
                    *puf.pEnde = fueller;
                    puf.pText[k] = paar.a;
                    puf.pText[k + 1] = paar.b;
                    // Neither the byte before nor the one behind may make a second pair.
                    if (k > 0 && puf.pText[k - 1] == paar.a && paar.a == paar.b) puf.pText[k - 1] = fueller;
                    if (k + 2 <= n && puf.pText[k + 2] == paar.b) puf.pText[k + 2] = fueller;
                    ASSERT_EQ(brixvektor::SuchePaar(puf.pText, puf.pEnde, paar.a, paar.b), puf.pText + k)
                        << "length " << n << ", alignment " << nAusrichtung << ", position " << k;
                    ASSERT_EQ(brixvektor::SuchePaar(puf.pText + k + 1, puf.pEnde, paar.a, paar.b), nullptr)
                        << "length " << n << ", alignment " << nAusrichtung << ", position " << k;
                    if (k > 0) {
                        ASSERT_EQ(brixvektor::SuchePaar(puf.pText, puf.pText + k, paar.a, paar.b), nullptr)
                            << "length " << n << ", alignment " << nAusrichtung << ", position " << k;
                    }
                }
            }
        }
    }
}

TEST(VektorSuchePaar, LiestNichtUeberDasSeitenende)
{
    // Texts whose byte behind is the last readable one: every length, random bytes.
    const Seitenende seite;
    ASSERT_TRUE(seite.Bereit());
    std::mt19937 rng(5);
    for (const Paar& paar : kPaare) {
        SCOPED_TRACE(paar.zeile);
        const std::string alphabet = Alphabet(paar);
        for (std::size_t n = 0; n <= kMaxLaenge; ++n) {
            for (int nRunde = 0; nRunde < 4; ++nRunde) {
                char* p = seite.Letzte(n + 1);
                for (std::size_t i = 0; i <= n; ++i) p[i] = alphabet[rng() % alphabet.size()];
                if (nRunde == 0 && n > 0) {
                    p[n - 1] = paar.a;  // a candidate at the very end, completed by the last byte
                    p[n] = paar.b;
                }
                ASSERT_EQ(brixvektor::SuchePaar(p, p + n, paar.a, paar.b), PaarSchlicht(p, p + n, paar.a, paar.b))
                    << "length " << n << ", round " << nRunde;
            }
        }
    }
}

TEST(VektorSuchePaar, AmEnde)
{
    // The last candidate's second byte is the one behind the text.
    const struct {
        std::string_view text;  // the text and, as its last byte, the byte behind it
        char a;
        char b;
        std::ptrdiff_t erwartet;  // position of the pair, -1 none
        int zeile;
    } faelle[] = {
        {"xxxx<!", '<', '!', 4, __LINE__},                  // the byte behind completes the pair
        {"xxxx<x", '<', '!', -1, __LINE__},                 // the byte behind does not
        {"xxxxx<", '<', '!', -1, __LINE__},                 // a as the byte behind is no candidate
        {"!", '<', '!', -1, __LINE__},                      // empty text: nothing, whatever is behind
        {"<!", '<', '!', 0, __LINE__},                      // one byte and the byte behind
        {"0123456789abcdef0123456789abcdef-"
         "-", '-', '-', 32, __LINE__},                      // the last byte of a whole block of 32
        {"0123456789abcdef-"
         "-", '-', '-', 16, __LINE__},                      // the last byte of a whole block of 16
        {"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcde\xC3"
         "\xA4", '\xC3', '\xA4', 63, __LINE__},             // bytes above 0x7F, at the end of 64
        {"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcde\xC3"
         "\x24", '\xC3', '\xA4', -1, __LINE__},             // 0x24: the low bits of 0xA4
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const std::size_t n = f.text.size() - 1;
        Puffer puf(0, n);
        std::memcpy(puf.pText, f.text.data(), n + 1);
        const char* p = brixvektor::SuchePaar(puf.pText, puf.pEnde, f.a, f.b);
        EXPECT_EQ(p ? p - puf.pText : -1, f.erwartet);
    }
}

// --- MaskenZweier ---

TEST(VektorMaskenZweier, WieDieSchlichteSchleife)
{
    std::mt19937 rng(99);
    for (const Paar& paar : kPaare) {
        SCOPED_TRACE(paar.zeile);
        const std::string alphabet = Alphabet(paar);
        for (std::size_t nAusrichtung = 0; nAusrichtung < kAusrichtungen; ++nAusrichtung) {
            for (int nRunde = 0; nRunde < 20; ++nRunde) {
                // Exactly the 64 bytes read: the last of them is the byte behind Puffer's text.
                Puffer puf(nAusrichtung, 63);
                for (char* q = puf.pText; q <= puf.pEnde; ++q) *q = alphabet[rng() % alphabet.size()];
                if (nRunde == 0) std::memset(puf.pText, paar.a, 64);  // every bit
                if (nRunde == 1) std::memset(puf.pText, paar.b, 64);
                std::uint64_t nA = 0, nB = 0, nErwartetA = 0, nErwartetB = 0;
                for (int i = 0; i < 64; ++i) {
                    nErwartetA |= static_cast<std::uint64_t>(puf.pText[i] == paar.a) << i;
                    nErwartetB |= static_cast<std::uint64_t>(puf.pText[i] == paar.b) << i;
                }
                brixvektor::MaskenZweier(puf.pText, paar.a, paar.b, nA, nB);
                ASSERT_EQ(nA, nErwartetA) << "alignment " << nAusrichtung << ", round " << nRunde;
                ASSERT_EQ(nB, nErwartetB) << "alignment " << nAusrichtung << ", round " << nRunde;
            }
        }
    }
}

TEST(VektorMaskenZweier, JedesBitAnSeinerStelle)
{
    // One a and one b in a text of neither, at every pair of positions.
    alignas(64) char text[64];
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            std::memset(text, '\x7F', sizeof text);
            text[i] = '\x80';
            text[j] = '<';
            std::uint64_t nA = 1, nB = 1;
            brixvektor::MaskenZweier(text, '\x80', '<', nA, nB);
            ASSERT_EQ(nA, i == j ? 0 : std::uint64_t{1} << i) << i << " " << j;
            ASSERT_EQ(nB, std::uint64_t{1} << j) << i << " " << j;
        }
    }
}

TEST(VektorMaskenZweier, LiestNichtUeberDasSeitenende)
{
    const Seitenende seite;
    ASSERT_TRUE(seite.Bereit());
    char* p = seite.Letzte(64);
    for (int i = 0; i < 64; ++i) p[i] = i % 5 == 0 ? '>' : i % 7 == 0 ? '<' : 'x';
    p[63] = '<';
    std::uint64_t nA = 0, nB = 0, nErwartetA = 0, nErwartetB = 0;
    for (int i = 0; i < 64; ++i) {
        nErwartetA |= static_cast<std::uint64_t>(p[i] == '<') << i;
        nErwartetB |= static_cast<std::uint64_t>(p[i] == '>') << i;
    }
    brixvektor::MaskenZweier(p, '<', '>', nA, nB);
    EXPECT_EQ(nA, nErwartetA);
    EXPECT_EQ(nB, nErwartetB);
}

// --- Variante ---

TEST(VektorVariante, NenntDieGewaehlteVariante)
{
    const std::string variante = brixvektor::Variante();
#if defined(BRIX_SKALAR) || !defined(__x86_64__)
    EXPECT_EQ(variante, "skalar");
#else
    EXPECT_EQ(variante, __builtin_cpu_supports("avx2") ? "avx2" : "sse2");
#endif
    EXPECT_EQ(variante, brixvektor::Variante());  // the same at every call
}

}  // namespace
