// LoadLibraryW, GetProcAddress, FreeLibrary, GetModuleFileNameW and
// GetCommandLineW. The control library's host build is copied into the
// program's folder on a scratch drive as Pellix.dll and bound by name.
#include "support/scratch_drive.h"

#include <host/win32_hooks.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <string>

namespace {

using korvel::test::Narrow;
using korvel::test::Wide;
using korvel::test::WriteHostFile;

constexpr DWORD kUnwritten = 0xdeadbeef;
constexpr WCHAR kUnwrittenUnit = 0xBEEF;

class ModulesTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        std::filesystem::create_directories(HostPath("Software"));
        std::filesystem::copy_file(PELLIX_IMAGE, HostPath("Software/Pellix.dll"));
        WriteHostFile(HostPath("Software/Notes.txt"), {'n', 'o', 't', 'e', 's'});
        host::SetProgramFile(u"C:\\Software\\tessaly.exe");
    }
    void TearDown() override
    {
        host::SetProgramFile(u"");
        ScratchDriveTest::TearDown();
    }

    // The host file a bound function lives in.
    static std::string LibraryOf(FARPROC function)
    {
        Dl_info info{};
        EXPECT_NE(dladdr(reinterpret_cast<void*>(function), &info), 0);
        return info.dli_fname != nullptr ? std::filesystem::canonical(info.dli_fname).string() : "";
    }

    static std::string ModuleName(HMODULE module)
    {
        WCHAR name[MAX_PATH];
        EXPECT_NE(GetModuleFileNameW(module, name, MAX_PATH), 0u);
        return Narrow(name);
    }
};

TEST_F(ModulesTest, ABareNameBindsTheLibraryInTheProgramsFolder)
{
    // The module's name is the one it was found under, in the letter case
    // it was asked for, as Windows names it.
    struct Case {
        const char* name;
        const char* moduleName;
    };
    const Case cases[] = {
        {"Pellix.dll", "C:\\Software\\Pellix.dll"},
        {"PELLIX.DLL", "C:\\Software\\PELLIX.DLL"},
        {"Pellix", "C:\\Software\\Pellix.dll"},
        {"C:\\Software\\Pellix.dll", "C:\\Software\\Pellix.dll"},
        {"C:/software/../Software/pellix.dll", "C:\\Software\\pellix.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HMODULE module = LoadLibraryW(Wide(c.name));
        ASSERT_NE(module, nullptr) << GetLastError();
        const FARPROC install = GetProcAddress(module, "SysDiskInstall");
        ASSERT_NE(install, nullptr);
        EXPECT_EQ(LibraryOf(install), std::filesystem::canonical(HostPath("Software/Pellix.dll")).string());
        EXPECT_NE(GetProcAddress(module, "SysDiskMountEx"), nullptr);
        EXPECT_EQ(ModuleName(module), c.moduleName);
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST_F(ModulesTest, EachLoadNeedsItsFree)
{
    HMODULE first = LoadLibraryW(Wide("Pellix.dll"));
    HMODULE second = LoadLibraryW(Wide("C:\\Software\\Pellix.dll"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first) << "one library, loaded twice";
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(first, "SysDiskStop"), nullptr) << "still loaded once";
    EXPECT_TRUE(FreeLibrary(second));

    SetLastError(kUnwritten);
    EXPECT_EQ(GetProcAddress(first, "SysDiskStop"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(kUnwritten);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(ModulesTest, LibrariesThatAreNotThereOrNoLibraries)
{
    struct Case {
        const char* name;
        DWORD error;
    };
    const Case cases[] = {
        {"Missing.dll", ERROR_MOD_NOT_FOUND},
        {"C:\\Nowhere\\Pellix.dll", ERROR_MOD_NOT_FOUND},
        {"K:\\Pellix.dll", ERROR_MOD_NOT_FOUND},
        {"C:\\Software", ERROR_MOD_NOT_FOUND},
        {"C:\\Software\\Notes.txt", ERROR_BAD_EXE_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kUnwritten);
        EXPECT_EQ(LoadLibraryW(Wide(c.name)), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // Without a program file there is no folder to look in.
    host::SetProgramFile(u"");
    SetLastError(kUnwritten);
    EXPECT_EQ(LoadLibraryW(Wide("Pellix.dll")), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModulesTest, OnlyExportedNamesAreFound)
{
    HMODULE module = LoadLibraryW(Wide("Pellix.dll"));
    ASSERT_NE(module, nullptr);
    struct Case {
        const char* what;
        LPCSTR name;
    };
    const Case cases[] = {
        {"a name the library does not export", "NoSuchExport"},
        {"an ordinal, which host libraries have not", reinterpret_cast<LPCSTR>(ULONG_PTR(1))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kUnwritten);
        EXPECT_EQ(GetProcAddress(module, c.name), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    }
    EXPECT_TRUE(FreeLibrary(module));
    SetLastError(kUnwritten);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(ULONG_PTR(0x1234)), "SysDiskStop"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(ModulesTest, TheProgramsFileNameIsCutToTheBuffer)
{
    const std::u16string program = u"C:\\Software\\tessaly.exe";
    const DWORD length = DWORD(program.size());
    struct Case {
        const char* what;
        DWORD size;
        DWORD result;
        std::u16string text;  // what the buffer then starts with, terminator included
        DWORD error;
    };
    const Case cases[] = {
        {"room to spare", MAX_PATH, length, program + u'\0', kUnwritten},
        {"just enough", length + 1, length, program + u'\0', kUnwritten},
        {"one short", length, length, program.substr(0, length - 1) + u'\0', ERROR_INSUFFICIENT_BUFFER},
        {"room for the terminator alone", 1, 1, std::u16string(1, u'\0'), ERROR_INSUFFICIENT_BUFFER},
        {"no room", 0, 0, u"", ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string buffer(MAX_PATH + 1, char16_t(kUnwrittenUnit));
        SetLastError(kUnwritten);
        EXPECT_EQ(GetModuleFileNameW(nullptr, reinterpret_cast<LPWSTR>(buffer.data()), c.size), c.result);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(buffer.substr(0, c.text.size()), c.text);
        EXPECT_EQ(buffer[c.text.size()], char16_t(kUnwrittenUnit));
    }
}

TEST_F(ModulesTest, WithoutAProgramFileThereIsNoNameToGive)
{
    host::SetProgramFile(u"");
    WCHAR buffer[8] = {kUnwrittenUnit};
    SetLastError(kUnwritten);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 8), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(buffer[0], kUnwrittenUnit);
    SetLastError(kUnwritten);
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(ULONG_PTR(0x1234)), buffer, 8), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModulesTest, TheCommandLineIsTheProgramInQuotesUnlessSetOtherwise)
{
    const LPWSTR initial = GetCommandLineW();
    EXPECT_EQ(Narrow(initial), "\"C:\\Software\\tessaly.exe\"");
    host::SetCommandLineText(u"\"C:\\Software\\tessaly.exe\" /tray");
    EXPECT_EQ(Narrow(GetCommandLineW()), "\"C:\\Software\\tessaly.exe\" /tray");
    EXPECT_EQ(Narrow(initial), "\"C:\\Software\\tessaly.exe\"") << "an earlier answer stays valid";
    host::SetProgramFile(u"D:\\Tools\\tessaly.exe");
    EXPECT_EQ(Narrow(GetCommandLineW()), "\"D:\\Tools\\tessaly.exe\"");
}

}  // namespace
