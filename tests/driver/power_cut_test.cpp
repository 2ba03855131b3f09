// Power cuts in the middle of a vault's work. In each round a child process
// loads the driver, mounts the vault, writes to it and may change its
// password, and is killed at a random moment. The vault file must then keep
// its layout and length, hold in each sector either what it held or what a
// write under way was putting there, and open with exactly one password: the
// old one, or the new one once its change was under way.
//
// A kill stands in for the cut: the driver's process ends between any two
// instructions, and what it had handed to the file system by then is all
// that is left.
//
// The test process itself never loads the driver: fork() copies only the
// calling thread, and the host kernel runs threads of its own. It reads the
// vault file directly and asks a short-lived child to mount it.
//
// The randomness is seeded from the clock, or from KORVEL_POWER_CUT_SEED to
// run the same rounds again (the kills follow the same plan; where exactly
// they land is up to the timing). The seed is printed first and named in
// every failure.
#include "forked_child.h"
#include "power_cut_child.h"
#include "power_cut_round.h"
#include "support/scratch_drive.h"
#include "vault_image.h"

#include <ntstatus.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

namespace {

using namespace korvel::test;
using Clock = std::chrono::steady_clock;

constexpr unsigned kRounds = 100;
constexpr std::uint64_t kDiskSize = 8u << 20;
constexpr std::uint64_t kDiskSectors = kDiskSize / kSectorBytes;
constexpr std::uint32_t kLargestWriteSectors = 256 * 1024 / kSectorBytes;
constexpr std::size_t kFileLength = kDiskSize + 1024;
constexpr char kNtPath[] = "\\??\\C:\\vault.sec";
constexpr auto kChildTimeout = std::chrono::seconds(20);

// ThreadSanitizer runs a thread of its own once a process has had a second
// one, and looks after it across fork() itself.
#if defined(__SANITIZE_THREAD__)
constexpr int kRuntimeThreads = 1;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int kRuntimeThreads = 1;
#else
constexpr int kRuntimeThreads = 0;
#endif
#else
constexpr int kRuntimeThreads = 0;
#endif

std::uint64_t ChooseSeed()
{
    if (const char* given = std::getenv("KORVEL_POWER_CUT_SEED"); given != nullptr && *given != '\0') {
        return std::strtoull(given, nullptr, 0);
    }
    return std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count()) ^
           (std::uint64_t(std::random_device{}()) << 32);
}

