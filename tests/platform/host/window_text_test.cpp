// A window's text: the title CreateWindowExW gives it, WM_SETTEXT and
// WM_GETTEXT through DefWindowProcW, and GetWindowTextW / SetWindowTextW.
#include "desktop_fixture.h"

#include <algorithm>
#include <array>

namespace {

using korvel::test::kUntouchedError;
using korvel::test::kUntouchedUnit;
using korvel::test::Text;

class WindowTextTest : public korvel::test::DesktopTest {
protected:
    // 300 characters, each telling its place: a..z over and over.
    static std::u16string LongText()
    {
        std::u16string text;
        for (int i = 0; i < 300; ++i) {
            text += static_cast<char16_t>(u'a' + i % 26);
        }
        return text;
    }
};

struct Limit {
    std::size_t capacity;
    std::size_t copied;
};

// The reader gets at most capacity - 1 characters and a terminator, and the
// buffer after them stays as it was.
template <typename Read>
void ExpectLimits(const std::u16string& text, Read read)
{
    const Limit limits[] = {{256, 255}, {300, 299}, {301, 300}, {400, 300}, {2, 1}, {1, 0}};
    for (const Limit& limit : limits) {
        SCOPED_TRACE(testing::Message() << "capacity " << limit.capacity);
        std::array<WCHAR, 512> buffer;
        buffer.fill(kUntouchedUnit);
        EXPECT_EQ(read(buffer.data(), limit.capacity), limit.copied);
        EXPECT_EQ(Text(buffer.data(), limit.copied), text.substr(0, limit.copied));
        EXPECT_EQ(buffer[limit.copied], 0);
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(limit.copied) + 1, buffer.end(),
                                [](WCHAR unit) { return unit == kUntouchedUnit; }));
    }
    // No room at all: nothing is written.
    std::array<WCHAR, 4> buffer;
    buffer.fill(kUntouchedUnit);
    EXPECT_EQ(read(buffer.data(), 0), 0u);
    EXPECT_EQ(buffer[0], kUntouchedUnit);
}

TEST_F(WindowTextTest, GetTextCopiesAtMostOneLessThanTheBuffer)
{
    HWND window = CreateTopLevel();
    const std::u16string text = LongText();
    ASSERT_EQ(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())), TRUE);
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 300);
    {
        SCOPED_TRACE("WM_GETTEXT");
        ExpectLimits(text, [&](WCHAR* buffer, std::size_t capacity) {
            return static_cast<std::size_t>(SendMessageW(window, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer)));
        });
    }
    {
        SCOPED_TRACE("GetWindowTextW");
        ExpectLimits(text, [&](WCHAR* buffer, std::size_t capacity) {
            return static_cast<std::size_t>(GetWindowTextW(window, buffer, static_cast<int>(capacity)));
        });
    }
}

TEST_F(WindowTextTest, TitlesAndNewTexts)
{
    HWND window = CreateTopLevel(L"保险柜");
    WCHAR buffer[32];
    EXPECT_EQ(GetWindowTextW(window, buffer, 32), 3);
    EXPECT_EQ(Text(buffer), u"保险柜");

    struct Step {
        const char* label;
        const wchar_t* text;
        const char16_t* after;
    };
    const Step steps[] = {
        {"a new text", L"S:\\Photos", u"S:\\Photos"},
        {"the empty text", L"", u""},
        {"no text at all", nullptr, u""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        ASSERT_TRUE(SetWindowTextW(window, step.text));
        std::fill(std::begin(buffer), std::end(buffer), kUntouchedUnit);
        EXPECT_EQ(GetWindowTextW(window, buffer, 32), static_cast<int>(std::u16string(step.after).size()));
        EXPECT_EQ(Text(buffer), step.after);
        EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(std::u16string(step.after).size()));
    }
    // The text was set through the window's procedure.
    const auto messages = MessagesTo(window);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), UINT(WM_SETTEXT)), 3);
}

// The title reaches the window's text through DefWindowProcW's WM_NCCREATE:
// a procedure that answers WM_NCCREATE itself leaves the window untitled.
LRESULT CALLBACK OwnNcCreateProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_NCCREATE ? TRUE : DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowTextTest, TheTitleComesThroughTheDefaultCreation)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnNcCreateProcedure;
    windowClass.lpszClassName = L"KorvelOwnNcCreate";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND window = CreateWindowExW(0, L"KorvelOwnNcCreate", L"Title", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), kUntouchedUnit);
    EXPECT_EQ(GetWindowTextW(window, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(WindowTextTest, TextOfADestroyedWindow)
{
    HWND window = CreateTopLevel(L"gone");
    ASSERT_TRUE(DestroyWindow(window));
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), kUntouchedUnit);
    SetLastError(kUntouchedError);
    EXPECT_EQ(GetWindowTextW(window, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(buffer[0], kUntouchedUnit);
    SetLastError(kUntouchedError);
    EXPECT_FALSE(SetWindowTextW(window, L"new"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
