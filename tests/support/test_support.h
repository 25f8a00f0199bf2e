#pragma once
// Helpers shared by the test programs: where the fixtures and the real sample files are.
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Host path (with '/') of a file in tests/data.
std::string DataPath(const std::string& relative);
// Host path of a file in the shared corpus of real sample files.
std::string CorpusPath(const std::string& relative);
// True when the corpus folder is present (tests that need it skip otherwise).
bool HaveCorpus();
// Whole file as bytes; empty when it cannot be read.
std::vector<uint8_t> ReadHostFile(const std::string& hostPath);
// Host path turned into the program's own "\" form ("/a/b" -> "\a\b").
std::string ToProgramPath(const std::string& hostPath);
// A parameterised test's name from a file path: its base name with every character outside
// [A-Za-z0-9_] turned into '_' ("tiff/hopper.tif" -> "hopper_tif"), so names stay the same
// from run to run. withFolder keeps the folders as well ("tiff_hopper_tif").
std::string TestNameFromPath(const std::string& path, bool withFolder = false);
// A fresh empty folder under the system's temporary folder (host path, no trailing '/').
std::string MakeTempFolder(const std::string& tag);

}  // namespace testing_support
