// The LZX decoder on streams written here bit by bit: each block type, the
// length trees' run codes, and the faults it must report. The compiled help
// file exercises it at length as well (help_file_test.cpp).
#include "lzx_decoder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace korvel::chm {
namespace {

// Writes what LzxBitReader reads: 16-bit little-endian words, filled from
// their most significant bit.
class BitWriter {
public:
    void Write(std::uint32_t value, unsigned count)
    {
        for (unsigned i = count; i-- > 0;) {
            m_Word = static_cast<std::uint16_t>((m_Word << 1) | ((value >> i) & 1));
            if (++m_Filled == 16) {
                Flush();
            }
        }
    }
    void PadToWord()
    {
        while (m_Filled != 0) {
            Write(0, 1);
        }
    }
    void Bytes(const std::vector<std::uint8_t>& bytes) { m_Bytes.insert(m_Bytes.end(), bytes.begin(), bytes.end()); }
    std::vector<std::uint8_t> Take()
    {
        PadToWord();
        return std::move(m_Bytes);
    }

private:
    void Flush()
    {
        m_Bytes.push_back(static_cast<std::uint8_t>(m_Word & 0xFF));
        m_Bytes.push_back(static_cast<std::uint8_t>(m_Word >> 8));
        m_Word = 0;
        m_Filled = 0;
    }

