#include "gui_menu.h"

#include "gui_input.h"
#include "gui_program.h"
#include "gui_text.h"
#include "gui_windows.h"
#include "menu_reader/menu_reader_protocol.h"

namespace gui {
namespace {

const wchar_t* const kMenuClass = L"#32768";
constexpr UINT kMenuGetHmenu = 0x01E1;  // MN_GETHMENU
constexpr UINT kMessageTimeoutMs = 5000;

// A shared memory block that the menu reader fills in.
class SharedBlock {
public:
    explicit SharedBlock(const std::wstring& name)
        : m_Mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       sizeof(KorvelMenuReaderBlock), name.c_str()))
    {
        if (m_Mapping != nullptr) {
            m_Block = static_cast<KorvelMenuReaderBlock*>(
                MapViewOfFile(m_Mapping, FILE_MAP_WRITE, 0, 0, sizeof(KorvelMenuReaderBlock)));
        }
    }
    ~SharedBlock()
    {
        if (m_Block != nullptr) {
            UnmapViewOfFile(m_Block);
        }
        if (m_Mapping != nullptr) {
            CloseHandle(m_Mapping);
        }
    }
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    KorvelMenuReaderBlock* Get() const { return m_Block; }

private:
    HANDLE m_Mapping;
    KorvelMenuReaderBlock* m_Block = nullptr;
};

// A hook set on one thread, removed on destruction.
class ThreadHook {
public:
    ThreadHook(int kind, HOOKPROC procedure, HMODULE module, DWORD threadId)
        : m_Hook(SetWindowsHookExW(kind, procedure, module, threadId))
    {
    }
    ~ThreadHook()
    {
        if (m_Hook != nullptr) {
            UnhookWindowsHookEx(m_Hook);
        }
    }
    ThreadHook(const ThreadHook&) = delete;
    ThreadHook& operator=(const ThreadHook&) = delete;

    bool Valid() const { return m_Hook != nullptr; }

private:
    HHOOK m_Hook;
};

// The reader DLL, loaded once for the test program's life: its hook
// procedure must stay where the hooked thread was told it is.
HMODULE MenuReaderModule()
{
    static const HMODULE module = LoadLibraryW((ThisProgramFolder() + L"\\" KORVEL_MENU_READER_DLL).c_str());
    return module;
}

LPARAM NextBlockNumber()
{
    static LONG counter = 0;
    const LONG serial = InterlockedIncrement(&counter);
    return static_cast<LPARAM>(((GetCurrentProcessId() & 0xFFFFu) << 16) | (static_cast<DWORD>(serial) & 0xFFFFu));
}

std::optional<size_t> HighlightedPosition(const std::vector<MenuItem>& items)
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].highlighted) {
            return i;
        }
    }
    return std::nullopt;
}

// Keys go to the thread in front; until the menu's thread is in front and in
// its menu loop, a key would reach the window below the menu.
bool MenuTakesKeys(HWND menuWindow)
{
    const DWORD thread = GetWindowThreadProcessId(menuWindow, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) != 0 &&
           GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == thread;
}

}  // namespace

std::wstring MenuItem::ShownText() const
{
    std::wstring shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\t') {
            break;
        }
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') {
                shown += L'&';
                ++i;
            }
            continue;
        }
        shown += text[i];
    }
    return shown;
}

HWND FindPopupMenu()
{
    return FindTopLevelWindow({std::nullopt, kMenuClass, 0, true});
}

HWND WaitForPopupMenu(DWORD timeoutMs)
{
    return WaitFor(&FindPopupMenu, timeoutMs);
}

bool WaitForPopupMenuGone(DWORD timeoutMs)
{
    return WaitFor([] { return FindPopupMenu() == nullptr; }, timeoutMs);
}

