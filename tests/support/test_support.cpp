#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

std::string DataPath(const std::string& relative) {
  return std::string(VIEWER_TEST_DATA_DIR) + "/" + relative;
}

std::string CorpusPath(const std::string& relative) {
  return std::string(VIEWER_CORPUS_DIR) + "/" + relative;
}

bool HaveCorpus() {
  struct stat st;
  return ::stat(VIEWER_CORPUS_DIR, &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<uint8_t> ReadHostFile(const std::string& hostPath) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(hostPath.c_str(), "rb");
  if (!f) return bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}

std::string ToProgramPath(const std::string& hostPath) {
  std::string out = hostPath;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string TestNameFromPath(const std::string& path, bool withFolder) {
  size_t slash = path.find_last_of('/');
  std::string name = withFolder || slash == std::string::npos ? path : path.substr(slash + 1);
  for (char& c : name) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!ok) c = '_';
  }
  return name;
}

std::string MakeTempFolder(const std::string& tag) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/viewer-" + tag + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  if (!::mkdtemp(buf.data())) return std::string();
  return std::string(buf.data());
}

}  // namespace testing_support
