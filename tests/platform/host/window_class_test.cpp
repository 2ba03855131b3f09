// Window classes: registering and unregistering them, the predefined
// controls, and what GetClassNameW hands back.
#include "desktop_fixture.h"

#include <cstring>

namespace {

using korvel::test::kUntouchedError;
using korvel::test::kUntouchedUnit;
using korvel::test::Text;

const HINSTANCE kModuleA = reinterpret_cast<HINSTANCE>(0x400000);
const HINSTANCE kModuleB = reinterpret_cast<HINSTANCE>(0x10000000);

LPCWSTR AtomName(ATOM atom)
{
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom));
}

class WindowClassTest : public korvel::test::DesktopTest {
protected:
    static ATOM Register(const wchar_t* name, HINSTANCE instance)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = RecordingProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = name;
        return RegisterClassW(&windowClass);
    }

    static HWND Create(LPCWSTR className, HINSTANCE instance)
    {
        return CreateWindowExW(0, className, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, instance,
                               nullptr);
    }
};

TEST_F(WindowClassTest, RegistrationIsPerNameAndModule)
{
    struct Case {
        const char* label;
        const wchar_t* name;
        HINSTANCE instance;
        bool registers;
        DWORD error;
    };
    // In order: each case sees the classes the ones before registered.
    const Case cases[] = {
        {"a new class", L"KorvelMain", kModuleA, true, kUntouchedError},
        {"the same name in other letter case, same module", L"KORVELMAIN", kModuleA, false,
         ERROR_CLASS_ALREADY_EXISTS},
        {"the same name in another module", L"korvelmain", kModuleB, true, kUntouchedError},
        {"a predefined control's name as a module's own class", L"Edit", kModuleA, true, kUntouchedError},
        {"no name", nullptr, kModuleA, false, ERROR_INVALID_PARAMETER},
    };
    ATOM firstAtom = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kUntouchedError);
        const ATOM atom = Register(c.name, c.instance);
        EXPECT_EQ(atom != 0, c.registers);
        EXPECT_EQ(GetLastError(), c.error);
        if (c.registers && firstAtom == 0) {
            firstAtom = atom;
        }
    }
    // A class name is one atom whatever its letter case or module.
    EXPECT_EQ(Register(L"KORVELMAIN", reinterpret_cast<HINSTANCE>(0x20000000)), firstAtom);
}

TEST_F(WindowClassTest, CreateWindowFindsTheClassItNames)
{
    const ATOM atom = Register(L"KorvelMain", kModuleA);
    ASSERT_NE(atom, 0);
    struct Case {
        const char* label;
        LPCWSTR className;
        HINSTANCE instance;
        const wchar_t* classNameAfter;  // nullptr: creation fails
    };
    const Case cases[] = {
        {"registered name", L"KorvelMain", kModuleA, L"KorvelMain"},
        {"registered name in other letter case", L"KORVELMAIN", kModuleA, L"KorvelMain"},
        {"the class atom", AtomName(atom), kModuleA, L"KorvelMain"},
        {"registered by another module", L"KorvelMain", kModuleB, nullptr},
        {"never registered", L"KorvelNoSuchClass", kModuleA, nullptr},
        {"Edit", L"edit", nullptr, L"Edit"},
        {"Static", L"STATIC", kModuleB, L"Static"},
        {"Button", L"Button", nullptr, L"Button"},
        {"ListBox", L"listbox", nullptr, L"ListBox"},
        {"ComboBoxEx32", L"comboboxex32", nullptr, L"ComboBoxEx32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kUntouchedError);
        HWND window = Create(c.className, c.instance);
        if (c.classNameAfter == nullptr) {
            EXPECT_EQ(window, nullptr);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
            continue;
        }
        ASSERT_NE(window, nullptr);
        WCHAR name[64];
        ASSERT_GT(GetClassNameW(window, name, 64), 0);
        EXPECT_EQ(Text(name), Text(c.classNameAfter));
    }
}

TEST_F(WindowClassTest, UnregisteringWaitsForTheClassWindows)
{
    ASSERT_NE(Register(L"KorvelMain", kModuleA), 0);
    HWND window = Create(L"KorvelMain", kModuleA);
    ASSERT_NE(window, nullptr);

    struct Step {
        const char* label;
        LPCWSTR name;
        HINSTANCE instance;
        BOOL result;
        DWORD error;
    };
    const Step whileWindowLives[] = {
        {"class with a window", L"KorvelMain", kModuleA, FALSE, ERROR_CLASS_HAS_WINDOWS},
        {"wrong module", L"KorvelMain", kModuleB, FALSE, ERROR_CLASS_DOES_NOT_EXIST},
        {"predefined control", L"Edit", nullptr, FALSE, ERROR_CLASS_DOES_NOT_EXIST},
        {"unknown name", L"KorvelNoSuchClass", kModuleA, FALSE, ERROR_CLASS_DOES_NOT_EXIST},
    };
    for (const Step& step : whileWindowLives) {
        SCOPED_TRACE(step.label);
        SetLastError(kUntouchedError);
        EXPECT_EQ(UnregisterClassW(step.name, step.instance), step.result);
        EXPECT_EQ(GetLastError(), step.error);
    }

    ASSERT_TRUE(DestroyWindow(window));
    SetLastError(kUntouchedError);
    EXPECT_TRUE(UnregisterClassW(L"korvelmain", kModuleA));
    EXPECT_EQ(GetLastError(), kUntouchedError);
    EXPECT_FALSE(UnregisterClassW(L"KorvelMain", kModuleA));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_EQ(Create(L"KorvelMain", kModuleA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
    // The predefined controls stay.
    EXPECT_NE(Create(L"Edit", nullptr), nullptr);
}

TEST_F(WindowClassTest, GetClassNameTruncatesToTheBuffer)
{
    HWND window = Create(L"ComboBoxEx32", nullptr);  // 12 characters
    ASSERT_NE(window, nullptr);
    struct Case {
        int capacity;
        int result;
        const wchar_t* written;  // with its terminator, if any was written
        std::size_t writtenUnits;
    };
    const Case cases[] = {
        {16, 12, L"ComboBoxEx32", 13},
        {13, 12, L"ComboBoxEx32", 13},
        {12, 11, L"ComboBoxEx3", 12},
        {5, 4, L"Comb", 5},
        {1, 0, L"", 1},
        {0, 0, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "capacity " << c.capacity);
        WCHAR buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), kUntouchedUnit);
        EXPECT_EQ(GetClassNameW(window, buffer, c.capacity), c.result);
        EXPECT_EQ(std::memcmp(buffer, c.written, c.writtenUnits * sizeof(WCHAR)), 0);
        for (std::size_t i = c.writtenUnits; i < 16; ++i) {
            EXPECT_EQ(buffer[i], kUntouchedUnit) << "unit " << i;
        }
    }

    WCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), kUntouchedUnit);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(GetClassNameW(window, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(buffer[0], kUntouchedUnit);
}

}  // namespace
