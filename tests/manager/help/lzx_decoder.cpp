#include "lzx_decoder.h"

#include "huffman_code.h"
#include "lzx_bit_reader.h"

#include <algorithm>
#include <array>
#include <string>

namespace korvel::chm {

namespace {

constexpr unsigned kLiterals = 256;
constexpr unsigned kLengthHeaders = 8;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxPositionSlots = 50;

enum class BlockType : unsigned { Verbatim = 1, Aligned = 2, Uncompressed = 3 };

unsigned PositionSlots(unsigned windowBits)
{
    // Two slots per doubling of the window up to 2^19 bytes; the last
    // slots of the larger windows all carry 17 footer bits.
    switch (windowBits) {
    case 20:
        return 42;
    case 21:
        return 50;
    default:
        return windowBits * 2;
    }
}

unsigned FooterBits(unsigned slot)
{
    return slot < 4 ? 0 : std::min((slot - 2) / 2, 17u);
}

std::array<std::uint32_t, kMaxPositionSlots> PositionBases()
{
    std::array<std::uint32_t, kMaxPositionSlots> bases{};
    for (unsigned slot = 1; slot < kMaxPositionSlots; ++slot) {
        bases[slot] = bases[slot - 1] + (1u << FooterBits(slot - 1));
    }
    return bases;
}

Failure Fail(std::string why, std::size_t at)
{
    return Failure{std::move(why) + " (at uncompressed byte " + std::to_string(at) + ")"};
}

class LzxDecoder {
public:
    explicit LzxDecoder(const LzxStream& stream)
        : m_Stream(stream), m_Bits(stream.compressed), m_Slots(PositionSlots(stream.windowBits)),
          m_MainLengths(kLiterals + kLengthHeaders * m_Slots)
    {
        m_Output.reserve(stream.uncompressedLength);
    }

    Outcome<std::vector<std::uint8_t>> Run();

private:
    std::optional<Failure> DecodeFrame(std::size_t frame);
    std::optional<Failure> Reset();
    std::optional<Failure> ReadBlockHeader();
    std::optional<Failure> ReadLengths(std::vector<std::uint8_t>& lengths, std::size_t first, std::size_t last);
    std::optional<Failure> DecodeSymbol();
    std::optional<Failure> CopyUncompressed(std::uint64_t frameEnd);
    std::optional<Failure> CopyMatch(std::uint32_t distance, unsigned length);
    std::optional<std::uint32_t> ReadOffsetFooter(unsigned slot);

    const LzxStream& m_Stream;
    LzxBitReader m_Bits;
    unsigned m_Slots;
    std::array<std::uint32_t, kMaxPositionSlots> m_PositionBases = PositionBases();
    std::vector<std::uint8_t> m_Output;

    // State that lives until the next reset.
    std::array<std::uint32_t, 3> m_Repeated{1, 1, 1};
    std::vector<std::uint8_t> m_MainLengths;
    std::vector<std::uint8_t> m_LengthLengths = std::vector<std::uint8_t>(kLengthSymbols);

