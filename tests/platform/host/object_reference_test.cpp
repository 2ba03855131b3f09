// The host's ObReferenceObjectByHandle: a user-mode caller gets no more
// access than the handle was opened with; kernel-mode callers are trusted,
// as on Windows.
#include <ntifs.h>

#include <gtest/gtest.h>

namespace {

VOID NTAPI ReturnAtOnce(PVOID) {}

// A system thread's handle, opened with the access given; closed, with the
// thread waited for, at the end of the test.
class ThreadHandle {
public:
    explicit ThreadHandle(ACCESS_MASK access)
    {
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, nullptr, OBJ_KERNEL_HANDLE, nullptr, nullptr);
        m_Status = PsCreateSystemThread(&m_Handle, access, &attributes, nullptr, nullptr, ReturnAtOnce, nullptr);
    }
    ~ThreadHandle()
    {
        if (NT_SUCCESS(m_Status)) {
            ZwWaitForSingleObject(m_Handle, FALSE, nullptr);
            ZwClose(m_Handle);
        }
    }
    ThreadHandle(const ThreadHandle&) = delete;
    ThreadHandle& operator=(const ThreadHandle&) = delete;

    NTSTATUS Status() const { return m_Status; }
    HANDLE Get() const { return m_Handle; }

private:
    HANDLE m_Handle = nullptr;
    NTSTATUS m_Status = STATUS_UNSUCCESSFUL;
};

TEST(ObjectReference, AUserModeCallerGetsNoMoreThanTheHandlesAccess)
{
    constexpr ACCESS_MASK kTerminate = 0x0001;  // THREAD_TERMINATE
    struct Case {
        const char* label;
        ACCESS_MASK opened;
        KPROCESSOR_MODE mode;
        ACCESS_MASK desired;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"user_within_the_handle", SYNCHRONIZE, UserMode, SYNCHRONIZE, STATUS_SUCCESS},
        {"user_nothing_asked", SYNCHRONIZE, UserMode, 0, STATUS_SUCCESS},
        {"user_beyond_the_handle", SYNCHRONIZE, UserMode, SYNCHRONIZE | kTerminate, STATUS_ACCESS_DENIED},
        {"user_all_of_a_thread", SYNCHRONIZE, UserMode, THREAD_ALL_ACCESS, STATUS_ACCESS_DENIED},
        {"user_handle_without_access", 0, UserMode, SYNCHRONIZE, STATUS_ACCESS_DENIED},
        {"user_handle_with_all_access", GENERIC_ALL, UserMode, THREAD_ALL_ACCESS, STATUS_SUCCESS},
        {"kernel_beyond_the_handle", SYNCHRONIZE, KernelMode, THREAD_ALL_ACCESS, STATUS_SUCCESS},
        {"kernel_handle_without_access", 0, KernelMode, SYNCHRONIZE, STATUS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ThreadHandle thread(c.opened);
        ASSERT_EQ(thread.Status(), STATUS_SUCCESS);
        PVOID object = reinterpret_cast<PVOID>(0xdeadbeef);
        OBJECT_HANDLE_INFORMATION information{0xdeadbeef, 0xdeadbeef};
        const NTSTATUS status =
            ObReferenceObjectByHandle(thread.Get(), c.desired, *PsThreadType, c.mode, &object, &information);
        EXPECT_EQ(status, c.status);
        if (NT_SUCCESS(status)) {
            EXPECT_EQ(information.GrantedAccess, c.opened) << "the handle's own access";
            ObDereferenceObject(object);
        } else {
            EXPECT_EQ(object, reinterpret_cast<PVOID>(0xdeadbeef)) << "nothing is handed out";
            EXPECT_EQ(information.GrantedAccess, 0xdeadbeefu);
        }
    }
}

}  // namespace
