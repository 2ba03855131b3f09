#include "dos_path.h"

#include "errno_status.h"
#include <host/utf16.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace host {

namespace {

constexpr std::size_t kMaxComponentUnits = 255;

bool IsValidComponent(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxComponentUnits || name == u"." || name == u"..") {
        return false;
    }
    for (char16_t unit : name) {
        if (unit < 0x20) {
            return false;
        }
        switch (unit) {
        case u'"':
        case u'*':
        case u'/':
        case u':':
        case u'<':
        case u'>':
        case u'?':
        case u'|':
            return false;
        default:
            break;
        }
    }
    return true;
}

std::vector<std::u16string_view> SplitComponents(std::u16string_view rest)
{
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(u'\\', start);
        if (end == std::u16string_view::npos) {
            end = rest.size();
        }
        parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Finds `name` in folder `dir`: the exact spelling first, then, if allowed,
// any entry equal to it without regard to case. Returns the entry's spelling.
std::optional<std::string> FindEntry(const std::string& dir, const std::string& name, std::u16string_view name16,
                                     bool caseInsensitive, int& error)
{
    struct stat info {};
    std::string candidate = dir + "/" + name;
    if (lstat(candidate.c_str(), &info) == 0) {
        return name;
    }
    error = errno;
    if (error != ENOENT || !caseInsensitive) {
        return std::nullopt;
    }
    std::unique_ptr<DIR, DirCloser> listing(opendir(dir.c_str()));
    if (!listing) {
        return std::nullopt;
    }
    while (const dirent* entry = readdir(listing.get())) {
        std::u16string entry16 = Utf8ToUtf16(entry->d_name);
        if (EqualFolded(entry16, name16)) {
            return std::string(entry->d_name);
        }
    }
    return std::nullopt;
}

}  // namespace

NTSTATUS ResolveDosPath(std::u16string_view dosPath, bool caseInsensitive, HostPath& out)
{
    if (dosPath.size() < 2 || dosPath[1] != u':' || dosPath[0] > 0x7F) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    auto drive = FindDrive(static_cast<char>(dosPath[0]));
    if (!drive) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    std::u16string_view rest = dosPath.substr(2);
    if (rest.empty() || rest[0] != u'\\') {
        // A bare "C:" names the volume itself, which no file call here opens.
        return STATUS_OBJECT_NAME_INVALID;
    }
    rest.remove_prefix(1);

    out = HostPath{};
    out.drive = *drive;
    out.letter = static_cast<char>(dosPath[0] & ~0x20);
    out.path = drive->root;
    if (rest.empty()) {
        out.exists = true;
        return STATUS_SUCCESS;
    }

    std::vector<std::u16string_view> parts = SplitComponents(rest);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (!IsValidComponent(parts[i])) {
            return STATUS_OBJECT_NAME_INVALID;
        }
        auto name = Utf16ToUtf8(parts[i]);
        if (!name) {
            return STATUS_OBJECT_NAME_INVALID;
        }
        int error = 0;
        auto found = FindEntry(out.path, *name, parts[i], caseInsensitive, error);
        if (!found) {
            if (error != ENOENT && error != 0) {
                NTSTATUS status = StatusFromErrno(error);
                return status == STATUS_OBJECT_NAME_NOT_FOUND ? STATUS_OBJECT_PATH_NOT_FOUND : status;
            }
            if (!last) {
                return STATUS_OBJECT_PATH_NOT_FOUND;
            }
            out.path += "/" + *name;
            out.exists = false;
            return STATUS_SUCCESS;
        }
        out.path += "/" + *found;
        if (!last) {
            struct stat info {};
            if (stat(out.path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                return STATUS_OBJECT_PATH_NOT_FOUND;
            }
        }
    }
    out.exists = true;
    return STATUS_SUCCESS;
}

std::u16string NormalizeWin32Path(std::u16string_view path)
{
    constexpr std::u16string_view kLiteralPrefix = u"\\\\?\\";
    if (path.substr(0, kLiteralPrefix.size()) == kLiteralPrefix) {
        return std::u16string(path.substr(kLiteralPrefix.size()));
    }
    auto isSeparator = [](char16_t unit) { return unit == u'\\' || unit == u'/'; };
    if (path.size() < 3 || path[1] != u':' || !isSeparator(path[2])) {
        return std::u16string(path);
    }
    const bool endsInSeparator = isSeparator(path.back());
    std::vector<std::u16string_view> segments;
    std::size_t start = 3;
    while (start < path.size()) {
        std::size_t end = start;
        while (end < path.size() && !isSeparator(path[end])) {
            ++end;
        }
        const std::u16string_view segment = path.substr(start, end - start);
        if (segment == u"..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != u".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    if (!endsInSeparator && !segments.empty()) {
        std::u16string_view& last = segments.back();
        while (!last.empty() && (last.back() == u'.' || last.back() == u' ')) {
            last.remove_suffix(1);
        }
        if (last.empty()) {
            segments.pop_back();
        }
    }
    std::u16string normal(path.substr(0, 2));
    normal += u'\\';
    for (std::size_t i = 0; i < segments.size(); ++i) {
        normal += segments[i];
        if (i + 1 < segments.size() || endsInSeparator) {
            normal += u'\\';
        }
    }
    return normal;
}

NTSTATUS ResolveNtPath(std::u16string_view ntPath, bool caseInsensitive, HostPath& out)
{
    constexpr std::u16string_view kDosDevices = u"\\??\\";
    if (ntPath.substr(0, kDosDevices.size()) != kDosDevices) {
        return ntPath.empty() || ntPath[0] != u'\\' ? STATUS_OBJECT_PATH_SYNTAX_BAD : STATUS_OBJECT_PATH_NOT_FOUND;
    }
    return ResolveDosPath(ntPath.substr(kDosDevices.size()), caseInsensitive, out);
}

}  // namespace host
