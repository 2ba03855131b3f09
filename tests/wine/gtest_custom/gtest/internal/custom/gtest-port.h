// GoogleTest's injection point for platform settings, taken ahead of the
// packaged one when GoogleTest is cross-built for Windows here.
//
// GoogleTest's Notification (used by its Windows threads) is written on
// std::mutex and std::condition_variable, which the win32 thread model of
// our mingw-w64 compiler does not offer. This one waits on a Win32 event.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : m_Event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(m_Event); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(m_Event); }
    void WaitForNotification() { WaitForSingleObject(m_Event, INFINITE); }

private:
    HANDLE m_Event;
};

}  // namespace internal
}  // namespace testing

#endif  // GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