int Uniform(std::mt19937_64& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

bool Chance(std::mt19937_64& rng, double p)
{
    return std::bernoulli_distribution(p)(rng);
}

std::string RandomPassword(std::mt19937_64& rng)
{
    // Letters of both cases, digits and Chinese characters, from none up to
    // the 15 a field holds.
    static const char* const kPieces[] = {"a", "B", "c", "X", "y", "Z", "0", "7", "_", "保", "险", "柜", "密", "码"};
    std::string text;
    for (int n = Uniform(rng, 0, 15); n > 0; --n) {
        text += kPieces[Uniform(rng, 0, int(std::size(kPieces)) - 1)];
    }
    return text;
}

// The driver compares passwords without regard to letter case.
bool SamePassword(const std::string& a, const std::string& b)
{
    return host::EqualFolded(host::Utf8ToUtf16(a), host::Utf8ToUtf16(b));
}

RoundPlan PlanRound(std::mt19937_64& rng, unsigned round, const std::string& password)
{
    RoundPlan plan;
    plan.round = round;
    plan.password = password;
    for (int batches = Uniform(rng, 2, 6); batches > 0; --batches) {
        for (int writes = Uniform(rng, 1, 4); writes > 0; --writes) {
            // Small writes as often as large ones: the bound is itself
            // one of the powers of two up to the largest.
            const auto sectors = std::uint32_t(Uniform(rng, 1, int(kLargestWriteSectors) >> Uniform(rng, 0, 9)));
            Operation op;
            op.offset = std::uint64_t(Uniform(rng, 0, int(kDiskSectors - sectors))) * kSectorBytes;
            op.length = sectors * kSectorBytes;
            plan.operations.push_back(op);
        }
        plan.operations.back().endsBatch = true;
    }
    if (Chance(rng, 0.6)) {
        do {
            plan.newPassword = RandomPassword(rng);
        } while (SamePassword(plan.newPassword, password));
        Operation change;
        change.kind = Operation::Kind::ChangePassword;
        const int at = Uniform(rng, 0, int(plan.operations.size()));
        plan.operations.insert(plan.operations.begin() + at, change);
    }
    return plan;
}

// When the parent pulls the plug: a while after the child's start, after its
// n-th message, or after it announced the password change.
struct KillPlan {
    enum class After { Start, Messages, ChangeComing };
    After after = After::Start;
    std::size_t messages = 0;
    std::chrono::microseconds delay{0};
};

KillPlan PlanKill(std::mt19937_64& rng, const RoundPlan& plan)
{
    // A child mounts in about a millisecond here and sends a request every
    // few tens of microseconds, so the delays are short: most kills should
    // find a request under way, not the round's work all done.
    KillPlan kill;
    const int roll = Uniform(rng, 0, 99);
    if (plan.ChangesPassword() && roll < 45) {
        // The change is one 512-byte write, often queued behind a batch's
        // writes in the unit's queue.
        kill.after = KillPlan::After::ChangeComing;
        kill.delay = std::chrono::microseconds(Uniform(rng, 0, 150));
    } else if (roll < 85) {
        // Mounted, then an announcement and a report for each request.
        kill.after = KillPlan::After::Messages;
        kill.messages = std::size_t(Uniform(rng, 1, 1 + 2 * int(plan.operations.size())));
        kill.delay = std::chrono::microseconds(Uniform(rng, 0, 100));
    } else {
        // Anywhere, the driver's load and the mount included.
        kill.after = KillPlan::After::Start;
        kill.delay = std::chrono::microseconds(Uniform(rng, 0, 3000));
    }
    return kill;
}

std::string Describe(const KillPlan& kill)
{
    std::ostringstream text;
    switch (kill.after) {
    case KillPlan::After::Start: text << "killed " << kill.delay.count() << " us after its start"; break;
    case KillPlan::After::Messages:
        text << "killed " << kill.delay.count() << " us after message " << kill.messages;
        break;
    case KillPlan::After::ChangeComing:
        text << "killed " << kill.delay.count() << " us after the password change was announced";
        break;
    }
    return text.str();
}

// What the child said before it died, and so what may be in the file.
struct RoundState {
    bool mounted = false;
    bool allDone = false;
    std::map<std::uint32_t, Operation> writesUnderWay;  // announced, not reported
    enum class Change { NotBegun, UnderWay, Done } change = Change::NotBegun;
    std::string protocolFaults;
};

// Where the kills landed, for the report at the end.
struct Tally {
    unsigned beforeMount = 0;
    unsigned betweenRequests = 0;
    unsigned midWrite = 0;
    unsigned writesWhole = 0;  // writes under way at a kill, by how much of them was found in the file
    unsigned writesPart = 0;
    unsigned writesNone = 0;
    unsigned midChange = 0;
    unsigned changeFoundNew = 0;
    unsigned changeFoundOld = 0;
    unsigned afterAll = 0;
};

std::vector<std::uint8_t> ReadVaultFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    std::vector<std::uint8_t> bytes(std::size_t(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes;
}

std::string SectorOrigin(const std::uint8_t* sector)
{
    // A written sector starts with its write's tag and its own number.
    std::uint64_t tag = 0;
    std::uint64_t number = 0;
    std::memcpy(&tag, sector, 8);
    std::memcpy(&number, sector + 8, 8);
    if (tag == 0 && number == 0) {
        return "zeros";
    }
    std::ostringstream text;
    text << "round " << (tag >> 32) - 1 << " write " << (tag & 0xFFFFFFFF) - 1 << " sector " << number;
    return text.str();
}

class PowerCutTest : public ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        // Threads of earlier tests in this process may still be on their way out.
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (ThreadsOfThisProcess() > 1 + kRuntimeThreads && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_LE(ThreadsOfThisProcess(), 1 + kRuntimeThreads)
            << "other threads are running; a forked child would lack them and could find their locks held";
    }

    // Mounts the vault in a fresh child with each password in turn; the
    // disk length each successful mount reported, or nothing for a refusal.
    std::vector<std::optional<std::uint64_t>> Probe(const std::vector<std::string>& passwords,
                                                    std::int64_t createSize);

    // Runs one round up to its kill; false when the round could not be run.
    bool RunRound(const RoundPlan& plan, const KillPlan& kill, RoundState& state);
    // The vault file after a round; false when it is damaged.
    bool CheckFile(const RoundPlan& plan, RoundState& state);

    std::uint64_t m_Seed = 0;
    std::mt19937_64 m_Rng;
    std::vector<std::uint8_t> m_Disk;  // what each sector holds for certain
    std::string m_Password;
    // Which of a round's passwords its header was found to hold.
    enum class Holds { Old, New, Neither } m_Holds = Holds::Old;
    Tally m_Tally;
};

std::vector<std::optional<std::uint64_t>> PowerCutTest::Probe(const std::vector<std::string>& passwords,
                                                              std::int64_t createSize)
{
    std::vector<std::optional<std::uint64_t>> opened(passwords.size());
    ForkedChild child([&](int fd) { ProbeVault(fd, kNtPath, passwords, createSize); });
    if (!child.Started()) {
        ADD_FAILURE() << "cannot start a child to mount the vault";
        return opened;
    }
    std::size_t answers = 0;
    Message message;
    const auto deadline = Clock::now() + kChildTimeout;
    ForkedChild::Received received;
    while ((received = child.Next(message, deadline)) == ForkedChild::Received::Message) {
        if (message.note == Note::Opened && message.index < passwords.size()) {
            ++answers;
            if (message.status == STATUS_SUCCESS) {
                opened[message.index] = message.diskLength;
            }
        } else {
            ADD_FAILURE() << "the mounting child said " << NoteName(message.note) << " (" << message.status << ")";
        }
    }
    if (received == ForkedChild::Received::TimedOut) {
        ADD_FAILURE() << "the mounting child hangs";
        child.Kill();
    }
    const int status = child.Reap();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the mounting child ended with " << status;
    EXPECT_EQ(answers, passwords.size()) << "the mounting child did not try every password";
    return opened;
}

bool PowerCutTest::RunRound(const RoundPlan& plan, const KillPlan& kill, RoundState& state)
{
    ForkedChild child([&](int fd) { WorkOnVault(fd, kNtPath, plan); });
    if (!child.Started()) {
        ADD_FAILURE() << "cannot start the working child";
        return false;
    }
    std::vector<Message> messages;
    Message message;
    const auto deadline = Clock::now() + kChildTimeout;
    auto triggered = [&] {
        switch (kill.after) {
        case KillPlan::After::Start: return true;
        case KillPlan::After::Messages: return messages.size() >= kill.messages;
        case KillPlan::After::ChangeComing: return !messages.empty() && messages.back().note == Note::ChangeComing;
        }
        return true;
    };
    bool ended = false;
    while (!triggered()) {
        const ForkedChild::Received received = child.Next(message, deadline);
        if (received == ForkedChild::Received::TimedOut) {
            ADD_FAILURE() << "the working child hangs after " << messages.size() << " messages";
            return false;
        }
        if (received == ForkedChild::Received::Ended) {
            ended = true;
            break;
        }
        messages.push_back(message);
        if (message.note == Note::AllDone) {
            break;
        }
    }
    if (!ended) {
        std::this_thread::sleep_for(kill.delay);
        child.Kill();
    }
    const int status = child.Reap();
    for (const Message& late : child.Rest()) {
        messages.push_back(late);
    }
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
        ADD_FAILURE() << "the working child ended by itself, with " << status << ", after "
                      << (messages.empty() ? "no message" : NoteName(messages.back().note));
        return false;
    }

    // Replay what the child said: completed writes go into what the disk
    // holds for certain; announced ones stay under way.
    std::ostringstream faults;
    for (const Message& m : messages) {
        const Operation* op = m.index < plan.operations.size() ? &plan.operations[m.index] : nullptr;
        switch (m.note) {
        case Note::Mounted:
            state.mounted = m.status == STATUS_SUCCESS;
            if (!state.mounted) {
                faults << "the vault did not mount with its password (status " << std::hex << m.status << std::dec
                       << "); ";
            }
            break;
        case Note::WriteComing:
            if (op == nullptr || op->kind != Operation::Kind::Write || op->offset != m.offset ||
                op->length != m.length) {
                faults << "write " << m.index << " announced unlike its plan; ";
                break;
            }
            state.writesUnderWay[m.index] = *op;
            break;
        case Note::WriteDone:
            if (state.writesUnderWay.erase(m.index) == 0) {
                faults << "write " << m.index << " reported without its announcement; ";
                break;
            }
            if (m.status != STATUS_SUCCESS || m.length != op->length) {
                faults << "write " << m.index << " failed: status " << std::hex << m.status << std::dec << ", "
                       << m.length << " bytes; ";
                break;
            }
            FillWrite(plan.round, m.index, op->offset, op->length, m_Disk.data() + op->offset);
            break;
        case Note::ChangeComing: state.change = RoundState::Change::UnderWay; break;
        case Note::ChangeDone:
            if (m.status != STATUS_SUCCESS) {
                faults << "the password change failed: status " << std::hex << m.status << std::dec << "; ";
            }
            state.change = RoundState::Change::Done;
            break;
        case Note::AllDone: state.allDone = true; break;
        default: faults << "unexpected " << NoteName(m.note) << " (" << m.status << "); "; break;
        }
    }
    state.protocolFaults = faults.str();
    return true;
}

