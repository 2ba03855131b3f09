#include "desktop_fixture.h"

#include <host/user32_hooks.h>
#include <host/utf16.h>

#include <mutex>

namespace korvel::test {

namespace {

struct DeliveredLog {
    std::mutex lock;
    std::vector<Delivered> messages;
};

DeliveredLog& Log()
{
    static DeliveredLog log;
    return log;
}

}  // namespace

void PrintTo(const Delivered& delivered, std::ostream* out)
{
    *out << "{hwnd " << delivered.hwnd << ", message 0x" << std::hex << delivered.message << ", wParam 0x"
         << delivered.wParam << ", lParam 0x" << delivered.lParam << std::dec << "}";
}

std::u16string Text(const wchar_t* text)
{
    return std::u16string(host::AsUtf16(text));
}

std::u16string Text(const wchar_t* text, std::size_t units)
{
    return std::u16string(host::AsUtf16(text, units));
}

void DesktopTest::SetUp()
{
    host::ResetDesktop();
    ForgetDelivered();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.lpszClassName = kRecordingClass;
    ASSERT_NE(RegisterClassW(&windowClass), 0);
}

void DesktopTest::TearDown()
{
    host::ResetDesktop();
}

HWND DesktopTest::CreateTopLevel(const wchar_t* title, DWORD style, HWND owner)
{
    HWND window = CreateWindowExW(0, kRecordingClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, owner,
                                  nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr) << "error " << GetLastError();
    return window;
}

HWND DesktopTest::CreateChild(HWND parent, const wchar_t* className, const wchar_t* title)
{
    HWND window = CreateWindowExW(0, className, title, WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, parent, nullptr,
                                  nullptr, nullptr);
    EXPECT_NE(window, nullptr) << "error " << GetLastError();
    return window;
}

LRESULT CALLBACK DesktopTest::RecordingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Record(hwnd, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void DesktopTest::Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard guard(Log().lock);
    Log().messages.push_back(Delivered{hwnd, message, wParam, lParam});
}

std::vector<Delivered> DesktopTest::DeliveredMessages()
{
    std::lock_guard guard(Log().lock);
    return Log().messages;
}

std::vector<UINT> DesktopTest::MessagesTo(HWND hwnd)
{
    std::vector<UINT> messages;
    for (const Delivered& delivered : DeliveredMessages()) {
        if (delivered.hwnd == hwnd) {
            messages.push_back(delivered.message);
        }
    }
    return messages;
}

void DesktopTest::ForgetDelivered()
{
    std::lock_guard guard(Log().lock);
    Log().messages.clear();
}

}  // namespace korvel::test
