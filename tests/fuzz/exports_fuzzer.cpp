// The control library's exports that build the driver's records (mount,
// dismount and password change) with any arguments: null, empty, long and
// odd strings, any sizes, units and drive texts. A base vault stays mounted
// as S: so that a password change reaches its record; each input's effects
// are undone after it.
#include "fuzz_scratch.h"
#include "pellix.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

using namespace korvel::fuzz;

namespace {

struct Exports {
    SysDiskInstallFn install;
    SysDiskMountFn mount;
    SysDiskMountExFn mountEx;
    SysDiskUnMountFn unmount;
    SysDiskUnMountExFn unmountEx;
    SysDiskChangePWDFn changePwd;
};

const Exports& Library()
{
    static const Exports exports = [] {
        void* library = dlopen(PELLIX_IMAGE, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            Violated("the control library does not load");
        }
        return Exports{
            reinterpret_cast<SysDiskInstallFn>(dlsym(library, "SysDiskInstall")),
            reinterpret_cast<SysDiskMountFn>(dlsym(library, "SysDiskMount")),
            reinterpret_cast<SysDiskMountExFn>(dlsym(library, "SysDiskMountEx")),
            reinterpret_cast<SysDiskUnMountFn>(dlsym(library, "SysDiskUnMount")),
            reinterpret_cast<SysDiskUnMountExFn>(dlsym(library, "SysDiskUnMountEx")),
            reinterpret_cast<SysDiskChangePWDFn>(dlsym(library, "SysDiskChangePWD")),
        };
    }();
    return exports;
}

LPCWSTR W(const std::u16string& text)
{
    return reinterpret_cast<LPCWSTR>(text.c_str());
}

// Takes the arguments from the input, front to back; missing bytes read as 0.
class Arguments {
public:
    Arguments(const std::uint8_t* data, std::size_t size) : m_Data(data), m_Size(size) {}

    std::uint8_t Byte() { return m_At < m_Size ? m_Data[m_At++] : 0; }
    std::uint32_t Number()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | Byte();
        }
        return value;
    }
    // A string of up to 300 UTF-16 units, or none at all (a null pointer).
    std::optional<std::u16string> String()
    {
        const std::uint8_t kind = Byte();
        if (kind == 0xFF) {
            return std::nullopt;
        }
        std::size_t length = kind;
        if (kind == 0xFE) {
            length = 256 + Byte() % 45;
        }
        std::u16string text;
        for (std::size_t i = 0; i < length && m_At < m_Size; ++i) {
            // Mostly plain characters, so that paths and drive texts can be
            // well formed; two bytes a unit when the first has its top bit.
            const std::uint8_t first = Byte();
            text.push_back(first & 0x80 ? char16_t((first & 0x7F) << 8 | Byte()) : char16_t(first));
        }
        return text;
    }

private:
    const std::uint8_t* m_Data;
    std::size_t m_Size;
    std::size_t m_At = 0;
};

LPCWSTR Pointer(const std::optional<std::u16string>& text)
{
    return text ? W(*text) : nullptr;
}

const std::u16string kBase = u"C:\\autorun.inf\\base.sec";
const std::u16string kPassword = u"pw";
const std::u16string kDrive = u"S";

void MountBase()
{
    if (Library().mountEx(0, W(kBase), 1, W(kPassword), W(kDrive)) != 1) {
        Violated("the base vault does not mount as S:");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = [] {
        const std::string& root = ScratchRoot();
        std::filesystem::create_directories(root + "/Software");
        std::filesystem::create_directories(root + "/autorun.inf");
        std::filesystem::copy_file(VANTOR_IMAGE, root + "/Software/Vantor.dll");
        if (Library().install(W(u"Vantor"), W(u"C:\\Software\\Vantor.dll"), 2) != 1) {
            Violated("the driver service does not start");
        }
        MountBase();
        return true;
    }();
    (void)ready;
    Arguments arguments(data, size);
    const Exports& pellix = Library();
    const std::uint8_t which = arguments.Byte() % 5;
    switch (which) {
    case 0:
    case 1: {
        const DWORD unit = arguments.Byte() % 4;
        const auto path = arguments.String();
        const int sizeMb = int(arguments.Number());
        const auto password = arguments.String();
        const auto drive = arguments.String();
        const int mounted = which == 0 ? pellix.mountEx(unit, Pointer(path), sizeMb, Pointer(password), Pointer(drive))
                                       : pellix.mount(unit, Pointer(path), sizeMb, Pointer(drive));
        if (mounted == 1) {
            if (pellix.unmountEx(Pointer(drive), 1) != 1) {
                Violated("a vault mounted by the library does not dismount");
            }
        }
        break;
    }
    case 2:
    case 3: {
        const auto drive = arguments.String();
        const int force = int(arguments.Number());
        const int done = which == 2 ? pellix.unmountEx(Pointer(drive), force) : pellix.unmount(Pointer(drive), force);
        if (done == 1) {
            MountBase();
        }
        break;
    }
    default: {
        const auto drive = arguments.String();
        const auto password = arguments.String();
        if (pellix.changePwd(Pointer(drive), Pointer(password)) == 1 && pellix.changePwd(W(kDrive), W(kPassword)) != 1) {
            Violated("the base vault's password cannot be set back");
        }
        break;
    }
    }
    // Whatever a mount made, except the base vault and the driver.
    ClearScratch({"Software", "autorun.inf"});
    ClearScratch({"base.sec"}, "autorun.inf");
    return 0;
}
