// The shell calls that our user-mode code makes (shell32), as the host
// platform provides them.
//
// The notification area is a table of icons keyed by (hWnd, uID), as the
// task bar keeps it. The host has no programs to open documents with:
// ShellExecuteW records each request and answers as Windows answers about
// its target (see <host/user32_hooks.h> to read them).
#include <windows.h>

#if defined(HOST_WINUSER_IN_PROGRESS)
// Included from windows.h while winuser.h, included first, is still on its
// way in; winuser.h includes this header again at its end.
#define HOST_SHELLAPI_DEFERRED
#elif !defined(HOST_SHELLAPI_H)
#define HOST_SHELLAPI_H

#include <winuser.h>

// ShellExecuteW's answers of 32 and below.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3

// Shell_NotifyIconA.
#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

typedef struct _NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    CHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    CHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    HICON hBalloonIcon;
} NOTIFYICONDATAA, *PNOTIFYICONDATAA;

// The sizes of the structure's earlier versions, which the shell still
// accepts; the first one had a 64-character tip and nothing after it.
#define NOTIFYICONDATAA_V1_SIZE FIELD_OFFSET(NOTIFYICONDATAA, szTip[64])
#define NOTIFYICONDATAA_V2_SIZE FIELD_OFFSET(NOTIFYICONDATAA, guidItem)
#define NOTIFYICONDATAA_V3_SIZE FIELD_OFFSET(NOTIFYICONDATAA, hBalloonIcon)

extern "C" {

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                               LPCWSTR lpDirectory, INT nShowCmd);
BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData);

}  // extern "C"

#endif
