// win_base on Linux: POSIX clocks, std::recursive_mutex, glibc iconv "CP936", and a path layer
// that turns the program's "\" paths in code page 936 into host UTF-8 paths.
//
// [TIME] [RANDOM] [LOCKS] [TEXT] [PATHS] [FILES] [FIND] [MODULE]

#include "platform/win_base.h"

#include <dirent.h>
#include <errno.h>
#include <iconv.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

// [TIME] --------------------------------------------------------------------------------------
namespace {

uint64_t MonotonicNanoseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

TimeSourceFn g_timeSource = nullptr;
const auto g_processStart = std::chrono::steady_clock::now();

}  // namespace

DWORD timeGetTime() {
  if (g_timeSource) return g_timeSource();
  return DWORD(MonotonicNanoseconds() / 1000000ull);
}

void SetTimeSourceForTesting(TimeSourceFn source) { g_timeSource = source; }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  count->QuadPart = int64_t(MonotonicNanoseconds());
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  frequency->QuadPart = 1000000000;
  return TRUE;
}

void Sleep(DWORD milliseconds) {
  timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

namespace crt {

long clock() {
  auto elapsed = std::chrono::steady_clock::now() - g_processStart;
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

// [RANDOM] ------------------------------------------------------------------------------------
namespace {
uint32_t g_randState = 1;
}

int rand() {
  g_randState = g_randState * 214013u + 2531011u;
  return int((g_randState >> 16) & 0x7FFF);
}

void srand(unsigned seed) { g_randState = seed; }

}  // namespace crt

// [LOCKS] -------------------------------------------------------------------------------------
void InitializeCriticalSection(CRITICAL_SECTION* section) {
  if (section) section->impl = new std::recursive_mutex();
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  if (section && section->impl) static_cast<std::recursive_mutex*>(section->impl)->lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  if (section && section->impl) static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  if (!section) return;
  delete static_cast<std::recursive_mutex*>(section->impl);
  section->impl = nullptr;
}

// [TEXT] --------------------------------------------------------------------------------------
namespace {

// One conversion with iconv. On a sequence the target lacks (or an invalid/truncated source
// sequence) `onBad` is appended and the source advances by `skip(in, left)` bytes.
template <typename SkipFn>
std::string Convert(const char* to, const char* from, const char* src, size_t srcLen,
                    const std::string& onBad, SkipFn skip) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return out;
  out.reserve(srcLen * 2 + 8);
  char buffer[1024];
  char* in = const_cast<char*>(src);
  size_t left = srcLen;
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    size_t r = iconv(cd, &in, &left, &dst, &room);
    out.append(buffer, size_t(dst - buffer));
    if (r == (size_t)-1) {
      if (errno == E2BIG) continue;
      out += onBad;
      size_t n = skip(in, left);
      in += n;
      left -= n;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

size_t Utf8SequenceLength(const char* p, size_t left) {
  unsigned char c = static_cast<unsigned char>(*p);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  return std::min(n, left);
}

size_t Utf16UnitLength(const char* p, size_t left) {
  // A surrogate pair that CP936 lacks is one character: skip both units.
  if (left >= 4) {
    uint16_t unit = uint16_t(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
    if (unit >= 0xD800 && unit < 0xDC00) return 4;
  }
  return std::min<size_t>(2, left);
}

}  // namespace

std::string Utf8ToCp936(const std::string& utf8) {
  return Convert("CP936", "UTF-8", utf8.data(), utf8.size(), "?", Utf8SequenceLength);
}

std::string Cp936ToUtf8(const std::string& cp936) {
  return Convert("UTF-8", "CP936", cp936.data(), cp936.size(), "\xEF\xBF\xBD",
                 [](const char*, size_t) { return size_t(1); });
}

std::u16string Cp936ToUtf16(const std::string& cp936) {
  std::string bytes = Convert("UTF-16LE", "CP936", cp936.data(), cp936.size(), std::string("\xFD\xFF", 2),
                              [](const char*, size_t) { return size_t(1); });
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = char16_t(static_cast<unsigned char>(bytes[2 * i]) | static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return out;
}

std::string Utf16ToCp936(const std::u16string& utf16) {
  std::string bytes;
  bytes.reserve(utf16.size() * 2);
  for (char16_t c : utf16) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  return Convert("CP936", "UTF-16LE", bytes.data(), bytes.size(), "?", Utf16UnitLength);
}

int MultiByteToWideChar(UINT codePage, DWORD, const char* source, int sourceLength, char16_t* dest,
                        int destLength) {
  if (codePage != CP_ACP || !source) return 0;
  bool withNul = sourceLength < 0;
  size_t len = withNul ? std::strlen(source) : size_t(sourceLength);
  std::u16string wide = Cp936ToUtf16(std::string(source, len));
  if (withNul) wide.push_back(u'\0');
  if (destLength == 0) return int(wide.size());
  if (!dest || size_t(destLength) < wide.size()) return 0;
  std::copy(wide.begin(), wide.end(), dest);
  return int(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, const char16_t* source, int sourceLength, char* dest,
                        int destLength, const char*, BOOL* usedDefault) {
  if (codePage != CP_ACP || !source) return 0;
  bool withNul = sourceLength < 0;
  size_t len = 0;
  if (withNul) {
    while (source[len]) ++len;
  } else {
    len = size_t(sourceLength);
  }
  std::string narrow = Utf16ToCp936(std::u16string(source, len));
  if (usedDefault) *usedDefault = FALSE;
  if (withNul) narrow.push_back('\0');
  if (destLength == 0) return int(narrow.size());
  if (!dest || size_t(destLength) < narrow.size()) return 0;
  std::copy(narrow.begin(), narrow.end(), dest);
  return int(narrow.size());
}

// [PATHS] -------------------------------------------------------------------------------------
std::string ProgramPathToHost(const char* programPath) {
  if (!programPath) return std::string();
  const char* p = programPath;
  // "C:\..." from a Windows habit: the drive means nothing here.
  if (((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':') p += 2;
  std::string bytes;
  while (*p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (IsDBCSLeadByte(c) && p[1]) {
      // The trail byte of a two-byte character may be 0x5C; it is not a separator.
      bytes += p[0];
      bytes += p[1];
      p += 2;
      continue;
    }
    bytes += c == '\\' ? '/' : char(c);
    ++p;
  }
  return Cp936ToUtf8(bytes);
}

std::string HostPathToProgram(const std::string& hostPath) {
  std::string cp = Utf8ToCp936(hostPath);
  std::string out;
  out.reserve(cp.size());
  for (size_t i = 0; i < cp.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(cp[i]);
    if (IsDBCSLeadByte(c) && i + 1 < cp.size()) {
      out += cp[i];
      out += cp[i + 1];
      ++i;
      continue;
    }
    out += c == '/' ? '\\' : char(c);
  }
  return out;
}

namespace {

bool HostExists(const std::string& hostPath) {
  struct ::stat st;
  return ::stat(hostPath.c_str(), &st) == 0;
}

// Finds `host` component by component, each matched without regard to ASCII case when the
// exact name is missing. Empty when some component has no match.
std::string ResolveCaseInsensitive(const std::string& host) {
  if (host.empty()) return std::string();
  if (HostExists(host)) return host;
  bool absolute = host[0] == '/';
  std::string resolved = absolute ? "/" : "";
  size_t pos = absolute ? 1 : 0;
  while (pos <= host.size()) {
    size_t slash = host.find('/', pos);
    if (slash == std::string::npos) slash = host.size();
    std::string part = host.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty()) {
      if (slash >= host.size()) break;
      continue;
    }
    std::string candidate = resolved + part;
    if (!HostExists(candidate)) {
      DIR* dir = opendir(resolved.empty() ? "." : resolved.c_str());
      if (!dir) return std::string();
      std::string match;
      while (dirent* e = readdir(dir)) {
        if (strcasecmp(e->d_name, part.c_str()) == 0) {
          match = e->d_name;
          break;
        }
      }
      closedir(dir);
      if (match.empty()) return std::string();
      candidate = resolved + match;
    }
    resolved = candidate;
    if (slash < host.size()) resolved += '/';
  }
  return resolved;
}

// Host path to open for writing: exact, or with its folder found case-insensitively.
std::string HostPathForWriting(const std::string& host) {
  size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash == 0) return host;
  std::string folder = host.substr(0, slash);
  if (HostExists(folder)) return host;
  std::string resolvedFolder = ResolveCaseInsensitive(folder);
  return resolvedFolder.empty() ? host : resolvedFolder + host.substr(slash);
}

}  // namespace

std::string ResolveExistingHostPath(const char* programPath) {
  return ResolveCaseInsensitive(ProgramPathToHost(programPath));
}

// [FILES] -------------------------------------------------------------------------------------
namespace {

// Windows text mode over a host FILE: "\r\n" reads as "\n", "\n" writes as "\r\n". Positions
// are those of the bytes on disk, as Windows reports them.
struct TextFile {
  FILE* raw;
};

ssize_t TextRead(void* cookie, char* buf, size_t size) {
  FILE* raw = static_cast<TextFile*>(cookie)->raw;
  size_t n = 0;
  while (n < size) {
    int c = std::fgetc(raw);
    if (c == EOF) break;
    if (c == '\r') {
      int next = std::fgetc(raw);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, raw);
      }
    }
    buf[n++] = char(c);
    if (c == '\n') break;  // hand lines over promptly; stdio asks again
  }
  if (n == 0 && std::ferror(raw)) return -1;
  return ssize_t(n);
}

ssize_t TextWrite(void* cookie, const char* buf, size_t size) {
  FILE* raw = static_cast<TextFile*>(cookie)->raw;
  for (size_t i = 0; i < size; ++i) {
    if (buf[i] == '\n' && std::fputc('\r', raw) == EOF) return i ? ssize_t(i) : -1;
    if (std::fputc(buf[i], raw) == EOF) return i ? ssize_t(i) : -1;
  }
  // stdio calls this when the text FILE is flushed: pass the flush on to the file on disk.
  if (std::fflush(raw) != 0) return -1;
  return ssize_t(size);
}

int TextSeek(void* cookie, off64_t* offset, int whence) {
  FILE* raw = static_cast<TextFile*>(cookie)->raw;
  if (fseeko(raw, *offset, whence) != 0) return -1;
  *offset = ftello(raw);
  return 0;
}

int TextClose(void* cookie) {
  TextFile* file = static_cast<TextFile*>(cookie);
  int r = std::fclose(file->raw);
  delete file;
  return r;
}

}  // namespace

namespace crt {

FILE* fopen(const char* path, const char* mode) {
  if (!path || !mode || !*path) return nullptr;
  std::string host = ProgramPathToHost(path);
  bool readOnly = mode[0] == 'r' && !std::strchr(mode, '+');
  std::string target = readOnly ? ResolveCaseInsensitive(host) : HostPathForWriting(host);
  if (target.empty()) return nullptr;
  bool binary = std::strchr(mode, 'b') != nullptr;
  std::string hostMode;
  for (const char* m = mode; *m; ++m)
    if (*m != 't' && *m != 'b') hostMode += *m;
  struct ::stat st;
  if (readOnly && ::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return nullptr;
  FILE* raw = ::fopen(target.c_str(), (hostMode + "b").c_str());
  if (!raw || binary) return raw;
  cookie_io_functions_t io{TextRead, TextWrite, TextSeek, TextClose};
  FILE* text = fopencookie(new TextFile{raw}, hostMode.c_str(), io);
  if (!text) std::fclose(raw);
  return text;
}

int stat(const char* path, FileStat* out) {
  std::string host = ResolveExistingHostPath(path);
  struct ::stat st;
  if (host.empty() || ::stat(host.c_str(), &st) != 0) return -1;
  if (out) {
    out->size = uint64_t(st.st_size);
    out->isDirectory = S_ISDIR(st.st_mode);
    out->modifiedTime = int64_t(st.st_mtime);
  }
  return 0;
}

int remove(const char* path) {
  std::string host = ResolveExistingHostPath(path);
  if (host.empty()) return -1;
  return ::unlink(host.c_str());
}

int rename(const char* oldPath, const char* newPath) {
  std::string from = ResolveExistingHostPath(oldPath);
  if (from.empty() || !newPath) return -1;
  return ::rename(from.c_str(), HostPathForWriting(ProgramPathToHost(newPath)).c_str());
}

int mkdir(const char* path) {
  if (!path) return -1;
  std::string host = HostPathForWriting(ProgramPathToHost(path));
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (::mkdir(host.c_str(), 0777) == 0) return 0;
  struct ::stat st;
  return (errno == EEXIST && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? 0 : -1;
}

}  // namespace crt

namespace {

// First as many bytes as the file's end reports, in one read into the final buffer; then on
// to the real end, for a file that grew meanwhile or whose size cannot be told.
bool ReadOpenFile(FILE* file, size_t maxBytes, std::vector<uint8_t>* out, bool* whole) {
  size_t expected = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return false;
    if (size > 0) expected = std::min(size_t(size), maxBytes);
  }
  try {
    out->resize(expected);
    out->resize(expected ? std::fread(out->data(), 1, expected, file) : 0);
    uint8_t chunk[65536];
    while (out->size() < maxBytes) {
      size_t n = std::fread(chunk, 1, std::min(sizeof chunk, maxBytes - out->size()), file);
      if (n == 0) break;
      out->insert(out->end(), chunk, chunk + n);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (whole) *whole = out->size() < maxBytes || std::fgetc(file) == EOF;
  return !std::ferror(file);
}

}  // namespace

bool ReadFileHead(const char* programPath, size_t maxBytes, std::vector<uint8_t>* out,
                  bool* whole) {
  out->clear();
  FILE* file = programPath ? crt::fopen(programPath, "rb") : nullptr;
  if (!file) return false;
  bool ok = ReadOpenFile(file, maxBytes, out, whole);
  std::fclose(file);
  if (!ok) std::vector<uint8_t>().swap(*out);
  return ok;
}

bool ReadWholeFile(const char* programPath, std::vector<uint8_t>* out) {
  return ReadFileHead(programPath, SIZE_MAX, out);
}

BOOL DeleteFileA(const char* path) { return crt::remove(path) == 0 ? TRUE : FALSE; }

// [FIND] --------------------------------------------------------------------------------------
namespace {

struct FindState {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// '*' and '?' over CP936 bytes, without regard to ASCII case; "*.*" matches every name, as on
// Windows (also names without a dot).
bool WildcardMatch(const char* pattern, const char* name) {
  if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starP = pattern++;
      starN = name;
    } else if (*pattern == '?' || FoldCase(*pattern) == FoldCase(*name)) {
      ++pattern;
      ++name;
    } else if (starP) {
      pattern = starP + 1;
      name = ++starN;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == 0;
}

bool FillFindData(const std::string& hostPath, const std::string& programName, WIN32_FIND_DATAA* data) {
  struct ::stat st;
  if (::stat(hostPath.c_str(), &st) != 0) return false;
  if (programName.size() >= sizeof data->cFileName) return false;
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  uint64_t size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
  data->nFileSizeLow = DWORD(size);
  data->nFileSizeHigh = DWORD(size >> 32);
  // FILETIME counts 100 ns from 1601.
  uint64_t ft = (uint64_t(st.st_mtime) + 11644473600ull) * 10000000ull;
  data->ftLastWriteTime = {DWORD(ft), DWORD(ft >> 32)};
  data->ftCreationTime = data->ftLastAccessTime = data->ftLastWriteTime;
  std::memcpy(data->cFileName, programName.c_str(), programName.size() + 1);
  return true;
}

}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !*pattern || !data) return INVALID_HANDLE_VALUE;
  std::string path(pattern);
  // Split at the last separator that is not the trail byte of a two-byte character.
  size_t split = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsDBCSLeadByte(c) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (c == '\\') split = i;
  }
  std::string folder = split == std::string::npos ? std::string() : path.substr(0, split + 1);
  std::string namePattern = split == std::string::npos ? path : path.substr(split + 1);
  auto state = std::make_unique<FindState>();
  if (namePattern.find_first_of("*?") == std::string::npos) {
    std::string host = ResolveExistingHostPath(pattern);
    WIN32_FIND_DATAA entry;
    if (host.empty() || !FillFindData(host, namePattern, &entry)) return INVALID_HANDLE_VALUE;
    // Report the name as it is on disk.
    std::string onDisk = HostPathToProgram(host.substr(host.rfind('/') + 1));
    if (!onDisk.empty() && onDisk.size() < sizeof entry.cFileName)
      std::memcpy(entry.cFileName, onDisk.c_str(), onDisk.size() + 1);
    state->entries.push_back(entry);
  } else {
    std::string hostFolder = folder.empty() ? std::string(".") : ResolveExistingHostPath(folder.c_str());
    if (hostFolder.empty()) return INVALID_HANDLE_VALUE;
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return INVALID_HANDLE_VALUE;
    if (hostFolder.back() != '/') hostFolder += '/';
    while (dirent* e = readdir(dir)) {
      std::string programName = HostPathToProgram(e->d_name);
      if (!WildcardMatch(namePattern.c_str(), programName.c_str())) continue;
      WIN32_FIND_DATAA entry;
      if (FillFindData(hostFolder + e->d_name, programName, &entry)) state->entries.push_back(entry);
    }
    closedir(dir);
    // Sorted by name so that scans are the same on every run.
    std::sort(state->entries.begin(), state->entries.end(),
              [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
                return std::strcmp(a.cFileName, b.cFileName) < 0;
              });
  }
  if (state->entries.empty()) return INVALID_HANDLE_VALUE;
  *data = state->entries[0];
  state->next = 1;
  return state.release();
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
  if (!find || find == INVALID_HANDLE_VALUE || !data) return FALSE;
  FindState* state = static_cast<FindState*>(find);
  if (state->next >= state->entries.size()) return FALSE;
  *data = state->entries[state->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!find || find == INVALID_HANDLE_VALUE) return FALSE;
  delete static_cast<FindState*>(find);
  return TRUE;
}

// [MODULE] ------------------------------------------------------------------------------------
namespace {
std::string g_moduleFolderOverride;
}

void SetModuleFolderForTesting(const char* programFolder) {
  g_moduleFolderOverride = programFolder ? programFolder : "";
}

DWORD GetModuleFileNameA(void*, char* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  char link[4096];
  ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
  if (n <= 0) return 0;
  link[n] = 0;
  std::string program = HostPathToProgram(link);
  if (!g_moduleFolderOverride.empty()) {
    size_t slash = program.rfind('\\');
    program = g_moduleFolderOverride + program.substr(slash == std::string::npos ? 0 : slash + 1);
  }
  // As on Windows: a path that does not fit is cut and still terminated.
  size_t copy = std::min<size_t>(program.size(), size - 1);
  std::memcpy(buffer, program.data(), copy);
  buffer[copy] = 0;
  return DWORD(copy);
}

UINT GetDoubleClickTime() { return 500; }

namespace {

PALETTEENTRY SystemPaletteEntry(UINT i) {
  static const BYTE low[10][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                  {0, 0, 128},   {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                  {192, 220, 192}, {166, 202, 240}};
  static const BYTE high[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                   {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                   {0, 255, 255},   {255, 255, 255}};
  if (i < 10) return {low[i][0], low[i][1], low[i][2], 0};
  if (i >= 246) return {high[i - 246][0], high[i - 246][1], high[i - 246][2], 0};
  UINT k = i - 10;
  if (k < 216) {
    // A 6x6x6 colour cube.
    return {BYTE((k / 36) * 51), BYTE(((k / 6) % 6) * 51), BYTE((k % 6) * 51), 0};
  }
  // Twenty greys between the cube's levels.
  BYTE g = BYTE(8 + (k - 216) * 12);
  return {g, g, g, 0};
}

int g_screenDcToken;

}  // namespace

UINT GetSystemPaletteEntries(HDC, UINT start, UINT count, PALETTEENTRY* entries) {
  if (!entries || start >= 256) return 0;
  UINT n = std::min<UINT>(count, 256 - start);
  for (UINT i = 0; i < n; ++i) entries[i] = SystemPaletteEntry(start + i);
  return n;
}

HDC GetDC(HWND) { return reinterpret_cast<HDC>(&g_screenDcToken); }

int ReleaseDC(HWND, HDC) { return 1; }
