#include "common/system_error.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatSystemError, KeepsTheLineBreakAndGivesEmptyTextForUnknownCodes) {
    EXPECT_EQ(FormatSystemError(5), L"Access is denied.\r\n");
    EXPECT_EQ(FormatSystemError(123), L"The filename, directory name, or volume label syntax is incorrect.\r\n");
    EXPECT_EQ(FormatSystemError(0xDEAD), L"");
}

}  // namespace
