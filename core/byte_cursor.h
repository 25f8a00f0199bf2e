#pragma once
// The one bounded reader over untrusted bytes that every binary decoder and model reader uses.
// A read past the end returns 0 (or copies nothing) and sets a sticky failed() flag, so readers
// can read a whole header and test the flag once at a natural checkpoint.

#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteCursor {
 public:
  ByteCursor() = default;
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  size_t size() const { return size_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool failed() const { return failed_; }
  bool atEnd() const { return pos_ >= size_; }
  // Marks the cursor failed (a reader found a bad value and wants the same sticky result).
  void fail() { failed_ = true; }
  // Start of the whole span (for handing a checked sub-range to a library).
  const uint8_t* data() const { return data_; }

  uint8_t u8() {
    if (!need(1)) return 0;
    return data_[pos_++];
  }
  int8_t i8() { return static_cast<int8_t>(u8()); }
  uint16_t u16le() {
    if (!need(2)) return 0;
    uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint16_t u16be() {
    if (!need(2)) return 0;
    uint16_t v = uint16_t((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  int16_t i16le() { return static_cast<int16_t>(u16le()); }
  int16_t i16be() { return static_cast<int16_t>(u16be()); }
  uint32_t u32le() {
    if (!need(4)) return 0;
    const uint8_t* p = data_ + pos_;
    pos_ += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  uint32_t u32be() {
    if (!need(4)) return 0;
    const uint8_t* p = data_ + pos_;
    pos_ += 4;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
  }
  int32_t i32le() { return static_cast<int32_t>(u32le()); }
  int32_t i32be() { return static_cast<int32_t>(u32be()); }
  uint64_t u64le() {
    uint64_t lo = u32le();
    return lo | uint64_t(u32le()) << 32;
  }
  float f32le() {
    uint32_t bits = u32le();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  float f32be() {
    uint32_t bits = u32be();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  double f64le() {
    uint64_t bits = u64le();
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }

  // Copies n bytes into out; on a short read copies nothing, zero-fills out and fails.
  bool bytes(void* out, size_t n) {
    if (!need(n)) {
      if (n) std::memset(out, 0, n);
      return false;
    }
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  // Pointer to the next n bytes, advancing past them; null (and failed) when fewer remain.
  const uint8_t* take(size_t n) {
    if (!need(n)) return nullptr;
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  // Next n bytes without moving; null when fewer remain (does not fail the cursor).
  const uint8_t* peek(size_t n) const { return n <= remaining() ? data_ + pos_ : nullptr; }

  bool skip(size_t n) {
    if (!need(n)) {
      pos_ = size_;
      return false;
    }
    pos_ += n;
    return true;
  }
  // Moves to an absolute offset; an offset beyond the end fails and leaves the cursor at the end.
  bool seek(size_t offset) {
    if (offset > size_) {
      failed_ = true;
      pos_ = size_;
      return false;
    }
    pos_ = offset;
    return true;
  }
  // A child cursor over the next len bytes (clamped to what remains; a clamped child starts
  // failed-free but the parent is marked failed). The parent moves past them.
  ByteCursor sub(size_t len) {
    size_t n = len <= remaining() ? len : remaining();
    if (n < len) failed_ = true;
    ByteCursor child(data_ + pos_, n);
    pos_ += n;
    return child;
  }
  // A cursor over [offset, offset + len) of the whole span; failed when it does not fit.
  ByteCursor at(size_t offset, size_t len) const {
    if (offset > size_ || len > size_ - offset) {
      ByteCursor bad;
      bad.failed_ = true;
      return bad;
    }
    return ByteCursor(data_ + offset, len);
  }

 private:
  bool need(size_t n) {
    if (failed_ || n > size_ - pos_) {
      failed_ = true;
      return false;
    }
    return true;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Checked arithmetic for sizes a file declares.
inline bool CheckedMul(size_t a, size_t b, size_t* out) {
  if (a != 0 && b > SIZE_MAX / a) return false;
  *out = a * b;
  return true;
}
inline bool CheckedAdd(size_t a, size_t b, size_t* out) {
  if (b > SIZE_MAX - a) return false;
  *out = a + b;
  return true;
}