::testing::AssertionResult ReadPopupMenu(HWND menuWindow, std::vector<MenuItem>& items)
{
    items.clear();
    DWORD_PTR menu = 0;
    if (!SendMessageTimeoutW(menuWindow, kMenuGetHmenu, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &menu) ||
        menu == 0) {
        return ::testing::AssertionFailure() << "the window is not an open menu (MN_GETHMENU gave nothing)";
    }
    HMODULE reader = MenuReaderModule();
    // GetProcAddress answers a generic FARPROC; through void* to the hook's type.
    const auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
        reader == nullptr ? nullptr : GetProcAddress(reader, KORVEL_MENU_READER_HOOK)));
    if (hook == nullptr) {
        return ::testing::AssertionFailure() << "cannot load " << Utf8(KORVEL_MENU_READER_DLL)
                                             << " next to the test program, error " << GetLastError();
    }

    const LPARAM number = NextBlockNumber();
    SharedBlock block(KORVEL_MENU_READER_BLOCK_PREFIX + std::to_wstring(number));
    if (block.Get() == nullptr) {
        return ::testing::AssertionFailure() << "cannot make the shared block, error " << GetLastError();
    }
    const ThreadHook installed(WH_CALLWNDPROC, hook, reader, GetWindowThreadProcessId(menuWindow, nullptr));
    if (!installed.Valid()) {
        return ::testing::AssertionFailure() << "SetWindowsHookExW on the menu's thread failed, error "
                                             << GetLastError();
    }
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(menuWindow, RegisterWindowMessageW(KORVEL_MENU_READER_MESSAGE), menu, number,
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored)) {
        return ::testing::AssertionFailure() << "the menu window did not answer, error " << GetLastError();
    }
    const KorvelMenuReaderBlock& read = *block.Get();
    if (InterlockedCompareExchange(const_cast<LONG*>(&read.done), 0, 0) == 0) {
        return ::testing::AssertionFailure() << "the menu reader did not run in the menu's thread";
    }
    if (read.error != 0) {
        return ::testing::AssertionFailure() << "reading the menu in its process failed, error " << read.error;
    }
    if (read.count > KORVEL_MENU_READER_MAX_ITEMS) {
        return ::testing::AssertionFailure() << "the menu has " << read.count << " items, more than the reader takes";
    }
    for (LONG i = 0; i < read.count; ++i) {
        const KorvelMenuReaderItem& raw = read.items[i];
        MenuItem item;
        item.id = raw.id;
        item.separator = (raw.type & MFT_SEPARATOR) != 0;
        item.text = item.separator ? std::wstring() : std::wstring(raw.text);
        // Wine marks separators grayed; a separator is never a grayed item.
        item.grayed = !item.separator && (raw.state & MFS_DISABLED) != 0;
        item.checked = (raw.state & MFS_CHECKED) != 0;
        item.hasSubmenu = raw.hasSubmenu != FALSE;
        item.highlighted = !item.separator && (raw.state & MFS_HILITE) != 0;
        items.push_back(std::move(item));
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ChooseMenuItemAt(HWND menuWindow, size_t position)
{
    std::vector<MenuItem> items;
    if (auto read = ReadPopupMenu(menuWindow, items); !read) {
        return read;
    }
    if (position >= items.size()) {
        return ::testing::AssertionFailure() << "the menu has " << items.size() << " items, none at " << position;
    }
    if (items[position].separator || items[position].grayed) {
        return ::testing::AssertionFailure() << "item " << position << " cannot be chosen: it is "
                                             << (items[position].separator ? "a separator" : "grayed");
    }
    if (!WaitFor([&] { return MenuTakesKeys(menuWindow); }, 5000)) {
        return ::testing::AssertionFailure() << "the menu's program is not in front in its menu loop";
    }
    // Every Down moves the highlight, so more presses than items means the
    // keys go somewhere else.
    std::optional<size_t> at = HighlightedPosition(items);
    for (size_t presses = 0; at != position; ++presses) {
        if (presses > 2 * items.size()) {
            return ::testing::AssertionFailure() << "Down never brought the highlight to item " << position;
        }
        if (auto pressed = PressKeys({VK_DOWN}); !pressed) {
            return pressed;
        }
        const std::optional<size_t> before = at;
        bool read = false;
        WaitFor([&] {
            read = static_cast<bool>(ReadPopupMenu(menuWindow, items));
            at = HighlightedPosition(items);
            return read && at != before;
        }, 2000);
        if (!read) {
            return ReadPopupMenu(menuWindow, items);
        }
    }
    if (auto pressed = PressKeys({VK_RETURN}); !pressed) {
        return pressed;
    }
    if (!WaitForWindowGone(menuWindow)) {
        return ::testing::AssertionFailure() << "the menu stayed open after Enter on item " << position;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ChooseMenuItem(HWND menuWindow, const std::wstring& text)
{
    std::vector<MenuItem> items;
    if (auto read = ReadPopupMenu(menuWindow, items); !read) {
        return read;
    }
    for (size_t position = 0; position < items.size(); ++position) {
        if (!items[position].separator && (items[position].text == text || items[position].ShownText() == text)) {
            return ChooseMenuItemAt(menuWindow, position);
        }
    }
    return ::testing::AssertionFailure() << "the menu has no item \"" << Utf8(text) << "\"";
}

::testing::AssertionResult DismissMenu(HWND menuWindow)
{
    if (!WaitFor([&] { return MenuTakesKeys(menuWindow); }, 5000)) {
        return ::testing::AssertionFailure() << "the menu's program is not in front in its menu loop";
    }
    if (auto pressed = PressKeys({VK_ESCAPE}); !pressed) {
        return pressed;
    }
    if (!WaitForWindowGone(menuWindow)) {
        return ::testing::AssertionFailure() << "the menu stayed open after Escape";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace gui
