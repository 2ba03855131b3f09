// GetLogicalDriveStringsW: the drive table's letters and the letters DOS
// device definitions name, with Windows' length rules.
#include "support/scratch_drive.h"

#include <host/drive_table.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;
using korvel::test::Wide;

constexpr WCHAR kUnwritten = 0xBEEF;

class DriveStringsTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        host::MapDrive('q', host::Drive{m_Folder.Path(), host::DriveType::Removable, std::nullopt});
        host::MapDrive('D', host::Drive{m_Folder.Path(), host::DriveType::Fixed, std::nullopt});
        // S: as while a vault is open: a DOS device definition, no drive.
        ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, Wide("S:"), Wide("\\Device\\VantorDevice0")));
    }
    void TearDown() override
    {
        while (DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide("S:"), nullptr)) {
        }
        ScratchDriveTest::TearDown();
    }

    static std::u16string_view Text(const std::vector<WCHAR>& buffer, std::size_t units)
    {
        return {reinterpret_cast<const char16_t*>(buffer.data()), units};
    }
};

TEST_F(DriveStringsTest, EveryLetterInOrderWithTheLengthRulesOfWindows)
{
    const std::u16string_view roots = u"C:\\\0D:\\\0Q:\\\0S:\\\0"sv;
    struct Case {
        const char* what;
        DWORD length;
        bool withBuffer;
        DWORD result;  // without the final terminator; when too small, the size needed with it
        bool written;
    };
    const Case cases[] = {
        {"no buffer at all", 64, false, 17, false},
        {"a buffer of no size", 0, true, 17, false},
        {"one short of the final terminator", 16, true, 17, false},
        {"exactly large enough", 17, true, 16, true},
        {"larger than needed", 40, true, 16, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<WCHAR> buffer(48, kUnwritten);
        EXPECT_EQ(GetLogicalDriveStringsW(c.length, c.withBuffer ? buffer.data() : nullptr), c.result);
        const std::size_t written = c.written ? roots.size() + 1 : 0;
        if (c.written) {
            EXPECT_EQ(Text(buffer, roots.size()), roots);
            EXPECT_EQ(buffer[roots.size()], 0);
        }
        for (std::size_t i = written; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], kUnwritten) << "unit " << i;
        }
    }
}

TEST_F(DriveStringsTest, ADosDeviceLetterGoesWithItsLastDefinition)
{
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, Wide("S:"), Wide("\\Device\\VantorDevice1")));
    ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide("S:"), nullptr));
    std::vector<WCHAR> buffer(48, kUnwritten);
    EXPECT_EQ(GetLogicalDriveStringsW(48, buffer.data()), 16u) << "one definition of S: is still there";

    ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide("S:"), nullptr));
    std::fill(buffer.begin(), buffer.end(), kUnwritten);
    EXPECT_EQ(GetLogicalDriveStringsW(48, buffer.data()), 12u);
    EXPECT_EQ(Text(buffer, 13), u"C:\\\0D:\\\0Q:\\\0\0"sv);
    EXPECT_EQ(buffer[13], kUnwritten);
}

}  // namespace
