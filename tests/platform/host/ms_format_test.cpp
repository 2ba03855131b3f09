// The kernel's formatter on the host: Microsoft widths and wide strings.
#include <ntddk.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Format(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int length = _vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    EXPECT_GE(length, 0);
    return std::string(buffer, length < 0 ? 0 : static_cast<std::size_t>(length));
}

TEST(MsFormat, FormatsAsTheMicrosoftRuntimeDoes)
{
    UNICODE_STRING counted;
    WCHAR text[] = L"VantorDevice0 and more";
    counted.Buffer = text;
    counted.Length = 13 * sizeof(WCHAR);  // not terminated where it ends
    counted.MaximumLength = sizeof text;
    ANSI_STRING ansi;
    char narrow[] = "abcdef";
    ansi.Buffer = narrow;
    ansi.Length = 3;
    ansi.MaximumLength = sizeof narrow;

    struct Case {
        std::string got;
        std::string expected;
    };
    const Case cases[] = {
        {Format("%ws|%S|%ls", L"中文", L"wide", L"long"), "中文|wide|long"},
        {Format("%s|%hs", "narrow", "short"), "narrow|short"},
        {Format("%wZ", &counted), "VantorDevice0"},
        {Format("%Z", &ansi), "abc"},
        {Format("%lx %ld %lu", 0xFFFFFFFFu, -1, 4000000000u), "ffffffff -1 4000000000"},
        {Format("%I64x %llu %I64d", 0x123456789ULL, 18446744073709551615ULL, -5LL),
         "123456789 18446744073709551615 -5"},
        {Format("%08X|%-5d|%5d|%x", 0xBEEFu, 42, 7, 0xC000000Du), "0000BEEF|42   |    7|c000000d"},
        {Format("%d %u %hd", -3, 3u, 70000), "-3 3 4464"},
        {Format("%%|%c|%wc|%C", 'x', L'宝', L'Y'), "%|x|宝|Y"},
        {Format("%.3s|%5s|%-5s|", "abcdef", "ab", "ab"), "abc|   ab|ab   |"},
        {Format("%s|%ws", static_cast<const char*>(nullptr), static_cast<const wchar_t*>(nullptr)),
         "(null)|(null)"},
        {Format("%*d|%.*s", 4, 9, 2, "xyz"), "   9|xy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.expected);
    }
}

TEST(MsFormat, PrintsEveryDigitOfAPointer)
{
    const std::string text = Format("%p", reinterpret_cast<void*>(0xABCDEF));
    EXPECT_EQ(text.size(), 2 * sizeof(void*));
    EXPECT_EQ(text.substr(text.size() - 6), "ABCDEF");
    EXPECT_EQ(text.find_first_not_of('0'), text.size() - 6);
}

TEST(MsFormat, KeepsTheMicrosoftOverflowContract)
{
    struct Case {
        const char* text;
        std::size_t count;
        int result;
        bool terminated;
    };
    const Case cases[] = {
        {"hi", 5, 2, true},
        {"hello", 5, 5, false},   // exactly full: no terminator
        {"hello!", 5, -1, false}, // too long: cut, no terminator
        {"", 1, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        va_list none{};
        const int result = _vsnprintf(buffer, c.count, c.text, none);
        EXPECT_EQ(result, c.result);
        const std::size_t written = std::min(std::strlen(c.text), c.count);
        EXPECT_EQ(std::string(buffer, written), std::string(c.text, written));
        EXPECT_EQ(buffer[written], c.terminated ? '\0' : '#');
    }
}

}  // namespace
