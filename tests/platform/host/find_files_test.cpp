// FindFirstFileW, FindNextFileW and FindClose: patterns, letter case, the
// "." and ".." entries, what each entry reports, and the errors.
#include "support/scratch_drive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using korvel::test::Narrow;
using korvel::test::Wide;
using korvel::test::WriteHostFile;

constexpr DWORD kUnwritten = 0xdeadbeef;

static_assert(sizeof(FILETIME) == 8);
static_assert(sizeof(WIN32_FIND_DATAW) == 592);
static_assert(offsetof(WIN32_FIND_DATAW, ftCreationTime) == 4);
static_assert(offsetof(WIN32_FIND_DATAW, nFileSizeHigh) == 28);
static_assert(offsetof(WIN32_FIND_DATAW, cFileName) == 44);
static_assert(offsetof(WIN32_FIND_DATAW, cAlternateFileName) == 564);

// Everything a search lists, or its error.
struct Listing {
    std::vector<WIN32_FIND_DATAW> entries;
    DWORD error = ERROR_SUCCESS;

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& data : entries) {
            names.push_back(Narrow(data.cFileName));
        }
        return names;
    }
    const WIN32_FIND_DATAW* Find(const std::string& name) const
    {
        for (const auto& data : entries) {
            if (Narrow(data.cFileName) == name) {
                return &data;
            }
        }
        return nullptr;
    }
};

Listing List(const std::string& pattern)
{
    Listing listing;
    WIN32_FIND_DATAW data;
    std::memset(&data, 0xAB, sizeof data);
    SetLastError(kUnwritten);
    HANDLE search = FindFirstFileW(Wide(pattern), &data);
    if (search == INVALID_HANDLE_VALUE) {
        listing.error = GetLastError();
        return listing;
    }
    do {
        listing.entries.push_back(data);
    } while (FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(search));
    return listing;
}

std::uint64_t Ticks(const FILETIME& time)
{
    return std::uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

std::uint64_t TicksOf(const struct timespec& time)
{
    return 116444736000000000ULL + std::uint64_t(time.tv_sec) * 10000000ULL + std::uint64_t(time.tv_nsec) / 100;
}

class FindFilesTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        std::filesystem::create_directories(HostPath("docs/sub"));
        WriteHostFile(HostPath("docs/Readme.TXT"), {'h', 'e', 'l', 'l', 'o'});
        WriteHostFile(HostPath("docs/notes.txt"), {});
        WriteHostFile(HostPath("docs/image.png"), std::vector<std::uint8_t>(300, 0));
        WriteHostFile(HostPath("docs/noext"), {});
        WriteHostFile(HostPath("docs/名字.txt"), {'x'});
        ASSERT_TRUE(SetFileAttributesW(Wide("C:\\docs\\notes.txt"), FILE_ATTRIBUTE_HIDDEN));
    }
};

