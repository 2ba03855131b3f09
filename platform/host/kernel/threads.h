// Kernel threads on the host: every host thread that calls into the kernel
// has a thread object, its processor level (IRQL) and, while it impersonates
// a client, that client's token.
#pragma once

#include "object_table.h"

#include <ntifs.h>

#include <sys/types.h>

#include <atomic>
#include <vector>

namespace host {

// Kernel object types with a body that Ob calls accept.
extern POBJECT_TYPE ThreadObjectType;

// A user identity: the host's stand-in for an access token.
class Token final : public KernelObject {
public:
    Token(uid_t user, gid_t group, std::vector<gid_t> groups, TOKEN_TYPE type);
    ~Token() override;

    uid_t user;
    gid_t group;
    std::vector<gid_t> groups;
    TOKEN_TYPE type;
    // References handed to drivers in client security contexts and not yet
    // given back: a driver may give back only what it was handed.
    std::atomic<long> clientReferences{0};
};

class Thread final : public KernelObject {
public:
    Thread();
    ~Thread() override;
    POBJECT_TYPE Type() const override { return ThreadObjectType; }
    void* Body() override { return &body; }

    KTHREAD body;
    // The token the thread acts with while impersonating; none otherwise.
    Ref<Token> impersonation;

    // Marks the thread ended: waits on it are satisfied.
    void Signal();
};

// The calling thread's object (made on first use for threads the kernel did
// not start).
Thread& CurrentThread();

KIRQL CurrentIrql();
void SetCurrentIrql(KIRQL irql);
// Stops the machine when the caller runs above `highest`, as Windows would
// for a call that may not be made there.
void RequireIrqlAtMost(KIRQL highest, const char* call);

// The process's own identity (the primary token every thread starts with).
Ref<Token> PrimaryToken();
// Makes the calling thread act as `token` for file access, or as the
// process again with none. False when the host refuses the switch.
bool ApplyIdentity(Token* token);

// Runs `routine(context)` on a new system thread and waits for it: how the
// kernel calls driver entry and unload.
void RunOnSystemThread(void (*routine)(void*), void* context);

}  // namespace host
