// The kernel's file calls over POSIX files.
//
// What Windows enforces, this enforces too: share modes between opens (also
// across processes), the access granted at open, the caller's identity (the
// thread's file-system user), the read-only attribute, and for unbuffered
// handles the rule that offsets and lengths are whole sectors. Unbuffered handles use O_DIRECT; a file
// system that refuses it makes the open fail instead of quietly buffering.
#include "../common/dos_path.h"
#include "../common/drive_space.h"
#include "../common/errno_status.h"
#include "../common/share_lock.h"
#include "../common/stored_attributes.h"
#include <host/utf16.h>
#include "faults.h"
#include "object_table.h"

#include <ntddk.h>

#include <fcntl.h>
#include <linux/stat.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace host {

namespace {

constexpr ACCESS_MASK kReadAccess = GENERIC_READ | GENERIC_ALL | FILE_READ_DATA | FILE_EXECUTE;
constexpr ACCESS_MASK kWriteAccess = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
constexpr ACCESS_MASK kDeleteAccess = GENERIC_ALL | DELETE;
constexpr ULONG kDefaultSectorSize = 512;

class FileObject final : public KernelObject {
public:
    ~FileObject() override
    {
        if (lockFd >= 0 && lockFd != fd) {
            close(lockFd);
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    int fd = -1;
    int lockFd = -1;  // holds the share-mode markers; fd itself when readable
    bool canRead = false;
    bool canWrite = false;
    bool unbuffered = false;
    ULONG sectorSize = kDefaultSectorSize;
    ULONG memoryAlignment = 1;
    char letter = 0;
    bool fixedSpace = false;  // the drive is a simulated volume with a free-space figure
    std::string path;

    std::mutex positionLock;
    LONGLONG position = 0;
};

struct DirectIoAlignment {
    ULONG offset = kDefaultSectorSize;
    ULONG memory = kDefaultSectorSize;
};

DirectIoAlignment QueryDirectIoAlignment(int fd)
{
    DirectIoAlignment alignment;
    struct statx info {};
    if (syscall(SYS_statx, fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) == 0 && (info.stx_mask & STATX_DIOALIGN) &&
        info.stx_dio_offset_align != 0) {
        alignment.offset = info.stx_dio_offset_align > kDefaultSectorSize ? info.stx_dio_offset_align
                                                                          : kDefaultSectorSize;
        alignment.memory = info.stx_dio_mem_align != 0 ? info.stx_dio_mem_align : kDefaultSectorSize;
    }
    return alignment;
}

// O_DIRECT switched on after the open, so that a refusal is seen here and
// reported, never silently replaced by buffered I/O.
NTSTATUS EnableDirectIo(FileObject& file)
{
    int flags = fcntl(file.fd, F_GETFL);
    if (UnbufferedIoRefused() || flags < 0 || fcntl(file.fd, F_SETFL, flags | O_DIRECT) != 0) {
        std::fprintf(stderr, "host kernel: %s: the file system refuses unbuffered I/O (O_DIRECT)\n",
                     file.path.c_str());
        return STATUS_NOT_SUPPORTED;
    }
    const DirectIoAlignment alignment = QueryDirectIoAlignment(file.fd);
    file.sectorSize = alignment.offset;
    file.memoryAlignment = alignment.memory;
    return STATUS_SUCCESS;
}

Ref<FileObject> FileFromHandle(HANDLE handle, NTSTATUS& status)
{
    Ref<KernelObject> object = ReferenceHandle(handle);
    auto* file = dynamic_cast<FileObject*>(object.Get());
    status = !object ? STATUS_INVALID_HANDLE : file == nullptr ? STATUS_OBJECT_TYPE_MISMATCH : STATUS_SUCCESS;
    if (file == nullptr) {
        return {};
    }
    object.Detach();
    return Ref<FileObject>::Adopt(file);
}

// Where a read or write goes: the given offset, the file pointer, or (for
// writes) the end of the file.
NTSTATUS ResolveOffset(FileObject& file, PLARGE_INTEGER byteOffset, bool forWrite, LONGLONG& offset)
{
    const bool usePointer = byteOffset == nullptr ||
                            (byteOffset->HighPart == -1 && byteOffset->LowPart == FILE_USE_FILE_POINTER_POSITION);
    if (usePointer) {
        std::lock_guard guard(file.positionLock);
        offset = file.position;
        return STATUS_SUCCESS;
    }
    if (forWrite && byteOffset->HighPart == -1 && byteOffset->LowPart == FILE_WRITE_TO_END_OF_FILE) {
        struct stat info {};
        if (fstat(file.fd, &info) != 0) {
            return StatusFromErrno(errno);
        }
        offset = info.st_size;
        return STATUS_SUCCESS;
    }
    if (byteOffset->QuadPart < 0) {
        return STATUS_INVALID_PARAMETER;
    }
    offset = byteOffset->QuadPart;
    return STATUS_SUCCESS;
}

NTSTATUS CheckSectorRule(const FileObject& file, LONGLONG offset, ULONG length)
{
    if (file.unbuffered && (offset % file.sectorSize != 0 || length % file.sectorSize != 0)) {
        return STATUS_INVALID_PARAMETER;
    }
    return STATUS_SUCCESS;
}

// An unbuffered transfer from a buffer the device cannot take directly goes
// through an aligned bounce buffer, as the I/O manager would arrange.
struct AlignedBuffer {
    explicit AlignedBuffer(std::size_t bytes, std::size_t alignment)
        : data(std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment))
    {
    }
    ~AlignedBuffer() { std::free(data); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    void* data;
};

bool NeedsBounce(const FileObject& file, const void* buffer)
{
    return file.unbuffered && reinterpret_cast<std::uintptr_t>(buffer) % file.memoryAlignment != 0;
}

// Reads until `length` bytes or the end of the file. Returns 0 or an errno.
int ReadFully(int fd, char* buffer, ULONG length, LONGLONG offset, ULONG& done)
{
    done = 0;
    while (done < length) {
        ssize_t got = pread(fd, buffer + done, length - done, offset + done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<ULONG>(got);
    }
    return 0;
}

int WriteFully(int fd, const char* buffer, ULONG length, LONGLONG offset, ULONG& done)
{
    done = 0;
    while (done < length) {
        ssize_t put = pwrite(fd, buffer + done, length - done, offset + done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (put == 0) {
            return ENOSPC;
        }
        done += static_cast<ULONG>(put);
    }
    return 0;
}

LONGLONG FileSize(int fd)
{
    struct stat info {};
    return fstat(fd, &info) == 0 ? info.st_size : -1;
}

// A read or write under way: its file and where it goes.
struct Transfer {
    Ref<FileObject> file;
    LONGLONG offset = 0;
};

// The checks both transfers make before touching the file; a failure here
// leaves the caller's status block alone, as Windows does.
NTSTATUS BeginTransfer(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PIO_STATUS_BLOCK iosb, PVOID buffer,
                       ULONG length, PLARGE_INTEGER byteOffset, bool write, Transfer& transfer)
{
    NTSTATUS status = STATUS_SUCCESS;
    transfer.file = FileFromHandle(handle, status);
    if (!transfer.file) {
        return status;
    }
    if (event != nullptr || apc != nullptr) {
        return STATUS_NOT_IMPLEMENTED;
    }
    if (iosb == nullptr || (buffer == nullptr && length != 0)) {
        return STATUS_INVALID_PARAMETER;
    }
    if (!(write ? transfer.file->canWrite : transfer.file->canRead)) {
        return STATUS_ACCESS_DENIED;
    }
    status = ResolveOffset(*transfer.file, byteOffset, write, transfer.offset);
    return NT_SUCCESS(status) ? CheckSectorRule(*transfer.file, transfer.offset, length) : status;
}

// Moves the file pointer past what was transferred and fills the status block.
NTSTATUS EndTransfer(Transfer& transfer, NTSTATUS status, ULONG done, PIO_STATUS_BLOCK iosb)
{
    {
        std::lock_guard guard(transfer.file->positionLock);
        transfer.file->position = transfer.offset + done;
    }
    iosb->Status = status;
    iosb->Information = done;
    return status;
}

// The checks of both information calls; `file` is set on success.
NTSTATUS BeginInformation(HANDLE handle, PIO_STATUS_BLOCK iosb, PVOID information, KernelCall call,
                          Ref<FileObject>& file)
{
    NTSTATUS status = STATUS_SUCCESS;
    file = FileFromHandle(handle, status);
    if (!file) {
        return status;
    }
    if (iosb == nullptr || information == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    return TakeFault(call, status) ? status : STATUS_SUCCESS;
}

struct OpenPlan {
    int flags = 0;
    bool create = false;    // may create the file
    bool mustCreate = false;
    bool mustExist = false;
    bool truncate = false;  // supersede or overwrite an existing file
};

NTSTATUS PlanOpen(ULONG disposition, bool read, bool write, OpenPlan& plan)
{
    plan.flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case FILE_OPEN:
        plan.mustExist = true;
        break;
    case FILE_CREATE:
        plan.create = plan.mustCreate = true;
        break;
    case FILE_OPEN_IF:
        plan.create = true;
        break;
    case FILE_OVERWRITE:
        plan.mustExist = plan.truncate = true;
        break;
    case FILE_OVERWRITE_IF:
    case FILE_SUPERSEDE:
        plan.create = plan.truncate = true;
        break;
    default:
        return STATUS_INVALID_PARAMETER;
    }
    if (plan.truncate && !write) {
        return STATUS_ACCESS_DENIED;
    }
    return STATUS_SUCCESS;
}

// Opens (or creates) the file. `created` tells which happened.
NTSTATUS OpenHostFile(const HostPath& target, const OpenPlan& plan, int& fd, bool& created)
{
    created = false;
    if (plan.create && (!target.exists || plan.mustCreate)) {
        fd = open(target.path.c_str(), plan.flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            created = true;
            return STATUS_SUCCESS;
        }
        if (errno != EEXIST || plan.mustCreate) {
            return StatusFromErrno(errno);
        }
    } else if (!target.exists) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    fd = open(target.path.c_str(), plan.flags);
    if (fd < 0) {
        return StatusFromErrno(errno);
    }
    return STATUS_SUCCESS;
}

}  // namespace

}  // namespace host

using host::FileObject;

extern "C" NTSTATUS NTAPI ZwCreateFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                                       POBJECT_ATTRIBUTES ObjectAttributes, PIO_STATUS_BLOCK IoStatusBlock,
                                       PLARGE_INTEGER AllocationSize, ULONG FileAttributes, ULONG ShareAccess,
                                       ULONG CreateDisposition, ULONG CreateOptions, PVOID EaBuffer, ULONG EaLength)
{
    (void)AllocationSize;
    (void)FileAttributes;
    (void)EaLength;
    if (FileHandle == nullptr || IoStatusBlock == nullptr || ObjectAttributes == nullptr ||
        ObjectAttributes->ObjectName == nullptr || ObjectAttributes->ObjectName->Buffer == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (host::TakeFault(host::KernelCall::ZwCreateFile, status)) {
        return status;
    }
    // This host opens files by full path, synchronously, without extended
    // attributes; anything else is outside what it covers.
    if (ObjectAttributes->RootDirectory != nullptr || EaBuffer != nullptr ||
        (CreateOptions & FILE_DIRECTORY_FILE) != 0 ||
        (CreateOptions & (FILE_SYNCHRONOUS_IO_ALERT | FILE_SYNCHRONOUS_IO_NONALERT)) == 0) {
        return STATUS_NOT_IMPLEMENTED;
    }

    const UNICODE_STRING& name = *ObjectAttributes->ObjectName;
    host::HostPath target;
    status = host::ResolveNtPath(host::AsUtf16(name.Buffer, name.Length / sizeof(WCHAR)),
                                 (ObjectAttributes->Attributes & OBJ_CASE_INSENSITIVE) != 0, target);
    if (!NT_SUCCESS(status)) {
        return status;
    }

    const bool read = (DesiredAccess & host::kReadAccess) != 0;
    const bool write = (DesiredAccess & host::kWriteAccess) != 0;
    host::OpenPlan plan;
    status = host::PlanOpen(CreateDisposition, read, write, plan);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (plan.mustExist && !target.exists) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if (plan.mustCreate && target.exists) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    // As on NTFS: the data of a read-only file cannot be opened for writing,
    // whoever asks (root included).
    if (target.exists && write && host::IsReadOnlyFile(target.path)) {
        return STATUS_ACCESS_DENIED;
    }

    host::Ref<FileObject> file = host::MakeObject<FileObject>();
    file->canRead = read;
    file->canWrite = write;
    file->letter = target.letter;
    file->fixedSpace = target.drive.freeBytes.has_value();
    file->path = target.path;
    bool created = false;
    status = host::OpenHostFile(target, plan, file->fd, created);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    // Anything that fails from here on leaves no new file behind.
    auto undo = [&](NTSTATUS failure) {
        file.Reset();
        if (created) {
            unlink(target.path.c_str());
        }
        return failure;
    };

    struct stat info {};
    if (fstat(file->fd, &info) != 0) {
        return undo(host::StatusFromErrno(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return undo(STATUS_FILE_IS_A_DIRECTORY);
    }

    file->lockFd = read ? file->fd : open(target.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file->lockFd >= 0) {
        host::ShareRequest request;
        request.read = read;
        request.write = write;
        request.remove = (DesiredAccess & host::kDeleteAccess) != 0;
        request.shareRead = (ShareAccess & FILE_SHARE_READ) != 0;
        request.shareWrite = (ShareAccess & FILE_SHARE_WRITE) != 0;
        request.shareDelete = (ShareAccess & FILE_SHARE_DELETE) != 0;
        status = host::AcquireShareAccess(file->lockFd, request);
        if (!NT_SUCCESS(status)) {
            return undo(status);
        }
    }

    if ((CreateOptions & FILE_NO_INTERMEDIATE_BUFFERING) != 0) {
        file->unbuffered = true;
        status = host::EnableDirectIo(*file);
        if (!NT_SUCCESS(status)) {
            return undo(status);
        }
    }
    if ((CreateOptions & FILE_RANDOM_ACCESS) != 0) {
        posix_fadvise(file->fd, 0, 0, POSIX_FADV_RANDOM);
    }

    ULONG_PTR information = created ? FILE_CREATED : FILE_OPENED;
    if (!created && plan.truncate) {
        if (ftruncate(file->fd, 0) != 0) {
            return undo(host::StatusFromErrno(errno));
        }
        host::ReturnDriveSpace(file->letter, static_cast<std::uint64_t>(info.st_size));
        information = CreateDisposition == FILE_SUPERSEDE ? FILE_SUPERSEDED : FILE_OVERWRITTEN;
    }

    *FileHandle = host::InsertHandle(file.Get(), DesiredAccess);
    IoStatusBlock->Status = STATUS_SUCCESS;
    IoStatusBlock->Information = information;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI ZwReadFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                                     PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length,
                                     PLARGE_INTEGER ByteOffset, PULONG Key)
{
    (void)ApcContext;
    (void)Key;
    host::Transfer transfer;
    NTSTATUS status = host::BeginTransfer(FileHandle, Event, ApcRoutine, IoStatusBlock, Buffer, Length, ByteOffset,
                                          false, transfer);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    host::FileObject& file = *transfer.file;
    ULONG done = 0;
    if (host::TakeFault(host::KernelCall::ZwReadFile, status)) {
        // An injected device failure: reported like a real one.
    } else if (Length != 0) {
        int error = 0;
        if (host::NeedsBounce(file, Buffer)) {
            host::AlignedBuffer bounce(Length, file.memoryAlignment);
            error = host::ReadFully(file.fd, static_cast<char*>(bounce.data), Length, transfer.offset, done);
            std::memcpy(Buffer, bounce.data, done);
        } else {
            error = host::ReadFully(file.fd, static_cast<char*>(Buffer), Length, transfer.offset, done);
        }
        status = error != 0 ? host::StatusFromErrno(error) : done == 0 ? STATUS_END_OF_FILE : STATUS_SUCCESS;
    }
    return host::EndTransfer(transfer, status, done, IoStatusBlock);
}

extern "C" NTSTATUS NTAPI ZwWriteFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                                      PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length,
                                      PLARGE_INTEGER ByteOffset, PULONG Key)
{
    (void)ApcContext;
    (void)Key;
    host::Transfer transfer;
    NTSTATUS status = host::BeginTransfer(FileHandle, Event, ApcRoutine, IoStatusBlock, Buffer, Length, ByteOffset,
                                          true, transfer);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    host::FileObject& file = *transfer.file;
    ULONG done = 0;
    if (host::TakeFault(host::KernelCall::ZwWriteFile, status)) {
        // An injected device failure: nothing reaches the file.
    } else if (host::TakeShortWrite(Length) && Length == 0) {
        // A write a test cut short to nothing: it succeeds, and no byte
        // reaches the file. One cut to fewer bytes goes on below with those.
    } else if (Length != 0) {
        // Growing a file on a simulated volume takes from its free space
        // first; a real file system says for itself when it is full.
        std::uint64_t growth = 0;
        if (file.fixedSpace) {
            const LONGLONG size = host::FileSize(file.fd);
            const LONGLONG end = transfer.offset + static_cast<LONGLONG>(Length);
            growth = size >= 0 && end > size ? static_cast<std::uint64_t>(end - size) : 0;
        }
        if (growth != 0 && !host::TryUseDriveSpace(file.letter, growth)) {
            status = STATUS_DISK_FULL;
        } else {
            int error = 0;
            if (host::NeedsBounce(file, Buffer)) {
                host::AlignedBuffer bounce(Length, file.memoryAlignment);
                std::memcpy(bounce.data, Buffer, Length);
                error = host::WriteFully(file.fd, static_cast<const char*>(bounce.data), Length, transfer.offset, done);
            } else {
                error = host::WriteFully(file.fd, static_cast<const char*>(Buffer), Length, transfer.offset, done);
            }
            status = host::StatusFromErrno(error);
        }
    }
    return host::EndTransfer(transfer, status, done, IoStatusBlock);
}

extern "C" NTSTATUS NTAPI ZwQueryInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                                 PVOID FileInformation, ULONG Length,
                                                 FILE_INFORMATION_CLASS FileInformationClass)
{
    host::Ref<host::FileObject> file;
    NTSTATUS status = host::BeginInformation(FileHandle, IoStatusBlock, FileInformation,
                                             host::KernelCall::ZwQueryInformationFile, file);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    switch (FileInformationClass) {
    case FileStandardInformation: {
        if (Length < sizeof(FILE_STANDARD_INFORMATION)) {
            return STATUS_INFO_LENGTH_MISMATCH;
        }
        struct stat info {};
        if (fstat(file->fd, &info) != 0) {
            return host::StatusFromErrno(errno);
        }
        FILE_STANDARD_INFORMATION standard{};
        // A Windows volume allocates whole clusters for the file's length.
        standard.AllocationSize.QuadPart = (info.st_size + 4095) / 4096 * 4096;
        standard.EndOfFile.QuadPart = info.st_size;
        standard.NumberOfLinks = static_cast<ULONG>(info.st_nlink);
        standard.DeletePending = FALSE;
        standard.Directory = S_ISDIR(info.st_mode) ? TRUE : FALSE;
        std::memcpy(FileInformation, &standard, sizeof standard);
        IoStatusBlock->Information = sizeof standard;
        break;
    }
    case FilePositionInformation: {
        if (Length < sizeof(FILE_POSITION_INFORMATION)) {
            return STATUS_INFO_LENGTH_MISMATCH;
        }
        FILE_POSITION_INFORMATION position{};
        {
            std::lock_guard guard(file->positionLock);
            position.CurrentByteOffset.QuadPart = file->position;
        }
        std::memcpy(FileInformation, &position, sizeof position);
        IoStatusBlock->Information = sizeof position;
        break;
    }
    default:
        return STATUS_NOT_IMPLEMENTED;
    }
    IoStatusBlock->Status = STATUS_SUCCESS;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI ZwSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                               PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass)
{
    host::Ref<host::FileObject> file;
    NTSTATUS status = host::BeginInformation(FileHandle, IoStatusBlock, FileInformation,
                                             host::KernelCall::ZwSetInformationFile, file);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    switch (FileInformationClass) {
    case FileEndOfFileInformation: {
        if (Length < sizeof(FILE_END_OF_FILE_INFORMATION)) {
            return STATUS_INFO_LENGTH_MISMATCH;
        }
        if (!file->canWrite) {
            return STATUS_ACCESS_DENIED;
        }
        FILE_END_OF_FILE_INFORMATION end{};
        std::memcpy(&end, FileInformation, sizeof end);
        if (end.EndOfFile.QuadPart < 0) {
            return STATUS_INVALID_PARAMETER;
        }
        const LONGLONG size = host::FileSize(file->fd);
        if (size < 0) {
            return host::StatusFromErrno(errno);
        }
        // NTFS allocates the new length at once, so a volume without room
        // refuses it; the host file itself stays sparse.
        const LONGLONG wanted = end.EndOfFile.QuadPart;
        if (wanted > size && !host::TryUseDriveSpace(file->letter, static_cast<std::uint64_t>(wanted - size))) {
            return STATUS_DISK_FULL;
        }
        if (ftruncate(file->fd, wanted) != 0) {
            status = host::StatusFromErrno(errno);
            if (wanted > size) {
                host::ReturnDriveSpace(file->letter, static_cast<std::uint64_t>(wanted - size));
            }
            return status;
        }
        if (wanted < size) {
            host::ReturnDriveSpace(file->letter, static_cast<std::uint64_t>(size - wanted));
        }
        break;
    }
    case FilePositionInformation: {
        if (Length < sizeof(FILE_POSITION_INFORMATION)) {
            return STATUS_INFO_LENGTH_MISMATCH;
        }
        FILE_POSITION_INFORMATION position{};
        std::memcpy(&position, FileInformation, sizeof position);
        if (position.CurrentByteOffset.QuadPart < 0 ||
            (file->unbuffered && position.CurrentByteOffset.QuadPart % file->sectorSize != 0)) {
            return STATUS_INVALID_PARAMETER;
        }
        std::lock_guard guard(file->positionLock);
        file->position = position.CurrentByteOffset.QuadPart;
        break;
    }
    default:
        return STATUS_NOT_IMPLEMENTED;
    }
    IoStatusBlock->Status = STATUS_SUCCESS;
    IoStatusBlock->Information = 0;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI ZwClose(HANDLE Handle)
{
    return host::RemoveHandle(Handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}
