#include "raw_volumes.h"

#include <host/volume_hooks.h>

#include <mutex>

namespace host {

namespace {

struct RawVolumes {
    std::mutex lock;
    std::vector<RawVolumeRequest> requests;
    unsigned delayedQueries = 0;
};

RawVolumes& TheRawVolumes()
{
    static RawVolumes* volumes = new RawVolumes;
    return *volumes;
}

}  // namespace

void RecordRawVolumeRequest(const char* call, std::u16string_view path)
{
    std::lock_guard guard(TheRawVolumes().lock);
    TheRawVolumes().requests.push_back({call, std::u16string(path)});
}

bool VolumeArrivalDelayed()
{
    std::lock_guard guard(TheRawVolumes().lock);
    if (TheRawVolumes().delayedQueries == 0) {
        return false;
    }
    --TheRawVolumes().delayedQueries;
    return true;
}

std::vector<RawVolumeRequest> RawVolumeRequests()
{
    std::lock_guard guard(TheRawVolumes().lock);
    return TheRawVolumes().requests;
}

void ClearRawVolumeRequests()
{
    std::lock_guard guard(TheRawVolumes().lock);
    TheRawVolumes().requests.clear();
}

void DelayVolumeArrival(unsigned queries)
{
    std::lock_guard guard(TheRawVolumes().lock);
    TheRawVolumes().delayedQueries = queries;
}

}  // namespace host
