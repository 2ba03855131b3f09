// The security of the client that asked to open a vault: captured when the
// request arrives, on the client's thread, and taken on by the worker thread
// that opens the vault file, so the file is opened with the client's rights.
//
// Each open request carries a capture of its own. A single capture per unit
// would be replaced by a second open queued before the worker reached the
// first, which would then be opened with the second sender's rights; and two
// opens dispatched at once would both release the one token it held.
#pragma once

#include <ntifs.h>

class ClientSecurity {
public:
    // Looks once, at driver start, for what the kernel offers.
    static void DetectKernelSupport();
    static bool KernelCanCapture();

    ClientSecurity();
    // Releases the captured token, if any.
    ~ClientSecurity();
    ClientSecurity(const ClientSecurity&) = delete;
    ClientSecurity& operator=(const ClientSecurity&) = delete;

    // Captures the calling thread's security. Once per object: a capture is
    // never replaced.
    NTSTATUS CaptureCurrentThread();
    // Makes the calling thread act with the captured security. The thread
    // keeps that identity, with a token reference of its own, until it is
    // told to act as someone else.
    void ImpersonateOnCurrentThread();

private:
    SECURITY_CLIENT_CONTEXT m_Context;
    bool m_HoldsToken;
};
