// Byte-granular reads and writes of a vault's data area. The image takes
// whole, aligned sectors only (its file is opened unbuffered); a file system
// on top of it asks for any offset and length. Partial sectors at either end
// of a write are read first and patched, so that bytes beside the write keep
// their content. One caller at a time: the FUSE file serves from one thread.
#pragma once

#include "framework/kpool.h"
#include "vault_image.h"

#include <cstddef>

namespace vault_tool {

class ByteWindow {
public:
    explicit ByteWindow(VaultImage& image) : m_Image(image) {}

    // The data area in whole sectors: a trailing part sector is never served.
    unsigned long long Size() const;

    // Bytes read (fewer at the end of the data area), or a negative errno.
    long long Read(unsigned long long offset, std::size_t length, void* destination);
    // Bytes written, or a negative errno; -ENOSPC beyond the end.
    long long Write(unsigned long long offset, std::size_t length, const void* source);

private:
    // The page-aligned block the image reads into and writes from, made on
    // first use and kept: a file system asks many times a second.
    unsigned char* Bounce();

    VaultImage& m_Image;
    KPoolBlock m_Bounce;
};

}  // namespace vault_tool