bool PowerCutTest::CheckFile(const RoundPlan& plan, RoundState& state)
{
    const std::vector<std::uint8_t> file = ReadVaultFile(HostPath("vault.sec"));
    if (file.size() != kFileLength) {
        ADD_FAILURE() << "the vault file is " << file.size() << " bytes long instead of " << kFileLength;
        return false;
    }

    // The layout: 512 bytes never written, the password field, then zeros.
    const auto zeroFrom = [&](std::size_t from, std::size_t to) {
        return std::all_of(file.begin() + std::ptrdiff_t(from), file.begin() + std::ptrdiff_t(to),
                           [](std::uint8_t b) { return b == 0; });
    };
    bool good = true;
    if (!zeroFrom(0, 512)) {
        ADD_FAILURE() << "bytes 0-511 were written";
        good = false;
    }
    if (!zeroFrom(544, 1024)) {
        ADD_FAILURE() << "bytes 544-1023 of the header block are not zero";
        good = false;
    }
    VaultImage::PasswordField stored;
    std::memcpy(stored, file.data() + 512, sizeof stored);
    VaultImage::DecodePassword(stored);
    if (!VaultImage::HoldsTerminatedText(stored)) {
        ADD_FAILURE() << "the password field decodes to no NUL-terminated text";
        good = false;
    }
    const bool holdsOld = std::memcmp(stored, PlainPasswordField(plan.password).data(), sizeof stored) == 0;
    const bool holdsNew =
        plan.ChangesPassword() && std::memcmp(stored, PlainPasswordField(plan.newPassword).data(), sizeof stored) == 0;
    switch (state.change) {
    case RoundState::Change::NotBegun:
        if (!holdsOld) {
            ADD_FAILURE() << "the password field changed though no change was sent";
            good = false;
        }
        break;
    case RoundState::Change::UnderWay:
        if (!holdsOld && !holdsNew) {
            ADD_FAILURE() << "the password field holds neither the old nor the new password";
            good = false;
        }
        ++m_Tally.midChange;
        ++(holdsNew ? m_Tally.changeFoundNew : m_Tally.changeFoundOld);
        break;
    case RoundState::Change::Done:
        if (!holdsNew) {
            ADD_FAILURE() << "the password field lacks the new password, though its change was complete";
            good = false;
        }
        break;
    }

    // Each sector holds what it held for certain, or wholly what a write
    // under way was putting there.
    std::uint8_t expected[kSectorBytes];
    std::map<std::uint32_t, std::uint64_t> landed;  // per write under way: its sectors found in the file
    std::vector<std::uint64_t> torn;
    for (std::uint64_t sector = 0; sector < kDiskSectors; ++sector) {
        const std::uint8_t* actual = file.data() + 1024 + sector * kSectorBytes;
        const std::uint8_t* certain = m_Disk.data() + sector * kSectorBytes;
        // The unit writes in the order the requests were sent, so a later
        // write found on a sector means the earlier ones got there too.
        bool found = false;
        for (auto it = state.writesUnderWay.rbegin(); it != state.writesUnderWay.rend(); ++it) {
            const auto& [index, op] = *it;
            if (sector * kSectorBytes < op.offset || sector * kSectorBytes >= op.offset + op.length) {
                continue;
            }
            if (!found) {
                FillSector(plan.round, index, sector, expected);
                found = std::memcmp(actual, expected, kSectorBytes) == 0;
            }
            landed[index] += found ? 1 : 0;
        }
        if (!found && std::memcmp(actual, certain, kSectorBytes) != 0) {
            torn.push_back(sector);
        }
    }
    if (!torn.empty()) {
        std::ostringstream text;
        text << torn.size() << " sectors hold neither their content before the cut nor a write under way:";
        for (std::size_t i = 0; i < std::min<std::size_t>(torn.size(), 8); ++i) {
            const std::uint64_t sector = torn[i];
            text << "\n  sector " << sector << ": holds " << SectorOrigin(file.data() + 1024 + sector * kSectorBytes)
                 << ", expected " << SectorOrigin(m_Disk.data() + sector * kSectorBytes);
        }
        text << "\n  writes under way:";
        for (const auto& [index, op] : state.writesUnderWay) {
            text << " #" << index << " (offset " << op.offset << ", " << op.length << " bytes)";
        }
        ADD_FAILURE() << text.str();
        good = false;
    }
    if (!state.writesUnderWay.empty()) {
        ++m_Tally.midWrite;
    }
    for (const auto& [index, op] : state.writesUnderWay) {
        const std::uint64_t sectors = op.length / kSectorBytes;
        ++(landed[index] == sectors ? m_Tally.writesWhole
           : landed[index] == 0     ? m_Tally.writesNone
                                    : m_Tally.writesPart);
    }

    // From here on the file as found is what the next round starts from.
    std::copy(file.begin() + 1024, file.end(), m_Disk.begin());
    m_Holds = holdsNew ? Holds::New : holdsOld ? Holds::Old : Holds::Neither;
    m_Password = holdsNew ? plan.newPassword : plan.password;
    return good;
}

