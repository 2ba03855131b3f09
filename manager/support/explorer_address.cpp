#include "support/explorer_address.h"

#include "support/com_objects.h"
#include "support/window_address.h"

#include <exdisp.h>
#include <oleauto.h>
#include <shlwapi.h>

namespace tessaly {

namespace {

class OwnedBstr {
public:
    OwnedBstr() = default;
    ~OwnedBstr() { SysFreeString(m_Text); }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;

    BSTR* Receive() { return &m_Text; }
    BSTR Get() const { return m_Text; }

private:
    BSTR m_Text = nullptr;
};

// The folder of a "file:///S:/..." address; empty for other addresses.
Text PathFromUrl(BSTR url)
{
    if (url == nullptr || url[0] == 0) {
        return {};
    }
    WCHAR path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (FAILED(PathCreateFromUrlW(url, path, &length, 0))) {
        return {};
    }
    return FromWide(path, MAX_PATH);
}

}  // namespace

Text FolderFromShellWindows(HWND window)
{
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.Receive())) ||
        !windows) {
        return {};
    }
    long count = 0;
    if (FAILED(windows->get_Count(&count))) {
        return {};
    }
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComRef<IDispatch> item;
        if (FAILED(windows->Item(index, item.ReceiveTyped())) || !item) {
            continue;
        }
        ComRef<IWebBrowserApp> browser;
        if (FAILED(item->QueryInterface(IID_IWebBrowserApp, browser.Receive())) || !browser) {
            continue;
        }
        SHANDLE_PTR handle = 0;
        if (FAILED(browser->get_HWND(&handle)) || reinterpret_cast<HWND>(handle) != window) {
            continue;
        }
        OwnedBstr url;
        if (FAILED(browser->get_LocationURL(url.Receive()))) {
            return {};
        }
        return PathFromUrl(url.Get());
    }
    return {};
}

Text ExplorerWindowAddress(HWND window)
{
    Text folder = FolderFromShellWindows(window);
    if (!folder.empty()) {
        return folder;
    }
    return GetWindowAddress(window);
}

}  // namespace tessaly
