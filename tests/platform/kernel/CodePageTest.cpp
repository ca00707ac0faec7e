// MultiByteToWideChar on code page 0 and MulDiv.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "kernel/CodePage.h"
#include "platform/Kernel.h"

TEST(MultiByteToWideChar, ConvertsWithTerminatorWhenLengthIsMinusOne) {
    WCHAR out[8];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, out, 8), 4);
    EXPECT_EQ(out[0], u'a');
    EXPECT_EQ(out[2], u'c');
    EXPECT_EQ(out[3], u'\0');
    EXPECT_EQ(out[4], 0x5555);  // nothing written past the count
}

TEST(MultiByteToWideChar, ExplicitLengthHasNoTerminator) {
    WCHAR out[8];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", 3, out, 8), 3);
    EXPECT_EQ(out[2], u'c');
    EXPECT_EQ(out[3], 0x5555);
    // Embedded NULs are converted like any byte.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\0b", 3, out, 8), 3);
    EXPECT_EQ(out[1], u'\0');
    EXPECT_EQ(out[2], u'b');
}

TEST(MultiByteToWideChar, SizeQueryAndWritingWhatFits) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "water.wav", -1, nullptr, 0), 10);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "", -1, nullptr, 0), 1);
    WCHAR out[6];
    std::memset(out, 0x55, sizeof out);
    // The sound engine converts into count - 1 elements and terminates itself.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "water.wav", -1, out, 4), 4);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[3], u'e');
    EXPECT_EQ(out[4], 0x5555);
}

TEST(MultiByteToWideChar, BadArgumentsGiveZero) {
    WCHAR out[4];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, out, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x", 0, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x", -2, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x", -1, nullptr, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x", -1, out, -1), 0);
    EXPECT_EQ(MultiByteToWideChar(437, 0, "x", -1, out, 4), 0);
}

TEST(MultiByteToWideChar, HighBytesAreWindows1252) {
    const char in[] = "\x80\x85\x92\x9F\xA0\xE9\xFF\x81";
    WCHAR out[9];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, in, -1, out, 9), 9);
    EXPECT_EQ(out[0], 0x20AC);  // euro sign
    EXPECT_EQ(out[1], 0x2026);  // ellipsis
    EXPECT_EQ(out[2], 0x2019);  // right single quote
    EXPECT_EQ(out[3], 0x0178);  // Y with diaeresis
    EXPECT_EQ(out[4], 0x00A0);
    EXPECT_EQ(out[5], 0x00E9);
    EXPECT_EQ(out[6], 0x00FF);
    EXPECT_EQ(out[7], 0x0081);  // unassigned: same value
    for (int b = 0; b < 0x80; ++b) EXPECT_EQ(qndx::platform::Cp1252ToUtf16(static_cast<unsigned char>(b)), b);
}

TEST(MulDiv, ScalesWithRounding) {
    // HIMETRIC to pixels at 96 per inch.
    EXPECT_EQ(MulDiv(2540, 96, 2540), 96);
    EXPECT_EQ(MulDiv(1000, 96, 2540), 38);  // 37.795 rounds up
    EXPECT_EQ(MulDiv(3, 1, 2), 2);          // halves go away from zero
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, -1, 2), -3);
    EXPECT_EQ(MulDiv(-5, -1, 2), 3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
}

TEST(MulDiv, WideProductAndFailures) {
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);  // product beyond 32 bits
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);
}
