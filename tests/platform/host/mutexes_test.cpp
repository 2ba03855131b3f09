// CreateMutexW and ReleaseMutex: names in the local and global namespaces,
// ERROR_ALREADY_EXISTS for a name in use, names freed with their last
// handle, and the owner rule.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr DWORD kUnwritten = 0xdeadbeef;

struct Created {
    HANDLE handle;
    DWORD error;
};

Created Create(const wchar_t* name, BOOL owned = FALSE)
{
    SetLastError(kUnwritten);
    HANDLE handle = CreateMutexW(nullptr, owned, name);
    return {handle, GetLastError()};
}

TEST(MutexTest, ASecondCreateOfANameOpensTheSameMutex)
{
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
        bool same;
    };
    const Case cases[] = {
        {L"Tessaly", L"Tessaly", true},
        {L"Local\\Tessaly", L"Tessaly", true},
        {L"Global\\Tessaly", L"Global\\Tessaly", true},
        {L"Global\\Tessaly", L"Tessaly", false},
        {L"Tessaly", L"tessaly", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.same);
        const Created first = Create(c.first, TRUE);
        ASSERT_NE(first.handle, nullptr);
        EXPECT_EQ(first.error, DWORD(ERROR_SUCCESS));
        const Created second = Create(c.second);
        ASSERT_NE(second.handle, nullptr);
        EXPECT_NE(second.handle, first.handle);
        EXPECT_EQ(second.error, c.same ? DWORD(ERROR_ALREADY_EXISTS) : DWORD(ERROR_SUCCESS));
        // The first create's owner may release it through the second handle
        // only when both name one mutex.
        SetLastError(kUnwritten);
        EXPECT_EQ(bool(ReleaseMutex(second.handle)), c.same);
        if (!c.same) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
            EXPECT_TRUE(ReleaseMutex(first.handle));
        }
        EXPECT_TRUE(CloseHandle(second.handle));
        EXPECT_TRUE(CloseHandle(first.handle));
    }
}

TEST(MutexTest, TheNameIsFreeOnceItsLastHandleIsClosed)
{
    const Created first = Create(L"Local\\KorvelSingleInstance");
    const Created second = Create(L"Local\\KorvelSingleInstance");
    EXPECT_EQ(second.error, DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(CloseHandle(first.handle));
    const Created third = Create(L"Local\\KorvelSingleInstance");
    EXPECT_EQ(third.error, DWORD(ERROR_ALREADY_EXISTS)) << "one handle was still open";
    EXPECT_TRUE(CloseHandle(second.handle));
    EXPECT_TRUE(CloseHandle(third.handle));

    const Created again = Create(L"Local\\KorvelSingleInstance");
    ASSERT_NE(again.handle, nullptr);
    EXPECT_EQ(again.error, DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(again.handle));
}

TEST(MutexTest, UnnamedMutexesAreEachTheirOwn)
{
    const Created a = Create(nullptr, TRUE);
    const Created b = Create(L"");
    ASSERT_NE(a.handle, nullptr);
    ASSERT_NE(b.handle, nullptr);
    EXPECT_EQ(a.error, DWORD(ERROR_SUCCESS));
    EXPECT_EQ(b.error, DWORD(ERROR_SUCCESS));
    EXPECT_FALSE(ReleaseMutex(b.handle));
    EXPECT_TRUE(ReleaseMutex(a.handle));
    EXPECT_TRUE(CloseHandle(a.handle));
    EXPECT_TRUE(CloseHandle(b.handle));
}

TEST(MutexTest, OnlyTheOwningThreadReleasesAndOnlyAsOftenAsItOwns)
{
    const Created owned = Create(L"Local\\Owned", TRUE);
    ASSERT_NE(owned.handle, nullptr);
    DWORD otherError = 0;
    BOOL otherReleased = TRUE;
    Created otherCreate{};
    std::thread other([&] {
        // Opening an existing mutex does not take it, even when asked to.
        otherCreate = Create(L"Local\\Owned", TRUE);
        SetLastError(kUnwritten);
        otherReleased = ReleaseMutex(otherCreate.handle);
        otherError = GetLastError();
    });
    other.join();
    EXPECT_EQ(otherCreate.error, DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(otherReleased);
    EXPECT_EQ(otherError, DWORD(ERROR_NOT_OWNER));

    EXPECT_TRUE(ReleaseMutex(owned.handle));
    SetLastError(kUnwritten);
    EXPECT_FALSE(ReleaseMutex(owned.handle));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
    EXPECT_TRUE(CloseHandle(otherCreate.handle));
    EXPECT_TRUE(CloseHandle(owned.handle));
}

TEST(MutexTest, HandlesAndNamesThatAreNoMutexes)
{
    const Created folder = Create(L"Local\\Folder\\Mutex");
    EXPECT_EQ(folder.handle, nullptr);
    EXPECT_EQ(folder.error, DWORD(ERROR_PATH_NOT_FOUND));
    SetLastError(kUnwritten);
    EXPECT_FALSE(ReleaseMutex(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

}  // namespace
