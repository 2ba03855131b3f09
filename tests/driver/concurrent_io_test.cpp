// Both units at work at once, each with several threads sending reads and
// writes of random lengths at random, overlapping offsets. Every sector a
// read returns must hold what the last completed write of it put there, or
// what a write of it that was under way during the read puts there: never
// older data, never another sector's, another unit's or half of two writes.
//
// The random choices are seeded; the seed is printed, and
// KORVEL_CONCURRENT_IO_SEED=<seed> replays the same requests (the threads'
// interleaving is the system's).
#include "vantor_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using korvel::test::AlignedBytes;
using korvel::test::VantorTest;

constexpr ULONG kSector = 512;
constexpr ULONG kDiskSectors = 1024;  // a 512 KiB disk, small enough for writes to overlap often
constexpr ULONG kMaxSectors = 128;    // 64 KiB
constexpr int kThreadsPerUnit = 3;
constexpr int kRoundsPerThread = 400;
constexpr int kMostInFlightPerThread = 3;
constexpr std::size_t kMostReported = 20;

// What a write puts into each 16 bytes of every sector it writes, so that a
// sector read back names the write, and the sector, it came from. Write 0 is
// the zeros of a new vault.
struct Stamp {
    std::uint32_t write;
    std::uint16_t unit;
    std::uint16_t thread;
    std::uint32_t serial;  // the thread's own count of its writes
    std::uint32_t sector;
};
static_assert(sizeof(Stamp) == 16 && kSector % sizeof(Stamp) == 0, "stamps fill a sector");

void StampSectors(std::uint8_t* data, ULONG first, ULONG count, const Stamp& base)
{
    for (ULONG s = 0; s < count; ++s) {
        Stamp stamp = base;
        stamp.sector = first + s;
        for (ULONG at = 0; at < kSector; at += sizeof(Stamp)) {
            std::memcpy(data + std::size_t(s) * kSector + at, &stamp, sizeof stamp);
        }
    }
}

// The stamp a sector holds; false when its stamps disagree (a torn sector).
bool ReadStamp(const std::uint8_t* sector, Stamp& stamp)
{
    std::memcpy(&stamp, sector, sizeof stamp);
    for (ULONG at = sizeof(Stamp); at < kSector; at += sizeof(Stamp)) {
        if (std::memcmp(sector + at, &stamp, sizeof stamp) != 0) {
            return false;
        }
    }
    return true;
}

std::string Describe(const Stamp& stamp)
{
    std::ostringstream text;
    if (stamp.write == 0 && stamp.unit == 0 && stamp.thread == 0 && stamp.serial == 0 && stamp.sector == 0) {
        text << "zeros";
    } else {
        text << "write " << stamp.write << " (unit " << stamp.unit << ", thread " << stamp.thread << ", its write "
             << stamp.serial << ", for sector " << stamp.sector << ")";
    }
    return text.str();
}

// What each sector of one unit may hold, kept from the senders' side.
// Times are ticks of one counter under the model's lock: a write is taken
// as started before it is sent and as done once its sender has the answer,
// so each real interval lies within the recorded one.
class UnitModel {
public:
    using WriteId = std::uint32_t;

    UnitModel() : m_Current(kDiskSectors, std::vector<WriteId>{0}), m_InFlight(kDiskSectors) {}

    WriteId BeginWrite(ULONG first, ULONG count)
    {
        std::lock_guard guard(m_Lock);
        m_Writes.push_back({first, count, ++m_Tick, kNotDone});
        const WriteId id = WriteId(m_Writes.size());
        for (ULONG s = first; s < first + count; ++s) {
            m_InFlight[s].push_back(id);
        }
        return id;
    }

    void EndWrite(WriteId id)
    {
        std::lock_guard guard(m_Lock);
        Write& done = m_Writes[id - 1];
        done.end = ++m_Tick;
        for (ULONG s = done.first; s < done.first + done.count; ++s) {
            auto& flying = m_InFlight[s];
            flying.erase(std::find(flying.begin(), flying.end(), id));
            // A write that ended before this one started is overwritten for
            // good; one whose time overlapped this one's may still be on top.
            auto& current = m_Current[s];
            current.erase(std::remove_if(current.begin(), current.end(),
                                         [&](WriteId other) { return EndOf(other) < done.start; }),
                          current.end());
            current.push_back(id);
        }
    }

    // What a read about to be sent may find in each of its sectors so far.
    struct ReadView {
        ULONG first;
        ULONG count;
        WriteId lastSentBefore;
        // Per sector: the writes that had ended on top when the read was
        // sent, then those under way.
        std::vector<std::vector<WriteId>> allowed;
        std::vector<std::size_t> ended;
    };

    ReadView BeginRead(ULONG first, ULONG count)
    {
        std::lock_guard guard(m_Lock);
        ++m_Tick;
        ReadView view{first, count, WriteId(m_Writes.size()), {}};
        for (ULONG s = first; s < first + count; ++s) {
            std::vector<WriteId> allowed = m_Current[s];
            view.ended.push_back(allowed.size());
            allowed.insert(allowed.end(), m_InFlight[s].begin(), m_InFlight[s].end());
            view.allowed.push_back(std::move(allowed));
        }
        return view;
    }

