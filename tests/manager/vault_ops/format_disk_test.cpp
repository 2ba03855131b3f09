// The format step: FormatEx bound at run time with the request's arguments,
// and its progress callback turned into the create dialog's texts.
#include "shell/controls.h"
#include "scripted_ui.h"
#include "vault_ops/format_disk.h"

#include <host/format_hooks.h>

#include <gtest/gtest.h>

#include <cstring>

namespace korvel::test {
namespace {

using tessaly::FormatProgressView;
using tessaly::TextControl;

class FormatDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Label7.SetText(u"");
        m_Label5.SetText(u"G，允许最大容量<=12.3G");
        tessaly::SetFormatProgressView(&m_View);
        tessaly::LastFormatReports() = {};
    }
    void TearDown() override
    {
        tessaly::SetFormatProgressView(nullptr);
        host::WithdrawFormatLibrary();
    }

    ScriptedUi m_Ui;
    TextControl m_Label7;
    TextControl m_Label5;
    FormatProgressView m_View{m_Ui, m_Label7, m_Label5};
};

TEST_F(FormatDiskTest, TheCallbackShowsProgressAndTheOutcomeAndAlwaysGoesOn)
{
    struct Case {
        const char* label;
        std::uint32_t command;
        DWORD detail;
        std::vector<std::uint8_t> information;
        std::int32_t percentage;  // afterwards
        std::uint8_t done;
        const char* label7;
        const char* label5;
    };
    const Case cases[] = {
        {"progress 7", 0, 4, {7, 0, 0, 0}, 7, 0, "正在创建保险柜： 7%", "G，允许最大容量<=12.3G"},
        {"progress 40", 0, 4, {40, 0, 0, 0}, 40, 0, "正在创建保险柜： 40%", "G，允许最大容量<=12.3G"},
        {"a report longer than the value is cut to its four bytes", 0, 8, {55, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE},
         55, 0, "正在创建保险柜： 55%", "G，允许最大容量<=12.3G"},
        {"a two-byte report changes only the low bytes", 0, 2, {0x2C, 0x01}, 300, 0, "正在创建保险柜： 300%",
         "G，允许最大容量<=12.3G"},
        {"done with success", 11, 1, {1}, 0, 1, "正在创建保险柜：100%", "G，允许最大容量<=12.3G"},
        {"done, the rest of a longer report ignored", 11, 4, {1, 0xEE, 0xEE, 0xEE}, 0, 1, "正在创建保险柜：100%",
         "G，允许最大容量<=12.3G"},
        {"done with failure", 11, 1, {0}, 0, 0, "", "创建保险柜失败!"},
        {"another command", 5, 4, {9, 9, 9, 9}, 0, 0, "", "G，允许最大容量<=12.3G"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        tessaly::LastFormatReports() = {};
        m_Label7.SetText(u"");
        m_Label5.SetText(u"G，允许最大容量<=12.3G");
        const int pumpsBefore = m_Ui.pumps;
        std::vector<std::uint8_t> information = c.information;
        EXPECT_EQ(tessaly::FormatCallback(c.command, c.detail, information.data()), 1);
        EXPECT_EQ(m_Ui.pumps, pumpsBefore + 1) << "every report lets pending events run";
        EXPECT_EQ(tessaly::LastFormatReports().percentage, c.percentage);
        EXPECT_EQ(tessaly::LastFormatReports().done, c.done);
        EXPECT_EQ(U8(m_Label7.GetText()), c.label7);
        EXPECT_EQ(U8(m_Label5.GetText()), c.label5);
    }
}

TEST_F(FormatDiskTest, TheReportedValuesLiveOnFromOneFormatToTheNext)
{
    std::int32_t first = 0x12C;
    tessaly::FormatCallback(0, 4, &first);
    std::uint8_t low = 5;
    tessaly::FormatCallback(0, 1, &low);
    EXPECT_EQ(tessaly::LastFormatReports().percentage, 0x105) << "a one-byte report replaces the low byte only";
}

TEST_F(FormatDiskTest, FormatExIsCalledWithTheRequestAndItsReportsReachTheDialog)
{
    host::ProvideFormatLibrary(host::FormatScript{{10, 60}, true});
    EXPECT_TRUE(tessaly::FormatVolume(u"S:", 12, u"NTFS", u"工作", 1));
    const std::vector<host::FormatCall> calls = host::FormatCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].driveRoot, u"S:");
    EXPECT_EQ(calls[0].mediaFlag, 12u);
    EXPECT_EQ(calls[0].fileSystem, u"NTFS");
    EXPECT_EQ(calls[0].label, u"工作");
    EXPECT_EQ(calls[0].quickFormat, 1);
    EXPECT_EQ(calls[0].clusterSize, 0u);
    EXPECT_EQ(calls[0].callbackAnswers, (std::vector<BOOLEAN>{1, 1, 1}));
    EXPECT_EQ(U8(m_Label7.GetText()), "正在创建保险柜：100%");
    EXPECT_EQ(m_Ui.pumps, 3);
}

TEST_F(FormatDiskTest, ARealFormatOfADriveWithoutAVolumeReportsFailure)
{
    host::ProvideFormatLibrary(host::FormatScript{{}, true, true});
    EXPECT_TRUE(tessaly::FormatVolume(u"Q:", 12, u"NTFS", u"x", 1));
    ASSERT_EQ(host::FormatCalls().size(), 1u);
    EXPECT_EQ(U8(m_Label5.GetText()), "创建保险柜失败!");
    host::WithdrawFormatLibrary();
}

TEST_F(FormatDiskTest, AFormatLibraryThatCannotBeBoundFormatsNothing)
{
    EXPECT_FALSE(tessaly::FormatVolume(u"S:", 12, u"NTFS", u"x", 1));
    EXPECT_TRUE(host::FormatCalls().empty());
    EXPECT_EQ(U8(m_Label7.GetText()), "");
}

}  // namespace
}  // namespace korvel::test
