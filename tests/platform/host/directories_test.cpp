// CreateDirectoryW and DeleteFileW, and the one normalisation of Win32 names
// that every file call shares: trailing dots and blanks of the last segment
// go unless the name ends in a separator.
#include "support/scratch_drive.h"

#include <host/drive_table.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using korvel::test::HostFileExists;
using korvel::test::Narrow;
using korvel::test::Wide;
using korvel::test::WriteHostFile;

constexpr DWORD kUnwritten = 0xdeadbeef;

class DirectoriesTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        std::filesystem::create_directories(HostPath("autorun.inf"));
        WriteHostFile(HostPath("file.txt"), {'x'});
    }

    // The names in a host folder, as the host spells them.
    std::vector<std::string> HostNames(const std::string& relative) const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(HostPath(relative))) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(DirectoriesTest, NewFoldersGetTheNamesWindowsWouldGiveThem)
{
    struct Case {
        const char* name;
        const char* hostName;  // in C:\autorun.inf
    };
    const Case cases[] = {
        {"C:\\autorun.inf\\勿删该文件夹...\\", "勿删该文件夹..."},
        {"C:\\autorun.inf\\trimmed. . .", "trimmed"},
        {"C:\\autorun.inf\\blanks  ", "blanks"},
        {"C:/autorun.inf//slashes/", "slashes"},
        {"C:\\autorun.inf\\skipped\\..\\dotted.\\", "dotted."},
        {"C:\\autorun.inf\\.\\here", "here"},
        {"\\\\?\\C:\\autorun.inf\\literal..", "literal.."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kUnwritten);
        ASSERT_TRUE(CreateDirectoryW(Wide(c.name), nullptr)) << GetLastError();
        EXPECT_TRUE(std::filesystem::is_directory(HostPath(std::string("autorun.inf/") + c.hostName)));
    }
    EXPECT_EQ(HostNames("autorun.inf"),
              (std::vector<std::string>{"blanks", "dotted.", "here", "literal..", "slashes", "trimmed",
                                        "勿删该文件夹..."}));
}

TEST_F(DirectoriesTest, EveryFileCallNormalisesNamesTheSameWay)
{
    ASSERT_TRUE(CreateDirectoryW(Wide("C:\\autorun.inf\\勿删该文件夹...\\"), nullptr));
    // With the separator the dots stay; without it they go, and the name
    // then leads elsewhere.
    EXPECT_EQ(GetFileAttributesW(Wide("C:\\AUTORUN.INF\\勿删该文件夹...\\")), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    SetLastError(kUnwritten);
    EXPECT_EQ(GetFileAttributesW(Wide("C:\\autorun.inf\\勿删该文件夹...")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(SetFileAttributesW(Wide("C:\\autorun.inf\\勿删该文件夹...\\"), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(Wide("C:\\autorun.inf\\勿删该文件夹...\\")),
              DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));

    // A file created through a name with trailing dots and blanks has none.
    HANDLE file = CreateFileW(Wide("C:\\autorun.inf\\勿删该文件夹...\\vault.sec. ."), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(HostFileExists(HostPath("autorun.inf/勿删该文件夹.../vault.sec")));

    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(Wide("C:\\autorun.inf\\勿删该文件夹...\\*.sec"), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Narrow(data.cFileName), "vault.sec");
    EXPECT_TRUE(FindClose(search));

    EXPECT_TRUE(DeleteFileW(Wide("C:\\autorun.inf\\勿删该文件夹...\\vault.sec..")));
    EXPECT_FALSE(HostFileExists(HostPath("autorun.inf/勿删该文件夹.../vault.sec")));
}

TEST_F(DirectoriesTest, CreateDirectoryFailsWhereWindowsFails)
{
    struct Case {
        const char* name;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\autorun.inf", ERROR_ALREADY_EXISTS},
        {"C:\\AUTORUN.INF\\", ERROR_ALREADY_EXISTS},
        {"C:\\file.txt", ERROR_ALREADY_EXISTS},
        {"C:\\missing\\new", ERROR_PATH_NOT_FOUND},
        {"C:\\file.txt\\new", ERROR_PATH_NOT_FOUND},
        {"K:\\new", ERROR_PATH_NOT_FOUND},
        {"C:\\a<b", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kUnwritten);
        EXPECT_FALSE(CreateDirectoryW(Wide(c.name), nullptr));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(HostNames(""), (std::vector<std::string>{"autorun.inf", "file.txt"}));
}

TEST_F(DirectoriesTest, DeleteFileFailsWhereWindowsFails)
{
    struct Case {
        const char* name;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\file.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\autorun.inf", ERROR_ACCESS_DENIED},
        {"C:\\file.txt\\", ERROR_INVALID_NAME},
        {"K:\\file.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kUnwritten);
        EXPECT_FALSE(DeleteFileW(Wide(c.name)));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(HostNames(""), (std::vector<std::string>{"autorun.inf", "file.txt"}));
}

TEST_F(DirectoriesTest, AnOpenThatDoesNotShareDeletionKeepsTheFile)
{
    struct Case {
        const char* what;
        DWORD share;
        bool deleted;
    };
    const Case cases[] = {
        {"shared for reading only", FILE_SHARE_READ, false},
        {"shared for deletion too", FILE_SHARE_READ | FILE_SHARE_DELETE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteHostFile(HostPath("open.txt"), {'x'});
        HANDLE file = CreateFileW(Wide("C:\\open.txt"), GENERIC_READ, c.share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetLastError(kUnwritten);
        EXPECT_EQ(bool(DeleteFileW(Wide("C:\\open.txt"))), c.deleted);
        if (!c.deleted) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        }
        EXPECT_EQ(HostFileExists(HostPath("open.txt")), !c.deleted);
        EXPECT_TRUE(CloseHandle(file));
    }
}

TEST_F(DirectoriesTest, ADeletedFileGivesItsSpaceBackToASmallVolume)
{
    host::MapDrive('F', host::Drive{m_Folder.Path(), host::DriveType::Fixed, std::uint64_t(1 << 20)});
    HANDLE file = CreateFileW(Wide("F:\\data.bin"), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::vector<char> block(4096, 'x');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, block.data(), DWORD(block.size()), &written, nullptr));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(host::FindDrive('F')->freeBytes, std::uint64_t((1 << 20) - 4096));

    EXPECT_TRUE(DeleteFileW(Wide("F:\\data.bin")));
    EXPECT_EQ(host::FindDrive('F')->freeBytes, std::uint64_t(1 << 20));
}

}  // namespace
