// A canonical Huffman code given by its code lengths, as LZX sends them:
// shorter codes first, and within one length in symbol order.
#pragma once

#include "lzx_bit_reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvel::chm {

class HuffmanCode {
public:
    static constexpr unsigned kMaxLength = 16;

    // False when the lengths ask for more codes than there are (an
    // oversubscribed code). Fewer is allowed: an encoder leaves a tree it
    // does not use all zero.
    bool Build(std::span<const std::uint8_t> lengths);

    // The next symbol, or nothing when the bits match no code.
    std::optional<unsigned> Decode(LzxBitReader& bits) const;

private:
    std::array<std::uint16_t, kMaxLength + 1> m_CountOfLength{};
    std::vector<std::uint16_t> m_SymbolsInCodeOrder;
};

}  // namespace korvel::chm
