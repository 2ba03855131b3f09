// What one round of the power-cut test does to a vault, what its child
// process says about it while it works, and the bytes each write carries, so
// that the parent can tell, after the child is killed, what may be in the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

inline constexpr std::uint32_t kSectorBytes = 512;

// One request of a round, sent to the mounted unit.
struct Operation {
    enum class Kind : std::uint8_t { Write, ChangePassword };
    Kind kind = Kind::Write;
    std::uint64_t offset = 0;  // disk bytes, whole sectors (writes only)
    std::uint32_t length = 0;
    bool endsBatch = false;    // the child waits for its batch before sending more
};

struct RoundPlan {
    unsigned round = 0;
    std::string password;     // what the vault opens with when the round starts (UTF-8)
    std::string newPassword;  // what a ChangePassword operation sets
    std::vector<Operation> operations;

    bool ChangesPassword() const;
};

// What a child tells its parent, each told before the next step is taken: a
// request is announced before it is sent and reported once it is complete.
enum class Note : std::uint32_t {
    Mounted = 1,   // status: of the open
    WriteComing,   // index, offset, length
    WriteDone,     // index, status
    ChangeComing,  // index
    ChangeDone,    // index, status
    AllDone,
    Opened,        // probes: index of the password tried, status, length of the disk
    Failed,        // a step outside the driver failed: status says which
};

struct Message {
    Note note{};
    std::uint32_t index = 0;
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
    std::int32_t status = 0;
    std::uint64_t diskLength = 0;
};

const char* NoteName(Note note);

// The content of one sector as written by write `index` of `round`: unlike
// any other write's and unlike zeros, and tied to the sector it lands on.
void FillSector(unsigned round, unsigned index, std::uint64_t sector, std::uint8_t* out);
void FillWrite(unsigned round, unsigned index, std::uint64_t offset, std::uint32_t length, std::uint8_t* out);

// A password as the driver keeps it: 16 UTF-16 code units, NUL-padded.
using PasswordField = std::array<std::uint8_t, 32>;
PasswordField PlainPasswordField(const std::string& utf8);

}  // namespace korvel::test
