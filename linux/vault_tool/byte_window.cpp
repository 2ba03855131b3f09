#include "byte_window.h"

#include <cerrno>
#include <cstring>

namespace vault_tool {

namespace {

constexpr unsigned long long kSector = 512;
// Large requests go in pieces of this size, so that the bounce block stays
// small. Pool blocks of a page and more are page-aligned, which unbuffered
// file I/O needs.
constexpr std::size_t kPiece = 1 << 20;
constexpr std::size_t kBounceBytes = kPiece + 2 * kSector;

unsigned long long SectorFloor(unsigned long long value)
{
    return value / kSector * kSector;
}

unsigned long long SectorCeiling(unsigned long long value)
{
    return (value + kSector - 1) / kSector * kSector;
}

// Whole sectors [first, first + bytes) of the image into `block`.
bool ReadSectors(VaultImage& image, unsigned long long first, std::size_t bytes, unsigned char* block)
{
    ULONG_PTR done = 0;
    return NT_SUCCESS(image.ReadData(first, static_cast<ULONG>(bytes), block, done)) && done == bytes;
}

}  // namespace

unsigned char* ByteWindow::Bounce()
{
    if (!m_Bounce) {
        m_Bounce = KPoolBlock(PagedPool, kBounceBytes);
    }
    return m_Bounce.As<unsigned char>();
}

unsigned long long ByteWindow::Size() const
{
    return SectorFloor(m_Image.DiskSize());
}

long long ByteWindow::Read(unsigned long long offset, std::size_t length, void* destination)
{
    const unsigned long long size = Size();
    if (offset >= size || length == 0) {
        return 0;
    }
    if (length > size - offset) {
        length = static_cast<std::size_t>(size - offset);
    }
    unsigned char* block = Bounce();
    if (block == nullptr) {
        return -ENOMEM;
    }
    auto* out = static_cast<unsigned char*>(destination);
    std::size_t done = 0;
    while (done < length) {
        const unsigned long long start = offset + done;
        const std::size_t piece = length - done < kPiece ? length - done : kPiece;
        const unsigned long long first = SectorFloor(start);
        const auto span = static_cast<std::size_t>(SectorCeiling(start + piece) - first);
        if (!ReadSectors(m_Image, first, span, block)) {
            return done > 0 ? static_cast<long long>(done) : -EIO;
        }
        std::memcpy(out + done, block + (start - first), piece);
        done += piece;
    }
    return static_cast<long long>(done);
}

long long ByteWindow::Write(unsigned long long offset, std::size_t length, const void* source)
{
    const unsigned long long size = Size();
    if (length == 0) {
        return 0;
    }
    // The data area cannot grow: a write past its end is refused whole
    // rather than cut short, so that nothing is half written.
    if (offset > size || length > size - offset) {
        return -ENOSPC;
    }
    unsigned char* block = Bounce();
    if (block == nullptr) {
        return -ENOMEM;
    }
    const auto* in = static_cast<const unsigned char*>(source);
    std::size_t done = 0;
    while (done < length) {
        const unsigned long long start = offset + done;
        const std::size_t piece = length - done < kPiece ? length - done : kPiece;
        const unsigned long long end = start + piece;
        const unsigned long long first = SectorFloor(start);
        const auto span = static_cast<std::size_t>(SectorCeiling(end) - first);
        // The sectors the write only touches in part keep their other bytes.
        if (start != first && !ReadSectors(m_Image, first, kSector, block)) {
            return done > 0 ? static_cast<long long>(done) : -EIO;
        }
        // The last sector, unless the read above already brought it in.
        const unsigned long long last = SectorFloor(end - 1);
        const bool tailRead = last == first && start != first;
        if (end % kSector != 0 && !tailRead && !ReadSectors(m_Image, last, kSector, block + (last - first))) {
            return done > 0 ? static_cast<long long>(done) : -EIO;
        }
        std::memcpy(block + (start - first), in + done, piece);
        ULONG_PTR written = 0;
        if (!NT_SUCCESS(m_Image.WriteData(first, static_cast<ULONG>(span), block, written)) ||
            written != span) {
            return done > 0 ? static_cast<long long>(done) : -EIO;
        }
        done += piece;
    }
    return static_cast<long long>(done);
}

}  // namespace vault_tool
