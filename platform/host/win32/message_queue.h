// The posted-message queues: one per thread, the thread that created the
// window a message is posted to.
#pragma once

#include <windows.h>

#include <thread>

namespace host::user32 {

void PostToThread(std::thread::id thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posts to the queue of the window's thread; FALSE, with
// ERROR_INVALID_WINDOW_HANDLE, when the handle names no window.
BOOL PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace host::user32
