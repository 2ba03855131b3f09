#include "huffman_code.h"

namespace korvel::chm {

bool HuffmanCode::Build(std::span<const std::uint8_t> lengths)
{
    m_CountOfLength.fill(0);
    m_SymbolsInCodeOrder.clear();
    for (std::uint8_t length : lengths) {
        if (length > kMaxLength) {
            return false;
        }
        ++m_CountOfLength[length];
    }
    m_CountOfLength[0] = 0;
    long unused = 1;
    for (unsigned length = 1; length <= kMaxLength; ++length) {
        unused = unused * 2 - m_CountOfLength[length];
        if (unused < 0) {
            return false;
        }
    }
    for (unsigned length = 1; length <= kMaxLength; ++length) {
        for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
            if (lengths[symbol] == length) {
                m_SymbolsInCodeOrder.push_back(static_cast<std::uint16_t>(symbol));
            }
        }
    }
    return true;
}

std::optional<unsigned> HuffmanCode::Decode(LzxBitReader& bits) const
{
    // The codes of one length are consecutive numbers, starting where the
    // codes one bit shorter ended, doubled.
    unsigned code = 0;
    unsigned firstOfLength = 0;
    unsigned index = 0;
    for (unsigned length = 1; length <= kMaxLength; ++length) {
        code |= bits.ReadBit();
        const unsigned count = m_CountOfLength[length];
        if (code - firstOfLength < count) {
            return m_SymbolsInCodeOrder[index + code - firstOfLength];
        }
        index += count;
        firstOfLength = (firstOfLength + count) << 1;
        code <<= 1;
    }
    return std::nullopt;
}

}  // namespace korvel::chm
