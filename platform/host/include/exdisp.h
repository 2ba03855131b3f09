// The shell's window list (IShellWindows) and its browser windows
// (IWebBrowserApp), declared so that code written against them builds on the
// host. The host has no shell: no object of these interfaces ever exists
// here (CoCreateInstance refuses CLSID_ShellWindows), so only the methods our
// code calls are declared, not the whole Windows layout.
#pragma once

#include <oleauto.h>

typedef LONG_PTR SHANDLE_PTR;
typedef short VARIANT_BOOL;

struct IDispatch : IUnknown {
protected:
    ~IDispatch() = default;
};

struct IShellWindows : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(long* Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** Folder) = 0;

protected:
    ~IShellWindows() = default;
};

struct IWebBrowserApp : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* LocationURL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* pHWND) = 0;

protected:
    ~IWebBrowserApp() = default;
};

extern "C" const CLSID CLSID_ShellWindows;
extern "C" const IID IID_IShellWindows;
extern "C" const IID IID_IWebBrowserApp;
