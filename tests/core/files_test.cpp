// Files, paths and text lines: case conversion, the extension tables against real files, folder
// scans, the line reader's table, list reading across blank lines, random ranges, the palette.
#include "core/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win_base.h"
#include "support/test_support.h"

namespace {

using testing_support::MakeTempFolder;
using testing_support::ToProgramPath;

void WriteHostFile(const std::string& hostPath, const std::string& bytes) {
  std::ofstream out(hostPath, std::ios::binary);
  out << bytes;
}

// [NAMES] -------------------------------------------------------------------------------------
TEST(Names, CaseConversionLeavesTwoByteCharactersAlone) {
  // "\xD6\xD0" is a character; "\x81\x41" one whose trail byte is the letter 'A'.
  char text[] = "Ab.JPG\xD6\xD0z\x81\x41q";
  EXPECT_STREQ(StrToLower(text), "ab.jpg\xD6\xD0z\x81\x41q");
  EXPECT_STREQ(StrToUpper(text), "AB.JPG\xD6\xD0Z\x81\x41Q");
  char lone[] = "A\x81";  // a lead byte at the very end
  EXPECT_STREQ(StrToLower(lone), "a\x81");
  EXPECT_EQ(StrToLower(nullptr), nullptr);
  EXPECT_EQ(StrToUpper(nullptr), nullptr);
}

// [FILES] -------------------------------------------------------------------------------------
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = MakeTempFolder("files");
    ASSERT_FALSE(host.empty());
    folder = ToProgramPath(host) + "\\";
  }
  std::string Make(const std::string& name, size_t size) {
    WriteHostFile(host + "/" + name, std::string(size, 'x'));
    return folder + Utf8ToCp936(name);
  }
  std::string host, folder;
};

TEST_F(FolderTest, ExistenceAndSize) {
  const std::string path = Make("a.JPG", 2048);
  EXPECT_TRUE(FileExists(path.c_str()));
  EXPECT_EQ(QueryFileSize(path.c_str()), 2048u);
  EXPECT_TRUE(FileExists(ToProgramPath(host).c_str()));  // a folder
  const std::string missing = folder + "missing.jpg";
  EXPECT_FALSE(FileExists(missing.c_str()));
  EXPECT_EQ(QueryFileSize(missing.c_str()), 0u);
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(nullptr));

  FILE* f = crt::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fgetc(f);
  EXPECT_EQ(GetFileLength(f), 2048);
  EXPECT_EQ(std::ftell(f), 0);  // back at the start
  std::fclose(f);
  EXPECT_EQ(GetFileLength(nullptr), 0);
}

TEST_F(FolderTest, ExtensionTables) {
  struct Case {
    const char* name;
    bool image, model;
  } cases[] = {
      {"a.JPG", true, false},     {"b.jpeg", true, false},     {"c.wbmp", true, false},
      {"d.TIFF", true, false},    {"e.hdr", true, false},      {"f.tar.gz", false, false},
      {"g.X", false, true},       {"h.ms3d", false, true},     {"i.Lxo", false, true},
      {"j.ter", false, true},     {"noextension", false, false}, {"k.jpgjpgjpgjpg", false, false},
      {"l.webp", false, false},   {"m.", false, false},        {"图片.png", true, false},
      {"模型.obj", false, true},
  };
  for (const Case& c : cases) {
    const std::string path = Make(c.name, 4);
    EXPECT_TRUE(FileExists(path.c_str())) << c.name;  // a Chinese name round-trips via CP936
    EXPECT_EQ(IsImageFile(path.c_str()), c.image) << c.name;
    EXPECT_EQ(IsModelFile(path.c_str()), c.model) << c.name;
  }
  // Missing files and an empty path are neither.
  const std::string missing = folder + "gone.jpg", missingModel = folder + "gone.obj";
  EXPECT_FALSE(IsImageFile(missing.c_str()));
  EXPECT_FALSE(IsModelFile(missingModel.c_str()));
  EXPECT_FALSE(IsImageFile(""));
  EXPECT_FALSE(IsModelFile(nullptr));
}