    // Once the read is answered: the writes started while it was under way
    // may have reached it too.
    void EndRead(ReadView& view)
    {
        std::lock_guard guard(m_Lock);
        ++m_Tick;
        for (WriteId id = view.lastSentBefore + 1; id <= WriteId(m_Writes.size()); ++id) {
            const Write& write = m_Writes[id - 1];
            const ULONG from = std::max(write.first, view.first);
            const ULONG to = std::min(write.first + write.count, view.first + view.count);
            for (ULONG s = from; s < to; ++s) {
                view.allowed[s - view.first].push_back(id);
            }
        }
    }

    // Once nothing is under way: what each sector must hold.
    std::vector<WriteId> Settled(ULONG sector)
    {
        std::lock_guard guard(m_Lock);
        return m_Current[sector];
    }

private:
    static constexpr std::uint64_t kNotDone = ~std::uint64_t(0);

    struct Write {
        ULONG first;
        ULONG count;
        std::uint64_t start;
        std::uint64_t end;
    };

    // The zeros of the new vault count as a write that ended before any other began.
    std::uint64_t EndOf(WriteId id) const { return id == 0 ? 0 : m_Writes[id - 1].end; }

    std::mutex m_Lock;
    std::uint64_t m_Tick = 0;
    std::vector<Write> m_Writes;
    std::vector<std::vector<WriteId>> m_Current;   // per sector: ended writes that may be on top
    std::vector<std::vector<WriteId>> m_InFlight;  // per sector: writes sent and not yet answered
};

std::string ListOf(const std::vector<UnitModel::WriteId>& ids)
{
    std::string text = "{";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(ids[i]);
    }
    return text + "}";
}

// Failures from every thread, the first few of them with their details.
class Findings {
public:
    void Add(const std::string& what)
    {
        std::lock_guard guard(m_Lock);
        if (m_Details.size() < kMostReported) {
            m_Details.push_back(what);
        }
        ++m_Count;
    }
    // A sector found holding a write that was still under way when the
    // read was sent: the runs do overlap.
    void AddOverlap()
    {
        std::lock_guard guard(m_Lock);
        ++m_Overlaps;
    }
    std::size_t Overlaps()
    {
        std::lock_guard guard(m_Lock);
        return m_Overlaps;
    }
    std::size_t Count()
    {
        std::lock_guard guard(m_Lock);
        return m_Count;
    }
    std::string Details()
    {
        std::lock_guard guard(m_Lock);
        std::string text;
        for (const std::string& line : m_Details) {
            text += line + "\n";
        }
        return text;
    }

private:
    std::mutex m_Lock;
    std::vector<std::string> m_Details;
    std::size_t m_Count = 0;
    std::size_t m_Overlaps = 0;
};

// Checks every sector of an answered read against what it was allowed to find.
void CheckRead(unsigned unit, const std::uint8_t* data, const UnitModel::ReadView& view, const std::string& reader,
               Findings& findings)
{
    for (ULONG i = 0; i < view.count; ++i) {
        const ULONG sector = view.first + i;
        Stamp stamp{};
        const std::string where = "unit " + std::to_string(unit) + " sector " + std::to_string(sector) + ", read by " +
                                  reader + ": ";
        if (!ReadStamp(data + std::size_t(i) * kSector, stamp)) {
            findings.Add(where + "the sector mixes two contents");
            continue;
        }
        const auto& allowed = view.allowed[i];
        const auto found = std::find(allowed.begin(), allowed.end(), stamp.write);
        const bool known = found != allowed.end();
        if (known && std::size_t(found - allowed.begin()) >= view.ended[i]) {
            findings.AddOverlap();
        }
        const bool placed = stamp.write == 0 ? stamp.sector == 0 && stamp.unit == 0 && stamp.thread == 0
                                             : stamp.sector == sector && stamp.unit == unit;
        if (!known || !placed) {
            findings.Add(where + "found " + Describe(stamp) + ", allowed " + ListOf(allowed));
        }
    }
}

std::uint64_t ChooseSeed()
{
    if (const char* replay = std::getenv("KORVEL_CONCURRENT_IO_SEED"); replay != nullptr && *replay != 0) {
        return std::strtoull(replay, nullptr, 0);
    }
    return (std::uint64_t(std::random_device{}()) << 32) | std::random_device{}();
}

// One request of a thread's batch, with the buffer it owns until answered.
struct Request {
    bool write = false;
    int serial = 0;  // the thread's count of its writes, or of its reads
    ULONG first = 0;
    ULONG count = 0;
    UnitModel::WriteId id = 0;
    UnitModel::ReadView view;
    std::unique_ptr<AlignedBytes> buffer;
    std::unique_ptr<host::PendingIo> pending;
};

