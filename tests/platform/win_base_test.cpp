#include "platform/win_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "support/test_support.h"

using testing_support::MakeTempFolder;
using testing_support::ReadHostFile;
using testing_support::ToProgramPath;

namespace {

void WriteHost(const std::string& hostPath, const std::string& bytes) {
  FILE* f = std::fopen(hostPath.c_str(), "wb");
  ASSERT_NE(f, nullptr) << hostPath;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string ReadAll(FILE* f) {
  std::string out;
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return out;
}

}  // namespace

TEST(Random, MatchesTheWindowsGeneratorAndItsRange) {
  crt::srand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int value : expected) EXPECT_EQ(crt::rand(), value);
  int highest = 0;
  for (int i = 0; i < 200000; ++i) highest = std::max(highest, crt::rand());
  EXPECT_EQ(highest, crt::RAND_MAX_);
  crt::srand(1);
}

TEST(Time, TimeGetTimeIsMonotonicAndCanBeFaked) {
  DWORD a = timeGetTime();
  DWORD b = timeGetTime();
  EXPECT_GE(DWORD(b - a), 0u);
  EXPECT_LT(DWORD(b - a), 1000u);
  SetTimeSourceForTesting([]() -> DWORD { return 0xFFFFFFF0u; });
  EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
  SetTimeSourceForTesting(nullptr);
  LARGE_INTEGER freq;
  ASSERT_TRUE(QueryPerformanceFrequency(&freq));
  EXPECT_EQ(freq.QuadPart, 1000000000);
}

TEST(Time, ClockCountsWallTimeNotProcessorTime) {
  long before = crt::clock();
  Sleep(60);  // no processor time is spent while sleeping
  EXPECT_GE(crt::clock() - before, 50);
}

TEST(Locks, CriticalSectionIsRecursive) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // would deadlock if it were not recursive
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);
  EXPECT_EQ(cs.impl, nullptr);
}

TEST(CodePage936, ConvertsKnownTexts) {
  struct Case {
    const char* utf8;
    std::string cp936;
  } cases[] = {
      {"中文", "\xD6\xD0\xCE\xC4"},
      {"欢迎使用", "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3"},
      {"€", "\x80"},
      {"a\tb", "a\tb"},
      {"乗", "\x81\x5C"},  // trail byte is the backslash
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp936(c.utf8), c.cp936) << c.utf8;
    EXPECT_EQ(Cp936ToUtf8(c.cp936), c.utf8) << c.utf8;
  }
}

TEST(CodePage936, UnmappableAndBrokenTextDegradeInsteadOfStopping) {
  EXPECT_EQ(Utf8ToCp936("a\xF0\x9F\x98\x80" "b"), "a?b");  // an emoji CP936 lacks
  EXPECT_EQ(Cp936ToUtf8("x\xD6"), "x\xEF\xBF\xBD");        // truncated two-byte character
  std::u16string wide = Cp936ToUtf16("\xD6\xD0" "A");
  EXPECT_EQ(wide, u"中A");
  EXPECT_EQ(Utf16ToCp936(u"中\U0001F600"), "\xD6\xD0?");
  char16_t buf[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xD6\xD0", -1, buf, 8), 2);
  EXPECT_EQ(buf[0], u'中');
  char narrow[8];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"中", -1, narrow, 8, nullptr, nullptr), 3);
  EXPECT_STREQ(narrow, "\xD6\xD0");
}

TEST(Paths, ProgramPathsBecomeHostPaths) {
  struct Case {
    std::string program;
    std::string host;
  } cases[] = {
      {"\\home\\u\\a.obj", "/home/u/a.obj"},
      {"C:\\models\\a.obj", "/models/a.obj"},
      {"rel\\b.png", "rel/b.png"},
      {"\\tmp\\\x81\x5C\\x", "/tmp/乗/x"},  // 0x5C inside a character stays part of it
      {"\\tmp\\\xD6\xD0\xCE\xC4.jpg", "/tmp/中文.jpg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramPathToHost(c.program.c_str()), c.host) << c.program;
    if (c.program[0] == '\\') {
      EXPECT_EQ(HostPathToProgram(c.host), c.program) << c.host;
    }
  }
}

TEST(Files, MissingPathsAreFoundWithoutRegardToCase) {
  std::string dir = MakeTempFolder("case");
  ASSERT_EQ(::mkdir((dir + "/Textures").c_str(), 0755), 0);
  WriteHost(dir + "/Textures/WOOD.JPG", "wood");
  std::string asModelNamesIt = ToProgramPath(dir) + "\\textures\\wood.jpg";
  FILE* f = crt::fopen(asModelNamesIt.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "wood");
  std::fclose(f);
  crt::FileStat st;
  ASSERT_EQ(crt::stat(asModelNamesIt.c_str(), &st), 0);
  EXPECT_EQ(st.size, 4u);
  EXPECT_FALSE(st.isDirectory);
  EXPECT_EQ(crt::fopen((ToProgramPath(dir) + "\\textures\\stone.jpg").c_str(), "rb"), nullptr);
  EXPECT_EQ(crt::fopen(ToProgramPath(dir).c_str(), "rb"), nullptr);  // a folder is not a file
}

TEST(Files, TextModeWritesAndReadsWindowsLineEnds) {
  std::string dir = MakeTempFolder("text");
  std::string path = ToProgramPath(dir) + "\\options.dat";
  FILE* f = crt::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "width 800\nheight 600\n");
  std::fclose(f);
  std::vector<uint8_t> disk = ReadHostFile(dir + "/options.dat");
  EXPECT_EQ(std::string(disk.begin(), disk.end()), "width 800\r\nheight 600\r\n");

  f = crt::fopen(path.c_str(), "rt");
  ASSERT_NE(f, nullptr);
  char line[64];
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "width 800\n");
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "height 600\n");
  EXPECT_EQ(std::fgets(line, sizeof line, f), nullptr);
  std::fclose(f);

  f = crt::fopen(path.c_str(), "rb");  // binary mode sees the bytes on disk
  EXPECT_EQ(ReadAll(f).size(), disk.size());
  std::fclose(f);
}

