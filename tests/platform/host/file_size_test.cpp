// GetFileSize: the two halves of a size, the INVALID_FILE_SIZE rule, and
// handles that are no files.
#include "support/scratch_drive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using korvel::test::Wide;
using korvel::test::WriteHostFile;

constexpr DWORD kUnwritten = 0xdeadbeef;

class FileSizeTest : public korvel::test::ScratchDriveTest {};

TEST_F(FileSizeTest, TheSizeComesInTwoHalves)
{
    struct Case {
        const char* what;
        long long size;
        DWORD low;
        DWORD high;
    };
    const Case cases[] = {
        {"empty", 0, 0, 0},
        {"a few bytes", 5, 5, 0},
        {"just under 4 GiB", 0xFFFFFFFELL, 0xFFFFFFFE, 0},
        {"5 GiB", 5LL << 30, 0x40000000, 1},
        // A low half that equals INVALID_FILE_SIZE: the last error tells
        // it from a failure.
        {"8 GiB less a byte", 0x1FFFFFFFFLL, 0xFFFFFFFF, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteHostFile(HostPath("sparse.bin"), {});
        ASSERT_EQ(truncate(HostPath("sparse.bin").c_str(), c.size), 0);
        HANDLE file = CreateFileW(Wide("C:\\sparse.bin"), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD high = kUnwritten;
        SetLastError(kUnwritten);
        EXPECT_EQ(GetFileSize(file, &high), c.low);
        EXPECT_EQ(high, c.high);
        if (c.low == INVALID_FILE_SIZE) {
            EXPECT_EQ(GetLastError(), DWORD(NO_ERROR));
        }
        // Without a place for the high half, the low half alone.
        EXPECT_EQ(GetFileSize(file, nullptr), c.low);
        EXPECT_TRUE(CloseHandle(file));
    }
}

TEST_F(FileSizeTest, HandlesThatAreNoFilesFail)
{
    HANDLE closed = CreateFileW(Wide("C:\\closed.bin"), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    ASSERT_NE(closed, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(closed));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);

    struct Case {
        const char* what;
        HANDLE handle;
    };
    const Case cases[] = {
        {"a closed file", closed},
        {"a mutex", mutex},
        {"no handle", nullptr},
        {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DWORD high = kUnwritten;
        SetLastError(kUnwritten);
        EXPECT_EQ(GetFileSize(c.handle, &high), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(high, kUnwritten);
    }
    EXPECT_TRUE(CloseHandle(mutex));
}

}  // namespace