TEST_F(FolderTest, ScansCountImagesAndFindTheFirst) {
  int32_t count = 0;
  float kb = 0;
  CountImagesInFolder(folder.c_str(), &count, &kb);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(FindFirstImageInFolder(folder.c_str()), nullptr);

  Make("notes.txt", 5000);
  Make("b.png", 1024);
  Make("c.GIF", 2048);
  Make("a.obj", 100);
  ASSERT_EQ(::mkdir((host + "/a.png").c_str(), 0755), 0);  // a folder named like an image
  Make("a.png/inner.jpg", 10);                             // not searched: one level only

  count = 3;
  kb = 1.5f;  // the caller's running totals
  CountImagesInFolder(folder.c_str(), &count, &kb);
  EXPECT_EQ(count, 5);
  EXPECT_FLOAT_EQ(kb, 4.5f);

  auto first = FindFirstImageInFolder(folder.c_str());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::string(first.get()), folder + "b.png");

  EXPECT_EQ(FindFirstImageInFolder(nullptr), nullptr);
  const std::string tooLong = "\\" + std::string(510, 'a') + "\\";
  EXPECT_EQ(FindFirstImageInFolder(tooLong.c_str()), nullptr);
  CountImagesInFolder(nullptr, &count, &kb);
  EXPECT_EQ(count, 5);
}

// [TEXT LINES] --------------------------------------------------------------------------------
class LineTest : public FolderTest {
 protected:
  // Opens bytes as a text file the way the system does.
  FILE* Open(const std::string& bytes, const char* mode = "r") {
    WriteHostFile(host + "/lines.txt", bytes);
    FILE* f = crt::fopen((folder + "lines.txt").c_str(), mode);
    EXPECT_NE(f, nullptr);
    return f;
  }
  // Every ReadTrimmedLine result until the end of the file, "|0" marking a zero result.
  std::vector<std::string> ReadAll(const std::string& bytes, int size = 520,
                                   const char* mode = "r") {
    FILE* f = Open(bytes, mode);
    std::vector<std::string> out;
    std::vector<char> buffer(size_t(size) + 8, '#');
    for (int guard = 0; guard < 100; ++guard) {
      const int r = ReadTrimmedLine(buffer.data(), size, f);
      out.push_back(std::string(buffer.data()) + (r ? "" : "|0"));
      if (!r && std::feof(f)) break;
    }
    std::fclose(f);
    return out;
  }
  using Lines = std::vector<std::string>;
};

