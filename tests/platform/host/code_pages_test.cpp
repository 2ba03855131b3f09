// GetACP, WideCharToMultiByte and MultiByteToWideChar under the ANSI code
// pages this host knows: 65001 (the default), 936 and 1252.
#include <host/win32_hooks.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kUnwritten = 0xdeadbeef;
constexpr BOOL kUnwrittenFlag = 7;

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { host::SetAnsiCodePage(CP_UTF8); }
};

TEST_F(CodePageTest, TheAnsiCodePageIsUtf8UntilAKnobSaysOtherwise)
{
    EXPECT_EQ(GetACP(), UINT(CP_UTF8));
    struct Case {
        UINT codePage;
        bool taken;
        UINT after;
    };
    const Case cases[] = {
        {936, true, 936}, {1252, true, 1252}, {437, false, 1252}, {CP_ACP, false, 1252}, {CP_UTF8, true, CP_UTF8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(host::SetAnsiCodePage(c.codePage), c.taken);
        EXPECT_EQ(GetACP(), c.after);
    }
}

struct Conversion {
    const char* what;
    UINT codePage;
    std::u16string text;
    std::string bytes;
    bool usedDefault;
};

// Both directions through CP_ACP; `usedDefault` only where a code page can
// lack a character (UTF-8 takes no default character).
const Conversion kConversions[] = {
    {"Chinese in UTF-8", CP_UTF8, u"保险柜", "\xE4\xBF\x9D\xE9\x99\xA9\xE6\x9F\x9C", false},
    {"Chinese in GBK", 936, u"保险柜", "\xB1\xA3\xCF\xD5\xB9\xF1", false},
    {"Latin in GBK", 936, u"Sé", "S\xA8\xA6", false},
    {"the euro sign in GBK", 936, u"€", "\x80", false},
    {"Latin in 1252", 1252, u"café", "caf\xE9", false},
    {"the euro sign in 1252", 1252, u"€", "\x80", false},
    {"a byte 1252 leaves undefined", 1252, u"\u0081", "\x81", false},
};

TEST_F(CodePageTest, TextGoesBothWaysThroughTheAnsiCodePage)
{
    for (const Conversion& c : kConversions) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(host::SetAnsiCodePage(c.codePage));
        const auto* wide = reinterpret_cast<LPCWSTR>(c.text.c_str());
        const int units = int(c.text.size());
        BOOL used = kUnwrittenFlag;
        LPBOOL usedOut = c.codePage == CP_UTF8 ? nullptr : &used;
        EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, usedOut), int(c.bytes.size()));
        std::string bytes(c.bytes.size() + 4, '#');
        EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, units, bytes.data(), int(c.bytes.size()), nullptr, usedOut),
                  int(c.bytes.size()));
        EXPECT_EQ(bytes, c.bytes + "####");
        if (usedOut != nullptr) {
            EXPECT_EQ(used, c.usedDefault ? TRUE : FALSE);
        }

        const int length = int(c.bytes.size());
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, c.bytes.data(), length, nullptr, 0), units);
        std::u16string text(c.text.size() + 2, u'#');
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, c.bytes.data(), length, reinterpret_cast<LPWSTR>(text.data()),
                                      units),
                  units);
        EXPECT_EQ(text, c.text + u"##");
    }
}

TEST_F(CodePageTest, CharactersACodePageLacksBecomeTheDefaultCharacter)
{
    struct Case {
        const char* what;
        UINT codePage;
        std::u16string text;
        const char* defaultChar;
        std::string bytes;
    };
    const Case cases[] = {
        {"Chinese in 1252", 1252, u"保险柜", nullptr, "???"},
        {"a chosen default", 1252, u"a保b", "*", "a*b"},
        {"a character outside the first plane, counted per half", 936, u"\U0001F600", nullptr, "??"},
        {"Korean in GBK", 936, u"한", nullptr, "?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(host::SetAnsiCodePage(c.codePage));
        std::string bytes(16, '#');
        BOOL used = kUnwrittenFlag;
        const int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(c.text.c_str()), -1,
                                                bytes.data(), int(bytes.size()), c.defaultChar, &used);
        // -1 takes the terminator along.
        EXPECT_EQ(written, int(c.bytes.size() + 1));
        EXPECT_EQ(bytes.substr(0, c.bytes.size() + 1), c.bytes + '\0');
        EXPECT_EQ(used, TRUE);
    }
}

TEST_F(CodePageTest, UnicodeFormsReplaceWhatIsNotText)
{
    // An unpaired surrogate becomes U+FFFD in UTF-8, unless asked to fail.
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    std::string bytes(16, '#');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(lone), 3, bytes.data(), 16, nullptr, nullptr),
              5);
    EXPECT_EQ(bytes.substr(0, 5), "a\xEF\xBF\xBD" "b");
    SetLastError(kUnwritten);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, reinterpret_cast<LPCWSTR>(lone), 3, bytes.data(),
                                  16, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));

    // Bytes that are no UTF-8 become U+FFFD, unless asked to fail.
    std::u16string text(8, u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF" "b", 3, reinterpret_cast<LPWSTR>(text.data()), 8), 3);
    EXPECT_EQ(text.substr(0, 3), u"a\uFFFDb");
    struct Case {
        UINT codePage;
        const char* bytes;
    };
    const Case invalid[] = {{CP_UTF8, "a\xFF"}, {936, "a\x81"}};
    for (const Case& c : invalid) {
        SCOPED_TRACE(c.codePage);
        SetLastError(kUnwritten);
        EXPECT_EQ(MultiByteToWideChar(c.codePage, MB_ERR_INVALID_CHARS, c.bytes, 2, nullptr, 0), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }
}

TEST_F(CodePageTest, BadRequestsFailAndShortBuffersSaySo)
{
    const LPCWSTR text = reinterpret_cast<LPCWSTR>(u"abc");
    char bytes[8] = "#######";
    BOOL used = kUnwrittenFlag;
    struct Case {
        const char* what;
        UINT codePage;
        DWORD flags;
        int units;
        int capacity;
        LPBOOL usedDefault;
        DWORD error;
    };
    const Case cases[] = {
        {"a code page this host lacks", 437, 0, 3, 8, nullptr, ERROR_INVALID_PARAMETER},
        {"a default flag for UTF-8", CP_UTF8, 0, 3, 8, &used, ERROR_INVALID_PARAMETER},
        {"an unknown flag", 1252, 0x200, 3, 8, nullptr, ERROR_INVALID_FLAGS},
        {"no text", 1252, 0, 0, 8, nullptr, ERROR_INVALID_PARAMETER},
        {"a buffer too small", 1252, 0, 3, 2, nullptr, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kUnwritten);
        EXPECT_EQ(WideCharToMultiByte(c.codePage, c.flags, text, c.units, bytes, c.capacity, nullptr, c.usedDefault),
                  0);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(bytes[2], '#') << "nothing beyond the buffer";
    }
    EXPECT_EQ(used, kUnwrittenFlag);
}

}  // namespace
