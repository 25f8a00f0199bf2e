#pragma once
// Text helpers shared by the text-format model readers (PLY, STL, and later OBJ, Collada and the
// particle script): the number parsers, the fgets line trimming, and a line reader over bytes in
// memory that trims the same way.

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Each parser starts at text, skips blanks (space, tab) and stops at the first byte that does not
// fit; *end (when given) receives that position. No digits at all give 0.
double ParseDouble(const char* text, const char** end = nullptr);
int32_t ParseInt(const char* text, const char** end = nullptr);
// As ParseInt, but a leading '-' is passed over and not applied ("-7" gives 7).
uint32_t ParseUnsigned(const char* text, const char** end = nullptr);

// Bounded forms for text that is not zero-terminated: they never read at or past limit.
double ParseDouble(const char* text, const char* limit, const char** end);
uint32_t ParseUnsigned(const char* text, const char* limit, const char** end);

// Completes a line that fgets has just put into buffer (size bytes) and trims it: the line feed
// (and a carriage return before it) goes; when the line was longer than the buffer, the rest of
// it is read from file and dropped; leading and trailing bytes 1..32 are removed. Returns buffer.
char* TrimModelLine(char* buffer, size_t size, FILE* file);

namespace model {

// Lines of a text held in memory, trimmed like TrimModelLine (bytes 1..32 at both ends). Lines end
// at LF; a CR before it goes with the blanks. Lines are not truncated.
class cTextLines {
 public:
  cTextLines(const char* data, size_t size) : pos_(data), end_(data + size) {}
  // Next trimmed line as [*begin, *end); false at the end of the text.
  bool Next(const char** begin, const char** end);
  // Drops the next n lines (or all that remain); returns how many were dropped.
  size_t Skip(size_t n);
  const char* Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= end_; }

 private:
  const char* pos_;
  const char* end_;
};

// True when [begin, end) starts with the zero-terminated prefix.
bool StartsWith(const char* begin, const char* end, const char* prefix);
// Passes over blanks (space, tab) but never past end.
const char* SkipBlanks(const char* p, const char* end);
// Passes over one token (bytes above 32) and the bytes 0..32 after it; always moves unless at end.
const char* SkipTokenAndBlanks(const char* p, const char* end);

}
