// ShellExecuteW: each request is recorded, and answered as Windows answers
// about its target.
#include "support/scratch_drive.h"

#include <host/user32_hooks.h>

#include <shellapi.h>

#include <filesystem>

namespace {

using korvel::test::Wide;

constexpr DWORD kUntouchedError = 0xdeadbeef;
constexpr INT_PTR kOpened = 42;

class ShellExecuteTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        host::ResetDesktop();
        std::filesystem::create_directory(HostPath("Docs"));
        korvel::test::WriteHostFile(HostPath("Docs/readme.txt"), {'h', 'i'});
        // A second drive with no medium in it, and a vault drive that is.
        host::MapDrive('R', host::Drive{m_Folder.Path(), host::DriveType::NoRootDirectory, std::nullopt});
        host::MapDrive('S', host::Drive{m_Folder.Path(), host::DriveType::Fixed, std::nullopt});
    }
    void TearDown() override
    {
        host::ResetDesktop();
        ScratchDriveTest::TearDown();
    }
};

TEST_F(ShellExecuteTest, AnswersFollowTheTarget)
{
    struct Case {
        const char* label;
        const char* file;  // nullptr: no file at all
        const char* directory;
        INT_PTR answer;
        DWORD error;
    };
    const Case cases[] = {
        {"an existing file", "C:\\Docs\\readme.txt", nullptr, kOpened, kUntouchedError},
        {"the same in other letter case", "c:\\DOCS\\README.TXT", nullptr, kOpened, kUntouchedError},
        {"an existing folder", "C:\\Docs", nullptr, kOpened, kUntouchedError},
        {"a folder with a closing backslash", "C:\\Docs\\", nullptr, kOpened, kUntouchedError},
        {"a missing file in an existing folder", "C:\\Docs\\missing.txt", nullptr, SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {"a file in a missing folder", "C:\\Nowhere\\readme.txt", nullptr, SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
        {"a file on a drive that is not there", "Q:\\readme.txt", nullptr, SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
        {"an existing drive root", "S:", nullptr, kOpened, kUntouchedError},
        {"an existing drive root with a backslash", "S:\\", nullptr, kOpened, kUntouchedError},
        {"a drive without a root folder", "R:", nullptr, SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
        {"a drive that is not there", "Q:", nullptr, SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
        {"a relative name in the given folder", "readme.txt", "C:\\Docs", kOpened, kUntouchedError},
        {"a relative name missing from the given folder", "missing.txt", "C:\\Docs\\", SE_ERR_FNF,
         ERROR_FILE_NOT_FOUND},
        {"a relative name without a folder", "readme.txt", nullptr, SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {"no file", nullptr, nullptr, SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::optional<Wide> file = c.file ? std::optional<Wide>(Wide(c.file)) : std::nullopt;
        const std::optional<Wide> directory =
            c.directory ? std::optional<Wide>(Wide(c.directory)) : std::nullopt;
        SetLastError(kUntouchedError);
        const HINSTANCE answer = ShellExecuteW(nullptr, L"open", file ? file->c_str() : nullptr, nullptr,
                                               directory ? directory->c_str() : nullptr, SW_SHOWNORMAL);
        EXPECT_EQ(reinterpret_cast<INT_PTR>(answer), c.answer);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(host::ShellExecuteRequests().size(), std::size(cases));
}

TEST_F(ShellExecuteTest, EveryRequestIsRecordedAsMade)
{
    const HWND owner = reinterpret_cast<HWND>(ULONG_PTR{0x5150});
    ShellExecuteW(owner, L"explore", L"S:\\", L"/e", L"C:\\Docs", SW_SHOWMAXIMIZED);
    ShellExecuteW(nullptr, nullptr, L"C:\\Docs\\missing.txt", nullptr, nullptr, SW_HIDE);

    const std::vector<host::ShellExecuteRequest> requests = host::ShellExecuteRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].hwnd, owner);
    EXPECT_EQ(requests[0].operation, u"explore");
    EXPECT_EQ(requests[0].file, u"S:\\");
    EXPECT_EQ(requests[0].parameters, u"/e");
    EXPECT_EQ(requests[0].directory, u"C:\\Docs");
    EXPECT_EQ(requests[0].showCmd, SW_SHOWMAXIMIZED);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(requests[0].answer), kOpened);

    EXPECT_EQ(requests[1].hwnd, nullptr);
    EXPECT_EQ(requests[1].operation, std::nullopt);
    EXPECT_EQ(requests[1].file, u"C:\\Docs\\missing.txt");
    EXPECT_EQ(requests[1].parameters, std::nullopt);
    EXPECT_EQ(requests[1].directory, std::nullopt);
    EXPECT_EQ(requests[1].showCmd, SW_HIDE);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(requests[1].answer), INT_PTR(SE_ERR_FNF));

    host::ClearShellExecuteRequests();
    EXPECT_TRUE(host::ShellExecuteRequests().empty());
}

}  // namespace
