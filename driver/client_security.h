// The security of the client that asked to open a vault: captured when the
// request arrives, on the client's thread, and taken on by the worker thread
// that opens the vault file, so the file is opened with the client's rights.
#pragma once

#include <ntifs.h>

class ClientSecurity {
public:
    // Looks once, at driver start, for what the kernel offers.
    static void DetectKernelSupport();
    static bool KernelCanCapture();

    ClientSecurity();
    ~ClientSecurity();
    ClientSecurity(const ClientSecurity&) = delete;
    ClientSecurity& operator=(const ClientSecurity&) = delete;

    // Captures the calling thread's security, replacing any earlier capture.
    NTSTATUS CaptureCurrentThread();
    // Makes the calling thread act with the captured security, until the
    // next call replaces it.
    void ImpersonateOnCurrentThread();

private:
    void ReleaseToken();

    PSECURITY_CLIENT_CONTEXT m_Context;  // non-paged pool, made at the first capture
    bool m_HoldsToken;
};
