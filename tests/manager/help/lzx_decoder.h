// LZX decompression of a compiled help file's compressed section, after
// Microsoft's description of the LZX format: 32 KiB frames, each padded to
// a 16-bit boundary, and the decoder's state reset at fixed intervals that
// the file's reset table lists.
#pragma once

#include "outcome.h"

#include <cstdint>
#include <span>
#include <vector>

namespace korvel::chm {

struct LzxStream {
    std::span<const std::uint8_t> compressed;
    unsigned windowBits = 16;                 // a window of 2^windowBits bytes, 15 to 21
    std::uint64_t resetInterval = 0x10000;    // uncompressed bytes between resets, whole frames
    std::vector<std::uint64_t> frameOffsets;  // where each frame starts in the compressed bytes
    std::uint64_t uncompressedLength = 0;
};

inline constexpr std::uint64_t kLzxFrameBytes = 0x8000;

Outcome<std::vector<std::uint8_t>> DecompressLzx(const LzxStream& stream);

}  // namespace korvel::chm
