// The driver's three private requests with any input bytes and any input
// and output lengths, on a unit that serves a vault and on one that does not.
// After each input the units are put back: unit 0 serves nothing, unit 1
// serves C:\base.sec with the password "pw".
#include "fuzz_scratch.h"

#include <cstring>
#include <vector>

using namespace korvel::fuzz;

namespace {

constexpr ULONG kPrivateCodes[] = {IOCTL_OPENDISKFILE, IOCTL_CLOSEDISKFILE, IOCTL_CHANGEPWD};

NTSTATUS Send(unsigned unit, ULONG code, const void* input, ULONG inputLength, void* output = nullptr,
              ULONG outputLength = 0)
{
    return host::DeviceIoControl(Driver().units[unit], code, input, inputLength, output, outputLength).status;
}

void ServeBase()
{
    const OPENDISKFILE_INFO base = OpenRecord("base.sec", "pw", 64 * 1024);
    if (Send(1, IOCTL_OPENDISKFILE, &base, sizeof base) != STATUS_SUCCESS) {
        Violated("unit 1 cannot serve the base vault again");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = [] {
        ClearScratch();
        ServeBase();
        return true;
    }();
    (void)ready;
    if (size < 2) {
        return 0;
    }
    const unsigned unit = data[0] & 1;
    const ULONG code = kPrivateCodes[(data[0] >> 1) % 3];
    const ULONG outputLength = data[1];
    // The input in a block of its own size, so that a read past its end is seen.
    std::vector<std::uint8_t> input(data + 2, data + size);
    std::vector<std::uint8_t> output(outputLength);
    const host::IoResult result =
        host::DeviceIoControl(Driver().units[unit], code, input.empty() ? nullptr : input.data(), ULONG(input.size()),
                              output.empty() ? nullptr : output.data(), outputLength);
    if (result.information != 0) {
        Violated("a private request answered with output");
    }
    if (result.status != STATUS_SUCCESS) {
        return 0;
    }
    // Put the units back as they were.
    if (code == IOCTL_OPENDISKFILE && unit == 0) {
        Send(0, IOCTL_CLOSEDISKFILE, nullptr, 0);
        ClearScratch({"base.sec"});
    } else if (code == IOCTL_CLOSEDISKFILE && unit == 1) {
        ServeBase();
    } else if (code == IOCTL_CHANGEPWD && unit == 1) {
        const OPENDISKFILE_INFO base = OpenRecord("base.sec", "pw", 0);
        if (Send(1, IOCTL_CHANGEPWD, base.Password, sizeof base.Password) != STATUS_SUCCESS) {
            Violated("the base vault's password cannot be set back");
        }
    }
    return 0;
}
