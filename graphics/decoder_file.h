#pragma once
// Whole-file reading for the system's own picture decoders: they parse from memory, so the
// file-name entry points read the file here first (through crt::fopen, program paths).

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads the whole file at a program path into out. False (and out empty) when the name is
// null, the file does not open or a read comes up short.
bool ReadWholeFile(const char* programPath, std::vector<uint8_t>& out);
// Reads at most maxBytes from the start of the file (fewer when the file is shorter).
bool ReadFileHead(const char* programPath, size_t maxBytes, std::vector<uint8_t>& out);
