#pragma once
// Files, paths and text lines: case conversion of names, existence and size of files, the two
// extension tests that decide whether a file opens as an image or as a model, scans of one folder
// for image files, the line reader of the system's own text files (the picture lists and
// options.dat), random numbers and a copy of the system palette.
//
// Paths are program paths in code page 936 ("\" separators, at most 520 bytes); folder paths
// given to the scans end with a backslash. Files are opened through crt::fopen.

#include <cstdint>
#include <cstdio>
#include <memory>

// [NAMES] -------------------------------------------------------------------------------------
// 'A'..'Z' to lower case (or 'a'..'z' to upper case) in place; every other byte, both bytes of
// a two-byte character included, is left alone. Returns the string; null stays null.
char* StrToLower(char* text);
char* StrToUpper(char* text);

// [FILES] -------------------------------------------------------------------------------------
// True when the folder search finds the path (a file or a folder).
bool FileExists(const char* path);
// Low 32 bits of the size the folder search reports; 0 when not found.
uint32_t QueryFileSize(const char* path);
// Size of an open file (seeks to the end and back to the start); 0 for null or on failure.
long GetFileLength(FILE* file);

// The extension (after the last '.', at most 9 characters, without regard to case) is one of
// the image types the viewer opens: jpg jpeg png pcx pfm ppm gif bmp tga tif tiff ico cur dds
// dib hdr wbmp. False for an empty path or one that does not exist.
bool IsImageFile(const char* path);
// The same for the model types: obj 3ds dae lwo lxo md2 md3 ms3d x b3d stl ply prj ter.
bool IsModelFile(const char* path);

// [FOLDER SCANS] ------------------------------------------------------------------------------
// For every image file directly in the folder: adds 1 to *count and its size in KB to *totalKB.
// The caller initialises both. Nothing for a null argument.
void CountImagesInFolder(const char* folder, int32_t* count, float* totalKB);
// Full path of the first image file directly in the folder, in the folder search's order; null
// when there is none, when the folder is null or longer than 510 bytes.
std::unique_ptr<char[]> FindFirstImageInFolder(const char* folder);

// [TEXT LINES] --------------------------------------------------------------------------------
// Reads one line of a text file into buffer, without its leading and trailing blanks and control
// characters (bytes below 33; bytes from 0x80 up are text, so a line may end in a two-byte
// character). The rest of a line longer than size - 1 bytes is dropped.
// Non-zero when a line was read. 0, with an empty buffer, at the end of the file AND for a blank
// line: use ReadListLine to read a whole file.
int ReadTrimmedLine(char* buffer, int size, FILE* file);
inline int ReadTrimmedLine(FILE* file, char* buffer, int size) {
  return ReadTrimmedLine(buffer, size, file);
}
// The next line that is not blank: blank lines are skipped, so one in the middle of a list file
// does not end the reading (the lines after it would be lost on the next save). 0 only at the
// end of the file or on a read error.
int ReadListLine(char* buffer, int size, FILE* file);

// [RANDOM] ------------------------------------------------------------------------------------
// low when low == high; else low + crt::rand() % (|high - low| + 1): from low up to
// low + |high - low|, both included (so RandomInt(7, 3) lies in 7..11).
int RandomInt(int low, int high);
// low when low == high; else low + (crt::rand() / 32767) * |high - low|, both ends included.
float RandomFloat(float low, float high);

// [PALETTE] -----------------------------------------------------------------------------------
// The first count (at most 256) entries of the system palette as four bytes each: blue, green,
// red, and a fourth byte left as it was.
void GetSystemPalette(uint8_t* out, uint32_t count);
