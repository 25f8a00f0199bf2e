#include "core/log_file.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/win_base.h"

namespace {

const char* LevelName(int32_t level) {
  switch (level) {
    case kLogError:
      return "ERROR\t";
    case kLogWarning:
      return "WARNING\t";
    case kLogInfo:
      return "INFO\t";
    case kLogDebug:
      return "DEBUG\t";
    default:
      return "OTHER\t";
  }
}

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

void Append(sLogFile* log, const char* text, size_t length) {
  std::memcpy(log->buffer + log->used - 1, text, length);
  log->used += uint32_t(length);
  log->buffer[log->used - 1] = 0;
}

}  // namespace

void FormatLogHeader(int32_t level, char* out, size_t size) {
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  std::snprintf(out, size, "LogLevel: %sTimeStamp: %d/%d/%d %s %d:%d:%d\n", LevelName(level),
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                kWeekdays[unsigned(local.tm_wday) % 7], local.tm_hour, local.tm_min,
                local.tm_sec);
}

bool OpenLogFile(sLogFile* log, const char* path, bool buffered, bool withHeader, int32_t level) {
  if (!log) return false;
  *log = sLogFile{};
  log->buffered = buffered;
  log->withHeader = withHeader;
  log->level = level;
  log->file = path ? crt::fopen(path, "a") : nullptr;
  if (!log->file) return false;
  if (buffered) {
    log->buffer = static_cast<char*>(std::malloc(kLogBufferSize));
    if (!log->buffer) {
      std::fclose(log->file);
      log->file = nullptr;
      return false;
    }
    log->buffer[0] = 0;
    log->capacity = kLogBufferSize;
  }
  log->enabled = true;
  return true;
}

void WriteLogText(sLogFile* log, const char* text) {
  if (!log || !log->file || !text) return;
  std::fwrite(text, 1, std::strlen(text), log->file);
  std::fflush(log->file);
}

bool WriteLogLine(sLogFile* log, const char* format, ...) {
  if (!log || !log->enabled || !format) return false;
  char message[kLogBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  message[sizeof message - 1] = 0;

  char header[128] = "";
  if (log->withHeader) FormatLogHeader(log->level, header, sizeof header);
  const size_t headerLength = std::strlen(header), messageLength = std::strlen(message);
  const size_t n = headerLength + messageLength;

  // A buffered log without its buffer writes straight through instead of through a null buffer.
  if (!log->buffered || !log->buffer || log->used < 1 || log->used > log->capacity) {
    if (headerLength) WriteLogText(log, header);
    WriteLogText(log, message);
    return true;
  }
  if (log->used + n >= log->capacity) {
    WriteLogText(log, log->buffer);
    log->buffer[0] = 0;
    log->used = 1;
    if (n >= log->capacity) {
      if (headerLength) WriteLogText(log, header);
      WriteLogText(log, message);
      return true;
    }
  }
  Append(log, header, headerLength);
  Append(log, message, messageLength);
  return true;
}

void CloseLogFile(sLogFile* log) {
  if (!log) return;
  // Text a write accepted reaches the file even when the log was disabled afterwards, and the
  // file and buffer are released either way.
  if (log->buffer) {
    WriteLogText(log, log->buffer);
    std::free(log->buffer);
    log->buffer = nullptr;
  }
  if (log->file) {
    std::fflush(log->file);
    std::fclose(log->file);
    log->file = nullptr;
  }
  log->enabled = false;
  log->used = 1;
}