    std::vector<std::uint8_t> m_Bytes;
    std::uint16_t m_Word = 0;
    unsigned m_Filled = 0;
};

constexpr unsigned kMainSymbols = 256 + 8 * 30;  // a 32 KiB window has 30 position slots
constexpr unsigned kLengthSymbols = 249;

// Canonical codes for the given lengths (symbol -> length), as the decoder
// expects them: shorter first, then in symbol order.
std::map<unsigned, std::pair<std::uint32_t, unsigned>> CanonicalCodes(const std::map<unsigned, unsigned>& lengths)
{
    std::map<unsigned, std::pair<std::uint32_t, unsigned>> codes;
    std::uint32_t next = 0;
    for (unsigned length = 1; length <= 16; ++length) {
        for (const auto& [symbol, symbolLength] : lengths) {
            if (symbolLength == length) {
                codes[symbol] = {next++, length};
            }
        }
        next <<= 1;
    }
    return codes;
}

// Sends a tree's lengths, all previously zero, with a pretree in which all
// twenty codes are five bits long: code n is then simply n. Zero lengths
// go out in runs (codes 17 and 18) to exercise those too.
void WriteLengths(BitWriter& out, const std::map<unsigned, unsigned>& lengths, unsigned first, unsigned last)
{
    for (unsigned i = 0; i < 20; ++i) {
        out.Write(5, 4);
    }
    unsigned at = first;
    while (at < last) {
        unsigned zeros = 0;
        while (at + zeros < last && !lengths.contains(at + zeros)) {
            ++zeros;
        }
        if (zeros >= 20) {
            const unsigned run = std::min(zeros, 51u);
            out.Write(18, 5);
            out.Write(run - 20, 5);
            at += run;
        } else if (zeros >= 4) {
            out.Write(17, 5);
            out.Write(zeros - 4, 4);
            at += zeros;
        } else if (zeros > 0) {
            out.Write(0, 5);  // no change from zero
            ++at;
        } else {
            out.Write((17 - lengths.at(at)) % 17, 5);
            ++at;
        }
    }
}

struct Token {
    unsigned symbol;
    unsigned footer = 0;
    unsigned footerBits = 0;
};

// One block of the given size, with a main tree holding exactly the
// symbols the tokens use, all of one length. An aligned offset block also
// sends its aligned offset tree's eight lengths.
void WriteBlock(BitWriter& out, unsigned type, unsigned blockSize, const std::vector<Token>& tokens,
                const std::vector<unsigned>& alignedLengths = {})
{
    std::map<unsigned, unsigned> mainLengths;
    for (const Token& token : tokens) {
        mainLengths[token.symbol] = 0;
    }
    unsigned length = 1;
    while ((1u << length) < mainLengths.size()) {
        ++length;
    }
    for (auto& entry : mainLengths) {
        entry.second = length;
    }
    out.Write(type, 3);
    out.Write(blockSize, 24);
    for (unsigned alignedLength : alignedLengths) {
        out.Write(alignedLength, 3);
    }
    WriteLengths(out, mainLengths, 0, 256);
    WriteLengths(out, mainLengths, 256, kMainSymbols);
    WriteLengths(out, {}, 0, kLengthSymbols);
    const auto codes = CanonicalCodes(mainLengths);
    for (const Token& token : tokens) {
        const auto [code, codeLength] = codes.at(token.symbol);
        out.Write(code, codeLength);
        out.Write(token.footer, token.footerBits);
    }
}

void WriteVerbatimBlock(BitWriter& out, unsigned blockSize, const std::vector<Token>& tokens)
{
    WriteBlock(out, 1, blockSize, tokens);
}

constexpr unsigned Match(unsigned slot, unsigned lengthHeader)
{
    return 256 + slot * 8 + lengthHeader;
}

LzxStream StreamOf(const std::vector<std::uint8_t>& compressed, std::uint64_t length)
{
    LzxStream stream;
    stream.compressed = compressed;
    stream.windowBits = 15;
    stream.resetInterval = kLzxFrameBytes;
    stream.frameOffsets = {0};
    stream.uncompressedLength = length;
    return stream;
}

std::string AsText(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

TEST(LzxDecoder, LiteralsNewMatchesAndRepeatedDistances)
{
    BitWriter out;
    out.Write(0, 1);  // no x86 call translation
    // "abc"; then 3 back for 4 bytes (slot 4 with its one footer bit set
    // is distance 3, length header 2 is 4 bytes); then 2 bytes from the
    // same distance again, through repeated-distance slot 0.
    WriteVerbatimBlock(out, 3 + 4 + 2,
                       {{'a'}, {'b'}, {'c'}, {Match(4, 2), 1, 1}, {Match(0, 0)}});
    const auto compressed = out.Take();
    auto decoded = DecompressLzx(StreamOf(compressed, 9));
    ASSERT_TRUE(decoded) << decoded.Why();
    EXPECT_EQ(AsText(decoded.Value()), "abcabcabc");
}

TEST(LzxDecoder, AlignedOffsetBlocksTakeTheLowOffsetBitsFromTheirTree)
{
    // Aligned lengths: symbol 5 has a one-bit code ("0"), 0 "10", 1 "110"
    // and 2 "111"; a decoder reading the low bits verbatim goes wrong.
    const std::vector<unsigned> alignedLengths = {2, 3, 3, 0, 0, 1, 0, 0};
    std::vector<Token> tokens;
    const std::string alphabet = "abcdefghijklmnopqrs";
    for (char c : alphabet) {
        tokens.push_back({static_cast<unsigned char>(c)});
    }
    // Slot 8 has three footer bits, all from the aligned tree: 16 + 5 - 2
    // is 19 back; length header 2 is 4 bytes.
    tokens.push_back({Match(8, 2), 0b0, 1});
    BitWriter out;
    out.Write(0, 1);
    WriteBlock(out, 2, 19 + 4, tokens, alignedLengths);
    const auto compressed = out.Take();
    auto decoded = DecompressLzx(StreamOf(compressed, 23));
    ASSERT_TRUE(decoded) << decoded.Why();
    EXPECT_EQ(AsText(decoded.Value()), alphabet + "abcd");
}

TEST(LzxDecoder, AnUncompressedBlockIsCopiedAndNothingAfterIt)
{
    BitWriter out;
    out.Write(0, 1);
    out.Write(3, 3);
    out.Write(5, 24);
    out.PadToWord();  // the 12 bits so far, padded; then R0, R1, R2
    out.Bytes({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    out.Bytes({'h', 'e', 'l', 'l', 'o', 0});  // an odd block keeps the next word aligned
    out.Bytes({0xEF, 0xBE, 0xAD, 0xDE});      // a sentinel past the stream, never to be read
    const auto compressed = out.Take();
    auto decoded = DecompressLzx(StreamOf(compressed, 5));
    ASSERT_TRUE(decoded) << decoded.Why();
    EXPECT_EQ(AsText(decoded.Value()), "hello");
}

TEST(LzxDecoder, FramesStartWhereTheResetTableSays)
{
    // Two frames of one byte each would need a file of 32 KiB and one; a
    // wrong frame offset in the table shows already at the first frame.
    BitWriter out;
    out.Write(0, 1);
    WriteVerbatimBlock(out, 1, {{'x'}});
    const auto compressed = out.Take();
    LzxStream stream = StreamOf(compressed, 1);
    stream.frameOffsets = {2};
    auto decoded = DecompressLzx(stream);
    ASSERT_FALSE(decoded);
    EXPECT_NE(decoded.Why().find("frame 0 starts at compressed byte 0, the reset table says 2"), std::string::npos)
        << decoded.Why();
}

struct BadStream {
    const char* name;
    std::vector<std::uint8_t> (*write)();
    std::uint64_t length;
    const char* complaint;
};

class LzxDecoderRefuses : public testing::TestWithParam<BadStream> {};

TEST_P(LzxDecoderRefuses, ABrokenStream)
{
    const auto compressed = GetParam().write();
    auto decoded = DecompressLzx(StreamOf(compressed, GetParam().length));
    ASSERT_FALSE(decoded);
    EXPECT_NE(decoded.Why().find(GetParam().complaint), std::string::npos) << decoded.Why();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LzxDecoderRefuses,
    testing::Values(
        BadStream{"CallTranslation",
                  [] {
                      BitWriter out;
                      out.Write(1, 1);
                      return out.Take();
                  },
                  1, "x86 call translation"},
        BadStream{"BlockTypeZero",
                  [] {
                      BitWriter out;
                      out.Write(0, 1);
                      out.Write(0, 3);
                      out.Write(1, 24);
                      return out.Take();
                  },
                  1, "block type 0"},
        BadStream{"EmptyBlock",
                  [] {
                      BitWriter out;
                      out.Write(0, 1);
                      out.Write(1, 3);
                      out.Write(0, 24);
                      return out.Take();
                  },
                  1, "a block of no bytes"},
        BadStream{"OversubscribedPretree",
                  [] {
                      BitWriter out;
                      out.Write(0, 1);
                      out.Write(1, 3);
                      out.Write(1, 24);
                      for (int i = 0; i < 20; ++i) {
                          out.Write(1, 4);  // twenty codes of one bit
                      }
                      return out.Take();
                  },
                  1, "pretree is oversubscribed"},
        BadStream{"MatchBeforeTheData",
                  [] {
                      BitWriter out;
                      out.Write(0, 1);
                      WriteVerbatimBlock(out, 3, {{'a'}, {Match(4, 0), 1, 1}});  // 3 back, 2 bytes
                      return out.Take();
                  },
                  3, "3 bytes back, before the data"},
        BadStream{"MatchPastItsBlock",
                  [] {
                      BitWriter out;
                      out.Write(0, 1);
                      WriteVerbatimBlock(out, 2, {{'a'}, {Match(3, 1)}});  // 3 bytes into a block of 2
                      return out.Take();
                  },
                  4, "runs past the end of its block"},
        BadStream{"DataEndsEarly",
                  [] {
                      BitWriter out;
                      out.Write(0, 1);
                      WriteVerbatimBlock(out, 1, {{'a'}});
                      return out.Take();
                  },
                  2, "compressed data ends before the next block"}),
    [](const testing::TestParamInfo<BadStream>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace korvel::chm
