// GIF decoding: blocks are walked through a ByteCursor; each image's LZW data sub-blocks are
// gathered into one contiguous buffer, then decoded straight into the frame's rows.

#include "graphics/gif_image.h"

#include <algorithm>
#include <cstring>

#include "core/byte_cursor.h"
#include "platform/win_base.h"

namespace {

constexpr uint32_t kMaxScreenBytes = 0x10000000;  // width * height * 4 above this fails

// Concatenates data sub-blocks up to the zero-length terminator (or the end of the data).
void GatherSubBlocks(ByteCursor* in, std::vector<uint8_t>* out) {
  out->clear();
  while (!in->atEnd()) {
    uint8_t count = in->u8();
    if (count == 0) return;
    size_t n = std::min<size_t>(count, in->remaining());
    const uint8_t* p = in->take(n);
    out->insert(out->end(), p, p + n);
    if (n < count) return;
  }
}

void SkipSubBlocks(ByteCursor* in) {
  while (!in->atEnd()) {
    uint8_t count = in->u8();
    if (count == 0 || !in->skip(count)) return;
  }
}

// Places decoded indices: x runs over the descriptor's width, rows follow the interlace
// passes; only the part inside the clipped frame is stored.
class RowWriter {
 public:
  RowWriter(sGifFrame* frame, uint32_t fullWidth, uint32_t fullHeight, bool interlaced)
      : frame_(frame), w_(fullWidth), h_(fullHeight), interlaced_(interlaced) {
    done_ = w_ == 0 || h_ == 0;
  }
  bool done() const { return done_; }

  void Write(const uint8_t* s, uint32_t n) {
    while (n && !done_) {
      uint32_t k = std::min(n, w_ - x_);
      if (y_ < frame_->height && x_ < frame_->width) {
        uint32_t keep = std::min<uint32_t>(k, frame_->width - x_);
        std::memcpy(&frame_->pixels[size_t(y_) * frame_->width + x_], s, keep);
      }
      x_ += k, s += k, n -= k;
      if (x_ == w_) NextRow();
    }
  }

 private:
  void NextRow() {
    x_ = 0;
    if (!interlaced_) {
      if (++y_ >= h_) done_ = true;
      return;
    }
    static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    y_ += kStep[pass_];
    while (y_ >= h_) {
      if (++pass_ == 4) {
        done_ = true;
        return;
      }
      y_ = kStart[pass_];
    }
  }

  sGifFrame* frame_;
  uint32_t w_, h_;
  bool interlaced_;
  uint32_t x_ = 0, y_ = 0, pass_ = 0;
  bool done_ = false;
};

// Variable-width LZW as GIF uses it (codes up to 12 bits, least significant bit first).
// Ends at the end code, at the end of the data, or at a code beyond the next free code.
void DecodeLzw(const std::vector<uint8_t>& data, uint32_t minCodeSize, RowWriter* out) {
  uint16_t prefix[4096];
  uint8_t suffix[4096], first[4096];
  uint16_t length[4096];
  uint8_t string[4096];
  const uint32_t clear = 1u << minCodeSize, end = clear + 1;
  for (uint32_t i = 0; i < clear; ++i) {
    prefix[i] = 0, suffix[i] = uint8_t(i), first[i] = uint8_t(i), length[i] = 1;
  }
  uint32_t width = minCodeSize + 1, next = clear + 2;
  int32_t previous = -1;
  uint64_t bits = 0;
  uint32_t bitCount = 0;
  size_t pos = 0;
  const uint8_t* p = data.data();
  const size_t size = data.size();
  while (!out->done()) {
    while (bitCount < width) {
      if (pos >= size) return;
      bits |= uint64_t(p[pos++]) << bitCount;
      bitCount += 8;
    }
    uint32_t code = uint32_t(bits) & ((1u << width) - 1);
    bits >>= width;
    bitCount -= width;
    if (code == clear) {
      width = minCodeSize + 1, next = clear + 2, previous = -1;
      continue;
    }
    if (code == end) return;
    if (previous < 0) {
      if (code >= clear) return;  // the first code after a clear must be a literal
      string[0] = uint8_t(code);
      out->Write(string, 1);
      previous = int32_t(code);
      continue;
    }
    if (code > next || (code == next && next >= 4096)) return;  // bad data
    uint32_t len;
    uint8_t head;
    if (code < next) {
      len = length[code];
      uint32_t c = code;
      for (uint32_t i = len; i-- > 0;) string[i] = suffix[c], c = prefix[c];
      head = first[code];
    } else {  // KwKwK: the previous string plus its own first character
      uint32_t c = uint32_t(previous);
      len = length[c] + 1u;
      if (len > 4096) return;
      head = first[c];
      string[len - 1] = head;
      for (uint32_t i = len - 1; i-- > 0;) string[i] = suffix[c], c = prefix[c];
    }
    out->Write(string, len);
    if (next < 4096) {
      prefix[next] = uint16_t(previous);
      suffix[next] = head;
      first[next] = first[previous];
      length[next] = uint16_t(std::min<uint32_t>(length[previous] + 1u, 4096));
      ++next;
      if (next == (1u << width) && width < 12) ++width;
    }
    previous = int32_t(code);
  }
}

}  // namespace

