// GetFileAttributesW and SetFileAttributesW: what new files and folders
// have, round trips, persistence with the file, a file system without user
// extended attributes, and what read-only means for files and for folders.
#include "support/scratch_drive.h"

#include <ntifs.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

using korvel::test::HostFileExists;
using korvel::test::ReadHostFile;
using korvel::test::Wide;
using korvel::test::WriteHostFile;

constexpr DWORD kUnwritten = 0xdeadbeef;

DWORD AttributesOf(const char* name)
{
    return GetFileAttributesW(Wide(name));
}

class FileAttributesTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        std::filesystem::create_directories(HostPath("folder"));
        WriteHostFile(HostPath("file.txt"), {'d', 'a', 't', 'a'});
    }
};

TEST_F(FileAttributesTest, NewFilesAreArchivedAndFoldersAreFolders)
{
    EXPECT_EQ(AttributesOf("C:\\file.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(AttributesOf("C:\\FILE.TXT"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(AttributesOf("C:\\folder"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(AttributesOf("C:\\folder\\"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(AttributesOf("C:\\"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(FileAttributesTest, WhatIsSetIsWhatIsReported)
{
    struct Case {
        const char* name;
        DWORD set;
        DWORD reported;
    };
    const Case cases[] = {
        {"C:\\file.txt", FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {"C:\\file.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"C:\\file.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE,
         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\file.txt", FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\file.txt", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        // NORMAL only means "none"; DIRECTORY is not the caller's to set.
        {"C:\\file.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_HIDDEN},
        {"C:\\file.txt", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
        {"C:\\folder", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"C:\\folder\\", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_DIRECTORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " set 0x" << std::hex << c.set);
        ASSERT_TRUE(SetFileAttributesW(Wide(c.name), c.set)) << GetLastError();
        EXPECT_EQ(AttributesOf(c.name), c.reported);
    }
}

TEST_F(FileAttributesTest, AttributesStayWithTheFile)
{
    ASSERT_TRUE(SetFileAttributesW(Wide("C:\\file.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    // Writing the file changes nothing.
    HANDLE file = CreateFileW(Wide("C:\\file.txt"), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "more", 4, &written, nullptr));
    EXPECT_TRUE(CloseHandle(file));

    // They live in the file's own extended attribute, where any process sees them.
    unsigned char stored[4] = {};
    ASSERT_EQ(getxattr(HostPath("file.txt").c_str(), "user.korvel.attributes", stored, sizeof stored), 4);
    EXPECT_EQ(stored[0], FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    // Moved on the host and seen through another drive, the file keeps them.
    std::filesystem::create_directories(HostPath("elsewhere"));
    std::filesystem::rename(HostPath("file.txt"), HostPath("elsewhere/moved.txt"));
    host::UnmapAllDrives();
    host::MapDrive('D', host::Drive{HostPath("elsewhere"), host::DriveType::Fixed, std::nullopt});
    EXPECT_EQ(AttributesOf("D:\\moved.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

TEST_F(FileAttributesTest, AFileSystemWithoutUserAttributesRefusesToKeepThem)
{
    // procfs keeps no user extended attributes. The process's own folder
    // there belongs to whoever runs the test, so the refusal is for the
    // file system's reason, not for lack of rights.
    host::MapDrive('P', host::Drive{"/proc/" + std::to_string(getpid()), host::DriveType::Fixed, std::nullopt});
    SetLastError(kUnwritten);
    EXPECT_FALSE(SetFileAttributesW(Wide("P:\\comm"), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(AttributesOf("P:\\comm"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FileAttributesTest, NamesThatLeadNowhereFail)
{
    struct Case {
        const char* name;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\file.txt", ERROR_PATH_NOT_FOUND},
        {"K:\\file.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\file.txt\\", ERROR_INVALID_NAME},
        {"C:\\fi|le.txt", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kUnwritten);
        EXPECT_EQ(AttributesOf(c.name), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), c.error);
        SetLastError(kUnwritten);
        EXPECT_FALSE(SetFileAttributesW(Wide(c.name), FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(AttributesOf("C:\\file.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
}

NTSTATUS KernelOpen(const char* ntName, ACCESS_MASK access, ULONG disposition, HANDLE& handle)
{
    Wide name(ntName);
    UNICODE_STRING objectName;
    RtlInitUnicodeString(&objectName, name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK iosb{};
    handle = nullptr;
    return ZwCreateFile(&handle, access, &attributes, &iosb, nullptr, FILE_ATTRIBUTE_NORMAL,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
                        FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
}

TEST_F(FileAttributesTest, AReadOnlyFileCannotBeWrittenOrDeleted)
{
    ASSERT_TRUE(SetFileAttributesW(Wide("C:\\file.txt"), FILE_ATTRIBUTE_READONLY));
    struct Case {
        const char* what;
        DWORD access;
        DWORD disposition;
        bool opens;
    };
    const Case cases[] = {
        {"read", GENERIC_READ, OPEN_EXISTING, true},
        {"write", GENERIC_WRITE, OPEN_EXISTING, false},
        {"read and write", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, false},
        {"write, opening always", GENERIC_WRITE, OPEN_ALWAYS, false},
        {"replace", GENERIC_WRITE, CREATE_ALWAYS, false},
        {"truncate", GENERIC_WRITE, TRUNCATE_EXISTING, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kUnwritten);
        HANDLE file = CreateFileW(Wide("C:\\file.txt"), c.access, FILE_SHARE_READ, nullptr, c.disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        } else {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        }
    }
    // The kernel's own opens, as the driver makes them, are held to it too.
    struct KernelCase {
        const char* what;
        ACCESS_MASK access;
        ULONG disposition;
        NTSTATUS status;
    };
    const KernelCase kernelCases[] = {
        {"read data", FILE_READ_DATA, FILE_OPEN, STATUS_SUCCESS},
        {"write data", FILE_WRITE_DATA, FILE_OPEN, STATUS_ACCESS_DENIED},
        {"append data", FILE_APPEND_DATA, FILE_OPEN, STATUS_ACCESS_DENIED},
        {"overwrite", GENERIC_READ | GENERIC_WRITE, FILE_OVERWRITE_IF, STATUS_ACCESS_DENIED},
    };
    for (const KernelCase& c : kernelCases) {
        SCOPED_TRACE(c.what);
        HANDLE handle = nullptr;
        EXPECT_EQ(KernelOpen("\\??\\C:\\file.txt", c.access, c.disposition, handle), c.status);
        if (handle != nullptr) {
            EXPECT_EQ(ZwClose(handle), STATUS_SUCCESS);
        }
    }
    SetLastError(kUnwritten);
    EXPECT_FALSE(DeleteFileW(Wide("C:\\file.txt")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadHostFile(HostPath("file.txt")), (std::vector<std::uint8_t>{'d', 'a', 't', 'a'}));

    // Without the attribute, both work again.
    ASSERT_TRUE(SetFileAttributesW(Wide("C:\\file.txt"), FILE_ATTRIBUTE_NORMAL));
    HANDLE file = CreateFileW(Wide("C:\\file.txt"), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(DeleteFileW(Wide("C:\\file.txt")));
    EXPECT_FALSE(HostFileExists(HostPath("file.txt")));
}

TEST_F(FileAttributesTest, AReadOnlyFolderRestrictsNothing)
{
    ASSERT_TRUE(SetFileAttributesW(Wide("C:\\folder"), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(AttributesOf("C:\\folder"), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));

    HANDLE file = CreateFileW(Wide("C:\\folder\\new.txt"), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(CreateDirectoryW(Wide("C:\\folder\\inner"), nullptr));
    EXPECT_TRUE(DeleteFileW(Wide("C:\\folder\\new.txt")));
    EXPECT_FALSE(HostFileExists(HostPath("folder/new.txt")));
    EXPECT_TRUE(HostFileExists(HostPath("folder/inner")));
}

}  // namespace
