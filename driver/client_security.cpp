#include "client_security.h"

namespace {

typedef NTSTATUS(NTAPI* CreateClientSecurityRoutine)(PETHREAD, PSECURITY_QUALITY_OF_SERVICE, BOOLEAN,
                                                    PSECURITY_CLIENT_CONTEXT);
typedef VOID(NTAPI* ImpersonateClientRoutine)(PSECURITY_CLIENT_CONTEXT, PETHREAD);

CreateClientSecurityRoutine g_CreateClientSecurity = nullptr;
ImpersonateClientRoutine g_ImpersonateClient = nullptr;

PVOID FindRoutine(PCWSTR name)
{
    UNICODE_STRING routine;
    RtlInitUnicodeString(&routine, name);
    return MmGetSystemRoutineAddress(&routine);
}

}  // namespace

void ClientSecurity::DetectKernelSupport()
{
    // Wine's kernel, which runs this driver for our tests, exports the
    // capture routines only as stubs that end the process when called.
    // There the vault file is opened with the rights of the process that
    // hosts the driver, which are the rights of the user who runs it.
    // Every Windows kernel has the routines, and there they are always used.
    const bool wine = FindRoutine(L"wine_ntoskrnl_main_loop") != nullptr;
    g_CreateClientSecurity =
        wine ? nullptr : reinterpret_cast<CreateClientSecurityRoutine>(FindRoutine(L"SeCreateClientSecurity"));
    g_ImpersonateClient =
        wine ? nullptr : reinterpret_cast<ImpersonateClientRoutine>(FindRoutine(L"SeImpersonateClient"));
}

bool ClientSecurity::KernelCanCapture()
{
    return g_CreateClientSecurity != nullptr && g_ImpersonateClient != nullptr;
}

ClientSecurity::ClientSecurity() : m_Context(), m_HoldsToken(false) {}

ClientSecurity::~ClientSecurity()
{
    if (m_HoldsToken) {
        SeDeleteClientSecurity(&m_Context);
    }
}

NTSTATUS ClientSecurity::CaptureCurrentThread()
{
    if (!KernelCanCapture() || m_HoldsToken) {
        return STATUS_SUCCESS;
    }
    SECURITY_QUALITY_OF_SERVICE qos;
    qos.Length = sizeof qos;
    qos.ImpersonationLevel = SecurityImpersonation;
    qos.ContextTrackingMode = SECURITY_STATIC_TRACKING;
    qos.EffectiveOnly = FALSE;
    const NTSTATUS status = g_CreateClientSecurity(PsGetCurrentThread(), &qos, FALSE, &m_Context);
    m_HoldsToken = NT_SUCCESS(status);
    return status;
}

void ClientSecurity::ImpersonateOnCurrentThread()
{
    if (m_HoldsToken) {
        g_ImpersonateClient(&m_Context, nullptr);
    }
}
