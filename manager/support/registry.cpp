#include "support/registry.h"

#include "shell/ui.h"

#include <string>
#include <utility>

namespace tessaly {

namespace {

struct Hive {
    const char16_t* name;
    HKEY key;
};

const Hive kHives[] = {
    {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {u"HKEY_USERS", HKEY_USERS},
    {u"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {u"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

constexpr REGSAM kReadAccess = 0x20019;   // KEY_READ
constexpr REGSAM kWriteAccess = 0x20006;  // KEY_WRITE

// An open key, closed when it goes.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_Key != nullptr) {
            RegCloseKey(m_Key);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY* Receive() { return &m_Key; }
    HKEY Get() const { return m_Key; }

private:
    HKEY m_Key = nullptr;
};

// Text in the ANSI code page, NUL-terminated.
std::string Ansi(const Text& text)
{
    const int bytes = WideCharToMultiByte(CP_ACP, 0, Wide(text), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                          nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_ACP, 0, Wide(text), static_cast<int>(text.size()), result.data(), bytes, nullptr,
                            nullptr);
    }
    return result;
}

// Every byte of `bytes`, NULs included, as UTF-16 text.
Text FromAnsi(const std::string& bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    Text result(static_cast<std::size_t>(units > 0 ? units : 0), u'\0');
    if (units > 0) {
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), WideBuffer(result), units);
    }
    return result;
}

}  // namespace

HKEY HiveFromName(TextView name)
{
    for (const Hive& hive : kHives) {
        if (name == hive.name) {
            return hive.key;
        }
    }
    return nullptr;
}

bool Registry::SplitKeyPath(Text& path, HKEY& hive)
{
    hive = nullptr;
    if (path.rfind(u"HKEY_", 0) != 0 || (!path.empty() && path.back() == u'\\')) {
        m_Ui.ShowMessage(u"Incorrect Format:\n\n" + path, MessageButtons::Ok);
        return false;
    }
    const std::size_t backslash = path.find(u'\\');
    if (backslash == Text::npos) {
        hive = HiveFromName(path);
        path.clear();
    } else {
        hive = HiveFromName(TextView(path).substr(0, backslash));
        path.erase(0, backslash + 1);
    }
    return true;
}

Text Registry::ReadRegString(const Text& path, const Text& name)
{
    Text subKey = path;
    HKEY hive = nullptr;
    if (!SplitKeyPath(subKey, hive) || hive == nullptr) {
        return {};
    }
    OpenKey key;
    if (RegOpenKeyExA(hive, Ansi(subKey).c_str(), 0, kReadAccess, key.Receive()) != ERROR_SUCCESS) {
        return u"Error";
    }
    const std::string valueName = Ansi(name);
    // Ask for the size with a one-byte buffer; only the size in the answer
    // matters, not whether the call succeeded.
    DWORD type = REG_SZ;
    BYTE probe[1] = {'0'};
    DWORD size = 1;
    RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, probe, &size);

    std::string buffer(size, ' ');
    type = REG_SZ;
    DWORD kept = size;
    if (RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &kept) != ERROR_SUCCESS) {
        return u"Error";
    }
    // The buffer holds the text, its terminating zero and any blanks the
    // value did not fill: trim the blanks, then drop the zero.
    Text text = TrimBlanks(FromAnsi(buffer));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

void Registry::WriteRegString(const Text& path, const Text& name, const Text& data)
{
    Text subKey = path;
    HKEY hive = nullptr;
    if (!SplitKeyPath(subKey, hive) || hive == nullptr) {
        return;
    }
    OpenKey key;
    if (RegOpenKeyExA(hive, Ansi(subKey).c_str(), 0, kWriteAccess, key.Receive()) != ERROR_SUCCESS) {
        return;
    }
    const std::string bytes = Ansi(data);
    RegSetValueExA(key.Get(), Ansi(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.c_str()),
                   static_cast<DWORD>(bytes.size() + 1));
}

void Registry::DeleteRegValue(const Text& path, const Text& name)
{
    Text subKey = path;
    HKEY hive = nullptr;
    if (!SplitKeyPath(subKey, hive) || hive == nullptr) {
        return;
    }
    OpenKey key;
    if (RegOpenKeyA(hive, Ansi(subKey).c_str(), key.Receive()) != ERROR_SUCCESS) {
        return;
    }
    RegDeleteValueA(key.Get(), Ansi(name).c_str());
}

}  // namespace tessaly
