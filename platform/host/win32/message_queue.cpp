// Posting messages and taking them out again: PostMessageW, PeekMessageW,
// GetMessageW, DispatchMessageW. Every thread's queue lives in one list, in
// posting order, so that a test can read them all.
#include "message_queue.h"

#include "desktop.h"
#include "desktop_reset.h"
#include "win32_errors.h"

#include <host/user32_hooks.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace host::user32 {

namespace {

struct Posted {
    std::thread::id thread;
    MSG msg;
};

struct Queues {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<Posted> messages;
};

Queues& TheQueues()
{
    // Never destroyed: a thread may post late in the process's life.
    static Queues* queues = new Queues;
    return *queues;
}

DWORD MillisecondsSinceStart()
{
    static const auto start = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

// Messages that carry a pointer into the sender's memory can only be sent.
bool IsSendOnly(UINT message)
{
    return message == WM_CREATE || message == WM_NCCREATE || message == WM_SETTEXT || message == WM_GETTEXT;
}

// The window filter names one window; -1 asks for the thread's own
// messages, those posted to no window. WM_QUIT passes any range.
bool Matches(const MSG& msg, HWND window, UINT first, UINT last)
{
    if (window == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd != nullptr) {
            return false;
        }
    } else if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    if (msg.message == WM_QUIT || (first == 0 && last == 0)) {
        return true;
    }
    return msg.message >= first && msg.message <= last;
}

std::deque<Posted>::iterator FindForThisThread(Queues& queues, HWND window, UINT first, UINT last)
{
    const std::thread::id self = std::this_thread::get_id();
    return std::find_if(queues.messages.begin(), queues.messages.end(), [&](const Posted& posted) {
        return posted.thread == self && Matches(posted.msg, window, first, last);
    });
}

bool IsUsableFilter(HWND window)
{
    return window == nullptr || window == reinterpret_cast<HWND>(-1) || IsWindow(window);
}

}  // namespace

void PostToThread(std::thread::id thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MillisecondsSinceStart();
    // The host has no pointer: every message was posted at (0, 0).
    Queues& queues = TheQueues();
    {
        std::lock_guard guard(queues.lock);
        queues.messages.push_back(Posted{thread, msg});
    }
    queues.arrived.notify_all();
}

BOOL PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The desktop stays locked while the message goes in, so that a window
    // being destroyed cannot be left with it: its queue is cleared after.
    LockedWindow record(window);
    if (!record) {
        return FALSE;
    }
    PostToThread(record->thread, window, message, wParam, lParam);
    return TRUE;
}

void ForgetPostedMessagesFor(HWND window)
{
    Queues& queues = TheQueues();
    std::lock_guard guard(queues.lock);
    std::erase_if(queues.messages, [window](const Posted& posted) { return posted.msg.hwnd == window; });
}

void ResetMessageQueues()
{
    Queues& queues = TheQueues();
    std::lock_guard guard(queues.lock);
    queues.messages.clear();
}

}  // namespace host::user32

namespace host {

std::vector<MSG> PostedMessages()
{
    user32::Queues& queues = user32::TheQueues();
    std::lock_guard guard(queues.lock);
    std::vector<MSG> messages;
    for (const auto& posted : queues.messages) {
        messages.push_back(posted.msg);
    }
    return messages;
}

void ClearPostedMessages()
{
    user32::ResetMessageQueues();
}

}  // namespace host

extern "C" {

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    using namespace host::user32;
    if (IsSendOnly(Msg)) {
        return host::FailWithError(ERROR_MESSAGE_SYNC_ONLY);
    }
    if (hWnd == nullptr) {
        // Posted to no window: a message for the calling thread itself.
        PostToThread(std::this_thread::get_id(), nullptr, Msg, wParam, lParam);
        return TRUE;
    }
    return PostToWindow(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    using namespace host::user32;
    if (lpMsg == nullptr) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    if (!IsUsableFilter(hWnd)) {
        return FALSE;
    }
    Queues& queues = TheQueues();
    std::lock_guard guard(queues.lock);
    auto found = FindForThisThread(queues, hWnd, wMsgFilterMin, wMsgFilterMax);
    if (found == queues.messages.end()) {
        return FALSE;
    }
    *lpMsg = found->msg;
    if (wRemoveMsg & PM_REMOVE) {
        queues.messages.erase(found);
    }
    return TRUE;
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    using namespace host::user32;
    if (lpMsg == nullptr) {
        host::FailWithError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!IsUsableFilter(hWnd)) {
        return -1;
    }
    // Waits, as on Windows, until a matching message is posted.
    Queues& queues = TheQueues();
    std::unique_lock guard(queues.lock);
    auto found = queues.messages.end();
    queues.arrived.wait(guard, [&] {
        found = FindForThisThread(queues, hWnd, wMsgFilterMin, wMsgFilterMax);
        return found != queues.messages.end();
    });
    *lpMsg = found->msg;
    queues.messages.erase(found);
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg)
{
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) {
        return 0;  // a thread's own message has no procedure to go to
    }
    std::optional<LRESULT> result =
        host::user32::CallProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    if (!result) {
        host::FailWithError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return *result;
}

}  // extern "C"
