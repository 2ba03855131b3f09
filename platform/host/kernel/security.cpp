// Client security: capturing a requester's identity and acting with it.
#include "bugcheck.h"
#include "faults.h"
#include "threads.h"

#include <ntifs.h>

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

}  // namespace

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
    TokenFromBody(PrimaryToken)->Release();
}

VOID NTAPI PsDereferenceImpersonationToken(PACCESS_TOKEN ImpersonationToken)
{
    TokenFromBody(ImpersonationToken)->Release();
}

}  // extern "C"
