// The kernel's string routines on the host.
#include <ntddk.h>

#include <host/utf16.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const UNICODE_STRING& s)
{
    return host::Utf16ToUtf8(host::AsUtf16(s.Buffer, s.Length / sizeof(WCHAR))).value_or("?");
}

TEST(RtlString, IntegerToUnicodeStringInEachRadix)
{
    struct Case {
        ULONG value;
        ULONG base;
        USHORT room;  // bytes of buffer
        NTSTATUS status;
        const char* text;
    };
    const Case cases[] = {
        {7, 10, 16, STATUS_SUCCESS, "7"},
        {26, 16, 16, STATUS_SUCCESS, "1A"},
        {999, 10, 16, STATUS_SUCCESS, "999"},
        {0, 0, 16, STATUS_SUCCESS, "0"},
        {5, 2, 16, STATUS_SUCCESS, "101"},
        {0xFFFFFFFF, 16, 32, STATUS_SUCCESS, "FFFFFFFF"},
        {123, 10, 6, STATUS_BUFFER_OVERFLOW, ""},  // the digits fit, their terminator does not
        {123, 10, 8, STATUS_SUCCESS, "123"},
        {10, 7, 16, STATUS_INVALID_PARAMETER, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " base " + std::to_string(c.base));
        WCHAR buffer[32];
        UNICODE_STRING s{0, c.room, buffer};
        EXPECT_EQ(RtlIntegerToUnicodeString(c.value, c.base, &s), c.status);
        if (c.status == STATUS_SUCCESS) {
            EXPECT_EQ(Text(s), c.text);
            EXPECT_EQ(buffer[s.Length / sizeof(WCHAR)], 0);
        }
    }
}

TEST(RtlString, AppendStaysWithinTheBuffer)
{
    WCHAR buffer[8] = {};
    UNICODE_STRING s{0, sizeof buffer, buffer};
    UNICODE_STRING more;
    RtlInitUnicodeString(&more, L"abcd");
    EXPECT_EQ(RtlAppendUnicodeStringToString(&s, &more), STATUS_SUCCESS);
    EXPECT_EQ(buffer[4], 0);
    RtlInitUnicodeString(&more, L"efgh");
    EXPECT_EQ(RtlAppendUnicodeStringToString(&s, &more), STATUS_SUCCESS);  // fills it, no room for a NUL
    EXPECT_EQ(Text(s), "abcdefgh");
    RtlInitUnicodeString(&more, L"i");
    EXPECT_EQ(RtlAppendUnicodeStringToString(&s, &more), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(s.Length, 16);
}

TEST(RtlString, WcsicmpFoldsLetterCase)
{
    EXPECT_EQ(_wcsicmp(L"Secret", L"sECRET"), 0);
    EXPECT_EQ(_wcsicmp(L"ÄÖÜ", L"äöü"), 0);
    EXPECT_EQ(_wcsicmp(L"", L""), 0);
    EXPECT_LT(_wcsicmp(L"abc", L"abd"), 0);
    EXPECT_GT(_wcsicmp(L"abcd", L"ABC"), 0);
    EXPECT_NE(_wcsicmp(L"保险柜", L"保险箱"), 0);
}

TEST(RtlString, InitUnicodeStringCountsBytes)
{
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, L"\\??\\C:\\中");
    EXPECT_EQ(s.Length, 8 * sizeof(WCHAR));
    EXPECT_EQ(s.MaximumLength, 9 * sizeof(WCHAR));
    RtlInitUnicodeString(&s, nullptr);
    EXPECT_EQ(s.Length, 0);
    EXPECT_EQ(s.Buffer, nullptr);
}

}  // namespace
