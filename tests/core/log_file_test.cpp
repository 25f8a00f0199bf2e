// The log writer: header format and level names, cutting long messages, buffered writing that
// reaches the file only on overflow or close, and a disabled log.
#include "core/log_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "support/test_support.h"

namespace {

using testing_support::MakeTempFolder;
using testing_support::ReadHostFile;
using testing_support::ToProgramPath;

std::string HeaderPattern(const std::string& level) {
  const std::string n = "(0|[1-9][0-9]*)";  // no leading zeros
  return "LogLevel: " + level + "\tTimeStamp: [1-9][0-9]{3}/" + n + "/" + n +
         " (Sun|Mon|Tue|Wed|Thu|Fri|Sat) " + n + ":" + n + ":" + n + "\n";
}

TEST(LogHeader, LevelNamesAndTimeStamp) {
  const struct {
    int32_t level;
    const char* name;
  } cases[] = {{0, "ERROR"}, {1, "WARNING"}, {2, "INFO"}, {3, "DEBUG"}, {7, "OTHER"}, {-1, "OTHER"}};
  for (const auto& c : cases) {
    char header[128];
    FormatLogHeader(c.level, header, sizeof header);
    EXPECT_TRUE(std::regex_match(header, std::regex(HeaderPattern(c.name)))) << header;
  }
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = MakeTempFolder("log") + "/images.log";
    path = ToProgramPath(host);
  }
  // The file's text with the text mode's "\r\n" turned back into "\n".
  std::string Contents() {
    const auto bytes = ReadHostFile(host);
    std::string text(bytes.begin(), bytes.end());
    return std::regex_replace(text, std::regex("\r\n"), "\n");
  }
  std::string host, path;
};

TEST_F(LogTest, DirectLinesWithHeader) {
  sLogFile log;
  ASSERT_TRUE(OpenLogFile(&log, path.c_str(), false, true, 7));
  EXPECT_TRUE(WriteLogLine(&log, "%s=%d\n", "count", 42));
  const std::string text = Contents();  // unbuffered: already in the file
  EXPECT_TRUE(std::regex_match(text, std::regex(HeaderPattern("OTHER") + "count=42\n"))) << text;
  CloseLogFile(&log);
  EXPECT_EQ(log.file, nullptr);
  EXPECT_FALSE(log.enabled);
  EXPECT_FALSE(WriteLogLine(&log, "late\n"));
  CloseLogFile(&log);  // twice is harmless
}

TEST_F(LogTest, LongMessageIsCut) {
  sLogFile log;
  ASSERT_TRUE(OpenLogFile(&log, path.c_str(), false, false, kLogInfo));
  const std::string big(9000, 'm');
  EXPECT_TRUE(WriteLogLine(&log, "%s", big.c_str()));
  CloseLogFile(&log);
  EXPECT_EQ(Contents(), std::string(8191, 'm'));

  // Buffered, the cut message still goes through the buffer whole.
  ASSERT_TRUE(OpenLogFile(&log, path.c_str(), true, false, kLogInfo));
  EXPECT_TRUE(WriteLogLine(&log, "%s", big.c_str()));
  EXPECT_EQ(Contents().size(), 8191u);
  CloseLogFile(&log);
  EXPECT_EQ(Contents(), std::string(2 * 8191, 'm'));
}

TEST_F(LogTest, BufferedTextReachesTheFileOnOverflowAndClose) {
  sLogFile log;
  ASSERT_TRUE(OpenLogFile(&log, path.c_str(), true, false, kLogDebug));
  EXPECT_EQ(log.capacity, kLogBufferSize);
  EXPECT_EQ(log.used, 1u);
  std::string expected;
  const std::string line = "\\home\\u\\pictures\\" + std::string(40, 'p') + ".jpg\n";  // 62
  for (int i = 0; i < 132; ++i) {  // 8,184 bytes: still fits
    ASSERT_TRUE(WriteLogLine(&log, "%s", line.c_str()));
    expected += line;
  }
  EXPECT_EQ(log.used, 8185u);
  EXPECT_EQ(Contents(), "");
  ASSERT_TRUE(WriteLogLine(&log, "%s", line.c_str()));  // would overflow: the buffer goes out
  EXPECT_EQ(Contents(), expected);
  EXPECT_EQ(log.used, 1u + line.size());
  expected += line;
  CloseLogFile(&log);
  EXPECT_EQ(log.buffer, nullptr);
  EXPECT_EQ(Contents(), expected);
}

TEST_F(LogTest, BufferedWithHeaderCountsTheHeader) {
  sLogFile log;
  ASSERT_TRUE(OpenLogFile(&log, path.c_str(), true, true, kLogError));
  ASSERT_TRUE(WriteLogLine(&log, "one\n"));
  char header[128];
  FormatLogHeader(kLogError, header, sizeof header);
  EXPECT_EQ(log.used, 1u + std::strlen(header) + 4);
  CloseLogFile(&log);
  EXPECT_TRUE(std::regex_match(Contents(), std::regex(HeaderPattern("ERROR") + "one\n")));
}

TEST_F(LogTest, DisabledLogWritesNothingButIsReleased) {
  sLogFile log;
  ASSERT_TRUE(OpenLogFile(&log, path.c_str(), true, false, kLogInfo));
  ASSERT_TRUE(WriteLogLine(&log, "kept\n"));
  log.enabled = false;
  EXPECT_FALSE(WriteLogLine(&log, "dropped\n"));
  EXPECT_EQ(log.used, 6u);
  CloseLogFile(&log);
  EXPECT_EQ(log.file, nullptr);
  EXPECT_EQ(log.buffer, nullptr);
  EXPECT_EQ(Contents(), "kept\n");

  sLogFile never;
  EXPECT_FALSE(WriteLogLine(&never, "x\n"));
  EXPECT_FALSE(WriteLogLine(nullptr, "x\n"));
  EXPECT_FALSE(OpenLogFile(&never, "\\no\\such\\folder\\images.log", true, false, kLogInfo));
  EXPECT_FALSE(never.enabled);
  CloseLogFile(&never);
}

TEST(LogFile, BufferedFlagWithoutBufferWritesThrough) {
  sLogFile log;
  log.enabled = true;
  log.buffered = true;
  log.capacity = kLogBufferSize;  // but no buffer and no file: nothing to crash on
  EXPECT_TRUE(WriteLogLine(&log, "x\n"));
  WriteLogText(&log, "y");
  CloseLogFile(&log);
}

}  // namespace
