// Loading speed of the binary STL, binary PLY and ASCII PLY readers on a generated model of about
// a million triangles, against the time to read the same file's bytes, and the ASCII PLY reader
// against assimp. The ratios are printed after the benchmarks.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <malloc.h>
#include <string>
#include <vector>

#include "model/model_ply.h"
#include "model/model_stl.h"
#include "platform/win_base.h"

#ifdef VIEWER_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

constexpr int kGrid = 708;  // 707 x 707 cells x 2 = 999,698 triangles

std::string g_folder;
std::map<std::string, double> g_seconds;  // mean seconds per load, by benchmark

std::string HostFile(const char* name) { return g_folder + "/" + name; }

float Height(int x, int y) { return float((x * 7 + y * 13) % 17) * 0.1f; }

void WriteFiles() {
  char pattern[] = "/tmp/model_bench_XXXXXX";
  g_folder = mkdtemp(pattern);
  int cells = kGrid - 1;
  uint32_t triangles = uint32_t(cells) * cells * 2;
  auto corner = [](int x, int y, float* out) {
    out[0] = float(x);
    out[1] = float(y);
    out[2] = Height(x, y);
  };
  FILE* stl = std::fopen(HostFile("grid.stl").c_str(), "wb");
  char header[80] = "binary grid";
  std::fwrite(header, 1, 80, stl);
  std::fwrite(&triangles, 4, 1, stl);
  for (int y = 0; y < cells; ++y) {
    for (int x = 0; x < cells; ++x) {
      float r[12] = {0, 0, 1};
      uint16_t attribute = 0;
      corner(x, y, r + 3), corner(x + 1, y, r + 6), corner(x + 1, y + 1, r + 9);
      std::fwrite(r, 4, 12, stl), std::fwrite(&attribute, 2, 1, stl);
      corner(x, y, r + 3), corner(x + 1, y + 1, r + 6), corner(x, y + 1, r + 9);
      std::fwrite(r, 4, 12, stl), std::fwrite(&attribute, 2, 1, stl);
    }
  }
  std::fclose(stl);
  for (bool ascii : {false, true}) {
    FILE* ply = std::fopen(HostFile(ascii ? "grid_ascii.ply" : "grid.ply").c_str(), "wb");
    std::fprintf(ply,
                 "ply\nformat %s 1.0\nelement vertex %d\nproperty float x\nproperty float y\n"
                 "property float z\nelement face %u\nproperty list uchar int vertex_indices\nend_header\n",
                 ascii ? "ascii" : "binary_little_endian", kGrid * kGrid, triangles);
    for (int y = 0; y < kGrid; ++y) {
      for (int x = 0; x < kGrid; ++x) {
        float p[3];
        corner(x, y, p);
        if (ascii)
          std::fprintf(ply, "%g %g %g\n", p[0], p[1], p[2]);
        else
          std::fwrite(p, 4, 3, ply);
      }
    }
    for (int y = 0; y < cells; ++y) {
      for (int x = 0; x < cells; ++x) {
        int k = y * kGrid + x;
        int t[2][3] = {{k, k + 1, k + kGrid + 1}, {k, k + kGrid + 1, k + kGrid}};
        for (auto& tri : t) {
          if (ascii) {
            std::fprintf(ply, "3 %d %d %d\n", tri[0], tri[1], tri[2]);
          } else {
            uint8_t n = 3;
            std::fwrite(&n, 1, 1, ply);
            std::fwrite(tri, 4, 3, ply);
          }
        }
      }
    }
    std::fclose(ply);
  }
}

void Record(benchmark::State& state, const std::string& name, double seconds) {
  g_seconds[name] = seconds / double(state.iterations());
}

template <class Body>
void Timed(benchmark::State& state, const std::string& name, Body body) {
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    body();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, name, total);
}

// The baseline: the file read from disk into a fresh buffer, exactly as Load reads it.
void ReadBytes(benchmark::State& state, const char* file) {
  std::string path = HostPathToProgram(HostFile(file));
  Timed(state, std::string("read ") + file, [&] {
    model::sFileBytes bytes;
    if (!model::ReadModelFile(path.c_str(), &bytes)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(bytes.data.get());
  });
}

template <class Reader>
void LoadModel(benchmark::State& state, const char* file) {
  model::sRenderContext context;
  std::string path = HostPathToProgram(HostFile(file));
  Timed(state, std::string("load ") + file, [&] {
    Reader reader;
    reader.context = &context;
    reader.fileName = path;
    if (!reader.Load()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(reader.faceCount);
  });
}

void BM_ReadBytes_BinaryStl(benchmark::State& s) { ReadBytes(s, "grid.stl"); }
void BM_Load_BinaryStl(benchmark::State& s) { LoadModel<model::cModelSTL>(s, "grid.stl"); }
void BM_ReadBytes_BinaryPly(benchmark::State& s) { ReadBytes(s, "grid.ply"); }
void BM_Load_BinaryPly(benchmark::State& s) { LoadModel<model::cModelPLY>(s, "grid.ply"); }
void BM_ReadBytes_AsciiPly(benchmark::State& s) { ReadBytes(s, "grid_ascii.ply"); }
void BM_Load_AsciiPly(benchmark::State& s) { LoadModel<model::cModelPLY>(s, "grid_ascii.ply"); }
BENCHMARK(BM_ReadBytes_BinaryStl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_BinaryStl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBytes_BinaryPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_BinaryPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBytes_AsciiPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_AsciiPly)->Unit(benchmark::kMillisecond);

#ifdef VIEWER_HAVE_ASSIMP
void BM_Assimp_AsciiPly(benchmark::State& state) {
  std::string path = HostFile("grid_ascii.ply");
  Timed(state, "assimp grid_ascii.ply", [&] {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    if (!scene) state.SkipWithError("assimp failed");
    benchmark::DoNotOptimize(scene);
  });
}
BENCHMARK(BM_Assimp_AsciiPly)->Unit(benchmark::kMillisecond);
#endif

void PrintRatio(const char* label, const std::string& a, const std::string& b) {
  if (!g_seconds.count(a) || !g_seconds.count(b)) return;
  std::printf("%-46s %.2f\n", label, g_seconds[a] / g_seconds[b]);
}

}  // namespace

int main(int argc, char** argv) {
  // Every large block comes fresh from the system, as on the first load of a session: without
  // this the allocator's adaptive threshold would hand the baseline's buffer back warm from
  // one iteration to the next while the loads, with more blocks alive, pay their page faults.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  WriteFiles();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nratios (goal: binary load <= 2.0 x read; assimp / ascii PLY >= 2.0)\n");
  PrintRatio("binary STL load / read bytes", "load grid.stl", "read grid.stl");
  PrintRatio("binary PLY load / read bytes", "load grid.ply", "read grid.ply");
  PrintRatio("ASCII PLY load / read bytes", "load grid_ascii.ply", "read grid_ascii.ply");
  PrintRatio("assimp ASCII PLY / our ASCII PLY", "assimp grid_ascii.ply", "load grid_ascii.ply");
  for (const char* f : {"grid.stl", "grid.ply", "grid_ascii.ply"}) std::remove(HostFile(f).c_str());
  std::remove(g_folder.c_str());
  return 0;
}
