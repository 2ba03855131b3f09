#include "setup/win32_installer_system.h"

#include "support/com_objects.h"

#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>

#include <vector>

namespace setup {

namespace {

// Carried files are resources of this type, in Chinese (PRC).
constexpr wchar_t kCarriedType[] = L"SIMTYPE";
const WORD kCarriedLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;

struct Carried {
    const void* bytes = nullptr;
    DWORD size = 0;
};

Carried FindCarried(int id)
{
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(self, kCarriedType, MAKEINTRESOURCEW(id), kCarriedLanguage);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(self, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    return bytes != nullptr ? Carried{bytes, SizeofResource(self, found)} : Carried{};
}

class OwnedFile {
public:
    explicit OwnedFile(HANDLE handle) : m_Handle(handle) {}
    ~OwnedFile()
    {
        if (m_Handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_Handle);
        }
    }
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;

    bool Valid() const { return m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_Handle; }

private:
    HANDLE m_Handle;
};

using tessaly::ComApartment;
using tessaly::ComRef;

}  // namespace

bool Win32InstallerSystem::Is64BitWindows()
{
    // A 64-bit program runs on 64-bit Windows only; a 32-bit one asks for an
    // export that only the 64-bit system's ntdll has for 32-bit programs.
    if (sizeof(void*) == 8) {
        return true;
    }
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "ZwWow64ReadVirtualMemory64") != nullptr;
}

Text Win32InstallerSystem::SystemDirectory()
{
    Text folder(1024, u'\0');
    GetSystemDirectoryW(tessaly::WideBuffer(folder), static_cast<UINT>(folder.size()));
    return tessaly::WithoutNuls(folder);
}

std::int64_t Win32InstallerSystem::InstallerTime()
{
    Text path(MAX_PATH, u'\0');
    GetModuleFileNameW(nullptr, tessaly::WideBuffer(path), MAX_PATH);
    return Status(tessaly::WithoutNuls(path)).modified;
}

FileStatus Win32InstallerSystem::Status(const Text& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(tessaly::Wide(path), GetFileExInfoStandard, &data)) {
        return {};
    }
    ULARGE_INTEGER written;
    written.LowPart = data.ftLastWriteTime.dwLowDateTime;
    written.HighPart = data.ftLastWriteTime.dwHighDateTime;
    return FileStatus{true, (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                      static_cast<std::int64_t>(written.QuadPart / kFileTimeTicksPerSecond)};
}

bool Win32InstallerSystem::CreateFolder(const Text& path)
{
    return CreateDirectoryW(tessaly::Wide(path), nullptr) != FALSE;
}

MessageAnswer Win32InstallerSystem::ShowMessage(const Text& text, const Text& caption, MessageButtons buttons)
{
    const UINT type = (buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_OK) | MB_SETFOREGROUND;
    return MessageBoxW(nullptr, tessaly::Wide(text), tessaly::Wide(caption), type) == IDOK ? MessageAnswer::Ok
                                                                                          : MessageAnswer::Cancel;
}

std::uint64_t Win32InstallerSystem::CarriedSize(int id)
{
    return FindCarried(id).size;
}

bool Win32InstallerSystem::WriteCarried(int id, const Text& path)
{
    const Carried carried = FindCarried(id);
    if (carried.bytes == nullptr) {
        return false;
    }
    OwnedFile file(CreateFileW(tessaly::Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    DWORD written = 0;
    return file.Valid() && WriteFile(file.Get(), carried.bytes, carried.size, &written, nullptr) &&
           written == carried.size;
}

Text Win32InstallerSystem::FileVersion(const Text& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(tessaly::Wide(path), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!GetFileVersionInfoW(tessaly::Wide(path), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&fixed), &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    return VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

void Win32InstallerSystem::MakeNormal(const Text& path)
{
    SetFileAttributesW(tessaly::Wide(path), FILE_ATTRIBUTE_NORMAL);
}

Text Win32InstallerSystem::DesktopFolder()
{
    WCHAR folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return tessaly::FromWide(folder, MAX_PATH);
}

bool Win32InstallerSystem::MakeShortcut(const Text& link, const Text& target, const Text& workingFolder,
                                        const Text& description)
{
    ComApartment com;
    ComRef<IShellLinkW> shortcut;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                shortcut.Receive())) ||
        !shortcut) {
        return false;
    }
    shortcut->SetPath(tessaly::Wide(target));
    shortcut->SetWorkingDirectory(tessaly::Wide(workingFolder));
    shortcut->SetDescription(tessaly::Wide(description));
    ComRef<IPersistFile> file;
    if (FAILED(shortcut->QueryInterface(IID_IPersistFile, file.Receive())) || !file) {
        return false;
    }
    return SUCCEEDED(file->Save(tessaly::Wide(link), TRUE));
}

void Win32InstallerSystem::StartProgram(const Text& path, const Text& workingFolder)
{
    SetCurrentDirectoryW(tessaly::Wide(workingFolder));
    ShellExecuteW(nullptr, L"open", tessaly::Wide(path), nullptr, tessaly::Wide(workingFolder), SW_SHOW);
}

}  // namespace setup
