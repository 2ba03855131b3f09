// Threads, processor levels and identities.
#include "threads.h"

#include "bugcheck.h"
#include "faults.h"

#include <host/test_hooks.h>

#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace host {

namespace {

struct ObjectTypeTag {
    const char* name;
};
ObjectTypeTag g_ThreadType{"Thread"};

thread_local KIRQL t_Irql = PASSIVE_LEVEL;
thread_local Ref<Thread> t_Thread;

// Per-thread supplementary groups: the raw system call, not glibc's
// setgroups, which changes every thread of the process.
bool SetThreadGroups(const std::vector<gid_t>& groups)
{
    return syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
}

bool SetThreadIdentity(uid_t user, gid_t group, const std::vector<gid_t>& groups)
{
    // setfsuid answers with the previous value, so ask twice to learn
    // whether the switch took.
    setfsgid(group);
    setfsuid(user);
    const bool switched = static_cast<uid_t>(setfsuid(user)) == user && static_cast<gid_t>(setfsgid(group)) == group;
    // Without its groups the thread would act with the previous identity's
    // group rights: that is no switch either.
    if (switched && getuid() == 0 && !SetThreadGroups(groups)) {
        return false;
    }
    return switched;
}

}  // namespace

POBJECT_TYPE ThreadObjectType = reinterpret_cast<POBJECT_TYPE>(&g_ThreadType);

Token::Token(uid_t user_, gid_t group_, std::vector<gid_t> groups_, TOKEN_TYPE type_)
    : user(user_), group(group_), groups(std::move(groups_)), type(type_)
{
    RegisterBody(this, this);
}

Token::~Token()
{
    UnregisterBody(this);
}

Thread::Thread() : body{}
{
    body.Header.Type = 6;  // ThreadObject
    body.Header.SignalState = 0;
    RegisterBody(&body, this);
}

Thread::~Thread()
{
    UnregisterBody(&body);
}

void Thread::Signal()
{
    KeSetEvent(reinterpret_cast<PRKEVENT>(&body), IO_NO_INCREMENT, FALSE);
}

Thread& CurrentThread()
{
    if (!t_Thread) {
        t_Thread = MakeObject<Thread>();
    }
    return *t_Thread;
}

KIRQL CurrentIrql()
{
    return t_Irql;
}

void SetCurrentIrql(KIRQL irql)
{
    t_Irql = irql;
}

void RequireIrqlAtMost(KIRQL highest, const char* call)
{
    if (t_Irql > highest) {
        BugCheck("IRQL_NOT_LESS_OR_EQUAL", call);
    }
}

Ref<Token> PrimaryToken()
{
    static Token* primary = [] {
        std::vector<gid_t> groups(static_cast<std::size_t>(getgroups(0, nullptr)));
        groups.resize(static_cast<std::size_t>(getgroups(static_cast<int>(groups.size()), groups.data())));
        return new Token(geteuid(), getegid(), groups, TokenPrimary);
    }();
    return Ref<Token>::Share(primary);
}

bool ApplyIdentity(Token* token)
{
    Ref<Token> primary = PrimaryToken();
    Token& identity = token != nullptr ? *token : *primary;
    return SetThreadIdentity(identity.user, identity.group, identity.groups);
}

bool ImpersonateUser(unsigned user, unsigned group)
{
    Ref<Token> token = MakeObject<Token>(user, group, std::vector<gid_t>{static_cast<gid_t>(group)},
                                         TokenImpersonation);
    if (!ApplyIdentity(token.Get())) {
        ApplyIdentity(CurrentThread().impersonation.Get());
        return false;
    }
    CurrentThread().impersonation = token;
    return true;
}

void RevertToSelf()
{
    CurrentThread().impersonation.Reset();
    ApplyIdentity(nullptr);
}

void RunOnSystemThread(void (*routine)(void*), void* context)
{
    std::thread worker([&] {
        ApplyIdentity(nullptr);
        routine(context);
    });
    worker.join();
}

}  // namespace host

using host::Ref;
using host::Thread;

extern "C" {

POBJECT_TYPE* PsThreadType = &host::ThreadObjectType;

KIRQL NTAPI KeGetCurrentIrql(VOID)
{
    return host::CurrentIrql();
}

PKTHREAD NTAPI KeGetCurrentThread(VOID)
{
    return &host::CurrentThread().body;
}

PETHREAD NTAPI PsGetCurrentThread(VOID)
{
    return &host::CurrentThread().body;
}

NTSTATUS NTAPI PsCreateSystemThread(PHANDLE ThreadHandle, ULONG DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                                    HANDLE ProcessHandle, PCLIENT_ID ClientId, PKSTART_ROUTINE StartRoutine,
                                    PVOID StartContext)
{
    (void)ObjectAttributes;
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "PsCreateSystemThread");
    if (ThreadHandle == nullptr || StartRoutine == nullptr || ProcessHandle != nullptr) {
        // Threads of other processes are outside what this host covers.
        return ProcessHandle != nullptr ? STATUS_NOT_IMPLEMENTED : STATUS_INVALID_PARAMETER;
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (host::TakeFault(host::KernelCall::PsCreateSystemThread, status)) {
        return status;
    }
    Ref<Thread> thread = host::MakeObject<Thread>();
    *ThreadHandle = host::InsertHandle(thread.Get(), DesiredAccess);
    if (ClientId != nullptr) {
        ClientId->UniqueProcess = reinterpret_cast<HANDLE>(4);
        ClientId->UniqueThread = *ThreadHandle;
    }
    // The running thread keeps its own reference until it has ended.
    std::thread([thread, StartRoutine, StartContext]() mutable {
        host::t_Thread = thread;
        host::SetCurrentIrql(PASSIVE_LEVEL);
        // System threads act as the system, whoever started them.
        host::ApplyIdentity(nullptr);
        StartRoutine(StartContext);
        thread->Signal();
        host::t_Thread.Reset();
        thread.Reset();
    }).detach();
    return STATUS_SUCCESS;
}

}  // extern "C"
