// The length limit at its real value: positions are int, so 2^31-1 units is the longest text.
// Checked without allocating gigabytes: the checks happen before any memory is asked for.
#include <gtest/gtest.h>

#include <cstdint>

#include "brix/BrixSubString.h"
#include "platform/Ausnahmen.h"
#include "platform/CString.h"
#include "platform/Grenzen.h"

namespace {

constexpr std::int64_t k2hoch31 = std::int64_t{1} << 31;

TEST(Laengengrenze, PruefungAnDerGrenzeVonInt)
{
    ASSERT_EQ(kMaxTextLaenge, k2hoch31 - 1);
    ASSERT_EQ(MaxTextLaenge(), kMaxTextLaenge);
    const struct {
        std::int64_t nLaenge;
        bool bAbgelehnt;
    } faelle[] = {
        {k2hoch31 - 2, false},  // just below the limit
        {k2hoch31 - 1, false},  // the limit itself
        {k2hoch31, true},       // one past: would wrap to a negative int
        {k2hoch31 * 2, true},   // far past
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.nLaenge);
        if (f.bAbgelehnt)
            EXPECT_THROW(PruefeTextLaenge(f.nLaenge), CLaengenException);
        else
            EXPECT_NO_THROW(PruefeTextLaenge(f.nLaenge));
    }
}

TEST(Laengengrenze, StringWaechstNichtUeberDieGrenze)
{
    CString s(u"abc");
    EXPECT_THROW(s.GetBufferSetLength(k2hoch31), CLaengenException);
    EXPECT_THROW(s.Reserviere(k2hoch31 + 5), CLaengenException);
    EXPECT_EQ(s.Sicht(), u"abc");  // refused before anything changed
}

TEST(Laengengrenze, AnhaengenUeberDieGrenzeLaesstDasZielUnveraendert)
{
    // A lowered limit stands for the real one: appending 3 units to 8 passes a limit of 10.
    SetzeMaxTextLaenge(10);
    CString ziel(u"12345678");
    const CString quelle(u"abc");
    EXPECT_THROW(Anhaengen(ziel, BrixSubString(quelle)), CLaengenException);
    EXPECT_EQ(ziel.Sicht(), u"12345678");
    EXPECT_NO_THROW(Anhaengen(ziel, BrixSubString(quelle).Links(2)));  // exactly at the limit
    EXPECT_EQ(ziel.Sicht(), u"12345678ab");
    SetzeMaxTextLaenge(kMaxTextLaenge);
}

TEST(Laengengrenze, GrenzeLaesstSichNurInIhrenBereichSetzen)
{
    SetzeMaxTextLaenge(-5);
    EXPECT_EQ(MaxTextLaenge(), 0);
    SetzeMaxTextLaenge(k2hoch31 * 4);
    EXPECT_EQ(MaxTextLaenge(), kMaxTextLaenge);
}

}  // namespace
