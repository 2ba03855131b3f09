// The bit stream of LZX compressed data: 16-bit little-endian words, each
// read from its most significant bit down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvel::chm {

class LzxBitReader {
public:
    explicit LzxBitReader(std::span<const std::uint8_t> input) : m_Input(input) {}

    // Up to 24 bits at a time. Reading past the end yields zero bits and
    // marks the reader as overrun; callers check Overrun() at their own
    // checkpoints rather than after every read.
    std::uint32_t Read(unsigned count);
    std::uint32_t ReadBit() { return Read(1); }

    // Drops the bits left in the current 16-bit word.
    void AlignToWord();
    // The byte the next whole word starts at; only meaningful when aligned.
    std::size_t ByteOffset() const;
    // Continues at the given byte, which must be even: uncompressed blocks
    // are read as plain bytes around the bit stream.
    void SeekToByte(std::size_t offset);

    bool Overrun() const { return m_Overrun; }
    std::span<const std::uint8_t> Input() const { return m_Input; }

private:
    void Refill();

    std::span<const std::uint8_t> m_Input;
    std::size_t m_NextByte = 0;
    std::uint64_t m_Buffer = 0;  // the buffered bits, right-aligned
    unsigned m_Buffered = 0;
    bool m_Overrun = false;
};

}  // namespace korvel::chm
