// Tests of the hash index of CBrixArray<BrixSubString>: buckets, entries, and how the array's
// Hinzufuegen, Entferne and EntferneAlle keep it in step.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "brix/CBrixArray.h"

namespace {

using namespace std::string_view_literals;

using Eimer = BrixAssocArray<BrixSubString, int>;

// The texts of views are taken from one source: fields separated by ','.
struct Liste {
    CString s;
    std::vector<BrixSubString> teile;
    explicit Liste(std::string_view text) : s(text)
    {
        std::ptrdiff_t nAnfang = 0;
        for (std::ptrdiff_t i = 0; i <= s.GetLength(); ++i) {
            if (i == s.GetLength() || s[i] == ',') {
                teile.emplace_back(&s, nAnfang, i);
                nAnfang = i + 1;
            }
        }
    }
};

// The value entered for key, or -1 when the index has no entry for it.
int Wert(CBrixArray<BrixSubString>& a, const char* key)
{
    const CString k{std::string_view(key)};
    const BrixSubString v(k);
    const int nSlot = a.m_Index.EimerIndex(v);
    const Eimer* pEimer = a.m_Index.Element(nSlot);
    if (pEimer == nullptr) return -1;
    const int nPos = pEimer->Suche(v, nullptr);
    return nPos < 0 ? -1 : pEimer->Element(nPos)->m_nValue;
}

std::vector<std::string> Schluessel(const Eimer* pEimer)
{
    std::vector<std::string> w;
    for (int i = 0; pEimer && i < pEimer->m_nCount; ++i) w.emplace_back(pEimer->Element(i)->m_Key.Sicht());
    return w;
}

// --- Suche on a bucket ---

TEST(BrixAssocArraySuche, Faelle)
{
    const Liste keys("a,c,e"sv);
    Eimer eimer;
    for (const auto& k : keys.teile) {
        auto* p = new BrixAssoc<BrixSubString, int>();
        p->m_Key = k;
        eimer.Einfuegen(eimer.m_nCount, p);
    }
    const struct {
        const char* key;
        int erwartet;
        int nEinfuege;  // expected insertion position; -9: left unchanged
        int zeile;
    } faelle[] = {
        {"a", 0, -9, __LINE__},   // first
        {"e", 2, -9, __LINE__},   // last
        {"b", -1, 1, __LINE__},   // between the first two
        {"0", -1, 0, __LINE__},   // before all
        {"f", -1, 3, __LINE__},   // after all
        {"d", -1, 2, __LINE__},   // between the last two
        {"cc", -1, 2, __LINE__},  // a longer text after its prefix
        {"", -1, 0, __LINE__},    // the empty text sorts first
        {"\xE4", -1, 3, __LINE__},  // a byte above 0x7F sorts after every ASCII byte
        {"a\x80", -1, 1, __LINE__}, // the same behind a common prefix
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString k{std::string_view(f.key)};
        int nEinfuege = -9;
        EXPECT_EQ(eimer.Suche(BrixSubString(k), &nEinfuege), f.erwartet);
        EXPECT_EQ(nEinfuege, f.nEinfuege);
    }
}

TEST(BrixAssocArraySuche, LeererEimer)
{
    const Eimer eimer;
    const CString k("b"sv);
    int nEinfuege = -9;
    EXPECT_EQ(eimer.Suche(BrixSubString(k), &nEinfuege), -1);
    EXPECT_EQ(nEinfuege, 0);
    EXPECT_EQ(eimer.Suche(BrixSubString(k), nullptr), -1);
}

// --- The index kept by the array ---

TEST(CBrixMapIndex, OhneEimerKeineTabelle)
{
    const Liste l("a,b,c,ab,ba"sv);
    CBrixArray<BrixSubString> a(0);
    for (int r = 0; r < 3; ++r) {
        for (const auto& t : l.teile) a.Hinzufuegen(t);
        a.Entferne(1, 2);
    }
    a.EntferneAlle();
    EXPECT_FALSE(a.m_bIndexed);
    EXPECT_EQ(a.m_Index.m_nCount, 0);
    EXPECT_EQ(a.m_Index.m_ppElements, nullptr);
    EXPECT_EQ(a.m_Index.m_nEntries, 0);
}

TEST(CBrixMapIndex, EimerNachHashWert)
{
    const Liste l("ab,ba"sv);
    CBrixArray<BrixSubString> a(7);
    EXPECT_TRUE(a.m_bIndexed);
    EXPECT_EQ(a.m_Index.m_nCount, 0);  // the table comes with the first entry
    a.Hinzufuegen(l.teile[0]);
    ASSERT_EQ(a.m_Index.m_nCount, 7);
    ASSERT_NE(a.m_Index.Element(6), nullptr);  // 195 % 7 == 6
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a.m_Index.Element(i), nullptr) << i;
    a.Hinzufuegen(l.teile[1]);
    EXPECT_EQ(Schluessel(a.m_Index.Element(6)), (std::vector<std::string>{"ab", "ba"}));
    EXPECT_EQ(a.m_Index.m_nEntries, 2);
    EXPECT_EQ(Wert(a, "ab"), 0);
    EXPECT_EQ(Wert(a, "ba"), 1);
}

TEST(CBrixMapIndex, GleicheSummenSortiertImEimer)
{
    // All permutations share one hash and so one bucket; the bucket stays sorted.
    const Liste l("cba,bca,abc,cab,acb,bac"sv);
    CBrixArray<BrixSubString> a(5);
    for (const auto& t : l.teile) a.Hinzufuegen(t);
    const int nSlot = a.m_Index.EimerIndex(l.teile[0]);
    EXPECT_EQ(Schluessel(a.m_Index.Element(nSlot)),
              (std::vector<std::string>{"abc", "acb", "bac", "bca", "cab", "cba"}));
    EXPECT_EQ(a.m_Index.m_nEntries, 6);
    EXPECT_EQ(Wert(a, "cba"), 0);
    EXPECT_EQ(Wert(a, "bac"), 5);
}

