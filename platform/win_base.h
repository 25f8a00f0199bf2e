#pragma once
// win_base: our stand-in for the parts of KERNEL32, WINMM and the C runtime that the system
// calls, with their Windows names and meanings, on Linux.
//
// [TYPES]     Windows scalar types and the few records the system passes around
// [TIME]      timeGetTime, the performance counter, Sleep, the C runtime's clock()
// [RANDOM]    the C runtime's rand()/srand() with RAND_MAX 32767
// [LOCKS]     recursive critical sections
// [TEXT]      code page 936 <-> UTF-8 / UTF-16 at the boundary
// [PATHS]     program paths ("\home\u\a.obj") <-> host paths ("/home/u/a.obj")
// [FILES]     fopen & co. with Windows text mode, stat, remove, rename, mkdir, whole-file reads
// [FIND]      FindFirstFileA / FindNextFileA / FindClose
// [MODULE]    the executable's path, the system palette, the double-click time
//
// The system's text is code page 936 bytes everywhere; conversion to the host's UTF-8 happens
// only inside these functions. Nothing above platform/ calls the host's fopen, stat, clock or
// rand: it calls the ones here.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// [TYPES] -------------------------------------------------------------------------------------
typedef uint32_t DWORD;
typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t HRESULT;
typedef void* HANDLE;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
struct HWND__;
typedef HWND__* HWND;
struct HDC__;
typedef HDC__* HDC;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define MAX_PATH 260

// The system's path buffers hold this many bytes.
constexpr int kPathBufferSize = 520;

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  int64_t QuadPart;
};

struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};
struct SIZE {
  LONG cx, cy;
};
// GDI's device-independent bitmap header: 40 bytes, as it follows the file header of a .bmp.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is GDI's 40-byte record");

// [TIME] --------------------------------------------------------------------------------------
// Milliseconds of a monotonic clock that does not start at 0 for the process (it counts from
// boot, as on Windows); 32 bits, wrapping after 49.7 days. Differences are taken modulo 2^32.
DWORD timeGetTime();
// Nanoseconds of the monotonic clock; the frequency is 1e9. Both always succeed (TRUE).
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
void Sleep(DWORD milliseconds);

// Test seam: when set, timeGetTime returns this function's value instead of the clock.
typedef DWORD (*TimeSourceFn)();
void SetTimeSourceForTesting(TimeSourceFn source);  // null restores the real clock

namespace crt {

// Windows' clock(): wall-time milliseconds since the program started (CLOCKS_PER_SEC 1000).
constexpr long CLOCKS_PER_SEC_ = 1000;
long clock();

// [RANDOM] ------------------------------------------------------------------------------------
// Windows' rand(): x = x * 214013 + 2531011, result (x >> 16) & 0x7FFF; seed 1 at start, so
// every run sees the same sequence (41, 18467, 6334, 26500, 19169, ...).
constexpr int RAND_MAX_ = 32767;
int rand();
void srand(unsigned seed);

// [FILES] -------------------------------------------------------------------------------------
// fopen with a program path. Modes as in the C runtime; without 'b' the file is in Windows text
// mode: writing turns "\n" into "\r\n", reading turns "\r\n" into "\n". When the exact path
// does not exist and the mode only reads, each path component is matched without regard to case.
// Null on failure. Close with the ordinary fclose; fgets/fread/fwrite/fprintf/fseek/ftell work.
FILE* fopen(const char* path, const char* mode);

// stat of a program path (same case-insensitive fallback). 0 on success, -1 on failure.
struct FileStat {
  uint64_t size;
  bool isDirectory;
  int64_t modifiedTime;  // seconds since 1970
};
int stat(const char* path, FileStat* out);
int remove(const char* path);                        // a file; 0 on success
int rename(const char* oldPath, const char* newPath);  // replaces an existing target; 0 on success
int mkdir(const char* path);                         // 0 on success or when it exists as a folder

}  // namespace crt

