// The thread's last error, NTSTATUS translation and system message texts.
#include "win32_errors.h"

#include <host/utf16.h>
#include <ntstatus.h>

#include <cstdlib>
#include <cstring>

namespace host {

namespace {

thread_local DWORD t_LastError = 0;

struct StatusError {
    NTSTATUS status;
    DWORD error;
};

// The statuses this host's calls can produce, as Windows translates them.
constexpr StatusError kStatusErrors[] = {
    {STATUS_SUCCESS, ERROR_SUCCESS},
    {STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
    {STATUS_NOT_IMPLEMENTED, ERROR_INVALID_FUNCTION},
    {STATUS_INVALID_INFO_CLASS, ERROR_INVALID_PARAMETER},
    {STATUS_INVALID_HANDLE, ERROR_INVALID_HANDLE},
    {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
    {STATUS_NO_SUCH_DEVICE, ERROR_FILE_NOT_FOUND},
    {STATUS_NO_SUCH_FILE, ERROR_FILE_NOT_FOUND},
    {STATUS_INVALID_DEVICE_REQUEST, ERROR_INVALID_FUNCTION},
    {STATUS_END_OF_FILE, ERROR_HANDLE_EOF},
    {STATUS_NO_MEDIA_IN_DEVICE, ERROR_NOT_READY},
    {STATUS_DEVICE_NOT_READY, ERROR_NOT_READY},
    {STATUS_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
    {STATUS_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    {STATUS_BUFFER_TOO_SMALL, ERROR_INSUFFICIENT_BUFFER},
    {STATUS_OBJECT_TYPE_MISMATCH, ERROR_INVALID_HANDLE},
    {STATUS_OBJECT_NAME_INVALID, ERROR_INVALID_NAME},
    {STATUS_OBJECT_NAME_NOT_FOUND, ERROR_FILE_NOT_FOUND},
    {STATUS_OBJECT_NAME_COLLISION, ERROR_ALREADY_EXISTS},
    {STATUS_OBJECT_PATH_INVALID, ERROR_PATH_NOT_FOUND},
    {STATUS_OBJECT_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
    {STATUS_OBJECT_PATH_SYNTAX_BAD, ERROR_PATH_NOT_FOUND},
    {STATUS_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
    {STATUS_DELETE_PENDING, ERROR_ACCESS_DENIED},
    {STATUS_DISK_FULL, ERROR_DISK_FULL},
    {STATUS_INSUFFICIENT_RESOURCES, ERROR_NO_SYSTEM_RESOURCES},
    {STATUS_MEDIA_WRITE_PROTECTED, ERROR_WRITE_PROTECT},
    {STATUS_FILE_IS_A_DIRECTORY, ERROR_ACCESS_DENIED},
    {STATUS_NOT_SUPPORTED, ERROR_NOT_SUPPORTED},
    {STATUS_INVALID_IMAGE_FORMAT, ERROR_BAD_EXE_FORMAT},
    {STATUS_IO_DEVICE_ERROR, ERROR_IO_DEVICE},
    {STATUS_DRIVER_INTERNAL_ERROR, ERROR_IO_DEVICE},
    {STATUS_DEVICE_BUSY, ERROR_BUSY},
    {STATUS_FILE_TOO_LARGE, ERROR_FILE_TOO_LARGE},
    {STATUS_TOO_MANY_OPENED_FILES, ERROR_TOO_MANY_OPEN_FILES},
};

struct Message {
    DWORD error;
    const char* text;
};

// System message texts as a Simplified Chinese Windows has them.
constexpr Message kMessages[] = {
    {ERROR_SUCCESS, "操作成功完成。"},
    {ERROR_INVALID_FUNCTION, "函数不正确。"},
    {ERROR_FILE_NOT_FOUND, "系统找不到指定的文件。"},
    {ERROR_PATH_NOT_FOUND, "系统找不到指定的路径。"},
    {ERROR_ACCESS_DENIED, "拒绝访问。"},
    {ERROR_INVALID_HANDLE, "句柄无效。"},
    {ERROR_NOT_ENOUGH_MEMORY, "存储空间不足，无法处理此命令。"},
    {ERROR_NOT_READY, "设备未就绪。"},
    {ERROR_GEN_FAILURE, "连到系统上的设备没有发挥作用。"},
    {ERROR_SHARING_VIOLATION, "另一个程序正在使用此文件，进程无法访问。"},
    {ERROR_HANDLE_EOF, "已到文件结尾。"},
    {ERROR_NOT_SUPPORTED, "不支持该请求。"},
    {ERROR_INVALID_PARAMETER, "参数错误。"},
    {ERROR_DISK_FULL, "磁盘空间不足。"},
    {ERROR_INSUFFICIENT_BUFFER, "传递给系统调用的数据区域太小。"},
    {ERROR_INVALID_NAME, "文件名、目录名或卷标语法不正确。"},
    {ERROR_NOT_LOCKED, "段已解除锁定。"},
    {ERROR_BUSY, "请求的资源在使用中。"},
    {ERROR_ALREADY_EXISTS, "当文件已存在时，无法创建该文件。"},
    {ERROR_BAD_EXE_FORMAT, "不是有效的 Win32 应用程序。"},
    {ERROR_SERVICE_REQUEST_TIMEOUT, "服务没有及时响应启动或控制请求。"},
    {ERROR_SERVICE_ALREADY_RUNNING, "服务的实例已在运行中。"},
    {ERROR_SERVICE_DOES_NOT_EXIST, "指定的服务未安装。"},
    {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, "服务此时无法接受控制信息。"},
    {ERROR_SERVICE_NOT_ACTIVE, "服务尚未启动。"},
    {ERROR_SERVICE_MARKED_FOR_DELETE, "指定的服务已标记为删除。"},
    {ERROR_SERVICE_EXISTS, "指定的服务已存在。"},
    {ERROR_IO_DEVICE, "由于 I/O 设备错误，无法运行此项请求。"},
    {ERROR_NO_SYSTEM_RESOURCES, "系统资源不足，无法完成请求的服务。"},
    {ERROR_INTERNAL_ERROR, "发生内部错误。"},
};

}  // namespace

DWORD Win32ErrorFromStatus(NTSTATUS status)
{
    for (const StatusError& entry : kStatusErrors) {
        if (entry.status == status) {
            return entry.error;
        }
    }
    return ERROR_MR_MID_NOT_FOUND;
}

BOOL FailWithStatus(NTSTATUS status)
{
    if (NT_SUCCESS(status)) {
        return TRUE;
    }
    t_LastError = Win32ErrorFromStatus(status);
    return FALSE;
}

BOOL FailWithError(DWORD error)
{
    t_LastError = error;
    return FALSE;
}

}  // namespace host

extern "C" {

DWORD WINAPI GetLastError(void)
{
    return host::t_LastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    host::t_LastError = dwErrCode;
}

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                            DWORD nSize, va_list* Arguments)
{
    (void)lpSource;
    (void)dwLanguageId;
    (void)Arguments;
    // Only the system's own table is here, and its texts have no inserts.
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || lpBuffer == nullptr) {
        host::t_LastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    const char* found = nullptr;
    for (const auto& message : host::kMessages) {
        if (message.error == dwMessageId) {
            found = message.text;
        }
    }
    if (found == nullptr) {
        host::t_LastError = ERROR_MR_MID_NOT_FOUND;
        return 0;
    }
    std::u16string text = host::Utf8ToUtf16(std::string(found) + "\r\n");
    const DWORD length = static_cast<DWORD>(text.size());
    WCHAR* out = nullptr;
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        out = static_cast<WCHAR*>(std::malloc((length + 1) * sizeof(WCHAR)));
        *reinterpret_cast<WCHAR**>(lpBuffer) = out;
    } else {
        if (nSize <= length) {
            host::t_LastError = ERROR_INSUFFICIENT_BUFFER;
            return 0;
        }
        out = lpBuffer;
    }
    std::memcpy(out, text.data(), length * sizeof(WCHAR));
    out[length] = 0;
    return length;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    std::free(hMem);
    return nullptr;
}

}  // extern "C"
