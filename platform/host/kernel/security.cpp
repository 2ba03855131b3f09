// Client security: capturing a requester's identity and acting with it.
#include "bugcheck.h"
#include "faults.h"
#include "threads.h"

#include <host/test_hooks.h>

#include <ntifs.h>

#include <atomic>
#include <cstring>

namespace {

host::Token* TokenFromBody(PACCESS_TOKEN token)
{
    auto* found = dynamic_cast<host::Token*>(host::ObjectFromBody(token));
    if (found == nullptr) {
        host::BugCheck("INVALID_OBJECT_REFERENCE", "not an access token");
    }
    return found;
}

host::Thread* ThreadFromBody(PETHREAD thread)
{
    auto* found = dynamic_cast<host::Thread*>(host::ObjectFromBody(thread));
    if (found == nullptr) {
        host::BugCheck("INVALID_OBJECT_REFERENCE", "not a thread");
    }
    return found;
}

// Client references of every token together, for the tests' gauge.
std::atomic<long> g_ClientReferences{0};

// The host hands tokens to drivers only in client security contexts, so
// every dereference gives back one of those references. One more than was
// handed out is a double release: on Windows the token's count would drop
// below its holders and the kernel would fail later, somewhere else.
void GiveBackClientReference(PACCESS_TOKEN body)
{
    host::Token* token = TokenFromBody(body);
    if (token->clientReferences.fetch_sub(1) <= 0) {
        host::BugCheck("REFERENCE_BY_POINTER", "a client token was released more often than it was captured");
    }
    g_ClientReferences.fetch_sub(1);
    token->Release();
}

}  // namespace

namespace host {

long CapturedClientTokens()
{
    return g_ClientReferences.load();
}

}  // namespace host

extern "C" {

NTSTATUS NTAPI SeCreateClientSecurity(PETHREAD ClientThread, PSECURITY_QUALITY_OF_SERVICE ClientSecurityQos,
                                      BOOLEAN RemoteSession, PSECURITY_CLIENT_CONTEXT ClientContext)
{
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "SeCreateClientSecurity");
    NTSTATUS status = STATUS_SUCCESS;
    if (host::TakeFault(host::KernelCall::SeCreateClientSecurity, status)) {
        return status;
    }
    host::Thread* client = ThreadFromBody(ClientThread);
    // A client that impersonates someone is that someone; otherwise it is
    // the process it belongs to.
    host::Ref<host::Token> token =
        client->impersonation ? client->impersonation : host::PrimaryToken();
    std::memset(ClientContext, 0, sizeof *ClientContext);
    ClientContext->SecurityQos = *ClientSecurityQos;
    ClientContext->ServerIsRemote = RemoteSession;
    ClientContext->DirectlyAccessClientToken = FALSE;
    token->clientReferences.fetch_add(1);
    g_ClientReferences.fetch_add(1);
    ClientContext->ClientToken = token.Detach();
    return STATUS_SUCCESS;
}

VOID NTAPI SeImpersonateClient(PSECURITY_CLIENT_CONTEXT ClientContext, PETHREAD ServerThread)
{
    host::Thread& current = host::CurrentThread();
    if (ServerThread != nullptr && ThreadFromBody(ServerThread) != &current) {
        // Only the calling thread's identity can change on this host.
        host::BugCheck("INVALID_PARAMETER", "SeImpersonateClient for another thread");
    }
    host::Token* token = TokenFromBody(ClientContext->ClientToken);
    current.impersonation = host::Ref<host::Token>::Share(token);
    host::ApplyIdentity(token);
}

TOKEN_TYPE NTAPI SeTokenType(PACCESS_TOKEN Token)
{
    return TokenFromBody(Token)->type;
}

VOID NTAPI PsDereferencePrimaryToken(PACCESS_TOKEN PrimaryToken)
{
    GiveBackClientReference(PrimaryToken);
}

VOID NTAPI PsDereferenceImpersonationToken(PACCESS_TOKEN ImpersonationToken)
{
    GiveBackClientReference(ImpersonationToken);
}

}  // extern "C"
