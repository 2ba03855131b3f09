#include "lzx_bit_reader.h"

namespace korvel::chm {

void LzxBitReader::Refill()
{
    std::uint32_t word = 0;
    if (m_NextByte + 2 <= m_Input.size()) {
        word = m_Input[m_NextByte] | (static_cast<std::uint32_t>(m_Input[m_NextByte + 1]) << 8);
    } else {
        m_Overrun = true;
    }
    m_NextByte += 2;
    m_Buffer = (m_Buffer << 16) | word;
    m_Buffered += 16;
}

std::uint32_t LzxBitReader::Read(unsigned count)
{
    if (count == 0) {
        return 0;
    }
    while (m_Buffered < count) {
        Refill();
    }
    m_Buffered -= count;
    const std::uint32_t value = static_cast<std::uint32_t>(m_Buffer >> m_Buffered) & ((1u << count) - 1);
    m_Buffer &= (std::uint64_t{1} << m_Buffered) - 1;
    return value;
}

void LzxBitReader::AlignToWord()
{
    Read(m_Buffered % 16);
}

std::size_t LzxBitReader::ByteOffset() const
{
    return m_NextByte - m_Buffered / 8;
}

void LzxBitReader::SeekToByte(std::size_t offset)
{
    m_NextByte = offset;
    m_Buffer = 0;
    m_Buffered = 0;
    if (offset > m_Input.size()) {
        m_Overrun = true;
    }
}

}  // namespace korvel::chm