// The whole file at a program path into *out (replaced), read in binary through crt::fopen to
// its end. False, with *out empty, for a null name, a file that does not open, a read error or
// a file too large for memory. The one file reader of the system's own decoders and of D3DX's
// file calls: they all parse from memory.
bool ReadWholeFile(const char* programPath, std::vector<uint8_t>* out);
// At most maxBytes from the start of the file (all of it when shorter), for header probes;
// *whole, when given, tells whether that was the whole file. Fails as ReadWholeFile.
bool ReadFileHead(const char* programPath, size_t maxBytes, std::vector<uint8_t>* out,
                  bool* whole = nullptr);

// [LOCKS] -------------------------------------------------------------------------------------
// A recursive lock: the thread that holds it may enter again (event routing re-enters).
struct CRITICAL_SECTION {
  void* impl = nullptr;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

// [TEXT] --------------------------------------------------------------------------------------
// Code page 936 (glibc iconv "CP936", not GB18030).
// UTF-8 -> CP936: characters that CP936 lacks become '?'.
std::string Utf8ToCp936(const std::string& utf8);
// CP936 -> UTF-8: an invalid or truncated byte sequence becomes U+FFFD.
std::string Cp936ToUtf8(const std::string& cp936);
std::u16string Cp936ToUtf16(const std::string& cp936);
std::string Utf16ToCp936(const std::u16string& utf16);
// True when byte b starts a two-byte character of code page 936 (0x81..0xFE).
inline bool IsDBCSLeadByte(BYTE b) { return b >= 0x81 && b <= 0xFE; }

#define CP_ACP 0
// The Windows conversions, for CP_ACP only. Lengths in characters/bytes; -1 for a
// NUL-terminated source (the count then includes the NUL). Result: characters written, or the
// size needed when the destination size is 0; 0 on failure.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength,
                        char16_t* dest, int destLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* source, int sourceLength,
                        char* dest, int destLength, const char* defaultChar, BOOL* usedDefault);

// [PATHS] -------------------------------------------------------------------------------------
// "\home\u\a.obj" -> "/home/u/a.obj" (bytes converted from CP936 to UTF-8; a 0x5C trail byte of
// a two-byte character is not a separator). A leading drive letter ("C:") is dropped.
std::string ProgramPathToHost(const char* programPath);
// "/home/u/a.obj" -> "\home\u\a.obj" in CP936.
std::string HostPathToProgram(const std::string& hostPath);
// The host path of an existing file or folder for a program path: the exact path when it
// exists, else the path whose components match without regard to case; empty when none does.
std::string ResolveExistingHostPath(const char* programPath);

// [FIND] --------------------------------------------------------------------------------------
struct FILETIME {
  DWORD dwLowDateTime, dwHighDateTime;
};
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime, ftLastAccessTime, ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0, dwReserved1;
  char cFileName[MAX_PATH];  // CP936
  char cAlternateFileName[14];
};
// "folder\*.*" lists the folder's entries (with "." and "..", sorted by name); "folder\*.jpg"
// filters by a pattern with '*' and '?' (case-insensitive); a plain path finds that one entry.
// INVALID_HANDLE_VALUE when nothing matches.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);
BOOL DeleteFileA(const char* path);

// [MODULE] ------------------------------------------------------------------------------------
// The executable's full program path ("\home\u\viewer\viewer"); returns its length (0 on failure).
DWORD GetModuleFileNameA(void* module, char* buffer, DWORD size);
// Test seam: make the executable's folder another one (program path ending in "\"); null resets.
void SetModuleFolderForTesting(const char* programFolder);

UINT GetDoubleClickTime();  // 500 ms

struct PALETTEENTRY {
  BYTE peRed, peGreen, peBlue, peFlags;
};
// A fixed 256-entry table: the 20 static colours of a Windows palette at 0..9 and 246..255, a
// 6x6x6 colour cube and a grey ramp between. Returns the number of entries copied.
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);
HDC GetDC(HWND window);                 // a token: the screen's device context
int ReleaseDC(HWND window, HDC dc);
