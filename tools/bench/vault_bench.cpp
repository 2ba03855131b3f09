// Throughput of a vault served through the whole host request path (the
// driver image loaded into the host kernel, requests sent to its unit and
// carried out by its worker) against raw unbuffered pread/pwrite on a file of
// the same size on the same disk, measured in the same run.
//
// Usage: vault_bench <scratch folder on the disk to measure> [size MiB] [seconds per test]
#include "vantor_ioctl.h"

#include <host/drive_table.h>
#include <host/kernel_io.h>
#include <host/utf16.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figure {
    double mibPerSecond = 0;
    double iops = 0;
};

// One way of doing I/O at disk offsets: the raw file or the vault's unit.
struct Target {
    std::function<bool(void* buffer, unsigned length, long long offset)> read;
    std::function<bool(const void* buffer, unsigned length, long long offset)> write;
    // Requests kept in flight at once; the unit's worker still carries them
    // out one after another, so the disk sees one stream either way.
    unsigned depth = 1;
    std::function<host::PendingIo(void* buffer, unsigned length, long long offset, bool write)> submit;
};

struct Pattern {
    const char* name;
    unsigned blockSize;
    bool random;
    bool write;
};

Figure Measure(const Target& target, const Pattern& pattern, unsigned long long diskSize, double seconds,
               unsigned char* buffer)
{
    std::mt19937_64 random(12345);
    const unsigned long long blocks = diskSize / pattern.blockSize;
    unsigned long long next = 0;
    unsigned long long ops = 0;
    const auto start = Clock::now();
    const auto stop = start + std::chrono::duration<double>(seconds);
    std::deque<host::PendingIo> inFlight;
    auto finishOldest = [&] {
        const host::IoResult result = inFlight.front().Wait();
        inFlight.pop_front();
        if (result.status != 0 || result.information != pattern.blockSize) {
            std::fprintf(stderr, "%s failed: status 0x%x\n", pattern.name, static_cast<unsigned>(result.status));
            std::exit(1);
        }
        ++ops;
    };
    while (Clock::now() < stop) {
        for (int burst = 0; burst < 16; ++burst) {
            const unsigned long long block = pattern.random ? random() % blocks : next++ % blocks;
            const long long offset = static_cast<long long>(block * pattern.blockSize);
            if (target.depth > 1) {
                // Each request in flight has its own part of the buffer.
                unsigned char* slice = buffer + (ops + inFlight.size()) % target.depth * pattern.blockSize;
                if (inFlight.size() == target.depth) {
                    finishOldest();
                }
                inFlight.push_back(target.submit(slice, pattern.blockSize, offset, pattern.write));
                continue;
            }
            const bool ok = pattern.write ? target.write(buffer, pattern.blockSize, offset)
                                          : target.read(buffer, pattern.blockSize, offset);
            if (!ok) {
                std::fprintf(stderr, "%s failed at offset %lld\n", pattern.name, offset);
                std::exit(1);
            }
            ++ops;
        }
    }
    while (!inFlight.empty()) {
        finishOldest();
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return {static_cast<double>(ops) * pattern.blockSize / elapsed / (1024.0 * 1024.0),
            static_cast<double>(ops) / elapsed};
}

// The median of three alternating runs, so that drift of the disk hits both sides alike.
std::pair<Figure, Figure> Compare(const Target& raw, const Target& vault, const Pattern& pattern,
                                  unsigned long long diskSize, double seconds, unsigned char* buffer)
{
    std::vector<Figure> raws;
    std::vector<Figure> vaults;
    for (int round = 0; round < 3; ++round) {
        raws.push_back(Measure(raw, pattern, diskSize, seconds / 3, buffer));
        vaults.push_back(Measure(vault, pattern, diskSize, seconds / 3, buffer));
    }
    auto median = [](std::vector<Figure> figures) {
        std::sort(figures.begin(), figures.end(),
                  [](const Figure& a, const Figure& b) { return a.mibPerSecond < b.mibPerSecond; });
        return figures[1];
    };
    return {median(raws), median(vaults)};
}

void Fill(const Target& target, unsigned long long diskSize, unsigned char* buffer)
{
    constexpr unsigned kChunk = 1 << 20;
    for (unsigned long long offset = 0; offset < diskSize; offset += kChunk) {
        if (!target.write(buffer, kChunk, static_cast<long long>(offset))) {
            std::fprintf(stderr, "cannot fill at %llu\n", offset);
            std::exit(1);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <scratch folder> [size MiB] [seconds per test]\n", argv[0]);
        return 2;
    }
    const std::string root = std::filesystem::absolute(argv[1]).string();
    const unsigned long long diskSize = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256) << 20;
    const double seconds = argc > 3 ? std::strtod(argv[3], nullptr) : 3.0;
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    host::MapDrive('C', host::Drive{root, host::DriveType::Fixed, std::nullopt});

    host::Driver* driver = nullptr;
    if (host::LoadDriver(VANTOR_IMAGE, u"Vantor", &driver) != 0) {
        std::fprintf(stderr, "cannot load the driver image %s\n", VANTOR_IMAGE);
        return 1;
    }
    host::DeviceHandle unit;
    if (host::OpenDevice(u"\\??\\VantorDevice0", unit) != 0) {
        std::fprintf(stderr, "cannot open the unit\n");
        return 1;
    }
    OPENDISKFILE_INFO open{};
    open.FileSize = static_cast<long long>(diskSize);
    const std::u16string path = host::Utf8ToUtf16("\\??\\C:\\bench.sec");
    std::memcpy(open.FileName, path.data(), path.size() * 2);
    std::memcpy(open.Password, L"bench", 10);
    if (host::DeviceIoControl(unit, IOCTL_OPENDISKFILE, &open, sizeof open, nullptr, 0).status != 0) {
        std::fprintf(stderr, "cannot mount the vault\n");
        return 1;
    }

    // The raw file has the vault's layout: data from byte 1024 on.
    const std::string rawPath = root + "/raw.bin";
    const int fd = ::open(rawPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_DIRECT, 0600);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(diskSize + 1024)) != 0) {
        std::perror("raw file");
        return 1;
    }
    Target raw{
        [fd](void* buffer, unsigned length, long long offset) {
            return pread(fd, buffer, length, offset + 1024) == static_cast<ssize_t>(length);
        },
        [fd](const void* buffer, unsigned length, long long offset) {
            return pwrite(fd, buffer, length, offset + 1024) == static_cast<ssize_t>(length);
        },
    };
    Target vault{
        [&unit](void* buffer, unsigned length, long long offset) {
            const host::IoResult r = host::SendRead(unit, buffer, length, offset).Wait();
            return r.status == 0 && r.information == length;
        },
        [&unit](const void* buffer, unsigned length, long long offset) {
            const host::IoResult r = host::SendWrite(unit, buffer, length, offset).Wait();
            return r.status == 0 && r.information == length;
        },
    };

    Target pipelined = vault;
    pipelined.depth = 4;
    pipelined.submit = [&unit](void* buffer, unsigned length, long long offset, bool write) {
        return write ? host::SendWrite(unit, buffer, length, offset) : host::SendRead(unit, buffer, length, offset);
    };

    auto* buffer = static_cast<unsigned char*>(std::aligned_alloc(4096, 1 << 20));
    std::memset(buffer, 0x5A, 1 << 20);
    // Both files hold real blocks before anything is measured.
    Fill(raw, diskSize, buffer);
    Fill(vault, diskSize, buffer);

    const Pattern patterns[] = {
        {"sequential 64 KiB write", 64 << 10, false, true},
        {"sequential 64 KiB read", 64 << 10, false, false},
        {"random 4 KiB write", 4 << 10, true, true},
        {"random 4 KiB read", 4 << 10, true, false},
    };
    std::printf("Vault served through the host request path vs raw O_DIRECT pread/pwrite\n");
    std::printf("disk size %llu MiB, %.1f s per pattern and side, median of 3 alternating runs; raw I/O is one\n"
                "pread/pwrite at a time on one thread\n\n",
                diskSize >> 20, seconds);
    struct Mode {
        const char* title;
        const Target* target;
    };
    const Mode modes[] = {
        {"one request at a time (the caller waits for each)", &vault},
        {"four requests in flight, as a file system keeps them", &pipelined},
    };
    for (const Mode& mode : modes) {
        std::printf("Vault: %s\n", mode.title);
        std::printf("%-26s %12s %12s %12s %12s %8s\n", "pattern", "raw MiB/s", "raw IOPS", "vault MiB/s",
                    "vault IOPS", "ratio");
        for (const Pattern& pattern : patterns) {
            auto [rawFigure, vaultFigure] = Compare(raw, *mode.target, pattern, diskSize, seconds, buffer);
            std::printf("%-26s %12.1f %12.0f %12.1f %12.0f %8.3f\n", pattern.name, rawFigure.mibPerSecond,
                        rawFigure.iops, vaultFigure.mibPerSecond, vaultFigure.iops,
                        vaultFigure.mibPerSecond / rawFigure.mibPerSecond);
            std::fflush(stdout);
        }
        std::printf("\n");
    }

    std::free(buffer);
    close(fd);
    host::DeviceIoControl(unit, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0);
    unit.Close();
    host::UnloadDriver(driver);
    std::filesystem::remove_all(root);
    return 0;
}
