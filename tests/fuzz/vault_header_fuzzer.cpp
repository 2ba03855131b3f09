// Mounting a vault file whose 1024-byte head is any bytes, of several
// lengths, with any password field. Whatever the outcome, the file keeps
// every byte and its length: a mount of an existing file writes nothing.
#include "fuzz_scratch.h"

#include <host/kernel_io.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using namespace korvel::fuzz;

namespace {

std::vector<std::uint8_t> ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file's length: short ones that end inside the head, or a head and up
// to four data sectors.
std::size_t FileLength(std::uint8_t selector)
{
    return selector < 32 ? std::size_t(selector) * 32 : 1024 + std::size_t(selector % 5) * 512;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kHead = 1024;
    constexpr std::size_t kPassword = sizeof(OPENDISKFILE_INFO::Password);
    if (size < 1 + kHead + kPassword) {
        return 0;
    }
    const std::size_t length = FileLength(data[0]);
    std::vector<std::uint8_t> file(length);
    for (std::size_t i = 0; i < length; ++i) {
        file[i] = i < kHead ? data[1 + i] : std::uint8_t(i * 13);
    }
    const std::string path = ScratchRoot() + "/vault.sec";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }

    OPENDISKFILE_INFO request = OpenRecord("vault.sec", "", 0);
    std::memcpy(request.Password, data + 1 + kHead, kPassword);
    const host::DeviceHandle& unit = Driver().units[0];
    const host::IoResult opened = host::DeviceIoControl(unit, IOCTL_OPENDISKFILE, &request, sizeof request, nullptr, 0);
    if (opened.status == STATUS_SUCCESS) {
        if (length < kHead) {
            Violated("a file shorter than its head was mounted");
        }
        std::vector<std::uint8_t> sector(512);
        host::SendRead(unit, sector.data(), 512, 0).Wait();
        host::DeviceIoControl(unit, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0);
    }
    if (ReadWhole(path) != file) {
        Violated("mounting changed the vault file");
    }
    return 0;
}
