// COM on the host: apartments counted per thread, no class registered,
// automation strings, and "file:" URLs turned into paths.
#include <exdisp.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <host/utf16.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

namespace {

TEST(HostCom, ApartmentsAreCountedPerThreadAndKeepTheirModel)
{
    std::thread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "a fresh start after the last uninitialise";
        CoUninitialize();
    }).join();
}

TEST(HostCom, NoClassIsRegistered)
{
    void* object = reinterpret_cast<void*>(0xDEADBEEF);
    EXPECT_EQ(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr) << "the out pointer is cleared, as on Windows";
    EXPECT_EQ(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, nullptr), E_POINTER);
}

TEST(HostCom, StringsCarryTheirLengthAndAreFreed)
{
    BSTR text = SysAllocString(L"保险柜");
    ASSERT_NE(text, nullptr);
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<std::uint8_t*>(text) - 4, 4);
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(host::AsUtf16(text), u"保险柜");
    SysFreeString(text);
    SysFreeString(nullptr);
    VARIANT value;
    std::memset(&value, 0xEE, sizeof(value));
    VariantInit(&value);
    EXPECT_EQ(value.vt, VT_EMPTY);
}

TEST(HostCom, FileUrlsBecomePaths)
{
    struct Case {
        const char16_t* url;
        HRESULT result;
        const char16_t* path;
    };
    const Case cases[] = {
        {u"file:///S:/", S_OK, u"S:\\"},
        {u"file:///S:/%E5%85%B6%E5%AE%83", S_OK, u"S:\\其它"},
        {u"file:///C:/Program%20Files/x", S_OK, u"C:\\Program Files\\x"},
        {u"FILE:///c:/dir", S_OK, u"c:\\dir"},
        {u"http://example.com/", E_INVALIDARG, u""},
        {u"", E_INVALIDARG, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(host::Utf16ToUtf8(c.url).value_or("?"));
        WCHAR path[MAX_PATH];
        std::fill(std::begin(path), std::end(path), 0xAAAA);
        DWORD length = MAX_PATH;
        EXPECT_EQ(PathCreateFromUrlW(reinterpret_cast<LPCWSTR>(c.url), path, &length, 0), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(host::AsUtf16(path), c.path);
            EXPECT_EQ(length, std::u16string_view(c.path).size());
        } else {
            EXPECT_EQ(path[0], 0xAAAA) << "nothing written";
        }
    }
    WCHAR tiny[3];
    DWORD length = 3;
    EXPECT_EQ(PathCreateFromUrlW(L"file:///S:/abc", tiny, &length, 0), E_POINTER);
    EXPECT_EQ(length, 7u) << "the size needed, with the NUL";
}

}  // namespace
