// Unit names: a base followed by up to three digits.
#include "framework/kunitnam.h"

#include "support/scratch_drive.h"

#include <host/test_hooks.h>

#include <gtest/gtest.h>

namespace {

TEST(KUnitizedName, AppendsTheUnitInTheGivenRadix)
{
    struct Case {
        ULONG unit;
        ULONG radix;
        const char* name;
    };
    const Case cases[] = {
        {0, 10, "VantorDevice0"},   {7, 10, "VantorDevice7"},     {999, 10, "VantorDevice999"},
        {26, 16, "VantorDevice1A"}, {0xFFF, 16, "VantorDeviceFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host::ClearDebugOutput();
        KUnitizedName name(L"VantorDevice", c.unit, c.radix);
        ASSERT_EQ(name.Status(), STATUS_SUCCESS);
        EXPECT_EQ(korvel::test::Narrow(name.Text()), c.name);
        EXPECT_EQ(name.Length(), std::string(c.name).size() * sizeof(WCHAR));
        EXPECT_EQ(name.Text()[name.Length() / sizeof(WCHAR)], 0) << "terminated";
        EXPECT_EQ(host::DebugOutput(), "") << "no check failed";
    }
}

TEST(KUnitizedName, ReportsUnitsAndRadixesItCannotTake)
{
    struct Case {
        ULONG unit;
        ULONG radix;
        const char* check;
    };
    const Case cases[] = {
        {1000, 10, "m_unit < 1000"},
        {0x1000, 16, "m_unit < 0x1000"},
        {5, 8, "(m_radix == 10) || (m_radix == 16)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.check);
        host::ClearDebugOutput();
        KUnitizedName name(L"VantorDevice", c.unit, c.radix);
        const std::string report = host::DebugOutput();
        EXPECT_NE(report.find(std::string("*** Assertion failed: ") + c.check), std::string::npos) << report;
        EXPECT_NE(report.find("Source File: kunitnam, line"), std::string::npos) << report;
        // Four digits do not fit: the name is not made.
        if (c.radix != 8) {
            EXPECT_NE(name.Status(), STATUS_SUCCESS);
            EXPECT_TRUE(name.IsEmpty());
        }
    }
}

}  // namespace
