// Whole-file and head reads through program paths: exact bytes (no text-mode translation),
// the head's "whole" flag at and around its limit, case-insensitive names, and failures that
// leave the output empty.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win_base.h"
#include "support/test_support.h"

namespace {

using testing_support::MakeTempFolder;
using testing_support::ToProgramPath;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + (i >> 8));
  return bytes;
}

void WriteHost(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(hostPath.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  std::fclose(f);
}

TEST(ReadFile, WholeFilesComeBackByteForByte) {
  std::string dir = MakeTempFolder("readfile");
  // Empty, "\r\n" pairs that text mode would fold, and more than one 64 KiB chunk.
  std::vector<std::vector<uint8_t>> contents = {
      {}, {'a', '\r', '\n', 'b', 0, '\r'}, Pattern(200003)};
  for (size_t i = 0; i < contents.size(); ++i) {
    std::string name = "File" + std::to_string(i) + ".BIN";
    ASSERT_NO_FATAL_FAILURE(WriteHost(dir + "/" + name, contents[i]));
    std::vector<uint8_t> got = {1, 2, 3};
    // The program names the file in lower case; the folder holds it in upper.
    std::string path = ToProgramPath(dir) + "\\file" + std::to_string(i) + ".bin";
    ASSERT_TRUE(ReadWholeFile(path.c_str(), &got)) << i;
    EXPECT_EQ(got, contents[i]) << i;
  }
}

TEST(ReadFile, HeadStopsAtItsLimitAndSaysWhetherThatWasAll) {
  std::string dir = MakeTempFolder("readhead");
  const std::vector<uint8_t> bytes = Pattern(100);
  ASSERT_NO_FATAL_FAILURE(WriteHost(dir + "/h.bin", bytes));
  const std::string path = ToProgramPath(dir) + "\\h.bin";
  struct Case {
    size_t limit;
    size_t expectedSize;
    bool whole;
  };
  const Case cases[] = {{0, 0, false}, {20, 20, false}, {99, 99, false},
                        {100, 100, true}, {101, 100, true}, {1 << 20, 100, true}};
  for (const Case& c : cases) {
    std::vector<uint8_t> got;
    bool whole = !c.whole;
    ASSERT_TRUE(ReadFileHead(path.c_str(), c.limit, &got, &whole)) << c.limit;
    EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin(), bytes.begin() + c.expectedSize))
        << c.limit;
    EXPECT_EQ(whole, c.whole) << c.limit;
  }
}

TEST(ReadFile, MissingFilesFoldersAndNullNamesFailEmpty) {
  std::string dir = MakeTempFolder("readmissing");
  const std::string missing = ToProgramPath(dir) + "\\none.bin";
  const std::string folder = ToProgramPath(dir);
  for (const char* path : {missing.c_str(), folder.c_str(), static_cast<const char*>(nullptr)}) {
    std::vector<uint8_t> got = {1, 2, 3};
    EXPECT_FALSE(ReadWholeFile(path, &got));
    EXPECT_TRUE(got.empty());
    got = {1, 2, 3};
    EXPECT_FALSE(ReadFileHead(path, 10, &got));
    EXPECT_TRUE(got.empty());
  }
}

}  // namespace
