#include "share_lock.h"

#include "errno_status.h"

#include <fcntl.h>

#include <cerrno>

namespace host {

namespace {

constexpr off_t kMarkerBase = off_t{1} << 62;

enum Marker : off_t { HasRead, HasWrite, HasDelete, DeniesRead, DeniesWrite, DeniesDelete };

int Hold(int fd, Marker marker)
{
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

// Whether an open other than `fd` holds the marker.
bool HeldByOther(int fd, Marker marker)
{
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = kMarkerBase + marker;
    probe.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        return false;
    }
    return probe.l_type != F_UNLCK;
}

}  // namespace

NTSTATUS AcquireShareAccess(int lockFd, const ShareRequest& request)
{
    struct Want {
        bool on;
        Marker marker;
    };
    const Want holds[] = {
        {request.read, HasRead},           {request.write, HasWrite},          {request.remove, HasDelete},
        {!request.shareRead, DeniesRead},  {!request.shareWrite, DeniesWrite}, {!request.shareDelete, DeniesDelete},
    };
    // Take our own markers first, then look for others: two opens racing
    // each other then both see the conflict instead of both missing it.
    for (const Want& want : holds) {
        if (want.on) {
            if (int error = Hold(lockFd, want.marker); error != 0) {
                return StatusFromErrno(error);
            }
        }
    }
    const Want conflicts[] = {
        {request.read, DeniesRead},      {request.write, DeniesWrite},      {request.remove, DeniesDelete},
        {!request.shareRead, HasRead},   {!request.shareWrite, HasWrite},   {!request.shareDelete, HasDelete},
    };
    for (const Want& conflict : conflicts) {
        if (conflict.on && HeldByOther(lockFd, conflict.marker)) {
            return STATUS_SHARING_VIOLATION;
        }
    }
    return STATUS_SUCCESS;
}

}  // namespace host
