// Decoding speed of large pictures: an LZW TIFF (our decoder beside libtiff's RGBA reader on the
// same bytes; the ratio is printed as a counter) and a run-length PCX.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/pcx_image.h"
#include "graphics/tiff_image.h"

namespace {

constexpr uint32_t kWidth = 4000, kHeight = 3000;

// A photo-like picture: smooth gradients with a little noise, so LZW has real work to do.
uint8_t Sample(uint32_t x, uint32_t y, uint32_t c, uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return uint8_t((x * (c + 1) / 16 + y * (3 - c) / 12 + ((seed >> 16) & 7)) & 0xFF);
}

// LZW-compressed RGB TIFF written by libtiff (with the horizontal predictor, as most writers do).
const std::vector<uint8_t>& LzwTiff() {
  static std::vector<uint8_t> bytes = [] {
    char path[] = "/tmp/tiff_pcx_bench_XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    TIFF* tif = TIFFOpen(path, "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, 2);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<uint8_t> row(kWidth * 3);
    uint32_t seed = 1;
    for (uint32_t y = 0; y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x)
        for (uint32_t c = 0; c < 3; ++c) row[x * 3 + c] = Sample(x, y, c, seed);
      TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    std::vector<uint8_t> out;
    if (FILE* f = std::fopen(path, "rb")) {
      std::fseek(f, 0, SEEK_END);
      out.resize(size_t(std::ftell(f)));
      std::fseek(f, 0, SEEK_SET);
      if (std::fread(out.data(), 1, out.size(), f) != out.size()) out.clear();
      std::fclose(f);
    }
    std::remove(path);
    return out;
  }();
  return bytes;
}

// libtiff reading from the same memory bytes.
struct MemoryFile {
  const std::vector<uint8_t>* bytes;
  toff_t pos;
};
tsize_t MemRead(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  size_t left = m->bytes->size() - size_t(m->pos);
  size_t k = size_t(n) < left ? size_t(n) : left;
  std::memcpy(buf, m->bytes->data() + m->pos, k);
  m->pos += k;
  return tsize_t(k);
}
tsize_t MemWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  if (whence == SEEK_SET) m->pos = off;
  else if (whence == SEEK_CUR) m->pos += off;
  else m->pos = m->bytes->size() + off;
  return m->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes->size(); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

void BM_TiffLzwOurs(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = LzwTiff();
  for (auto _ : state) {
    cTiffImage image;
    if (!image.LoadFromMemory(bytes.data(), bytes.size())) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.raster.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}

void BM_TiffLzwLibtiff(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = LzwTiff();
  std::vector<uint32_t> raster(size_t(kWidth) * kHeight);
  TIFFSetWarningHandler(nullptr);
  for (auto _ : state) {
    MemoryFile m{&bytes, 0};
    TIFF* tif = TIFFClientOpen("mem", "rm", &m, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                               MemMap, MemUnmap);
    if (!tif || !TIFFReadRGBAImageOriented(tif, kWidth, kHeight, raster.data(), ORIENTATION_TOPLEFT, 0))
      state.SkipWithError("libtiff failed");
    if (tif) TIFFClose(tif);
    benchmark::DoNotOptimize(raster.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}

// Both timed in one run so their ratio (ours / libtiff, below 1.5 is the target) is recorded.
void BM_TiffLzwRatio(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = LzwTiff();
  std::vector<uint32_t> raster(size_t(kWidth) * kHeight);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    cTiffImage image;
    image.LoadFromMemory(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(image.raster.data());
    auto t1 = std::chrono::steady_clock::now();
    MemoryFile m{&bytes, 0};
    TIFF* tif = TIFFClientOpen("mem", "rm", &m, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                               MemMap, MemUnmap);
    if (tif) {
      TIFFReadRGBAImageOriented(tif, kWidth, kHeight, raster.data(), ORIENTATION_TOPLEFT, 0);
      TIFFClose(tif);
    }
    auto t2 = std::chrono::steady_clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    theirs += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["ours_ms"] = ours * 1000 / double(state.iterations());
  state.counters["libtiff_ms"] = theirs * 1000 / double(state.iterations());
  state.counters["ratio_ours_to_libtiff"] = theirs > 0 ? ours / theirs : 0;
}

// 8-bit PCX with runs and literals, and its trailing palette.
const std::vector<uint8_t>& BigPcx() {
  static std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10, f[1] = 5, f[2] = 1, f[3] = 8;
    f[8] = uint8_t((kWidth - 1) & 0xFF), f[9] = uint8_t((kWidth - 1) >> 8);
    f[10] = uint8_t((kHeight - 1) & 0xFF), f[11] = uint8_t((kHeight - 1) >> 8);
    f[65] = 1, f[66] = uint8_t(kWidth & 0xFF), f[67] = uint8_t(kWidth >> 8), f[68] = 1;
    uint32_t seed = 7;
    for (uint32_t y = 0; y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth;) {
        uint8_t v = Sample(x / 8, y / 8, 1, seed);
        uint32_t run = 1 + (seed >> 20) % 12;
        if (run > kWidth - x) run = kWidth - x;
        if (run > 1 || v >= 0xC0) {
          f.push_back(uint8_t(0xC0 | run));
          f.push_back(v);
        } else {
          f.push_back(v);
        }
        x += run;
      }
    }
    f.push_back(12);
    for (int i = 0; i < 768; ++i) f.push_back(uint8_t(i));
    return f;
  }();
  return bytes;
}

void BM_PcxDecode(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = BigPcx();
  std::vector<uint32_t> argb(size_t(kWidth) * kHeight);
  for (auto _ : state) {
    sPcxImage image;
    DecodePcx(bytes.data(), bytes.size(), image);
    if (!image.ok) state.SkipWithError(image.error);
    ConvertPcxToArgb(image, reinterpret_cast<uint8_t*>(argb.data()), kWidth * 4);
    benchmark::DoNotOptimize(argb.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}

}  // namespace

BENCHMARK(BM_TiffLzwOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzwLibtiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzwRatio)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PcxDecode)->Unit(benchmark::kMillisecond);
