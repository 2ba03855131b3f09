// Posted messages: the queue, taking messages out with PeekMessageW and
// GetMessageW, delivering them with DispatchMessageW, and TranslateMessage.
#include "desktop_fixture.h"

#include <host/user32_hooks.h>

#include <cstring>
#include <future>
#include <thread>

namespace {

using korvel::test::Delivered;
using korvel::test::kUntouchedError;

class MessageQueueTest : public korvel::test::DesktopTest {};

const HWND kThreadMessages = reinterpret_cast<HWND>(-1);

MSG Untouched()
{
    MSG msg;
    std::memset(&msg, 0xEF, sizeof msg);
    return msg;
}

bool IsUntouched(const MSG& msg)
{
    const MSG untouched = Untouched();
    return std::memcmp(&msg, &untouched, sizeof msg) == 0;
}

TEST_F(MessageQueueTest, PostedMessagesWaitUntilDispatched)
{
    HWND first = CreateTopLevel();
    HWND second = CreateTopLevel();
    ForgetDelivered();
    ASSERT_TRUE(PostMessageW(first, WM_APP, 1, 10));
    ASSERT_TRUE(PostMessageW(second, WM_USER + 3, 2, 20));
    ASSERT_TRUE(PostMessageW(nullptr, WM_APP + 9, 3, 30));  // for this thread, no window
    ASSERT_TRUE(PostMessageW(first, WM_CLOSE, 0, 0));

    struct Expected {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Expected queued[] = {
        {first, WM_APP, 1, 10}, {second, WM_USER + 3, 2, 20}, {nullptr, WM_APP + 9, 3, 30}, {first, WM_CLOSE, 0, 0}};
    const std::vector<MSG> posted = host::PostedMessages();
    ASSERT_EQ(posted.size(), std::size(queued));
    for (std::size_t i = 0; i < posted.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "message " << i);
        EXPECT_EQ(posted[i].hwnd, queued[i].hwnd);
        EXPECT_EQ(posted[i].message, queued[i].message);
        EXPECT_EQ(posted[i].wParam, queued[i].wParam);
        EXPECT_EQ(posted[i].lParam, queued[i].lParam);
        EXPECT_EQ(posted[i].pt.x, 0);
        EXPECT_EQ(posted[i].pt.y, 0);
    }
    // Nothing reaches a procedure before the loop takes it out.
    EXPECT_TRUE(DeliveredMessages().empty());
    EXPECT_TRUE(IsWindow(first));

    MSG msg;
    int taken = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++taken;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(taken, 4);
    const std::vector<Delivered> expected = {
        {first, WM_APP, 1, 10}, {second, WM_USER + 3, 2, 20}, {first, WM_CLOSE, 0, 0},
        {first, WM_DESTROY, 0, 0}, {first, WM_NCDESTROY, 0, 0}};
    EXPECT_EQ(DeliveredMessages(), expected);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(host::PostedMessages().empty());
}

TEST_F(MessageQueueTest, PostingFailures)
{
    HWND window = CreateTopLevel();
    HWND gone = CreateTopLevel();
    ASSERT_TRUE(DestroyWindow(gone));
    struct Case {
        const char* label;
        HWND hwnd;
        UINT message;
        DWORD error;
    };
    const Case cases[] = {
        {"a destroyed window", gone, WM_APP, ERROR_INVALID_WINDOW_HANDLE},
        {"a made-up handle", reinterpret_cast<HWND>(ULONG_PTR{0x4242}), WM_CLOSE, ERROR_INVALID_WINDOW_HANDLE},
        {"WM_SETTEXT carries a pointer", window, WM_SETTEXT, ERROR_MESSAGE_SYNC_ONLY},
        {"WM_GETTEXT carries a pointer", window, WM_GETTEXT, ERROR_MESSAGE_SYNC_ONLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kUntouchedError);
        EXPECT_FALSE(PostMessageW(c.hwnd, c.message, 0, 0));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(host::PostedMessages().empty());
}

TEST_F(MessageQueueTest, PeekMessageFilters)
{
    HWND first = CreateTopLevel();
    HWND second = CreateTopLevel();
    struct Case {
        const char* label;
        HWND filter;
        UINT first;
        UINT last;
        UINT remove;
        bool found;
        HWND hwnd;
        UINT message;
    };
    // In order, on a queue of: first WM_APP, second WM_USER, thread WM_APP + 2.
    const Case cases[] = {
        {"any, left in the queue", nullptr, 0, 0, PM_NOREMOVE, true, first, WM_APP},
        {"still the same one", nullptr, 0, 0, PM_NOREMOVE, true, first, WM_APP},
        {"one window's", second, 0, 0, PM_NOREMOVE, true, second, WM_USER},
        {"the thread's own", kThreadMessages, 0, 0, PM_NOREMOVE, true, nullptr, WM_APP + 2},
        {"a range", nullptr, WM_APP + 1, WM_APP + 5, PM_NOREMOVE, true, nullptr, WM_APP + 2},
        {"a range nothing is in", nullptr, WM_MOUSEMOVE, WM_RBUTTONUP, PM_NOREMOVE, false, nullptr, 0},
        {"take the window's", second, 0, 0, PM_REMOVE, true, second, WM_USER},
        {"the window's is gone", second, 0, 0, PM_NOREMOVE, false, nullptr, 0},
        {"take the first", nullptr, 0, 0, PM_REMOVE, true, first, WM_APP},
        {"take the thread's", nullptr, 0, 0, PM_REMOVE, true, nullptr, WM_APP + 2},
        {"empty", nullptr, 0, 0, PM_REMOVE, false, nullptr, 0},
    };
    ASSERT_TRUE(PostMessageW(first, WM_APP, 0, 0));
    ASSERT_TRUE(PostMessageW(second, WM_USER, 0, 0));
    ASSERT_TRUE(PostMessageW(nullptr, WM_APP + 2, 0, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MSG msg = Untouched();
        EXPECT_EQ(PeekMessageW(&msg, c.filter, c.first, c.last, c.remove) != FALSE, c.found);
        if (!c.found) {
            EXPECT_TRUE(IsUntouched(msg));
            continue;
        }
        EXPECT_EQ(msg.hwnd, c.hwnd);
        EXPECT_EQ(msg.message, c.message);
    }

    ASSERT_TRUE(DestroyWindow(second));
    MSG msg = Untouched();
    SetLastError(kUntouchedError);
    EXPECT_FALSE(PeekMessageW(&msg, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(IsUntouched(msg));
    SetLastError(kUntouchedError);
    EXPECT_EQ(GetMessageW(&msg, second, 0, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MessageQueueTest, WmQuitEndsGetMessageAndPassesAnyRange)
{
    HWND window = CreateTopLevel();
    ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));
    ASSERT_TRUE(PostMessageW(nullptr, WM_QUIT, 3, 0));
    MSG msg = Untouched();
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_APP));
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageQueueTest, DispatchingNeedsALiveWindow)
{
    HWND window = CreateTopLevel();
    ForgetDelivered();
    MSG msg{};
    msg.hwnd = nullptr;
    msg.message = WM_APP;
    EXPECT_EQ(DispatchMessageW(&msg), 0);
    ASSERT_TRUE(DestroyWindow(window));
    ForgetDelivered();
    msg.hwnd = window;
    SetLastError(kUntouchedError);
    EXPECT_EQ(DispatchMessageW(&msg), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(DeliveredMessages().empty());
}

// Each thread takes only the messages of the windows it created; GetMessageW
// waits for them.
TEST_F(MessageQueueTest, EachThreadHasItsOwnQueue)
{
    std::promise<HWND> created;
    std::promise<void> mainHasLooked;
    std::vector<UINT> dispatched;
    BOOL lastAnswer = -2;
    std::thread loop([&] {
        HWND window = CreateTopLevel(L"worker");
        created.set_value(window);
        mainHasLooked.get_future().wait();
        MSG msg;
        while ((lastAnswer = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            dispatched.push_back(msg.message);
            DispatchMessageW(&msg);
        }
    });
    HWND window = created.get_future().get();
    ASSERT_TRUE(PostMessageW(window, WM_APP, 5, 6));
    MSG msg = Untouched();
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // not this thread's
    EXPECT_EQ(host::PostedMessages().size(), 1u);
    mainHasLooked.set_value();
    // The worker may be waiting in GetMessageW by now: posting wakes it.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(PostMessageW(window, WM_USER, 0, 0));
    ASSERT_TRUE(PostMessageW(window, WM_QUIT, 0, 0));
    loop.join();
    EXPECT_EQ(dispatched, (std::vector<UINT>{WM_APP, WM_USER}));
    EXPECT_EQ(lastAnswer, FALSE);
    EXPECT_EQ(MessagesTo(window), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_APP, WM_USER}));
}

TEST_F(MessageQueueTest, ManyThreadsPostToOneWindow)
{
    HWND window = CreateTopLevel();
    ForgetDelivered();
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([window, t] {
            for (int i = 0; i < kEach; ++i) {
                PostMessageW(window, WM_APP, static_cast<WPARAM>(t), i);
            }
        });
    }
    int taken = 0;
    std::vector<LPARAM> nextOfThread(kThreads, 0);
    MSG msg;
    while (taken < kThreads * kEach) {
        if (!PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            std::this_thread::yield();
            continue;
        }
        // Each poster's messages come out in the order it posted them.
        ASSERT_LT(msg.wParam, WPARAM(kThreads));
        EXPECT_EQ(msg.lParam, nextOfThread[msg.wParam]++);
        DispatchMessageW(&msg);
        ++taken;
    }
    for (std::thread& poster : posters) {
        poster.join();
    }
    EXPECT_EQ(DeliveredMessages().size(), std::size_t(kThreads * kEach));
}

TEST_F(MessageQueueTest, TranslateMessageQueuesCharacters)
{
    HWND window = CreateTopLevel();
    struct Case {
        const char* label;
        UINT message;
        WPARAM key;
        BOOL translated;
        UINT character;  // 0: nothing posted
        WPARAM code;
    };
    const Case cases[] = {
        {"a letter", WM_KEYDOWN, 'A', TRUE, WM_CHAR, 'a'},
        {"a digit", WM_KEYDOWN, '7', TRUE, WM_CHAR, '7'},
        {"Enter", WM_KEYDOWN, VK_RETURN, TRUE, WM_CHAR, '\r'},
        {"Backspace", WM_KEYDOWN, VK_BACK, TRUE, WM_CHAR, '\b'},
        {"a system key", WM_SYSKEYDOWN, 'X', TRUE, WM_SYSCHAR, 'x'},
        {"a key without a character", WM_KEYDOWN, 0x70 /* F1 */, TRUE, 0, 0},
        {"a key going up", WM_KEYUP, 'A', TRUE, 0, 0},
        {"not a key message", WM_APP, 'A', FALSE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ClearPostedMessages();
        MSG msg{};
        msg.hwnd = window;
        msg.message = c.message;
        msg.wParam = c.key;
        msg.lParam = 0x001E0001;
        EXPECT_EQ(TranslateMessage(&msg), c.translated);
        const std::vector<MSG> posted = host::PostedMessages();
        if (c.character == 0) {
            EXPECT_TRUE(posted.empty());
            continue;
        }
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].hwnd, window);
        EXPECT_EQ(posted[0].message, c.character);
        EXPECT_EQ(posted[0].wParam, c.code);
        EXPECT_EQ(posted[0].lParam, 0x001E0001);
    }
}

}  // namespace
