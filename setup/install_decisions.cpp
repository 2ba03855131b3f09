#include "setup/install_decisions.h"

#include <array>

namespace setup {

namespace {

// The numbers of a version text, as far as they go; absent parts are -1 so
// that "1.0" is older than "1.0.0.0".
std::array<long long, 4> VersionNumbers(const Text& text)
{
    std::array<long long, 4> numbers{-1, -1, -1, -1};
    std::size_t at = 0;
    for (std::size_t part = 0; part < numbers.size() && at < text.size(); ++part) {
        long long value = 0;
        bool digits = false;
        while (at < text.size() && text[at] >= u'0' && text[at] <= u'9' && value < 1'000'000'000) {
            value = value * 10 + (text[at] - u'0');
            digits = true;
            ++at;
        }
        if (!digits) {
            break;
        }
        numbers[part] = value;
        if (at >= text.size() || text[at] != u'.') {
            break;
        }
        ++at;
    }
    return numbers;
}

}  // namespace

Text ProgramFolderFrom(const Text& systemDirectory)
{
    return tessaly::Left(systemDirectory, 2) + u"\\Software";
}

bool OwnFileNeedsWriting(const FileStatus& onDisk, std::uint64_t carriedSize)
{
    return !onDisk.exists || onDisk.size != carriedSize;
}

DriverAction DecideDriver(const FileStatus& onDisk, std::uint64_t carriedSize, std::int64_t installerTime)
{
    if (!onDisk.exists) {
        return DriverAction::Write;
    }
    if (onDisk.size == carriedSize && onDisk.modified >= installerTime) {
        return DriverAction::Keep;
    }
    return DriverAction::Replace;
}

bool VersionIsNewer(const Text& written, const Text& before)
{
    return VersionNumbers(written) > VersionNumbers(before);
}

Text VersionText(std::uint32_t mostSignificant, std::uint32_t leastSignificant)
{
    return tessaly::DecimalText(mostSignificant >> 16) + u"." + tessaly::DecimalText(mostSignificant & 0xFFFF) + u"." +
           tessaly::DecimalText(leastSignificant >> 16) + u"." + tessaly::DecimalText(leastSignificant & 0xFFFF);
}

}  // namespace setup
