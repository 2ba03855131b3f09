// The manager's number conventions: capacity texts, the value of a text,
// number texts, cutting to one decimal, rounding and the creation estimate.
#include "support/number_text.h"
#include "scripted_ui.h"
#include "vault_ops/create_vault_dialog.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using korvel::test::U8;
using tessaly::Text;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kGiB = 1024.0 * kMiB;

TEST(CapacityText, WholeMegabytesBelowOneGigabyteAndWholeGigabytesFromThere)
{
    struct Case {
        const char* label;
        double bytes;
        const char* text;
    };
    const Case cases[] = {
        {"500 MiB", 500 * kMiB, "500M"},
        {"1023.4 MiB", 1023.4 * kMiB, "1023M"},
        {"1023.6 MiB", 1023.6 * kMiB, "1G"},
        {"exactly 1024 MiB", 1024 * kMiB, "1G"},
        {"1.5 GiB", 1.5 * kGiB, "1G"},
        {"5 GiB, beyond 32 bits", 5 * kGiB + 1024, "5G"},
        {"half a megabyte rounds to even 0", 0.5 * kMiB, "0M"},
        {"1.5 MiB rounds to even 2", 1.5 * kMiB, "2M"},
        {"2.5 MiB rounds to even 2", 2.5 * kMiB, "2M"},
        {"a size that could not be read", -1, "0M"},
        {"an empty file", 0, "0M"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(U8(tessaly::CapacityText(c.bytes)), c.text);
    }
}

TEST(NumberConventions, TheValueOfATextIsItsLeadingDecimalNumber)
{
    struct Case {
        const char16_t* text;
        double value;
    };
    const Case cases[] = {
        {u"10G", 10},   {u"abc", 0},     {u"-3", -3},   {u".5", 0.5},   {u"12.3456", 12.3456}, {u"", 0},
        {u"  7", 7},    {u"1.2.3", 1.2}, {u"+4x", 4},   {u"-", 0},      {u".", 0},             {u"0.0004882812", 0.0004882812},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.text));
        EXPECT_DOUBLE_EQ(tessaly::ValueOf(c.text), c.value);
    }
}

TEST(NumberConventions, NumberTextsAreShortWithoutALeadingZero)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.7, ".7"}, {-0.7, "-.7"}, {7, "7"}, {12.3, "12.3"}, {0, "0"}, {1.0 / 3, ".333333333333333"},
        {42, "42"},  {1e20, "1E+20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(U8(tessaly::NumberText(c.value)), c.text);
    }
}

TEST(NumberConventions, CuttingToOneDecimalTruncates)
{
    struct Case {
        const char16_t* text;
        const char* cut;
    };
    const Case cases[] = {{u"12.3456", "12.3"}, {u"7", "7"}, {u".98", ".9"}, {u"12.", "12."}, {u"1.05", "1.0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.text));
        EXPECT_EQ(U8(tessaly::CutToOneDecimal(c.text)), c.cut);
    }
}

TEST(NumberConventions, MegabyteCountsRoundHalfToEven)
{
    struct Case {
        double value;
        std::int32_t rounded;
    };
    const Case cases[] = {
        {1.0005 * 1024, 1025}, {0.0004882812 * 1024, 0}, {0.5, 0},          {1.5, 2},   {2.5, 2},
        {-2.5, -2},            {10 * 1024, 10240},        {1e12, INT32_MAX}, {NAN, INT32_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(tessaly::RoundHalfEven(c.value), c.rounded);
    }
}

TEST(CreationEstimate, SevenTenthsOfAMinuteAGigabyte)
{
    struct Case {
        double gigabytes;
        const char* estimate;
    };
    const Case cases[] = {
        {0.5, "21秒钟"}, {1, "42秒钟"}, {1.4, "54秒钟"}, {1.5, "1.0分钟"}, {2, "1.4分钟"}, {10, "7分钟"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gigabytes);
        EXPECT_EQ(U8(tessaly::CreationEstimate(c.gigabytes)), c.estimate);
    }
}

}  // namespace
