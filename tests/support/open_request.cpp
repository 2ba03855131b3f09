#include "open_request.h"

#include <host/utf16.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace korvel::test {

OPENDISKFILE_INFO OpenRequest(const std::string& ntPath, const std::string& password, std::int64_t sizeBytes)
{
    OPENDISKFILE_INFO info;
    std::memset(&info, 0, sizeof info);
    info.FileSize = sizeBytes;
    const std::u16string path = host::Utf8ToUtf16(ntPath);
    const std::u16string secret = host::Utf8ToUtf16(password);
    std::memcpy(info.FileName, path.data(), std::min(path.size(), std::size(info.FileName)) * sizeof(char16_t));
    std::memcpy(info.Password, secret.data(), std::min(secret.size(), std::size(info.Password)) * sizeof(char16_t));
    return info;
}

}  // namespace korvel::test
