#include "errno_status.h"

#include <cerrno>

namespace host {

NTSTATUS StatusFromErrno(int error)
{
    switch (error) {
    case 0:
        return STATUS_SUCCESS;
    case ENOENT:
        return STATUS_OBJECT_NAME_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return STATUS_OBJECT_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return STATUS_ACCESS_DENIED;
    case EEXIST:
        return STATUS_OBJECT_NAME_COLLISION;
    case EISDIR:
        return STATUS_FILE_IS_A_DIRECTORY;
    case ENOSPC:
    case EDQUOT:
        return STATUS_DISK_FULL;
    case EFBIG:
        return STATUS_FILE_TOO_LARGE;
    case EROFS:
        return STATUS_MEDIA_WRITE_PROTECTED;
    case ENAMETOOLONG:
        return STATUS_OBJECT_NAME_INVALID;
    case EMFILE:
    case ENFILE:
        return STATUS_TOO_MANY_OPENED_FILES;
    case ENOMEM:
        return STATUS_NO_MEMORY;
    case EIO:
        return STATUS_IO_DEVICE_ERROR;
    case EINVAL:
        return STATUS_INVALID_PARAMETER;
    case EBADF:
        return STATUS_INVALID_HANDLE;
    case ENOTEMPTY:
        return STATUS_DIRECTORY_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
        return STATUS_SHARING_VIOLATION;
    case EOPNOTSUPP:
        return STATUS_NOT_SUPPORTED;
    default:
        return STATUS_UNSUCCESSFUL;
    }
}

}  // namespace host
