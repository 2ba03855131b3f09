// The notification area: the structure's sizes, icons keyed by window and
// id, and the record of every call.
#include "desktop_fixture.h"

#include <host/user32_hooks.h>

#include <shellapi.h>

#include <cstddef>
#include <algorithm>
#include <cstring>

namespace {

using korvel::test::kUntouchedError;

const HICON kLockIcon = reinterpret_cast<HICON>(ULONG_PTR{0x1C01});
const HICON kOpenIcon = reinterpret_cast<HICON>(ULONG_PTR{0x1C02});
constexpr UINT kTrayCallback = WM_APP + 1;

class NotifyIconTest : public korvel::test::DesktopTest {};

TEST(NotifyIconLayout, TheFirstVersionEndsAfterA64CharacterTip)
{
    // cbSize, hWnd, uID, uFlags, uCallbackMessage, hIcon, each at its natural
    // alignment, then 64 characters: 88 bytes on 32-bit Windows.
    constexpr std::size_t pointer = sizeof(void*);
    constexpr std::size_t hWndAt = pointer;
    constexpr std::size_t hIconAt = (hWndAt + pointer + 3 * sizeof(UINT) + pointer - 1) / pointer * pointer;
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, hWnd), hWndAt);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, hIcon), hIconAt);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip), hIconAt + pointer);
    EXPECT_EQ(std::size_t(NOTIFYICONDATAA_V1_SIZE), hIconAt + pointer + 64);
    EXPECT_EQ(std::size_t(NOTIFYICONDATAA_V1_SIZE), pointer == 8 ? 104u : 88u);
}

// A structure of exactly `size` bytes, as a program built for an older
// shell passes it: nothing past its end may be read.
class SizedNotifyData {
public:
    SizedNotifyData(DWORD size, HWND window, UINT id) : m_Bytes(size)
    {
        data().cbSize = size;
        data().hWnd = window;
        data().uID = id;
    }
    NOTIFYICONDATAA& data() { return *reinterpret_cast<NOTIFYICONDATAA*>(m_Bytes.data()); }
    // As much of the tip as this size has room for, the rest zeroed.
    void SetTip(const char* tip)
    {
        const std::size_t room =
            std::min(sizeof(data().szTip), m_Bytes.size() - offsetof(NOTIFYICONDATAA, szTip));
        std::memset(data().szTip, 0, room);
        std::memcpy(data().szTip, tip, std::min(std::strlen(tip), room - 1));
    }

private:
    std::vector<std::byte> m_Bytes;
};

