#include "graphics/decoder_file.h"

#include <cstdio>
#include <memory>

#include "platform/win_base.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Size of an open file from its end; -1 when it cannot be told.
long FileSize(FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(f);
  if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
  return size;
}

bool ReadUpTo(const char* programPath, size_t maxBytes, bool requireAll,
              std::vector<uint8_t>& out) {
  out.clear();
  if (!programPath) return false;
  FilePtr file(crt::fopen(programPath, "rb"));
  if (!file) return false;
  long size = FileSize(file.get());
  if (size < 0) return false;
  size_t want = size_t(size) < maxBytes ? size_t(size) : maxBytes;
  out.resize(want);
  size_t got = want ? std::fread(out.data(), 1, want, file.get()) : 0;
  if (got != want) {
    out.resize(got);
    if (requireAll) {
      out.clear();
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const char* programPath, std::vector<uint8_t>& out) {
  return ReadUpTo(programPath, SIZE_MAX, true, out);
}

bool ReadFileHead(const char* programPath, size_t maxBytes, std::vector<uint8_t>& out) {
  return ReadUpTo(programPath, maxBytes, false, out);
}
