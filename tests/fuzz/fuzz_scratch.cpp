#include "fuzz_scratch.h"

#include "support/open_request.h"

#include <host/drive_table.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace korvel::fuzz {

const std::string& ScratchRoot()
{
    static const std::string root = [] {
        // The build tree's disk takes unbuffered I/O, which vault files need.
        std::string pattern = std::string(KORVEL_FUZZ_SCRATCH) + "/run-XXXXXX";
        std::filesystem::create_directories(KORVEL_FUZZ_SCRATCH);
        if (mkdtemp(pattern.data()) == nullptr) {
            Violated("cannot make the scratch folder");
        }
        host::MapDrive('C', host::Drive{pattern, host::DriveType::Fixed, std::nullopt});
        // Gone when the process ends normally; a crash leaves it for a look.
        static const std::string removeAtExit = pattern;
        std::atexit([] { std::filesystem::remove_all(removeAtExit); });
        return pattern;
    }();
    return root;
}

void ClearScratch(std::initializer_list<const char*> keep, const std::string& folder)
{
    std::error_code error;
    const std::string where = folder.empty() ? ScratchRoot() : ScratchRoot() + "/" + folder;
    for (const auto& entry : std::filesystem::directory_iterator(where, error)) {
        bool kept = false;
        for (const char* name : keep) {
            kept = kept || entry.path().filename() == name;
        }
        if (!kept) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
}

LoadedDriver& Driver()
{
    static LoadedDriver* loaded = [] {
        ScratchRoot();
        host::Driver* driver = nullptr;
        if (host::LoadDriver(VANTOR_IMAGE, u"Vantor", &driver) != STATUS_SUCCESS) {
            Violated("the driver image does not load");
        }
        auto* units = new LoadedDriver;
        for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
            const std::u16string name = u"\\??\\VantorDevice" + std::u16string(1, char16_t(u'0' + unit));
            if (host::OpenDevice(name, units->units[unit]) != STATUS_SUCCESS) {
                Violated("a unit does not open");
            }
        }
        return units;
    }();
    return *loaded;
}

OPENDISKFILE_INFO OpenRecord(const char* name, const char* password, std::int64_t size)
{
    return korvel::test::OpenRequest(std::string("\\??\\C:\\") + name, password, size);
}

void Violated(const char* what)
{
    std::fprintf(stderr, "fuzz invariant violated: %s\n", what);
    std::abort();
}

}  // namespace korvel::fuzz
