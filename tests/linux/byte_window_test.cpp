// Byte-granular access to a vault's data area, checked against the vault
// file's own bytes: each write lands exactly where it was aimed and leaves
// the bytes beside it alone, at any offset and length.
#include "byte_window.h"
#include "host_vault.h"

#include "support/scratch_drive.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace {

using korvel::test::ReadHostFile;
using korvel::test::ScratchFolder;
using vault_tool::ByteWindow;
using vault_tool::HostVault;

// Not a multiple of the window's 1 MiB pieces, so that pieces straddle.
constexpr unsigned long long kDataBytes = (3ull << 20) + 1536;

class ByteWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(NT_SUCCESS(m_Vault.Open("Abcdefgh1", kDataBytes)));
        m_Model.assign(kDataBytes, 0);
    }

    // The data area as the vault file holds it.
    std::vector<std::uint8_t> FileData() const
    {
        const auto bytes = ReadHostFile(m_Path);
        return std::vector<std::uint8_t>(bytes.begin() + VaultImage::DataOffset, bytes.end());
    }

    ScratchFolder m_Folder;
    std::string m_Path = m_Folder.Path() + "/window.sec";
    HostVault m_Vault{m_Path};
    ByteWindow m_Window{m_Vault.Image()};
    std::vector<std::uint8_t> m_Model;
};

TEST_F(ByteWindowTest, WritesLandExactlyWhereAimedAndSpareTheirNeighbours)
{
    struct Case {
        const char* label;
        unsigned long long offset;
        std::size_t length;
    };
    const Case cases[] = {
        {"whole_sectors", 4096, 8192},
        {"inside_one_sector", 1000, 10},
        {"one_byte_at_a_sector_start", 1536, 1},
        {"one_byte_at_a_sector_end", 2047, 1},
        {"unaligned_head_and_tail", 513, 1500},
        {"unaligned_head_aligned_tail", 700, 324},
        {"aligned_head_unaligned_tail", 2048, 1000},
        {"two_sectors_touched_in_part", 1020, 8},
        {"across_a_piece_boundary", (1ull << 20) - 300, 5000},
        {"larger_than_a_piece", 77, (2u << 20) + 3},
        {"last_byte", kDataBytes - 1, 1},
        {"up_to_the_end", kDataBytes - 999, 999},
    };
    std::uint8_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::uint8_t> data(c.length);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = std::uint8_t(seed * 37 + i * 11 + 1);
        }
        ++seed;
        ASSERT_EQ(m_Window.Write(c.offset, data.size(), data.data()), static_cast<long long>(data.size()));
        std::copy(data.begin(), data.end(), m_Model.begin() + static_cast<std::ptrdiff_t>(c.offset));
        ASSERT_EQ(FileData(), m_Model);
    }
}

TEST_F(ByteWindowTest, ReadsReturnTheBytesAskedForAndStopAtTheEnd)
{
    std::vector<std::uint8_t> pattern(kDataBytes);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = std::uint8_t(i * 7 + i / 512);
    }
    ASSERT_EQ(m_Window.Write(0, pattern.size(), pattern.data()), static_cast<long long>(pattern.size()));
    struct Case {
        const char* label;
        unsigned long long offset;
        std::size_t length;
        long long expected;
    };
    const Case cases[] = {
        {"aligned", 8192, 4096, 4096},
        {"unaligned", 3, 1029, 1029},
        {"across_a_piece_boundary", (1ull << 20) - 1, 2, 2},
        {"larger_than_a_piece", 999, (1u << 20) + 777, (1 << 20) + 777},
        {"past_the_end_is_cut_short", kDataBytes - 100, 4096, 100},
        {"at_the_end", kDataBytes, 512, 0},
        {"far_beyond", 1ull << 40, 512, 0},
        {"nothing", 512, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // One byte in, so that the buffer is never page-aligned.
        std::vector<std::uint8_t> buffer(c.length + 2, 0xEE);
        ASSERT_EQ(m_Window.Read(c.offset, c.length, buffer.data() + 1), c.expected);
        EXPECT_EQ(buffer[0], 0xEE);
        for (long long i = 0; i < c.expected; ++i) {
            ASSERT_EQ(buffer[1 + i], pattern[c.offset + i]) << "byte " << i;
        }
        EXPECT_EQ(buffer[1 + c.expected], 0xEE) << "nothing written past what was read";
    }
}

TEST_F(ByteWindowTest, WritesPastTheEndAreRefusedWholeAndChangeNothing)
{
    const std::vector<std::uint8_t> data(2000, 0x5A);
    const auto before = ReadHostFile(m_Path);
    for (unsigned long long offset : {kDataBytes - 1999, kDataBytes, kDataBytes + 4096, ~0ull - 10}) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(m_Window.Write(offset, data.size(), data.data()), -ENOSPC);
    }
    EXPECT_EQ(ReadHostFile(m_Path), before);
}

TEST(ByteWindowSize, ATrailingPartSectorIsNotServed)
{
    ScratchFolder folder;
    HostVault vault(folder.Path() + "/odd.sec");
    ASSERT_TRUE(NT_SUCCESS(vault.Open("Abcdefgh1", 5000)));
    ByteWindow window(vault.Image());
    EXPECT_EQ(window.Size(), 4608u);
    std::uint8_t bytes[100] = {1};
    EXPECT_EQ(window.Write(4608, 1, bytes), -ENOSPC);
    EXPECT_EQ(window.Read(4600, sizeof bytes, bytes), 8);
}

}  // namespace
