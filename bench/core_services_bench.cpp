// Core services on large inputs: reading a picture list of 200,000 lines (about 13 MB) through
// the text-mode file layer, and the bounding box of a million model vertices.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/math3d.h"
#include "graphics/renderer.h"
#include "platform/win_base.h"

namespace {

std::string ListFile() {
  static std::string program;
  if (!program.empty()) return program;
  const std::string host = "/tmp/viewer-core-bench-list.txt";
  FILE* f = std::fopen(host.c_str(), "wb");
  for (int i = 0; i < 200000; ++i) {
    std::fprintf(f, "  \\home\\user\\pictures\\album %d\\photo_%06d.jpg\t\r\n%s", i / 100, i,
                 i % 1000 == 0 ? "\r\n" : "");  // a blank line now and then
  }
  std::fclose(f);
  program = HostPathToProgram(host);
  return program;
}

void BM_ReadListLines(benchmark::State& state) {
  const std::string path = ListFile();
  char line[1024];
  for (auto _ : state) {
    FILE* f = crt::fopen(path.c_str(), "r");
    int lines = 0;
    while (ReadListLine(line, sizeof line, f)) ++lines;
    std::fclose(f);
    if (lines != 200000) state.SkipWithError("wrong line count");
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(state.iterations() * 200000);
}
BENCHMARK(BM_ReadListLines)->Unit(benchmark::kMillisecond);

void BM_BoundingBoxMillionVertices(benchmark::State& state) {
  std::vector<sVertexNormalTex> vertices(1000000);
  for (size_t i = 0; i < vertices.size(); ++i) {
    vertices[i] = {float(i % 997), float(i % 991) - 500, float(i % 983) * 0.5f, 0, 1, 0, 0, 0};
  }
  sVector3 lo, hi;
  for (auto _ : state) {
    ComputeBoundingBox(uint32_t(vertices.size()), vertices.data(), &lo, &hi);
    benchmark::DoNotOptimize(lo);
    benchmark::DoNotOptimize(hi);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(vertices.size()));
}
BENCHMARK(BM_BoundingBoxMillionVertices)->Unit(benchmark::kMillisecond);

}  // namespace
