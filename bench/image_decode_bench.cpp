// Decoding speed of large pictures: our GIF decoder against giflib on the same 8000 x 6000
// file (the "ours_over_giflib" counter is the ratio of their times), and the D3DX path's JPEG
// and PNG decoding of a 4000 x 3000 picture. Every file is made here, in memory.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "graphics/gif_image.h"
#include "platform/d3dx9_image.h"

namespace {

constexpr uint32_t kGifWidth = 8000, kGifHeight = 6000;

// Photo-like indices: smooth bands with some noise, so LZW strings have realistic lengths.
std::vector<uint8_t> MakeIndices(uint32_t w, uint32_t h) {
  std::vector<uint8_t> px(size_t(w) * h);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      uint32_t noise = (seed >> 16) % 16 == 0 ? (seed >> 20) % 8 : 0;
      px[size_t(y) * w + x] = uint8_t((x / 16 + y / 12 + noise) % 256);
    }
  }
  return px;
}

struct Buffer {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
};

int WriteToBuffer(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Buffer*>(gif->UserData);
  out->bytes.insert(out->bytes.end(), data, data + length);
  return length;
}

int ReadFromBuffer(GifFileType* gif, GifByteType* data, int length) {
  auto* in = static_cast<Buffer*>(gif->UserData);
  size_t n = std::min(size_t(length), in->bytes.size() - in->pos);
  std::memcpy(data, in->bytes.data() + in->pos, n);
  in->pos += n;
  return int(n);
}

// The big GIF, written once by giflib's encoder.
const std::vector<uint8_t>& BigGif() {
  static std::vector<uint8_t> file = [] {
    Buffer out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToBuffer, &error);
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i) colors[i] = {GifByteType(i), GifByteType(255 - i), GifByteType(i / 2)};
    ColorMapObject* map = GifMakeMapObject(256, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, kGifWidth, kGifHeight, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, kGifWidth, kGifHeight, false, nullptr);
    std::vector<uint8_t> px = MakeIndices(kGifWidth, kGifHeight);
    for (uint32_t y = 0; y < kGifHeight; ++y) EGifPutLine(gif, &px[size_t(y) * kGifWidth], kGifWidth);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out.bytes;
  }();
  return file;
}

bool DecodeWithGiflib(const std::vector<uint8_t>& file) {
  Buffer in{file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&in, ReadFromBuffer, &error);
  if (!gif) return false;
  bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1;
  DGifCloseFile(gif, &error);
  return ok;
}

bool DecodeWithOurs(const std::vector<uint8_t>& file) {
  cGifImage gif;
  return gif.LoadFromMemory(file.data(), file.size()) && gif.frameCount == 1;
}

void BM_GifOurs(benchmark::State& state) {
  const auto& file = BigGif();
  for (auto _ : state) {
    if (!DecodeWithOurs(file)) state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kGifWidth * kGifHeight);
}
BENCHMARK(BM_GifOurs)->Unit(benchmark::kMillisecond);

void BM_GifGiflib(benchmark::State& state) {
  const auto& file = BigGif();
  for (auto _ : state) {
    if (!DecodeWithGiflib(file)) state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kGifWidth * kGifHeight);
}
BENCHMARK(BM_GifGiflib)->Unit(benchmark::kMillisecond);

// Both decoders alternately on the same file; the counter is our time over giflib's.
void BM_GifRatio(benchmark::State& state) {
  const auto& file = BigGif();
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    DecodeWithOurs(file);
    auto t1 = std::chrono::steady_clock::now();
    DecodeWithGiflib(file);
    auto t2 = std::chrono::steady_clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    theirs += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["ours_over_giflib"] = theirs > 0 ? ours / theirs : 0;
}
BENCHMARK(BM_GifRatio)->Unit(benchmark::kMillisecond)->Iterations(5);

const std::vector<uint8_t>& BigPicture(D3DXIMAGE_FILEFORMAT format) {
  static std::vector<uint8_t> files[9];
  std::vector<uint8_t>& file = files[format];
  if (file.empty()) {
    const uint32_t w = 4000, h = 3000;
    std::vector<uint32_t> px(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        px[size_t(y) * w + x] = 0xFF000000u | ((x / 4) % 256) << 16 | ((y / 3) % 256) << 8 | ((x + y) / 7) % 256;
      }
    }
    EncodeImageToMemory(format, w, h, px.data(), w * 4, &file);
  }
  return file;
}

void BM_DecodePicture(benchmark::State& state) {
  auto format = D3DXIMAGE_FILEFORMAT(state.range(0));
  const auto& file = BigPicture(format);
  for (auto _ : state) {
    DecodedImage image;
    if (!DecodeImageFromMemory(file.data(), file.size(), &image)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.argb.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 4000 * 3000);
}
BENCHMARK(BM_DecodePicture)->Arg(D3DXIFF_JPG)->Arg(D3DXIFF_PNG)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A 3000 x 2000 picture stretched to a 4096 x 2048 texture, as a power-of-two load does.
void BM_ResampleToPowerOfTwo(benchmark::State& state) {
  const uint32_t w = 3000, h = 2000;
  std::vector<uint32_t> src(size_t(w) * h);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint32_t(i * 2654435761u) | 0xFF000000u;
  std::vector<uint32_t> dst(size_t(4096) * 2048);
  for (auto _ : state) {
    ResampleImageTriangle(src.data(), w, h, dst.data(), 4096, 2048);
    benchmark::DoNotOptimize(dst.data());
  }
}
BENCHMARK(BM_ResampleToPowerOfTwo)->Unit(benchmark::kMillisecond);

}  // namespace
