#pragma once
// The log writer: lines of text to a file, directly or through a buffer of 8,192 bytes, each
// optionally preceded by a header line with a level name and a local time stamp:
//   "LogLevel: INFO\tTimeStamp: 2024/3/7 Thu 9:5:3\n"
// The image search keeps its temporary list of paths in one (buffered, no header).

#include <cstdint>
#include <cstdio>

constexpr uint32_t kLogBufferSize = 8192;

enum eLogLevel : int32_t { kLogError = 0, kLogWarning = 1, kLogInfo = 2, kLogDebug = 3 };

struct sLogFile {
  bool enabled = false;     // nothing is written while false
  bool buffered = false;    // text collects in buffer until it is full or the log is closed
  bool withHeader = false;  // each line is preceded by the header line
  int32_t level = kLogInfo;  // 0 error, 1 warning, 2 info, 3 debug, others "other"
  uint32_t used = 1;         // bytes in buffer including its terminating zero
  uint32_t capacity = 0;     // size of buffer
  char* buffer = nullptr;    // owned (malloc), zero-terminated
  FILE* file = nullptr;      // owned
};

// Fills a log: opens the program path for appending (text mode) and, when buffered, allocates
// the buffer. False (the log left disabled) when the file cannot be opened.
bool OpenLogFile(sLogFile* log, const char* path, bool buffered, bool withHeader, int32_t level);

// Formats printf-style into 8,192 bytes (longer output is cut to 8,191) and writes it, after the
// header when wanted. The caller ends the text with "\n" when it wants a line break. False when
// the log is not enabled.
bool WriteLogLine(sLogFile* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes out what is buffered, frees the buffer, closes the file and disables the log.
void CloseLogFile(sLogFile* log);

// Writes the text straight to the file and flushes; nothing without a file.
void WriteLogText(sLogFile* log, const char* text);

// The header line for a level at the current local time.
void FormatLogHeader(int32_t level, char* out, size_t size);
