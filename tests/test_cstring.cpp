// Tests of CString buffers across the size where the heap gives way to mapped memory: content
// kept through growth, copies, moves, swaps and release, on both sides of that size.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/CString.h"

namespace {

// Unit i of a text that differs at every position within 65521 units.
char16_t Einheit(std::int64_t i) { return static_cast<char16_t>((i * 7 + 3) % 65521); }

// Fills s with nLaenge patterned units through the buffer.
void Fuelle(CString& s, std::int64_t nLaenge)
{
    char16_t* p = s.GetBufferSetLength(nLaenge);
    for (std::int64_t i = 0; i < nLaenge; ++i) p[i] = Einheit(i);
    s.ReleaseBuffer(static_cast<int>(nLaenge));
}

// The first index where s differs from the pattern (or its length is wrong), or -1.
std::int64_t ErsteAbweichung(const CString& s, std::int64_t nLaenge)
{
    if (s.GetLength() != nLaenge) return -2;
    for (std::int64_t i = 0; i < nLaenge; ++i)
        if (s[static_cast<int>(i)] != Einheit(i)) return i;
    return s.GetString()[nLaenge] == 0 ? -1 : nLaenge;
}

constexpr std::int64_t kMiB = 1048576;

TEST(CStringPuffer, WachsenBehaeltDenInhalt)
{
    const struct {
        std::int64_t nVorher;  // units written first
        std::int64_t nNachher; // length the buffer is then set to
        int zeile;
    } faelle[] = {
        {1000, 3 * kMiB, __LINE__},           // heap to mapped
        {2 * kMiB - 1, 2 * kMiB, __LINE__},   // just below the mapped size to just above it
        {3 * kMiB, 9 * kMiB + 5, __LINE__},   // mapped to larger mapped
        {3 * kMiB, 100, __LINE__},            // mapped, then shorter: the rest kept
        {0, 5 * kMiB, __LINE__},              // empty to mapped
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString s;
        Fuelle(s, f.nVorher);
        char16_t* p = s.GetBufferSetLength(f.nNachher);
        const std::int64_t nBehalten = f.nVorher < f.nNachher ? f.nVorher : f.nNachher;
        for (std::int64_t i = nBehalten; i < f.nNachher; ++i) p[i] = Einheit(i);  // the new units
        s.ReleaseBuffer(static_cast<int>(f.nNachher));
        EXPECT_EQ(ErsteAbweichung(s, f.nNachher), -1);
    }
}

TEST(CStringPuffer, KopierenVerschiebenTauschenFreigeben)
{
    for (const std::int64_t nLaenge : {std::int64_t{10}, 3 * kMiB}) {
        SCOPED_TRACE(nLaenge);
        CString a;
        Fuelle(a, nLaenge);
        CString kopie(a);
        EXPECT_EQ(ErsteAbweichung(kopie, nLaenge), -1);
        CString zugewiesen(u"x");
        zugewiesen = a;
        EXPECT_EQ(ErsteAbweichung(zugewiesen, nLaenge), -1);
        CString verschoben(std::move(kopie));
        EXPECT_EQ(ErsteAbweichung(verschoben, nLaenge), -1);
        CString klein(u"klein");
        klein.Tausche(verschoben);
        EXPECT_EQ(ErsteAbweichung(klein, nLaenge), -1);
        EXPECT_EQ(std::u16string(verschoben.Sicht()), u"klein");
        a.Empty();
        EXPECT_TRUE(a.IsEmpty());
        EXPECT_EQ(a.GetString()[0], 0);
        Fuelle(a, nLaenge / 2);  // the kept buffer is used again
        EXPECT_EQ(ErsteAbweichung(a, nLaenge / 2), -1);
        a.Freigeben();
        EXPECT_TRUE(a.IsEmpty());
        Fuelle(a, nLaenge);  // and after release a new one is taken
        EXPECT_EQ(ErsteAbweichung(a, nLaenge), -1);
    }
}

}  // namespace