TEST(CBrixMapIndex, HoheBytesZaehlenOhneVorzeichen)
{
    // Equal sums from bytes on both sides of 0x80: one bucket, in unsigned byte order; the
    // bucket is chosen by the unsigned sum (255 % 7 == 3).
    const Liste l("\xFF\x01,\x80\x80,\x01\xFF,\xFF"sv);
    CBrixArray<BrixSubString> a(7);
    for (const auto& t : l.teile) a.Hinzufuegen(t);
    const int nSlot = a.m_Index.EimerIndex(l.teile[0]);
    EXPECT_EQ(nSlot, 256 % 7);
    EXPECT_EQ(Schluessel(a.m_Index.Element(nSlot)), (std::vector<std::string>{"\x01\xFF", "\x80\x80", "\xFF\x01"}));
    EXPECT_EQ(Schluessel(a.m_Index.Element(3)), (std::vector<std::string>{"\xFF"}));
    EXPECT_EQ(Wert(a, "\xFF\x01"), 0);
    EXPECT_EQ(Wert(a, "\x80\x80"), 1);
    EXPECT_EQ(Wert(a, "\x01\xFF"), 2);
    EXPECT_EQ(Wert(a, "\xFF"), 3);
    EXPECT_EQ(Wert(a, "\x7F\x81"), -1);  // same sum, not entered
}

TEST(CBrixMapIndex, GleicherTextEinEintragMitLetztemWert)
{
    const Liste l("x,x"sv);
    CBrixArray<BrixSubString> a(7);
    a.Hinzufuegen(l.teile[0]);
    a.Hinzufuegen(l.teile[1]);
    EXPECT_EQ(a.m_nCount, 2);
    EXPECT_EQ(a.m_Index.m_nEntries, 1);
    EXPECT_EQ(Wert(a, "x"), 1);
}

TEST(CBrixMapIndex, LeereSichtWirdNichtEingetragen)
{
    const Liste l(","sv);
    CBrixArray<BrixSubString> a(7);
    a.Hinzufuegen(l.teile[0]);
    a.Hinzufuegen(BrixSubString());
    EXPECT_EQ(a.m_nCount, 2);
    EXPECT_EQ(a.m_Index.m_nCount, 0);
    EXPECT_EQ(a.m_Index.m_nEntries, 0);
}

TEST(CBrixMapIndex, EntferneDesEinzigenEintragsLoeschtDenEimer)
{
    const Liste l("ab,q"sv);
    CBrixArray<BrixSubString> a(7);
    a.Hinzufuegen(l.teile[0]);
    a.Hinzufuegen(l.teile[1]);
    a.Entferne(0, 1);
    EXPECT_EQ(a.m_Index.Element(6), nullptr);
    EXPECT_EQ(a.m_Index.m_nCount, 7);
    EXPECT_EQ(a.m_Index.m_nEntries, 1);
    EXPECT_EQ(Wert(a, "q"), 0);
}

TEST(CBrixMapIndex, EntferneTraegtVerschobeneNeuEin)
{
    const struct {
        std::string_view texte;
        int nIndex;
        int n;
        std::vector<std::pair<const char*, int>> erwartet;  // value per text, -1: no entry
        int nEintraege;
        int zeile;
    } faelle[] = {
        {"a,b,c"sv, 0, 1, {{"a", -1}, {"b", 0}, {"c", 1}}, 2, __LINE__},    // front removed
        {"a,b,c"sv, 1, 1, {{"a", 0}, {"b", -1}, {"c", 1}}, 2, __LINE__},    // middle removed
        {"a,b,c,d"sv, 1, 9, {{"a", 0}, {"b", -1}, {"d", -1}}, 1, __LINE__}, // clamped count
        {"x,y,x"sv, 0, 1, {{"y", 0}, {"x", 1}}, 2, __LINE__},                // a moved duplicate is re-entered
        {"a,,b"sv, 0, 1, {{"b", 1}}, 1, __LINE__},                            // empty views stay out
        {"a,b"sv, 3, 1, {{"a", 0}, {"b", 1}}, 2, __LINE__},                  // out of range: nothing
        {"a,b"sv, -1, 1, {{"a", 0}, {"b", 1}}, 2, __LINE__},                 // negative: nothing
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const Liste l(f.texte);
        CBrixArray<BrixSubString> a(3);
        for (const auto& t : l.teile) a.Hinzufuegen(t);
        a.Entferne(f.nIndex, f.n);
        for (const auto& [text, wert] : f.erwartet) EXPECT_EQ(Wert(a, text), wert) << std::string(text, text + 1);
        EXPECT_EQ(a.m_Index.m_nEntries, f.nEintraege);
    }
}

TEST(CBrixMapIndex, EntferneAlleLeertDenIndex)
{
    const Liste l("a,b,ab,c"sv);
    CBrixArray<BrixSubString> a(4);
    for (const auto& t : l.teile) a.Hinzufuegen(t);
    a.EntferneAlle();
    EXPECT_EQ(a.m_nCount, 0);
    EXPECT_EQ(a.m_Index.m_nEntries, 0);
    ASSERT_EQ(a.m_Index.m_nCount, 4);  // the table keeps its slots
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.m_Index.Element(i), nullptr) << i;
    EXPECT_EQ(a.Hinzufuegen(l.teile[2]), 0);  // and works again
    EXPECT_EQ(Wert(a, "ab"), 0);
    EXPECT_EQ(a.m_Index.m_nEntries, 1);
}

}  // namespace
