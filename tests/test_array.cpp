// Tests of the owning pointer array: capacity policy, insertion, removal, slots and ownership.
// Elements count their constructions and destructions, so leaks and double deletes show.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "brix/CBrixArray.h"

namespace {

using namespace std::string_view_literals;

struct Zaehler {
    static inline int s_nErzeugt = 0;
    static inline int s_nZerstoert = 0;
    int m_nWert;
    explicit Zaehler(int nWert) : m_nWert(nWert) { ++s_nErzeugt; }
    Zaehler(const Zaehler&) = delete;
    Zaehler& operator=(const Zaehler&) = delete;
    ~Zaehler() { ++s_nZerstoert; }
    static int Lebend() { return s_nErzeugt - s_nZerstoert; }
};

class CBrixArrayTest : public testing::Test {
protected:
    void SetUp() override
    {
        Zaehler::s_nErzeugt = 0;
        Zaehler::s_nZerstoert = 0;
    }
    // Every element made in a test is destroyed exactly once by its end.
    void TearDown() override { EXPECT_EQ(Zaehler::Lebend(), 0); }

    static void Fuelle(CBrixArray<Zaehler>& a, int n)
    {
        for (int i = 0; i < n; ++i) a.Einfuegen(a.m_nCount, new Zaehler(i));
    }
    static std::vector<int> Werte(const CBrixArray<Zaehler>& a)
    {
        std::vector<int> w;
        for (int i = 0; i < a.m_nCount; ++i) w.push_back(a.Element(i) ? a.Element(i)->m_nWert : -1);
        return w;
    }
};

// --- Capacity policy ---

TEST(CBrixArrayZielKapazitaet, Faelle)
{
    const struct {
        std::int64_t nKapazitaet;
        std::int64_t n;
        std::int64_t erwartet;
        int zeile;
    } faelle[] = {
        {0, 1, 16, __LINE__},            // first element: 16 slots
        {16, 16, 16, __LINE__},          // full, no change
        {16, 17, 32, __LINE__},          // doubling
        {16, 100, 128, __LINE__},        // doubled until it holds n
        {0, 0, 0, __LINE__},             // count 0 releases
        {64, 0, 0, __LINE__},            // also from a larger buffer
        {128, 16, 32, __LINE__},         // shrink by halving until cap/2 <= n < cap
        {256, 63, 64, __LINE__},         // shrink to the smallest fitting power
        {256, 64, 256, __LINE__},        // not below a quarter: no shrink (hysteresis)
        {64, 39, 64, __LINE__},          // not below a quarter
        {64, 15, 64, __LINE__},          // fewer than 16 never shrink
        {128, 31, 32, __LINE__},         // lowest shrink result holds n
        {1073741824, 2147483647, 2147483648LL, __LINE__},  // computed in 64 bits: no wrap
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        EXPECT_EQ(CBrixArray<Zaehler>::ZielKapazitaet(f.nKapazitaet, f.n), f.erwartet);
    }
}

TEST_F(CBrixArrayTest, WachstumBeimAnhaengen)
{
    const struct {
        int nElemente;
        int nKapazitaet;
        int zeile;
    } faelle[] = {
        {1, 16, __LINE__},    // first element
        {16, 16, __LINE__},   // exactly full
        {17, 32, __LINE__},   // 17th doubles
        {33, 64, __LINE__},   // 33rd doubles again
        {100, 128, __LINE__}, // one by one to 100
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CBrixArray<Zaehler> a;
        Fuelle(a, f.nElemente);
        EXPECT_EQ(a.m_nCount, f.nElemente);
        EXPECT_EQ(a.m_nCapacity, f.nKapazitaet);
    }
}

TEST_F(CBrixArrayTest, SchrumpfenBeimEntfernen)
{
    CBrixArray<Zaehler> a;
    Fuelle(a, 100);
    a.Entferne(0, 60);  // 40 left: not below a quarter of 128
    EXPECT_EQ(a.m_nCapacity, 128);
    a.Entferne(0, 24);  // 16 left: shrinks to 32
    EXPECT_EQ(a.m_nCount, 16);
    EXPECT_EQ(a.m_nCapacity, 32);
    EXPECT_EQ(a.Element(0)->m_nWert, 84);
    EXPECT_EQ(a.Element(15)->m_nWert, 99);
    EXPECT_EQ(Zaehler::s_nZerstoert, 84);

    CBrixArray<Zaehler> b;
    Fuelle(b, 40);  // capacity 64
    b.Entferne(0, 1);
    EXPECT_EQ(b.m_nCapacity, 64);
}

// --- Einfuegen ---

TEST_F(CBrixArrayTest, Einfuegen)
{
    const struct {
        int nIndex;
        std::vector<int> erwartet;
        int zeile;
    } faelle[] = {
        {0, {9, 0, 1, 2}, __LINE__},    // at the front
        {2, {0, 1, 9, 2}, __LINE__},    // in the middle
        {3, {0, 1, 2, 9}, __LINE__},    // at the end
        {-4, {9, 0, 1, 2}, __LINE__},   // negative: clamped to the front
        {17, {0, 1, 2, 9}, __LINE__},   // beyond the count: clamped to the end
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CBrixArray<Zaehler> a;
        Fuelle(a, 3);
        a.Einfuegen(f.nIndex, new Zaehler(9));
        EXPECT_EQ(Werte(a), f.erwartet);
    }
}

// --- Entferne ---

TEST_F(CBrixArrayTest, Entferne)
{
    const struct {
        int nIndex;
        int n;
        std::vector<int> erwartet;
        int zeile;
    } faelle[] = {
        {1, 2, {0, 3, 4}, __LINE__},          // from the middle
        {2, 10, {0, 1}, __LINE__},            // count clamped to the elements that exist
        {0, 5, {}, __LINE__},                 // all: the buffer is released
        {4, 1, {0, 1, 2, 3}, __LINE__},       // the last one
        {5, 1, {0, 1, 2, 3, 4}, __LINE__},    // at the count: nothing
        {6, 1, {0, 1, 2, 3, 4}, __LINE__},    // beyond the count: nothing
        {-1, 2, {0, 1, 2, 3, 4}, __LINE__},   // negative index: nothing
        {1, 0, {0, 1, 2, 3, 4}, __LINE__},    // zero count: nothing
        {1, -3, {0, 1, 2, 3, 4}, __LINE__},   // negative count: nothing
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        SetUp();
        {
            CBrixArray<Zaehler> a;
            Fuelle(a, 5);
            a.Entferne(f.nIndex, f.n);
            EXPECT_EQ(Werte(a), f.erwartet);
            EXPECT_EQ(Zaehler::s_nZerstoert, 5 - static_cast<int>(f.erwartet.size()));
            EXPECT_EQ(a.m_ppElements == nullptr, f.erwartet.empty());
        }
        EXPECT_EQ(Zaehler::Lebend(), 0);
    }
}

TEST_F(CBrixArrayTest, EntferneAlle)
{
    CBrixArray<Zaehler> a;
    Fuelle(a, 40);
    Zaehler* pDrei = a.Element(3);
    a.Setze(3, nullptr);  // a null slot is skipped
    a.EntferneAlle();
    EXPECT_EQ(a.m_nCount, 0);
    EXPECT_EQ(a.m_nCapacity, 0);
    EXPECT_EQ(a.m_ppElements, nullptr);
    EXPECT_EQ(Zaehler::s_nZerstoert, 39);
    delete pDrei;
}

// --- Setze and Element ---

TEST_F(CBrixArrayTest, Setze)
{
    const struct {
        int nIndex;
        bool bUebernommen;
        int zeile;
    } faelle[] = {
        {0, true, __LINE__},    // first slot
        {2, true, __LINE__},    // last slot
        {3, false, __LINE__},   // at the count: nothing
        {-1, false, __LINE__},  // negative: nothing
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CBrixArray<Zaehler> a;
        Fuelle(a, 3);
        Zaehler* pNeu = new Zaehler(9);
        Zaehler* pAlt = f.bUebernommen ? a.Element(f.nIndex) : nullptr;
        const int nZerstoert = Zaehler::s_nZerstoert;
        EXPECT_EQ(a.Setze(f.nIndex, pNeu), f.nIndex);
        EXPECT_EQ(a.m_nCount, 3);
        if (f.bUebernommen) {
            EXPECT_EQ(a.Element(f.nIndex), pNeu);
            EXPECT_EQ(Zaehler::s_nZerstoert, nZerstoert);  // the old element is not deleted
            delete pAlt;
        } else {
            EXPECT_EQ(Werte(a), (std::vector<int>{0, 1, 2}));
            delete pNeu;
        }
    }
}

TEST_F(CBrixArrayTest, ElementAusserhalbGibtSlotNull)
{
    CBrixArray<Zaehler> a;
    Fuelle(a, 3);
    for (int nIndex : {-1, 3, 1000}) {
        EXPECT_EQ(&a.Element(nIndex), &a.Element(0)) << nIndex;
        const CBrixArray<Zaehler>& k = a;
        EXPECT_EQ(k.Element(nIndex), a.Element(0)) << nIndex;
    }
    EXPECT_EQ(a.Element(2)->m_nWert, 2);
}

TEST_F(CBrixArrayTest, ElementOhnePufferGibtLeerenPlatzhalter)
{
    CBrixArray<Zaehler> a;
    for (int nIndex : {0, -1, 5}) {
        Zaehler*& p = a.Element(nIndex);
        EXPECT_EQ(p, nullptr) << nIndex;
        p = reinterpret_cast<Zaehler*>(0x1);  // a careless write goes to the placeholder only
        EXPECT_EQ(a.Element(nIndex), nullptr) << nIndex;
        const CBrixArray<Zaehler>& k = a;
        EXPECT_EQ(k.Element(nIndex), nullptr) << nIndex;
    }
    EXPECT_EQ(a.m_ppElements, nullptr);
}

// --- SetzeGroesse ---

TEST_F(CBrixArrayTest, SetzeGroesse)
{
    const struct {
        int nVorher;
        int nNeu;
        int nKapazitaet;
        int nZerstoert;
        int zeile;
    } faelle[] = {
        {0, 5, 16, 0, __LINE__},      // empty array: 5 null slots
        {3, 3, 16, 0, __LINE__},      // same size: nothing
        {3, 20, 32, 0, __LINE__},     // growth keeps the elements
        {40, 2, 64, 38, __LINE__},    // fewer than 16: no shrink, elements deleted
        {100, 20, 32, 80, __LINE__},  // shrink rule applies
        {10, 0, 0, 10, __LINE__},     // 0 releases the buffer
        {10, -5, 0, 10, __LINE__},    // negative counts as 0
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        SetUp();
        {
            CBrixArray<Zaehler> a;
            Fuelle(a, f.nVorher);
            a.SetzeGroesse(f.nNeu);
            const int nGroesse = f.nNeu < 0 ? 0 : f.nNeu;
            EXPECT_EQ(a.m_nCount, nGroesse);
            EXPECT_EQ(a.m_nCapacity, f.nKapazitaet);
            EXPECT_EQ(Zaehler::s_nZerstoert, f.nZerstoert);
            for (int i = 0; i < nGroesse; ++i) {
                if (i < f.nVorher)
                    EXPECT_EQ(a.Element(i)->m_nWert, i);
                else
                    EXPECT_EQ(a.Element(i), nullptr);
            }
        }
        EXPECT_EQ(Zaehler::Lebend(), 0);
    }
}

// --- Ownership ---

TEST_F(CBrixArrayTest, DestruktorLoeschtJedesElementEinmal)
{
    {
        CBrixArray<Zaehler> a;
        Fuelle(a, 50);
        a.SetzeGroesse(60);  // null slots are skipped
        EXPECT_EQ(Zaehler::s_nZerstoert, 0);
    }
    EXPECT_EQ(Zaehler::s_nErzeugt, 50);
    EXPECT_EQ(Zaehler::s_nZerstoert, 50);
}

// --- The array of views ---

TEST(CBrixArrayBrixSubString, HinzufuegenSpeichertKopienInReihenfolge)
{
    const CString s("a\xC3\xA4"sv);
    CBrixArray<BrixSubString> a(0);
    BrixSubString v(&s, 0, 1);
    EXPECT_EQ(a.Hinzufuegen(v), 0);
    v = BrixSubString(&s, 1, 3);
    EXPECT_EQ(a.Hinzufuegen(v), 1);
    EXPECT_EQ(a.Hinzufuegen(BrixSubString()), 2);
    v = BrixSubString();  // the stored copy is independent of v
    ASSERT_EQ(a.m_nCount, 3);
    EXPECT_EQ(a.Element(0)->Sicht(), "a"sv);
    EXPECT_EQ(a.Element(1)->Sicht(), "\xC3\xA4"sv);
    EXPECT_FALSE(a.Element(2)->HatDaten());
    EXPECT_FALSE(a.m_bIndexed);
}

}  // namespace
