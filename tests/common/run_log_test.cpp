// The run log's bytes: stamps, line ends, characters beyond U+00FF, long
// messages, lines before the log is open.
#include "common/globals.h"
#include "common/run_log.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

namespace {

TEST(RunLog, LinesAreStampedAndEndInCrLf) {
    test::LogCapture log;
    LogMessage(L"Copying files for device %ls", L"Caf\u00E9 \u20AC NIC");
    LogMessage(L"Failed\n");
    LogMessage(L"two\nparts");
    EXPECT_EQ(log.Bytes(),
              "09:05:03 - Copying files for device Caf\xE9 ? NIC\r\n"
              "09:05:03 - Failed\r\n\r\n"
              "09:05:03 - two\r\nparts\r\n");
}

TEST(RunLog, LinesWrittenWhileClosedAreDiscarded) {
    g_log.Close();
    LogMessage(L"before");
    test::LogCapture log;
    LogMessage(L"after");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"after"});
}

// A message holds 10,239 characters; the formatted text is cut there, the
// format's own text counted in.
TEST(RunLog, MessagesAreCutAt10239Characters) {
    const struct {
        size_t nArgument;
        size_t nLogged;
    } kCases[] = {{10231, 10239}, {10232, 10239}, {20000, 10239}, {10230, 10238}};
    for (const auto& c : kCases) {
        test::LogCapture log;
        const std::wstring argument(c.nArgument, L'x');
        LogMessage(L"Reason: %ls", argument.c_str());
        const std::vector<std::string> lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], "Reason: " + std::string(c.nLogged - 8, 'x')) << c.nArgument << " characters";
    }
}

TEST(RunLog, EncodingIsTheSameOnEverySide) {
    // A surrogate pair is one character, as a UTF-32 character is.
    EXPECT_EQ(EncodeLogText(std::wstring(L"a") + wchar_t(0xD83D) + wchar_t(0xDE00) + L"b"), "a?b");
    EXPECT_EQ(EncodeLogText(L"\u00FF\u0100\r\n"), "\xFF?\r\r\n");
}

}  // namespace
