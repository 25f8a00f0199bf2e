// Triangle-filter resampling (D3DX_FILTER_TRIANGLE): separable tent filter whose support widens
// with the reduction factor when shrinking, plain linear interpolation when enlarging.
// Work is linear in source plus destination size times the filter width.

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/d3dx9_image.h"

namespace {

struct Tap {
  uint32_t first;  // index of the first source sample
  uint32_t count;
  uint32_t weightStart;  // into the weights array
};

// For every destination sample the source samples it covers and their normalised weights.
void BuildTaps(uint32_t srcN, uint32_t dstN, std::vector<Tap>* taps, std::vector<float>* weights) {
  double scale = double(srcN) / dstN;
  double radius = std::max(1.0, scale);
  taps->resize(dstN);
  weights->clear();
  for (uint32_t i = 0; i < dstN; ++i) {
    double centre = (i + 0.5) * scale - 0.5;
    int64_t lo = int64_t(std::floor(centre - radius)) + 1;
    int64_t hi = int64_t(std::ceil(centre + radius)) - 1;
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, int64_t(srcN) - 1);
    if (hi < lo) lo = hi = std::clamp<int64_t>(int64_t(std::lround(centre)), 0, srcN - 1);
    Tap& tap = (*taps)[i];
    tap.first = uint32_t(lo);
    tap.count = uint32_t(hi - lo + 1);
    tap.weightStart = uint32_t(weights->size());
    double sum = 0;
    for (int64_t s = lo; s <= hi; ++s) {
      double w = std::max(0.0, 1.0 - std::fabs(double(s) - centre) / radius);
      weights->push_back(float(w));
      sum += w;
    }
    if (sum <= 0) {
      for (uint32_t k = 0; k < tap.count; ++k) (*weights)[tap.weightStart + k] = 1.0f / tap.count;
    } else {
      for (uint32_t k = 0; k < tap.count; ++k) (*weights)[tap.weightStart + k] /= float(sum);
    }
  }
}

uint32_t ToByte(float v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return uint32_t(v + 0.5f);
}

}  // namespace

void ResampleImageTriangle(const uint32_t* src, uint32_t w, uint32_t h, uint32_t* dst,
                           uint32_t dstW, uint32_t dstH) {
  if (!src || !dst || !w || !h || !dstW || !dstH) return;
  std::vector<Tap> xTaps, yTaps;
  std::vector<float> xWeights, yWeights;
  BuildTaps(w, dstW, &xTaps, &xWeights);
  BuildTaps(h, dstH, &yTaps, &yWeights);
  // Horizontal pass into floats (4 channels), then the vertical pass into bytes.
  std::vector<float> mid(size_t(dstW) * h * 4);
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* row = src + size_t(y) * w;
    float* out = &mid[size_t(y) * dstW * 4];
    for (uint32_t x = 0; x < dstW; ++x) {
      const Tap& tap = xTaps[x];
      float acc[4] = {0, 0, 0, 0};
      for (uint32_t k = 0; k < tap.count; ++k) {
        uint32_t p = row[tap.first + k];
        float wgt = xWeights[tap.weightStart + k];
        acc[0] += wgt * float(p >> 24);
        acc[1] += wgt * float((p >> 16) & 0xFF);
        acc[2] += wgt * float((p >> 8) & 0xFF);
        acc[3] += wgt * float(p & 0xFF);
      }
      std::copy(acc, acc + 4, out + size_t(x) * 4);
    }
  }
  // Vertical pass row by row, so every tap reads a whole contiguous row.
  std::vector<float> acc(size_t(dstW) * 4);
  for (uint32_t y = 0; y < dstH; ++y) {
    const Tap& tap = yTaps[y];
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (uint32_t k = 0; k < tap.count; ++k) {
      const float* row = &mid[size_t(tap.first + k) * dstW * 4];
      float wgt = yWeights[tap.weightStart + k];
      for (size_t i = 0; i < acc.size(); ++i) acc[i] += wgt * row[i];
    }
    uint32_t* out = dst + size_t(y) * dstW;
    for (uint32_t x = 0; x < dstW; ++x) {
      const float* a = &acc[size_t(x) * 4];
      out[x] = ToByte(a[0]) << 24 | ToByte(a[1]) << 16 | ToByte(a[2]) << 8 | ToByte(a[3]);
    }
  }
}