cGifImage::cGifImage() = default;
cGifImage::~cGifImage() { Clear(); }

void cGifImage::Clear() {
  frames.clear();
  width = height = frameCount = currentFrame = delay = 0;
  backgroundColor = 0xFFFFFFFFu;
  pendingTransparentIndex = pendingDisposal = 0;
  is87a = pendingHasTransparency = hasGlobalTable = loaded = false;
}

bool cGifImage::Load(const char* fileName) {
  Clear();
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, &bytes)) return false;
  return LoadFromMemory(bytes.data(), bytes.size());
}

bool cGifImage::LoadFromMemory(const uint8_t* data, size_t size) {
  Clear();
  ByteCursor in(data, size);
  uint8_t sig[6];
  if (!in.bytes(sig, 6) || std::memcmp(sig, "GIF", 3) != 0) return false;
  if (std::memcmp(sig + 3, "87a", 3) == 0) {
    is87a = true;
  } else if (std::memcmp(sig + 3, "89a", 3) != 0) {
    return false;
  }
  width = in.u16le();
  height = in.u16le();
  uint8_t flags = in.u8();
  uint8_t backgroundIndex = in.u8();
  in.u8();
  if (in.failed() || uint64_t(width) * height * 4 > kMaxScreenBytes) return false;
  if (flags & 0x80) {
    size_t entries = size_t(1) << ((flags & 7) + 1);
    if (!in.bytes(globalTable, entries * 3)) return false;
    const uint8_t* e = globalTable + backgroundIndex * 3;
    backgroundColor = 0xFF000000u | uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
    hasGlobalTable = true;
  } else {
    for (int i = 0; i < 256; ++i) std::memset(globalTable + i * 3, i, 3);
  }
  std::vector<uint8_t> lzw;
  while (!in.atEnd()) {
    uint8_t block = in.u8();
    if (block == 0x3B) {
      currentFrame = 0;
      loaded = true;
      break;
    }
    if (block == 0x21) {
      uint8_t label = in.u8();
      if (in.failed()) break;
      if (label == 0xF9) {
        // A graphic control block shorter than 4 bytes sets only the fields it holds.
        uint8_t count = in.u8();
        const uint8_t* b = in.take(count);
        if (!b) break;
        if (count >= 1) pendingDisposal = (b[0] >> 2) & 7;
        if (count >= 3) delay = uint32_t(b[1] | b[2] << 8) * 10;
        if (count >= 4 && (b[0] & 1)) {
          pendingHasTransparency = true;
          pendingTransparentIndex = b[3];
        }
      }
      SkipSubBlocks(&in);
      continue;
    }
    if (block != 0x2C) continue;
    uint32_t left = in.u16le(), top = in.u16le(), w = in.u16le(), h = in.u16le();
    uint8_t imageFlags = in.u8();
    if (in.failed()) break;
    auto frame = std::make_unique<sGifFrame>();
    // Clipped to the logical screen; what lies outside is decoded and dropped.
    frame->left = uint16_t(std::min(left, width));
    frame->top = uint16_t(std::min(top, height));
    frame->width = uint16_t(std::min(w, width - frame->left));
    frame->height = uint16_t(std::min(h, height - frame->top));
    frame->transparentIndex = pendingTransparentIndex;
    frame->disposal = pendingDisposal;
    frame->hasTransparency = pendingHasTransparency;
    frame->pixels.assign(size_t(frame->width) * frame->height, 0);
    if (imageFlags & 0x80) {
      uint32_t entries = 1u << ((imageFlags & 7) + 1);
      const uint8_t* table = in.take(entries * 3);
      if (!table) break;
      frame->localTable.assign(table, table + entries * 3);
      frame->colorCount = uint16_t(entries);
      frame->usesGlobalTable = false;
    } else {
      frame->colorCount = 256;
    }
    sGifFrame* f = frame.get();
    frames.push_back(std::move(frame));
    if (frames.size() == 1 && f->hasTransparency) {
      currentFrame = 0;
      uint32_t c = GetColor(f->transparentIndex);
      backgroundColor = 0xFF000000u | c;
    }
    uint8_t minCodeSize = in.u8();
    if (in.failed()) break;
    if (minCodeSize > 8) minCodeSize = 8;
    GatherSubBlocks(&in, &lzw);
    if (minCodeSize >= 1) {
      RowWriter writer(f, w, h, (imageFlags & 0x40) != 0);
      DecodeLzw(lzw, minCodeSize, &writer);
    }
    currentFrame = ++frameCount;
    pendingDisposal = 0;
    pendingHasTransparency = false;
  }
  return loaded;
}