TEST(Files, ChineseFileNamesRoundTripThroughCodePage936) {
  std::string dir = MakeTempFolder("cjk");
  std::string name = "\xD6\xD0\xCE\xC4.png";  // 中文.png in CP936
  std::string path = ToProgramPath(dir) + "\\" + name;
  FILE* f = crt::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  std::fclose(f);
  struct ::stat st;
  EXPECT_EQ(::stat((dir + "/中文.png").c_str(), &st), 0);  // UTF-8 on the host

  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((ToProgramPath(dir) + "\\*.PNG").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::string(data.cFileName), name);
  EXPECT_EQ(data.nFileSizeLow, 1u);
  EXPECT_FALSE(FindNextFileA(h, &data));
  FindClose(h);
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_FALSE(DeleteFileA(path.c_str()));
}

TEST(Files, FindListsAFolderSortedWithDotEntries) {
  std::string dir = MakeTempFolder("find");
  WriteHost(dir + "/b.jpg", "bb");
  WriteHost(dir + "/a.txt", "a");
  ASSERT_EQ(::mkdir((dir + "/sub").c_str(), 0755), 0);
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((ToProgramPath(dir) + "\\*.*").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<std::string> names{data.cFileName};
  std::vector<bool> folders{(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
  while (FindNextFileA(h, &data)) {
    names.push_back(data.cFileName);
    folders.push_back((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  }
  FindClose(h);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt", "b.jpg", "sub"}));
  EXPECT_EQ(folders, (std::vector<bool>{true, true, false, false, true}));
  EXPECT_EQ(FindFirstFileA((ToProgramPath(dir) + "\\*.gif").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA((ToProgramPath(dir) + "\\nothere\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
  // A plain path finds that one entry, with its size.
  h = FindFirstFileA((ToProgramPath(dir) + "\\B.JPG").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 2u);
  EXPECT_STREQ(data.cFileName, "b.jpg");
  FindClose(h);
}

TEST(Files, RenameReplacesAndMkdirAcceptsAnExistingFolder) {
  std::string dir = MakeTempFolder("rename");
  WriteHost(dir + "/new.tmp", "new");
  WriteHost(dir + "/list.dat", "old");
  std::string prog = ToProgramPath(dir);
  EXPECT_EQ(crt::rename((prog + "\\new.tmp").c_str(), (prog + "\\list.dat").c_str()), 0);
  std::vector<uint8_t> bytes = ReadHostFile(dir + "/list.dat");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
  EXPECT_EQ(crt::mkdir((prog + "\\made").c_str()), 0);
  EXPECT_EQ(crt::mkdir((prog + "\\made\\").c_str()), 0);
  EXPECT_NE(crt::mkdir((prog + "\\list.dat").c_str()), 0);
  EXPECT_NE(crt::remove((prog + "\\nothing").c_str()), 0);
}

TEST(Module, ExecutablePathAndFixedTables) {
  char path[kPathBufferSize];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(path[0], '\\');
  EXPECT_NE(std::strstr(path, "win_base_test"), nullptr);
  SetModuleFolderForTesting("\\opt\\viewer\\");
  GetModuleFileNameA(nullptr, path, sizeof path);
  EXPECT_STREQ(path, "\\opt\\viewer\\win_base_test");
  SetModuleFolderForTesting(nullptr);
  char small[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 4u);
  EXPECT_EQ(small[4], 0);

  EXPECT_EQ(GetDoubleClickTime(), 500u);
  PALETTEENTRY pal[256];
  EXPECT_EQ(GetSystemPaletteEntries(GetDC(nullptr), 0, 256, pal), 256u);
  EXPECT_EQ(pal[0].peRed + pal[0].peGreen + pal[0].peBlue, 0);
  EXPECT_EQ(pal[255].peRed & pal[255].peGreen & pal[255].peBlue, 255);
  EXPECT_EQ(GetSystemPaletteEntries(nullptr, 250, 20, pal), 6u);
}