TEST_F(NotifyIconTest, IconsAreKeyedByWindowAndId)
{
    HWND main = CreateTopLevel(L"main");
    HWND other = CreateTopLevel(L"other");
    struct Case {
        const char* label;
        DWORD message;
        DWORD size;
        HWND window;
        UINT id;
        UINT flags;
        HICON icon;
        const char* tip;
        BOOL result;
    };
    const DWORD v1 = NOTIFYICONDATAA_V1_SIZE;
    const DWORD full = sizeof(NOTIFYICONDATAA);
    // In order: each case sees the icons the ones before left.
    const Case cases[] = {
        {"add with the first version's size", NIM_ADD, v1, main, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP, kLockIcon,
         "保险柜已关闭", TRUE},
        {"add the same icon again", NIM_ADD, v1, main, 1, NIF_ICON, kOpenIcon, "", FALSE},
        {"same id, another window", NIM_ADD, full, other, 1, NIF_ICON, kLockIcon, "", TRUE},
        {"change the icon", NIM_MODIFY, full, main, 1, NIF_ICON | NIF_TIP, kOpenIcon, "保险柜已打开", TRUE},
        {"change an icon never added", NIM_MODIFY, v1, main, 2, NIF_ICON, kOpenIcon, "", FALSE},
        {"a size no version had", NIM_ADD, v1 + 4, main, 3, NIF_ICON, kLockIcon, "", FALSE},
        {"the second version's size", NIM_ADD, NOTIFYICONDATAA_V2_SIZE, main, 4, NIF_ICON, kLockIcon, "", TRUE},
        {"the third version's size", NIM_ADD, NOTIFYICONDATAA_V3_SIZE, main, 5, NIF_ICON, kLockIcon, "", TRUE},
        {"a message the area does not know", 0x77, full, main, 1, 0, nullptr, "", FALSE},
        {"delete", NIM_DELETE, v1, main, 4, 0, nullptr, "", TRUE},
        {"delete it again", NIM_DELETE, v1, main, 4, 0, nullptr, "", FALSE},
        {"delete one never added", NIM_DELETE, full, other, 9, 0, nullptr, "", FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SizedNotifyData notify(c.size, c.window, c.id);
        notify.data().uFlags = c.flags;
        notify.data().uCallbackMessage = kTrayCallback;
        notify.data().hIcon = c.icon;
        notify.SetTip(c.tip);
        SetLastError(kUntouchedError);
        EXPECT_EQ(Shell_NotifyIconA(c.message, &notify.data()), c.result);
        // The shell answers with the result alone.
        EXPECT_EQ(GetLastError(), kUntouchedError);
    }

    const std::vector<host::NotifyIcon> icons = host::NotifyIcons();
    ASSERT_EQ(icons.size(), 3u);
    EXPECT_EQ(icons[0].hWnd, main);
    EXPECT_EQ(icons[0].uID, 1u);
    EXPECT_EQ(icons[0].uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(icons[0].uCallbackMessage, kTrayCallback);
    EXPECT_EQ(icons[0].hIcon, kOpenIcon);
    EXPECT_EQ(icons[0].tip, "保险柜已打开");
    EXPECT_EQ(icons[1].hWnd, other);
    EXPECT_EQ(icons[1].uFlags, UINT(NIF_ICON));
    EXPECT_EQ(icons[1].uCallbackMessage, 0u);  // not given: NIF_MESSAGE was not set
    EXPECT_EQ(icons[2].uID, 5u);

    const std::vector<host::NotifyIconCall> calls = host::NotifyIconCalls();
    ASSERT_EQ(calls.size(), std::size(cases));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        EXPECT_EQ(calls[i].dwMessage, cases[i].message);
        EXPECT_EQ(calls[i].cbSize, cases[i].size);
        EXPECT_EQ(calls[i].result, cases[i].result);
        if (cases[i].result) {
            EXPECT_EQ(calls[i].hWnd, cases[i].window);
            EXPECT_EQ(calls[i].uID, cases[i].id);
            EXPECT_EQ(calls[i].uFlags, cases[i].flags);
            EXPECT_EQ(calls[i].uCallbackMessage, kTrayCallback);
            EXPECT_EQ(calls[i].hIcon, cases[i].icon);
        }
    }
}

TEST_F(NotifyIconTest, TheTipIsCutToItsVersionsField)
{
    HWND main = CreateTopLevel();
    const std::string longTip(200, 'x');
    struct Case {
        const char* label;
        DWORD size;
        UINT id;
        std::size_t kept;
    };
    const Case cases[] = {
        {"first version: 64 with the terminator", NOTIFYICONDATAA_V1_SIZE, 1, 63},
        {"later versions: 128 with the terminator", sizeof(NOTIFYICONDATAA), 2, 127},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SizedNotifyData notify(c.size, main, c.id);
        notify.data().uFlags = NIF_TIP;
        // The whole field filled, with no terminator in it.
        std::memset(notify.data().szTip, 'x', c.kept + 1);
        ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &notify.data()));
    }
    const std::vector<host::NotifyIcon> icons = host::NotifyIcons();
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].tip, std::string(63, 'x'));
    EXPECT_EQ(icons[1].tip, std::string(127, 'x'));
}

}  // namespace