const sGifFrame* cGifImage::Current() const {
  if (!loaded || currentFrame >= frames.size()) return nullptr;
  return frames[currentFrame].get();
}

const uint8_t* cGifImage::GetPixels() const {
  const sGifFrame* f = Current();
  return f ? f->pixels.data() : nullptr;
}

uint8_t cGifImage::GetTransparentIndex() const {
  const sGifFrame* f = Current();
  return f ? f->transparentIndex : 0;
}

bool cGifImage::HasTransparency() const {
  const sGifFrame* f = Current();
  return f && f->hasTransparency;
}

uint32_t cGifImage::GetColor(uint8_t index) const {
  // While loading, the frame being decoded is the last one.
  const sGifFrame* f = loaded ? Current() : (frames.empty() ? nullptr : frames.back().get());
  if (!f || index >= f->colorCount) return 0;
  const uint8_t* e = f->usesGlobalTable ? globalTable + index * 3 : &f->localTable[index * 3];
  return 0xFF000000u | uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
}

uint8_t cGifImage::GetDisposal(uint32_t frame) const {
  if (!loaded || frame >= frameCount) return 0;
  return frames[frame]->disposal;
}

void cGifImage::GetFrameOffset(uint32_t* left, uint32_t* top) const {
  const sGifFrame* f = Current();
  *left = f ? f->left : 0;
  *top = f ? f->top : 0;
}

void cGifImage::GetFrameSize(uint32_t* w, uint32_t* h) const {
  const sGifFrame* f = Current();
  *w = f ? f->width : 0;
  *h = f ? f->height : 0;
}

void cGifImage::PaintCurrentFrame(uint32_t* texels, size_t pitchBytes, bool clearFirst) const {
  auto row = [&](uint32_t y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(texels) + y * pitchBytes);
  };
  if (clearFirst) {
    for (uint32_t y = 0; y < height; ++y) std::fill(row(y), row(y) + width, backgroundColor);
  }
  const sGifFrame* f = Current();
  if (!f || f->pixels.empty()) return;
  uint32_t colors[256];
  for (uint32_t i = 0; i < 256; ++i) colors[i] = GetColor(uint8_t(i));
  for (uint32_t y = 0; y < f->height; ++y) {
    const uint8_t* src = &f->pixels[size_t(y) * f->width];
    uint32_t* dst = row(f->top + y) + f->left;
    for (uint32_t x = 0; x < f->width; ++x) {
      if (f->hasTransparency && src[x] == f->transparentIndex) continue;
      dst[x] = colors[src[x]];
    }
  }
}

bool GetGifSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  *width = *height = 0;
  ByteCursor in(data, size);
  uint8_t sig[6];
  if (!in.bytes(sig, 6) || std::memcmp(sig, "GIF", 3) != 0 ||
      (std::memcmp(sig + 3, "87a", 3) != 0 && std::memcmp(sig + 3, "89a", 3) != 0)) {
    return false;
  }
  uint32_t w = in.u16le(), h = in.u16le();
  if (in.failed()) return false;
  *width = w;
  *height = h;
  return w != 0 && h != 0;
}

bool GetGifSize(const char* fileName, uint32_t* width, uint32_t* height) {
  *width = *height = 0;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, &bytes)) return false;
  return GetGifSizeFromMemory(bytes.data(), bytes.size(), width, height);
}
