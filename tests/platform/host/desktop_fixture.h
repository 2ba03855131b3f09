// Test support for the host's window manager: an empty desktop for each
// test, and a window class that writes down every message it gets.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace korvel::test {

constexpr DWORD kUntouchedError = 0xdeadbeef;
constexpr WCHAR kUntouchedUnit = 0xBEEF;

struct Delivered {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;

    bool operator==(const Delivered&) const = default;
};
void PrintTo(const Delivered& delivered, std::ostream* out);

// Wide text for comparing with what an API wrote.
std::u16string Text(const wchar_t* text);
std::u16string Text(const wchar_t* text, std::size_t units);

class DesktopTest : public ::testing::Test {
public:
    // Registered by SetUp: its procedure records each message, then leaves
    // it to DefWindowProcW.
    static constexpr const wchar_t* kRecordingClass = L"KorvelRecordingWindow";

    // Windows of the recording class; they fail the test if creation fails.
    static HWND CreateTopLevel(const wchar_t* title = L"", DWORD style = WS_OVERLAPPEDWINDOW, HWND owner = nullptr);
    static HWND CreateChild(HWND parent, const wchar_t* className = kRecordingClass, const wchar_t* title = L"");

    static LRESULT CALLBACK RecordingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // For procedures of a test's own: write a message down as the recording
    // procedure does.
    static void Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // What was written down, oldest first; creation messages (WM_NCCREATE,
    // WM_CREATE) included.
    static std::vector<Delivered> DeliveredMessages();
    static std::vector<UINT> MessagesTo(HWND hwnd);
    static void ForgetDelivered();

protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace korvel::test