TEST_F(FindFilesTest, PatternsMatchTheLastSegmentWithoutRegardToCase)
{
    using Names = std::vector<std::string>;
    struct Case {
        const char* pattern;
        Names names;
    };
    const Case cases[] = {
        {"C:\\docs\\*", {".", "..", "image.png", "noext", "notes.txt", "Readme.TXT", "sub", "名字.txt"}},
        {"C:\\docs\\*.*", {".", "..", "image.png", "noext", "notes.txt", "Readme.TXT", "sub", "名字.txt"}},
        {"C:\\docs\\*.txt", {"notes.txt", "Readme.TXT", "名字.txt"}},
        {"C:\\DOCS\\*.TXT", {"notes.txt", "Readme.TXT", "名字.txt"}},
        {"C:\\docs\\readme.txt", {"Readme.TXT"}},
        {"C:\\docs\\?otes.*", {"notes.txt"}},
        {"C:\\docs\\noext.*", {"noext"}},
        {"C:\\docs\\n*", {"noext", "notes.txt"}},
        {"C:\\docs\\*e.t?t", {"Readme.TXT"}},
        {"C:\\docs\\名*", {"名字.txt"}},
        {"C:\\docs\\sub\\*", {".", ".."}},
        {"C:/docs//sub/*", {".", ".."}},
        {"C:\\docs\\sub\\..\\n*", {"noext", "notes.txt"}},
        // The root of a drive has no "." and "..".
        {"C:\\*", {"docs"}},
        {"C:\\d?cs", {"docs"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const Listing listing = List(c.pattern);
        EXPECT_EQ(listing.error, DWORD(ERROR_SUCCESS));
        EXPECT_EQ(listing.Names(), c.names);
    }
}

TEST_F(FindFilesTest, EachEntryReportsItsAttributesSizeAndTimes)
{
    // Known times for one file; the birth time is whatever the file system kept.
    const struct timespec times[2] = {{1577934245, 500000000}, {1600000000, 123456700}};
    ASSERT_EQ(utimensat(AT_FDCWD, HostPath("docs/Readme.TXT").c_str(), times, 0), 0);
    struct statx born {};
    ASSERT_EQ(statx(AT_FDCWD, HostPath("docs/Readme.TXT").c_str(), 0, STATX_BTIME | STATX_MTIME, &born), 0);
    const struct timespec birth = (born.stx_mask & STATX_BTIME) != 0
                                      ? timespec{born.stx_btime.tv_sec, born.stx_btime.tv_nsec}
                                      : timespec{born.stx_mtime.tv_sec, born.stx_mtime.tv_nsec};

    const Listing listing = List("C:\\docs\\*");
    struct Case {
        const char* name;
        DWORD attributes;
        DWORD sizeLow;
    };
    const Case cases[] = {
        {".", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"..", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"sub", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"Readme.TXT", FILE_ATTRIBUTE_ARCHIVE, 5},
        {"image.png", FILE_ATTRIBUTE_ARCHIVE, 300},
        {"notes.txt", FILE_ATTRIBUTE_HIDDEN, 0},
        {"名字.txt", FILE_ATTRIBUTE_ARCHIVE, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WIN32_FIND_DATAW* data = listing.Find(c.name);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->dwFileAttributes, c.attributes);
        EXPECT_EQ(data->nFileSizeHigh, 0u);
        EXPECT_EQ(data->nFileSizeLow, c.sizeLow);
        EXPECT_EQ(data->cAlternateFileName[0], 0) << "this host has no short names";
        EXPECT_NE(Ticks(data->ftLastWriteTime), 0u);
    }
    const WIN32_FIND_DATAW* readme = listing.Find("Readme.TXT");
    ASSERT_NE(readme, nullptr);
    EXPECT_EQ(Ticks(readme->ftLastAccessTime), TicksOf(times[0]));
    EXPECT_EQ(Ticks(readme->ftLastWriteTime), TicksOf(times[1]));
    EXPECT_EQ(Ticks(readme->ftCreationTime), TicksOf(birth));
}

TEST_F(FindFilesTest, SizesBeyondFourGigabytesComeInTwoHalves)
{
    std::filesystem::create_directories(HostPath("big"));
    WriteHostFile(HostPath("big/five.bin"), {});
    ASSERT_EQ(truncate(HostPath("big/five.bin").c_str(), 5LL << 30), 0);  // sparse
    const Listing listing = List("C:\\big\\*.bin");
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].nFileSizeHigh, 1u);
    EXPECT_EQ(listing.entries[0].nFileSizeLow, 0x40000000u);
}

TEST_F(FindFilesTest, FailedSearchesSayWhyAndWriteNothing)
{
    struct Case {
        const char* pattern;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\docs\\*.none", ERROR_FILE_NOT_FOUND},
        {"C:\\docs\\sub\\*.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\docs\\", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\*", ERROR_PATH_NOT_FOUND},
        {"C:\\missing\\deeper\\*", ERROR_PATH_NOT_FOUND},
        {"K:\\*", ERROR_PATH_NOT_FOUND},
        {"*.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\docs\\Readme.TXT\\*", ERROR_DIRECTORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        WIN32_FIND_DATAW data;
        std::memset(&data, 0xAB, sizeof data);
        SetLastError(kUnwritten);
        EXPECT_EQ(FindFirstFileW(Wide(c.pattern), &data), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&data);
        for (std::size_t i = 0; i < sizeof data; ++i) {
            ASSERT_EQ(bytes[i], 0xAB) << "byte " << i;
        }
    }
}

TEST_F(FindFilesTest, TheEndStaysTheEndAndOnlySearchHandlesClose)
{
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(Wide("C:\\docs\\image.*"), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Narrow(data.cFileName), "image.png");
    for (int round = 0; round < 2; ++round) {
        std::memset(&data, 0xAB, sizeof data);
        SetLastError(kUnwritten);
        EXPECT_FALSE(FindNextFileW(search, &data));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
        EXPECT_EQ(data.dwFileAttributes, 0xABABABABu);
    }
    // A file handle is no search handle, and stays open.
    HANDLE file = CreateFileW(Wide("C:\\docs\\noext"), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetLastError(kUnwritten);
    EXPECT_FALSE(FindClose(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file));

    EXPECT_TRUE(FindClose(search));
    SetLastError(kUnwritten);
    EXPECT_FALSE(FindClose(search));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(kUnwritten);
    EXPECT_FALSE(FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

}  // namespace
