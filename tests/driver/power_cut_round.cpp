#include "power_cut_round.h"

#include <host/utf16.h>

#include <algorithm>
#include <cstring>

namespace korvel::test {

namespace {

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

bool RoundPlan::ChangesPassword() const
{
    return std::any_of(operations.begin(), operations.end(),
                       [](const Operation& op) { return op.kind == Operation::Kind::ChangePassword; });
}

const char* NoteName(Note note)
{
    switch (note) {
    case Note::Mounted: return "Mounted";
    case Note::WriteComing: return "WriteComing";
    case Note::WriteDone: return "WriteDone";
    case Note::ChangeComing: return "ChangeComing";
    case Note::ChangeDone: return "ChangeDone";
    case Note::AllDone: return "AllDone";
    case Note::Opened: return "Opened";
    case Note::Failed: return "Failed";
    }
    return "?";
}

void FillSector(unsigned round, unsigned index, std::uint64_t sector, std::uint8_t* out)
{
    // The first words name the write and the sector, so that a stray sector
    // in a failure report says where it came from; the rest is noise.
    const std::uint64_t tag = (std::uint64_t(round + 1) << 32) | (index + 1);
    std::uint64_t words[kSectorBytes / 8];
    words[0] = tag;
    words[1] = sector;
    std::uint64_t state = Mix(tag ^ Mix(sector));
    for (std::size_t i = 2; i < std::size(words); ++i) {
        state = Mix(state);
        words[i] = state;
    }
    std::memcpy(out, words, kSectorBytes);
}

void FillWrite(unsigned round, unsigned index, std::uint64_t offset, std::uint32_t length, std::uint8_t* out)
{
    for (std::uint32_t done = 0; done < length; done += kSectorBytes) {
        FillSector(round, index, (offset + done) / kSectorBytes, out + done);
    }
}

PasswordField PlainPasswordField(const std::string& utf8)
{
    PasswordField field{};
    const std::u16string text = host::Utf8ToUtf16(utf8);
    std::memcpy(field.data(), text.data(), std::min<std::size_t>(text.size(), 15) * sizeof(char16_t));
    return field;
}

}  // namespace korvel::test
