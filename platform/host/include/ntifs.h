// File-system and security parts of the NT kernel API. As on Windows,
// ntifs.h is the superset of ntddk.h that such a driver includes.
#pragma once

#include <ntddk.h>

typedef PVOID PACCESS_TOKEN;

typedef enum _SECURITY_IMPERSONATION_LEVEL {
    SecurityAnonymous = 0,
    SecurityIdentification = 1,
    SecurityImpersonation = 2,
    SecurityDelegation = 3,
} SECURITY_IMPERSONATION_LEVEL;

typedef BOOLEAN SECURITY_CONTEXT_TRACKING_MODE;
#define SECURITY_DYNAMIC_TRACKING TRUE
#define SECURITY_STATIC_TRACKING FALSE

typedef struct _SECURITY_QUALITY_OF_SERVICE {
    ULONG Length;
    SECURITY_IMPERSONATION_LEVEL ImpersonationLevel;
    SECURITY_CONTEXT_TRACKING_MODE ContextTrackingMode;
    BOOLEAN EffectiveOnly;
} SECURITY_QUALITY_OF_SERVICE, *PSECURITY_QUALITY_OF_SERVICE;

typedef struct _TOKEN_CONTROL {
    LARGE_INTEGER TokenId;
    LARGE_INTEGER AuthenticationId;
    LARGE_INTEGER ModifiedId;
    UCHAR TokenSource[16];
} TOKEN_CONTROL;

typedef struct _SECURITY_CLIENT_CONTEXT {
    SECURITY_QUALITY_OF_SERVICE SecurityQos;
    PACCESS_TOKEN ClientToken;
    BOOLEAN DirectlyAccessClientToken;
    BOOLEAN DirectAccessEffectiveOnly;
    BOOLEAN ServerIsRemote;
    TOKEN_CONTROL ClientTokenControl;
} SECURITY_CLIENT_CONTEXT, *PSECURITY_CLIENT_CONTEXT;

typedef enum _TOKEN_TYPE {
    TokenPrimary = 1,
    TokenImpersonation = 2,
} TOKEN_TYPE;

extern "C" {
NTSTATUS NTAPI SeCreateClientSecurity(PETHREAD ClientThread, PSECURITY_QUALITY_OF_SERVICE ClientSecurityQos,
                                      BOOLEAN RemoteSession, PSECURITY_CLIENT_CONTEXT ClientContext);
VOID NTAPI SeImpersonateClient(PSECURITY_CLIENT_CONTEXT ClientContext, PETHREAD ServerThread);
TOKEN_TYPE NTAPI SeTokenType(PACCESS_TOKEN Token);
VOID NTAPI PsDereferencePrimaryToken(PACCESS_TOKEN PrimaryToken);
VOID NTAPI PsDereferenceImpersonationToken(PACCESS_TOKEN ImpersonationToken);
}

#define SeDeleteClientSecurity(C)                                  \
    {                                                              \
        if (SeTokenType((C)->ClientToken) == TokenPrimary) {       \
            PsDereferencePrimaryToken((C)->ClientToken);           \
        } else {                                                   \
            PsDereferenceImpersonationToken((C)->ClientToken);     \
        }                                                          \
    }