TEST_F(PowerCutTest, AVaultSurvivesKillsMidWriteAndMidPasswordChange)
{
    m_Seed = ChooseSeed();
    m_Rng.seed(m_Seed);
    std::printf("power cut seed: %llu (KORVEL_POWER_CUT_SEED=%llu runs the same rounds again)\n",
                static_cast<unsigned long long>(m_Seed), static_cast<unsigned long long>(m_Seed));
    RecordProperty("power_cut_seed", std::to_string(m_Seed));
    const std::string seedText = "power cut seed " + std::to_string(m_Seed);
    SCOPED_TRACE(seedText);
    const auto started = Clock::now();

    // A new vault, made by a child that is left to finish.
    m_Password = RandomPassword(m_Rng);
    const auto created = Probe({m_Password}, std::int64_t(kDiskSize));
    ASSERT_EQ(created.size(), 1u);
    ASSERT_EQ(created[0], kDiskSize) << "the vault was not created";
    m_Disk.assign(kDiskSize, 0);
    {
        RoundPlan unchanged;
        unchanged.password = m_Password;
        RoundState nothing;
        ASSERT_TRUE(CheckFile(unchanged, nothing)) << "the new vault file";
    }

    unsigned rounds = 0;
    for (unsigned round = 0; round < kRounds; ++round, ++rounds) {
        const RoundPlan plan = PlanRound(m_Rng, round, m_Password);
        const KillPlan kill = PlanKill(m_Rng, plan);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(plan.operations.size()) +
                     " requests" + (plan.ChangesPassword() ? ", one a password change" : "") + "; " + Describe(kill));
        RoundState state;
        ASSERT_TRUE(RunRound(plan, kill, state));
        EXPECT_EQ(state.protocolFaults, "");
        if (!state.mounted) {
            ++m_Tally.beforeMount;
        } else if (state.allDone) {
            ++m_Tally.afterAll;
        } else if (state.writesUnderWay.empty() && state.change != RoundState::Change::UnderWay) {
            ++m_Tally.betweenRequests;
        }
        const bool fileGood = CheckFile(plan, state);

        // A real mount agrees with the header: exactly one password opens.
        std::vector<std::string> passwords{plan.password};
        if (plan.ChangesPassword()) {
            passwords.push_back(plan.newPassword);
        }
        const auto opened = Probe(passwords, 0);
        const char* const holds[] = {"the old one", "the new one", "neither"};
        for (std::size_t i = 0; i < passwords.size(); ++i) {
            const bool shouldOpen = m_Holds == (i == 0 ? Holds::Old : Holds::New);
            EXPECT_EQ(opened[i].has_value(), shouldOpen)
                << (i == 0 ? "the old" : "the new") << " password; the header holds " << holds[int(m_Holds)];
            if (opened[i].has_value()) {
                EXPECT_EQ(*opened[i], kDiskSize) << "disk length after the cut";
            }
        }
        if (!fileGood || HasFailure()) {
            ++rounds;
            break;
        }
    }

    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("power cut: %u rounds in %.1f s; killed before the mount %u, between requests %u, "
                "with writes under way %u (of those writes found whole in the file %u, in part %u, not at all %u), "
                "with the password change under way %u (found the new one %u, the old one %u), "
                "after all the work %u\n",
                rounds, seconds, m_Tally.beforeMount, m_Tally.betweenRequests, m_Tally.midWrite,
                m_Tally.writesWhole, m_Tally.writesPart, m_Tally.writesNone, m_Tally.midChange,
                m_Tally.changeFoundNew, m_Tally.changeFoundOld, m_Tally.afterAll);
}

}  // namespace
