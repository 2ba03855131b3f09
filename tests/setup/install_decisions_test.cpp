// The installer's rules, one at a time: the program folder, own files, the
// driver, and which of two driver versions is newer.
#include "setup/install_decisions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using setup::DriverAction;
using setup::FileStatus;

std::string U8(const std::u16string& text)
{
    return tessaly::Utf8(text);
}

TEST(InstallDecisions, TheProgramFolderIsOnTheSystemDrive)
{
    EXPECT_EQ(U8(setup::ProgramFolderFrom(u"C:\\Windows\\system32")), "C:\\Software");
    EXPECT_EQ(U8(setup::ProgramFolderFrom(u"D:\\WINNT\\System32")), "D:\\Software");
}

TEST(InstallDecisions, OwnFilesAreWrittenWhenMissingOrOfAnotherSize)
{
    struct Case {
        const char* label;
        FileStatus onDisk;
        bool written;
    };
    const Case cases[] = {
        {"missing", {false, 0, 0}, true},
        {"the carried size, whatever its date", {true, 1000, 1}, false},
        {"smaller", {true, 999, 2'000'000'000}, true},
        {"larger", {true, 1001, 2'000'000'000}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(setup::OwnFileNeedsWriting(c.onDisk, 1000), c.written);
    }
}

TEST(InstallDecisions, TheDriverIsKeptOnlyAtItsSizeAndNotOlderThanTheInstaller)
{
    constexpr std::int64_t kInstaller = 1'700'000'000;
    struct Case {
        const char* label;
        FileStatus onDisk;
        DriverAction action;
    };
    const Case cases[] = {
        {"missing", {false, 0, 0}, DriverAction::Write},
        {"same size, newer", {true, 51944, kInstaller + 60}, DriverAction::Keep},
        {"same size, same second", {true, 51944, kInstaller}, DriverAction::Keep},
        {"same size, older", {true, 51944, kInstaller - 1}, DriverAction::Replace},
        {"another size, newer", {true, 51945, kInstaller + 60}, DriverAction::Replace},
        {"another size, older", {true, 42216, kInstaller - 60}, DriverAction::Replace},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(setup::DecideDriver(c.onDisk, 51944, kInstaller), c.action);
    }
}

TEST(InstallDecisions, VersionsCompareNumberByNumber)
{
    struct Case {
        const char16_t* written;
        const char16_t* before;
        bool newer;
    };
    const Case cases[] = {
        {u"1.0.0.10", u"1.0.0.9", true},  // byte-wise, "1.0.0.10" would sort first
        {u"1.0.0.9", u"1.0.0.10", false},
        {u"1.0.0.1", u"1.0.0.1", false},
        {u"2.0.0.0", u"1.9.9.9", true},
        {u"1.0.10.0", u"1.0.9.99", true},
        {u"1.0.0.1", u"", true},  // the old file had no version
        {u"", u"1.0.0.1", false},
        {u"", u"", false},
        {u"1.0.0.0", u"1.0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.written) + " over " + U8(c.before));
        EXPECT_EQ(setup::VersionIsNewer(c.written, c.before), c.newer);
    }
}

TEST(InstallDecisions, VersionTextsComeFromTheFixedVersionsHalves)
{
    EXPECT_EQ(U8(setup::VersionText(0x00010000, 0x00000001)), "1.0.0.1");
    EXPECT_EQ(U8(setup::VersionText(0x0002000A, 0xFFFF0003)), "2.10.65535.3");
}

}  // namespace