TEST_F(VantorTest, ConcurrentReadsAndWritesOnBothUnitsSeeNoStaleOrStrayData)
{
    const std::uint64_t seed = ChooseSeed();
    std::printf("concurrent I/O seed %" PRIu64 " (replay with KORVEL_CONCURRENT_IO_SEED=%" PRIu64 ")\n", seed, seed);
    RecordProperty("seed", std::to_string(seed));

    const char* const files[2] = {"zero.sec", "one.sec"};
    host::DeviceHandle units[2] = {OpenUnit(0), OpenUnit(1)};
    for (unsigned unit = 0; unit < 2; ++unit) {
        ASSERT_EQ(OpenVault(units[unit], files[unit], "pw", LONGLONG(kDiskSectors) * kSector).status, STATUS_SUCCESS);
    }
    UnitModel models[2];
    Findings findings;

    std::vector<std::thread> threads;
    for (unsigned unit = 0; unit < 2; ++unit) {
        for (unsigned t = 0; t < kThreadsPerUnit; ++t) {
            threads.emplace_back([&, unit, t] {
                std::mt19937_64 random(seed ^ (0x9E3779B97F4A7C15ULL * (unit * kThreadsPerUnit + t + 1)));
                UnitModel& model = models[unit];
                const std::uint16_t thread = std::uint16_t(t + 1);
                std::uint32_t writes = 0;
                int reads = 0;
                struct {
                    ULONG first;
                    ULONG count;
                } lastWritten{0, 0};
                for (int round = 0; round < kRoundsPerThread; ++round) {
                    // A few requests out at once, then their answers in order.
                    std::vector<Request> batch(std::size_t(1 + random() % kMostInFlightPerThread));
                    for (Request& request : batch) {
                        request.write = random() % 2 == 0;
                        request.count = ULONG(1 + random() % kMaxSectors);
                        request.first = ULONG(random() % (kDiskSectors - request.count + 1));
                        // Half the reads look again at what this thread wrote
                        // last, where stale data would show first.
                        if (!request.write && lastWritten.count != 0 && random() % 2 == 0) {
                            request.first = lastWritten.first;
                            request.count = lastWritten.count;
                        }
                        const ULONG length = request.count * kSector;
                        request.buffer = std::make_unique<AlignedBytes>(length, 0xEE);
                        if (request.write) {
                            request.serial = int(++writes);
                            request.id = model.BeginWrite(request.first, request.count);
                            StampSectors(request.buffer->data(), request.first, request.count,
                                         Stamp{request.id, std::uint16_t(unit), thread, writes, 0});
                            request.pending = std::make_unique<host::PendingIo>(host::SendWrite(
                                units[unit], request.buffer->data(), length, LONGLONG(request.first) * kSector));
                        } else {
                            request.serial = ++reads;
                            request.view = model.BeginRead(request.first, request.count);
                            request.pending = std::make_unique<host::PendingIo>(host::SendRead(
                                units[unit], request.buffer->data(), length, LONGLONG(request.first) * kSector));
                        }
                    }
                    for (Request& request : batch) {
                        const host::IoResult result = request.pending->Wait();
                        const std::string who = "thread " + std::to_string(thread) + " of unit " +
                                                std::to_string(unit) + (request.write ? ", write " : ", read ") +
                                                std::to_string(request.serial);
                        if (result.status != STATUS_SUCCESS || result.information != request.count * kSector) {
                            char text[96];
                            std::snprintf(text, sizeof text, ": status 0x%08x, %lu bytes of %lu", unsigned(result.status),
                                          static_cast<unsigned long>(result.information),
                                          static_cast<unsigned long>(request.count * kSector));
                            findings.Add(who + text);
                        }
                        if (request.write) {
                            model.EndWrite(request.id);
                            lastWritten = {request.first, request.count};
                        } else {
                            model.EndRead(request.view);
                            CheckRead(unit, request.buffer->data(), request.view, who, findings);
                        }
                    }
                }
            });
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(findings.Count(), 0u) << "seed " << seed << "\n" << findings.Details();
    std::printf("%zu sectors read back held a write still under way when the read was sent\n",
                findings.Overlaps());

    // At rest, each disk holds exactly the writes that ended on top, and so
    // does its vault file behind the header.
    for (unsigned unit = 0; unit < 2; ++unit) {
        SCOPED_TRACE(files[unit]);
        AlignedBytes disk(std::size_t(kDiskSectors) * kSector);
        ASSERT_EQ(Read(units[unit], 0, disk).status, STATUS_SUCCESS);
        UnitModel::ReadView view{0, kDiskSectors, 0, {}, {}};
        for (ULONG s = 0; s < kDiskSectors; ++s) {
            view.allowed.push_back(models[unit].Settled(s));
            view.ended.push_back(view.allowed.back().size());
        }
        CheckRead(unit, disk.data(), view, "the final read", findings);
        EXPECT_EQ(findings.Count(), 0u) << "seed " << seed << "\n" << findings.Details();
        EXPECT_EQ(CloseVault(units[unit]).status, STATUS_SUCCESS);
        const auto file = korvel::test::ReadHostFile(HostPath(files[unit]));
        ASSERT_EQ(file.size(), disk.size() + 1024);
        EXPECT_TRUE(std::equal(disk.data(), disk.data() + disk.size(), file.begin() + 1024));
    }
}

}  // namespace
