#include "gui_windows.h"

#include <cstdio>

#include "gui_text.h"

namespace gui {
namespace {

// A window that does not answer within this time is taken as hung.
constexpr UINT kMessageTimeoutMs = 5000;

struct Search {
    const WindowQuery* query;
    std::vector<HWND> found;
};

bool Matches(HWND window, const WindowQuery& query)
{
    if (query.visibleOnly && !IsWindowVisible(window)) {
        return false;
    }
    if (query.processId != 0 && WindowProcessId(window) != query.processId) {
        return false;
    }
    if (query.className && ClassName(window) != *query.className) {
        return false;
    }
    return !query.caption || WindowText(window) == *query.caption;
}

BOOL CALLBACK CollectMatching(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    if (Matches(window, *search->query)) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(const WindowQuery& query)
{
    Search search{&query, {}};
    EnumWindows(&CollectMatching, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopLevelWindow(const WindowQuery& query)
{
    const std::vector<HWND> windows = TopLevelWindows(query);
    return windows.empty() ? nullptr : windows.front();
}

HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs)
{
    return WaitFor([&] { return FindTopLevelWindow(query); }, timeoutMs);
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &copied)) {
        return {};
    }
    text.resize(copied < length ? copied : length);
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = L"";
    const int length = GetClassNameW(window, name, ARRAYSIZE(name));
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD WindowProcessId(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

RECT ScreenRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::string DescribeWindows(const std::vector<HWND>& windows)
{
    std::string lines;
    for (HWND window : windows) {
        char handle[32];
        snprintf(handle, sizeof handle, "%p", static_cast<void*>(window));
        lines += std::string("  ") + handle + " class \"" + Utf8(ClassName(window)) + "\" caption \"" +
                 Utf8(WindowText(window)) + "\" process " + std::to_string(WindowProcessId(window)) + "\n";
    }
    return lines.empty() ? std::string("  (no windows)\n") : lines;
}

}  // namespace gui