TEST_F(LineTest, ReadTrimmedLineTable) {
  const std::string longLine(600, 'L');
  struct Case {
    const char* what;
    std::string bytes;
    const char* mode;
    Lines expected;
  } cases[] = {
      {"blanks, tab inside, CR LF", "  name\tC:\\pics\\a.jpg  \r\nnext\r\n", "rb",
       {"name\tC:\\pics\\a.jpg", "next", "|0"}},
      {"text mode CR LF", "one\r\ntwo\r\n", "r", {"one", "two", "|0"}},
      {"ends in a two-byte character", "\xD6\xD0\xCE\xC4\n", "r", {"\xD6\xD0\xCE\xC4", "|0"}},
      {"trail byte 0x5C inside a character", "C:\\\xD5\x5C\\x.jpg\n", "r",
       {"C:\\\xD5\x5C\\x.jpg", "|0"}},
      {"blank line in the middle", "a\n   \nb\n", "r", {"a", "|0", "b", "|0"}},
      {"empty line in the middle", "a\n\nb\n", "r", {"a", "|0", "b", "|0"}},
      {"last line without a line feed", "a\nlast", "r", {"a", "last", "|0"}},
      {"one-byte last line without a line feed", "a\nz", "r", {"a", "z", "|0"}},
      {"only blanks at the end", "a\n \t ", "r", {"a", "|0"}},
      {"empty file", "", "r", {"|0"}},
      {"control characters lead and trail", "\x01\x02x\x03\x1f\n", "rb", {"x", "|0"}},
      {"long line is cut, next line intact", longLine + "\nafter\n", "r",
       {std::string(519, 'L'), "after", "|0"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(c.bytes, 520, c.mode), c.expected) << c.what;
  }
}

TEST_F(LineTest, TinyBuffers) {
  EXPECT_EQ(ReadAll("abc\nde\n", 3), (Lines{"ab", "de", "|0"}));
  EXPECT_EQ(ReadAll("abc\nd\n", 2), (Lines{"a", "d", "|0"}));
  FILE* f = Open("abc\n");
  char one = '#';
  EXPECT_EQ(ReadTrimmedLine(&one, 1, f), 0);
  EXPECT_EQ(one, 0);
  EXPECT_EQ(ReadTrimmedLine(nullptr, 10, f), 0);
  std::fclose(f);
  char buffer[8] = "#";
  EXPECT_EQ(ReadTrimmedLine(buffer, sizeof buffer, nullptr), 0);
  EXPECT_STREQ(buffer, "");
}

TEST_F(LineTest, ListReadingSkipsBlankLinesAndEndsAtTheEnd) {
  FILE* f = Open("first\n\n   \r\nsecond\n\t\nthird");
  std::vector<std::string> lines;
  char buffer[520];
  while (ReadListLine(buffer, sizeof buffer, f)) lines.push_back(buffer);
  EXPECT_EQ(lines, (Lines{"first", "second", "third"}));
  EXPECT_EQ(ReadListLine(buffer, sizeof buffer, f), 0);
  EXPECT_STREQ(buffer, "");
  std::fclose(f);

  f = Open("\n\n\n");
  EXPECT_EQ(ReadListLine(buffer, sizeof buffer, f), 0);
  std::fclose(f);
  EXPECT_EQ(ReadListLine(buffer, sizeof buffer, nullptr), 0);
}

// [RANDOM] ------------------------------------------------------------------------------------
TEST(Random, IntRanges) {
  EXPECT_EQ(RandomInt(5, 5), 5);
  bool seen[5] = {};
  for (int i = 0; i < 2000; ++i) {
    const int r = RandomInt(7, 3);  // from low, |high - low| + 1 values
    ASSERT_GE(r, 7);
    ASSERT_LE(r, 11);
    seen[r - 7] = true;
  }
  for (bool s : seen) EXPECT_TRUE(s);
  for (int i = 0; i < 100; ++i) {
    const int r = RandomInt(-3, -1);
    ASSERT_GE(r, -3);
    ASSERT_LE(r, -1);
  }
  // The widest range does not overflow (the sanitizer build checks).
  for (int i = 0; i < 100; ++i) RandomInt(INT_MIN, INT_MAX);
}

TEST(Random, FloatCoversTheRangeWithRandMax32767) {
  EXPECT_EQ(RandomFloat(2.5f, 2.5f), 2.5f);
  // Scaled by 32767 the draw is exactly the generator's value: 41 is the first after seed 1.
  crt::srand(1);
  EXPECT_FLOAT_EQ(RandomFloat(0, 32767), 41);
  crt::srand(1);
  float lo = 10, hi = -10;
  for (int i = 0; i < 100000; ++i) {
    const float r = RandomFloat(-1, 1);
    ASSERT_GE(r, -1.0f);
    ASSERT_LE(r, 1.0f);
    lo = std::min(lo, r);
    hi = std::max(hi, r);
  }
  EXPECT_LT(lo, -0.999f);
  EXPECT_GT(hi, 0.999f);
  for (int i = 0; i < 1000; ++i) {
    const float r = RandomFloat(4, 2);  // from low upwards, like RandomInt
    ASSERT_GE(r, 4.0f);
    ASSERT_LE(r, 6.0f);
  }
}

// [PALETTE] -----------------------------------------------------------------------------------
TEST(Palette, BlueGreenRedAndTheFourthByteKept) {
  std::vector<uint8_t> out(257 * 4, 0xAB);
  GetSystemPalette(out.data(), 300);  // more than 256: only 256 are written
  PALETTEENTRY entries[256];
  ASSERT_EQ(GetSystemPaletteEntries(GetDC(nullptr), 0, 256, entries), 256u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(out[i * 4 + 0], entries[i].peBlue);
    EXPECT_EQ(out[i * 4 + 1], entries[i].peGreen);
    EXPECT_EQ(out[i * 4 + 2], entries[i].peRed);
    EXPECT_EQ(out[i * 4 + 3], 0xAB);
  }
  for (int i = 256 * 4; i < 257 * 4; ++i) EXPECT_EQ(out[i], 0xAB);
  GetSystemPalette(nullptr, 10);
}

}  // namespace
