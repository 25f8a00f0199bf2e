#include "core/files.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "platform/win_base.h"

// [NAMES] -------------------------------------------------------------------------------------
namespace {

// A two-byte character's trail byte can be a letter ("\x81\x41"): it is part of the character
// and keeps its case, so lower-casing a name does not turn it into another name.
char* MapAsciiLetters(char* text, char from, char to) {
  if (!text) return nullptr;
  for (char* p = text; *p; ++p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) {
      ++p;
    } else if (*p >= from && *p <= char(from + 25)) {
      *p = char(*p - from + to);
    }
  }
  return text;
}

}  // namespace

char* StrToLower(char* text) { return MapAsciiLetters(text, 'A', 'a'); }

char* StrToUpper(char* text) { return MapAsciiLetters(text, 'a', 'A'); }

// [FILES] -------------------------------------------------------------------------------------
namespace {

bool FindEntry(const char* path, WIN32_FIND_DATAA* data) {
  if (!path || !*path) return false;
  HANDLE find = FindFirstFileA(path, data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

}  // namespace

bool FileExists(const char* path) {
  WIN32_FIND_DATAA data;
  return FindEntry(path, &data);
}

uint32_t QueryFileSize(const char* path) {
  WIN32_FIND_DATAA data;
  return FindEntry(path, &data) ? data.nFileSizeLow : 0;
}

long GetFileLength(FILE* file) {
  if (!file) return 0;
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  const long length = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  return length == -1 ? 0 : length;
}

// [EXTENSIONS] --------------------------------------------------------------------------------
namespace {

constexpr const char* kImageExtensions[] = {"jpg", "jpeg", "png", "pcx", "pfm", "ppm",
                                            "gif", "bmp",  "tga", "tif", "tiff", "ico",
                                            "cur", "dds",  "dib", "hdr", "wbmp"};
constexpr const char* kModelExtensions[] = {"obj", "3ds", "dae", "lwo", "lxo", "md2", "md3",
                                            "ms3d", "x", "b3d", "stl", "ply", "prj", "ter"};

// Longest extension compared; a longer one is cut (and then matches nothing).
constexpr size_t kMaxExtension = 9;

template <size_t N>
bool HasExtensionFrom(const char* path, const char* const (&table)[N]) {
  if (!path || !*path || !FileExists(path)) return false;
  const char* dot = std::strrchr(path, '.');
  if (!dot) return false;
  char extension[kMaxExtension + 1] = {};
  std::strncpy(extension, dot + 1, kMaxExtension);
  StrToLower(extension);
  for (const char* candidate : table) {
    if (std::strcmp(extension, candidate) == 0) return true;
  }
  return false;
}

}  // namespace

bool IsImageFile(const char* path) { return HasExtensionFrom(path, kImageExtensions); }

bool IsModelFile(const char* path) { return HasExtensionFrom(path, kModelExtensions); }

// [FOLDER SCANS] ------------------------------------------------------------------------------
namespace {

// Calls visit(full path, entry) for every entry of the folder that is not a folder and is an
// image file, until visit returns false.
template <typename Visit>
void ForEachImageInFolder(const char* folder, Visit visit) {
  const std::string prefix = folder;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((prefix + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string path = prefix + data.cFileName;
    if (IsImageFile(path.c_str()) && !visit(path, data)) break;
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

// The folder and the longest name the search reports must fit one path buffer.
constexpr size_t kMaxScanFolder = 510;

}  // namespace

void CountImagesInFolder(const char* folder, int32_t* count, float* totalKB) {
  if (!folder || !count || !totalKB) return;
  ForEachImageInFolder(folder, [&](const std::string&, const WIN32_FIND_DATAA& data) {
    ++*count;
    *totalKB += float(data.nFileSizeLow) * (1.0f / 1024.0f);
    return true;
  });
}

std::unique_ptr<char[]> FindFirstImageInFolder(const char* folder) {
  if (!folder || std::strlen(folder) > kMaxScanFolder) return nullptr;
  std::unique_ptr<char[]> found;
  ForEachImageInFolder(folder, [&](const std::string& path, const WIN32_FIND_DATAA&) {
    found.reset(new char[path.size() + 1]);
    std::memcpy(found.get(), path.c_str(), path.size() + 1);
    return false;
  });
  return found;
}

// [TEXT LINES] --------------------------------------------------------------------------------
namespace {

bool IsBlank(int c) { return c < 33; }

}  // namespace

int ReadTrimmedLine(char* buffer, int size, FILE* file) {
  if (!buffer || size < 1) return 0;
  buffer[0] = 0;
  if (!file || size < 2) return 0;
  // 1. Leading blanks; a line feed among them makes the line blank.
  int c;
  while ((c = std::fgetc(file)) != EOF && IsBlank(c)) {
    if (c == '\n') return 0;
  }
  if (c == EOF) return 0;
  // 2. The first byte, then the rest of the line. A file that ends right after that byte still
  // has a line of one byte.
  buffer[0] = char(c);
  buffer[1] = 0;
  if (size > 2 && std::fgets(buffer + 1, size - 1, file) == nullptr) buffer[1] = 0;
  // 3. No line feed read: the line did not fit (or the file ended); drop the rest of it.
  size_t length = std::strlen(buffer);
  if (buffer[length - 1] != '\n') {
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
    }
  }
  // 4. Trailing blanks, the line end included.
  while (length > 0 && IsBlank(static_cast<unsigned char>(buffer[length - 1]))) {
    buffer[--length] = 0;
  }
  return 1;
}

int ReadListLine(char* buffer, int size, FILE* file) {
  if (!file) {
    if (buffer && size > 0) buffer[0] = 0;
    return 0;
  }
  for (;;) {
    if (ReadTrimmedLine(buffer, size, file)) return 1;
    // ReadTrimmedLine gives 0 for a blank line and at the end; only the end stops the reading.
    if (std::feof(file) || std::ferror(file) || !buffer || size < 2) return 0;
  }
}

// [RANDOM] ------------------------------------------------------------------------------------
int RandomInt(int low, int high) {
  if (low == high) return low;
  // In 64 bits: |high - low| + 1 overflows an int for the widest ranges.
  const int64_t span = std::llabs(int64_t(high) - int64_t(low)) + 1;
  return int(int64_t(low) + crt::rand() % span);
}

float RandomFloat(float low, float high) {
  if (low == high) return low;
  // crt::rand() lies in 0..32767 (RAND_MAX), so the draw covers low..low + |high - low|.
  return low + (float(crt::rand()) / float(crt::RAND_MAX_)) * std::abs(high - low);
}

// [PALETTE] -----------------------------------------------------------------------------------
void GetSystemPalette(uint8_t* out, uint32_t count) {
  if (!out) return;
  if (count > 256) count = 256;
  PALETTEENTRY entries[256];
  HDC screen = GetDC(nullptr);
  const UINT got = GetSystemPaletteEntries(screen, 0, count, entries);
  ReleaseDC(nullptr, screen);
  for (UINT i = 0; i < got && i < count; ++i) {
    out[i * 4 + 0] = entries[i].peBlue;
    out[i * 4 + 1] = entries[i].peGreen;
    out[i * 4 + 2] = entries[i].peRed;
  }
}