    // The current block.
    BlockType m_BlockType = BlockType::Verbatim;
    std::uint64_t m_BlockLeft = 0;
    HuffmanCode m_MainCode;
    HuffmanCode m_LengthCode;
    HuffmanCode m_AlignedCode;
    std::size_t m_RawAt = 0;  // in an uncompressed block: the next byte of input
};

Outcome<std::vector<std::uint8_t>> LzxDecoder::Run()
{
    if (m_Stream.windowBits < 15 || m_Stream.windowBits > 21) {
        return Failure{"window of 2^" + std::to_string(m_Stream.windowBits) + " bytes is not an LZX window"};
    }
    if (m_Stream.resetInterval == 0 || m_Stream.resetInterval % kLzxFrameBytes != 0) {
        return Failure{"reset interval " + std::to_string(m_Stream.resetInterval) + " is not a whole number of frames"};
    }
    const std::size_t frames = (m_Stream.uncompressedLength + kLzxFrameBytes - 1) / kLzxFrameBytes;
    if (m_Stream.frameOffsets.size() < frames) {
        return Failure{"the reset table lists " + std::to_string(m_Stream.frameOffsets.size()) + " frames of " +
                       std::to_string(frames)};
    }
    for (std::size_t frame = 0; frame < frames; ++frame) {
        if (auto failure = DecodeFrame(frame)) {
            return *failure;
        }
    }
    m_Output.resize(m_Stream.uncompressedLength);
    return std::move(m_Output);
}

std::optional<Failure> LzxDecoder::DecodeFrame(std::size_t frame)
{
    const std::uint64_t frameStart = frame * kLzxFrameBytes;
    // A frame starts where the reset table says: the frames before it were
    // each padded to a whole word, so this is where the bits must be.
    if (m_BlockType != BlockType::Uncompressed || m_BlockLeft == 0) {
        if (m_Bits.ByteOffset() != m_Stream.frameOffsets[frame]) {
            return Fail("frame " + std::to_string(frame) + " starts at compressed byte " +
                            std::to_string(m_Bits.ByteOffset()) + ", the reset table says " +
                            std::to_string(m_Stream.frameOffsets[frame]),
                        frameStart);
        }
    }
    if (frameStart % m_Stream.resetInterval == 0) {
        if (auto failure = Reset()) {
            return failure;
        }
    }
    const std::uint64_t frameEnd = std::min(frameStart + kLzxFrameBytes, m_Stream.uncompressedLength);
    while (m_Output.size() < frameEnd) {
        if (m_BlockLeft == 0) {
            if (auto failure = ReadBlockHeader()) {
                return failure;
            }
        }
        if (m_BlockType == BlockType::Uncompressed) {
            if (auto failure = CopyUncompressed(frameEnd)) {
                return failure;
            }
            continue;
        }
        if (auto failure = DecodeSymbol()) {
            return failure;
        }
    }
    if (m_BlockType != BlockType::Uncompressed) {
        m_Bits.AlignToWord();
    }
    if (m_Bits.Overrun()) {
        return Fail("the compressed data ends inside frame " + std::to_string(frame), m_Output.size());
    }
    return std::nullopt;
}

std::optional<Failure> LzxDecoder::Reset()
{
    m_Repeated = {1, 1, 1};
    std::fill(m_MainLengths.begin(), m_MainLengths.end(), 0);
    std::fill(m_LengthLengths.begin(), m_LengthLengths.end(), 0);
    m_BlockLeft = 0;
    // The stream (and each reset) opens with the x86 call translation flag.
    if (m_Bits.ReadBit() != 0) {
        return Fail("x86 call translation is on; help compilers leave it off and this reader cannot undo it",
                    m_Output.size());
    }
    return std::nullopt;
}

std::optional<Failure> LzxDecoder::ReadBlockHeader()
{
    const unsigned type = m_Bits.Read(3);
    m_BlockLeft = m_Bits.Read(24);
    if (m_Bits.Overrun()) {
        return Fail("the compressed data ends before the next block", m_Output.size());
    }
    if (m_BlockLeft == 0) {
        return Fail("a block of no bytes", m_Output.size());
    }
    switch (type) {
    case static_cast<unsigned>(BlockType::Aligned): {
        std::array<std::uint8_t, kAlignedSymbols> alignedLengths{};
        for (std::uint8_t& length : alignedLengths) {
            length = static_cast<std::uint8_t>(m_Bits.Read(3));
        }
        if (!m_AlignedCode.Build(alignedLengths)) {
            return Fail("the aligned offset tree is oversubscribed", m_Output.size());
        }
        [[fallthrough]];
    }
    case static_cast<unsigned>(BlockType::Verbatim): {
        m_BlockType = static_cast<BlockType>(type);
        if (auto failure = ReadLengths(m_MainLengths, 0, kLiterals)) {
            return failure;
        }
        if (auto failure = ReadLengths(m_MainLengths, kLiterals, m_MainLengths.size())) {
            return failure;
        }
        if (auto failure = ReadLengths(m_LengthLengths, 0, kLengthSymbols)) {
            return failure;
        }
        if (!m_MainCode.Build(m_MainLengths) || !m_LengthCode.Build(m_LengthLengths)) {
            return Fail("the main or the length tree is oversubscribed", m_Output.size());
        }
        return std::nullopt;
    }
    case static_cast<unsigned>(BlockType::Uncompressed): {
        m_BlockType = BlockType::Uncompressed;
        // 1 to 16 bits of padding: a whole word when already aligned.
        m_Bits.Read(1);
        m_Bits.AlignToWord();
        m_RawAt = m_Bits.ByteOffset();
        const auto input = m_Bits.Input();
        if (m_RawAt + 12 > input.size()) {
            return Fail("an uncompressed block's header runs past the data", m_Output.size());
        }
        for (std::uint32_t& repeated : m_Repeated) {
            repeated = input[m_RawAt] | (input[m_RawAt + 1] << 8) | (input[m_RawAt + 2] << 16) |
                       (static_cast<std::uint32_t>(input[m_RawAt + 3]) << 24);
            m_RawAt += 4;
        }
        return std::nullopt;
    }
    default:
        return Fail("block type " + std::to_string(type) + " is not an LZX block", m_Output.size());
    }
}

std::optional<Failure> LzxDecoder::ReadLengths(std::vector<std::uint8_t>& lengths, std::size_t first,
                                               std::size_t last)
{
    // Each length is sent as a change from the one the previous block had,
    // coded with a small tree of its own (the pretree).
    std::array<std::uint8_t, kPretreeSymbols> pretreeLengths{};
    for (std::uint8_t& length : pretreeLengths) {
        length = static_cast<std::uint8_t>(m_Bits.Read(4));
    }
    HuffmanCode pretree;
    if (!pretree.Build(pretreeLengths)) {
        return Fail("a pretree is oversubscribed", m_Output.size());
    }
    const auto delta = [](std::uint8_t previous, unsigned code) {
        return static_cast<std::uint8_t>((previous + 17 - code) % 17);
    };
    std::size_t at = first;
    while (at < last) {
        const auto code = pretree.Decode(m_Bits);
        if (!code) {
            return Fail("a tree's lengths do not decode", m_Output.size());
        }
        std::size_t run = 1;
        std::uint8_t value = 0;
        if (*code <= 16) {
            value = delta(lengths[at], *code);
        } else if (*code == 17) {
            run = 4 + m_Bits.Read(4);
        } else if (*code == 18) {
            run = 20 + m_Bits.Read(5);
        } else {
            run = 4 + m_Bits.Read(1);
            const auto repeated = pretree.Decode(m_Bits);
            if (!repeated || *repeated > 16) {
                return Fail("a run of equal lengths has no length", m_Output.size());
            }
            value = delta(lengths[at], *repeated);
        }
        if (run > last - at) {
            return Fail("a run of lengths goes past the end of its tree", m_Output.size());
        }
        std::fill_n(lengths.begin() + static_cast<std::ptrdiff_t>(at), run, value);
        at += run;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> LzxDecoder::ReadOffsetFooter(unsigned slot)
{
    const unsigned footerBits = FooterBits(slot);
    if (m_BlockType == BlockType::Aligned && footerBits >= 3) {
        // The low three bits come from the aligned offset tree.
        const std::uint32_t high = m_Bits.Read(footerBits - 3) << 3;
        const auto low = m_AlignedCode.Decode(m_Bits);
        if (!low) {
            return std::nullopt;
        }
        return high + *low;
    }
    return m_Bits.Read(footerBits);
}

std::optional<Failure> LzxDecoder::DecodeSymbol()
{
    const auto symbol = m_MainCode.Decode(m_Bits);
    if (!symbol) {
        return Fail("bits that match no code of the main tree", m_Output.size());
    }
    if (*symbol < kLiterals) {
        m_Output.push_back(static_cast<std::uint8_t>(*symbol));
        --m_BlockLeft;
        return std::nullopt;
    }
    const unsigned header = (*symbol - kLiterals) % kLengthHeaders;
    const unsigned slot = (*symbol - kLiterals) / kLengthHeaders;
    unsigned length = header + kMinMatch;
    if (header == kLengthHeaders - 1) {
        const auto extra = m_LengthCode.Decode(m_Bits);
        if (!extra) {
            return Fail("bits that match no code of the length tree", m_Output.size());
        }
        length += *extra;
    }
    std::uint32_t distance = 0;
    if (slot < 3) {
        // The three most recent distances, the one used moving to the front.
        distance = m_Repeated[slot];
        std::swap(m_Repeated[0], m_Repeated[slot]);
    } else {
        const auto footer = ReadOffsetFooter(slot);
        if (!footer) {
            return Fail("bits that match no code of the aligned offset tree", m_Output.size());
        }
        distance = m_PositionBases[slot] + *footer - 2;
        m_Repeated = {distance, m_Repeated[0], m_Repeated[1]};
    }
    return CopyMatch(distance, length);
}

std::optional<Failure> LzxDecoder::CopyMatch(std::uint32_t distance, unsigned length)
{
    if (distance == 0 || distance > m_Output.size() || distance > (1u << m_Stream.windowBits)) {
        return Fail("a match " + std::to_string(distance) + " bytes back, before the data", m_Output.size());
    }
    if (length > m_BlockLeft) {
        return Fail("a match runs past the end of its block", m_Output.size());
    }
    // Byte by byte: a match may overlap the bytes it produces.
    const std::size_t from = m_Output.size() - distance;
    for (unsigned i = 0; i < length; ++i) {
        m_Output.push_back(m_Output[from + i]);
    }
    m_BlockLeft -= length;
    return std::nullopt;
}

std::optional<Failure> LzxDecoder::CopyUncompressed(std::uint64_t frameEnd)
{
    const auto input = m_Bits.Input();
    const std::uint64_t count = std::min<std::uint64_t>(m_BlockLeft, frameEnd - m_Output.size());
    if (m_RawAt + count > input.size()) {
        return Fail("an uncompressed block runs past the data", m_Output.size());
    }
    m_Output.insert(m_Output.end(), input.begin() + static_cast<std::ptrdiff_t>(m_RawAt),
                    input.begin() + static_cast<std::ptrdiff_t>(m_RawAt + count));
    m_RawAt += count;
    m_BlockLeft -= count;
    if (m_BlockLeft == 0) {
        // The bit stream resumes on a word boundary after an odd block.
        m_Bits.SeekToByte(m_RawAt + (m_RawAt % 2));
    }
    return std::nullopt;
}

}  // namespace

Outcome<std::vector<std::uint8_t>> DecompressLzx(const LzxStream& stream)
{
    LzxDecoder decoder(stream);
    return decoder.Run();
}

}  // namespace korvel::chm
