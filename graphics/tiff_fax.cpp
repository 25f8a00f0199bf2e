// CCITT bilevel decoding for TIFF: modified Huffman RLE (compression 2), T.4 one- and
// two-dimensional (Group 3, compression 3) and T.6 (Group 4, compression 4). Uncompressed mode
// (the 2-D extension codes) is not read: a row that uses it ends the strip.
//
// [CODES]    the run-length and mode code tables
// [BITS]     the bit reader
// [ROWS]     one-dimensional and two-dimensional rows, changing elements to bits

#include <cstring>
#include <vector>

#include "graphics/tiff_codecs.h"

namespace {

// [CODES] -------------------------------------------------------------------------------------
struct RunCode {
  const char* bits;
  int run;
};

// Terminating codes 0..63 in order, then make-up codes.
const char* const kWhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",
    "1111",     "10011",    "10100",    "00111",    "01000",    "001000",   "000011",
    "110100",   "110101",   "101010",   "101011",   "0100111",  "0001100",  "0001000",
    "0010111",  "0000011",  "0000100",  "0101000",  "0101011",  "0010011",  "0100100",
    "0011000",  "00000010", "00000011", "00011010", "00011011", "00010010", "00010011",
    "00010100", "00010101", "00010110", "00010111", "00101000", "00101001", "00101010",
    "00101011", "00101100", "00101101", "00000100", "00000101", "00001010", "00001011",
    "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011",
    "00110100"};
const char* const kWhiteMakeUp[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011"};
const char* const kBlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",
    "0011",         "0010",         "00011",        "000101",       "000100",
    "0000100",      "0000101",      "0000111",      "00000100",     "00000111",
    "000011000",    "0000010111",   "0000011000",   "0000001000",   "00001100111",
    "00001101000",  "00001101100",  "00000110111",  "00000101000",  "00000010111",
    "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010",
    "000011010011", "000011010100", "000011010101", "000011010110", "000011010111",
    "000001101100", "000001101101", "000011011010", "000011011011", "000001010100",
    "000001010101", "000001010110", "000001010111", "000001100100", "000001100101",
    "000001010010", "000001010011", "000000100100", "000000110111", "000000111000",
    "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111"};
const char* const kBlackMakeUp[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",
    "000000110100",  "000000110101",  "0000001101100", "0000001101101", "0000001001010",
    "0000001001011", "0000001001100", "0000001001101", "0000001110010", "0000001110011",
    "0000001110100", "0000001110101", "0000001110110", "0000001110111", "0000001010010",
    "0000001010011", "0000001010100", "0000001010101", "0000001011010", "0000001011011",
    "0000001100100", "0000001100101"};
// Make-up codes 1792..2560, shared by both colours.
const char* const kExtendedMakeUp[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111"};

constexpr int kLookupBits = 13;
constexpr int kEndOfLine = -2;

struct Lookup {
  int16_t run = -1;  // -1: no code starts with these bits
  uint8_t length = 0;
};

// Every 13-bit pattern that starts with a code maps to that code (codes are prefix-free).
class RunTable {
 public:
  explicit RunTable(bool black) {
    const char* const* term = black ? kBlackTerminating : kWhiteTerminating;
    const char* const* makeUp = black ? kBlackMakeUp : kWhiteMakeUp;
    for (int i = 0; i < 64; ++i) Add(term[i], i);
    for (int i = 0; i < 27; ++i) Add(makeUp[i], 64 * (i + 1));
    for (int i = 0; i < 13; ++i) Add(kExtendedMakeUp[i], 1792 + 64 * i);
    Add("000000000001", kEndOfLine);
  }
  const Lookup& operator[](uint32_t bits13) const { return table_[bits13]; }

 private:
  void Add(const char* code, int run) {
    uint32_t len = uint32_t(std::strlen(code)), value = 0;
    for (uint32_t i = 0; i < len; ++i) value = value << 1 | uint32_t(code[i] - '0');
    uint32_t first = value << (kLookupBits - len), count = 1u << (kLookupBits - len);
    for (uint32_t k = 0; k < count; ++k) table_[first + k] = {int16_t(run), uint8_t(len)};
  }
  Lookup table_[1 << kLookupBits];
};

const RunTable& WhiteRuns() {
  static const RunTable table(false);
  return table;
}
const RunTable& BlackRuns() {
  static const RunTable table(true);
  return table;
}

// [BITS] --------------------------------------------------------------------------------------
class FaxBits {
 public:
  FaxBits(const uint8_t* in, size_t size, bool msbFirst) : in_(in), size_(size), msb_(msbFirst) {}
  // Next n (<= 24) bits without consuming them; zeros past the end.
  uint32_t Peek(uint32_t n) {
    while (count_ < n) {
      uint32_t byte = 0;
      if (pos_ < size_) byte = msb_ ? in_[pos_] : Reverse(in_[pos_]);
      ++pos_;
      buffer_ = buffer_ << 8 | byte;
      count_ += 8;
    }
    return uint32_t(buffer_ >> (count_ - n)) & ((1u << n) - 1);
  }
  void Skip(uint32_t n) {
    Peek(n);
    count_ -= n;
  }
  bool AtEnd() const { return Consumed() >= uint64_t(size_) * 8; }
  uint64_t Consumed() const { return uint64_t(pos_) * 8 - count_; }
  void AlignToByte() { count_ -= count_ % 8; }

 private:
  static uint8_t Reverse(uint8_t b) {
    b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
  }
  const uint8_t* in_;
  size_t size_, pos_ = 0;
  bool msb_;
  uint64_t buffer_ = 0;
  uint32_t count_ = 0;
};

// [ROWS] --------------------------------------------------------------------------------------
// One run of a colour (make-up codes then a terminating code); -1 on a bad code or end of line.
int ReadRun(FaxBits& bits, bool black) {
  const RunTable& table = black ? BlackRuns() : WhiteRuns();
  int total = 0;
  for (;;) {
    if (bits.AtEnd()) return -1;
    const Lookup& l = table[bits.Peek(kLookupBits)];
    if (l.run < 0) return -1;
    bits.Skip(l.length);
    total += l.run;
    if (l.run < 64) return total;
    if (total > (1 << 20)) return -1;
  }
}

// A row as its changing elements: positions where the colour flips, starting from white.
using Changes = std::vector<uint32_t>;

bool ReadOneDimensionalRow(FaxBits& bits, uint32_t width, Changes& cur) {
  cur.clear();
  uint32_t a = 0;
  bool black = false;
  while (a < width) {
    int run = ReadRun(bits, black);
    if (run < 0) return false;
    a = a + uint32_t(run) > width ? width : a + uint32_t(run);
    cur.push_back(a);
    black = !black;
  }
  return true;
}

enum class eMode { kPass, kHorizontal, kVertical, kStop };

eMode ReadMode(FaxBits& bits, int* delta) {
  uint32_t v = bits.Peek(7);
  if (v & 0x40) { bits.Skip(1); *delta = 0; return eMode::kVertical; }
  if ((v >> 4) == 3) { bits.Skip(3); *delta = 1; return eMode::kVertical; }
  if ((v >> 4) == 2) { bits.Skip(3); *delta = -1; return eMode::kVertical; }
  if ((v >> 4) == 1) { bits.Skip(3); return eMode::kHorizontal; }
  if ((v >> 3) == 1) { bits.Skip(4); return eMode::kPass; }
  if ((v >> 1) == 3) { bits.Skip(6); *delta = 2; return eMode::kVertical; }
  if ((v >> 1) == 2) { bits.Skip(6); *delta = -2; return eMode::kVertical; }
  if (v == 3) { bits.Skip(7); *delta = 3; return eMode::kVertical; }
  if (v == 2) { bits.Skip(7); *delta = -3; return eMode::kVertical; }
  return eMode::kStop;  // extension (uncompressed mode), end of line or garbage
}

bool ReadTwoDimensionalRow(FaxBits& bits, uint32_t width, const Changes& ref, Changes& cur) {
  cur.clear();
  int64_t a0 = -1;
  bool black = false;
  size_t j = 0;
  auto refAt = [&](size_t k) -> int64_t { return k < ref.size() ? ref[k] : width; };
  while (a0 < int64_t(width)) {
    // b1: the first changing element right of a0 whose new colour is the opposite of a0's.
    j = j >= 3 ? j - 3 : 0;
    while (j < ref.size() && (int64_t(ref[j]) <= a0 || (j & 1) != (black ? 1u : 0u))) ++j;
    int64_t b1 = refAt(j), b2 = refAt(j + 1);
    int delta = 0;
    if (bits.AtEnd()) return false;
    switch (ReadMode(bits, &delta)) {
      case eMode::kPass:
        if (b2 > width) return false;
        a0 = b2;
        if (a0 >= int64_t(width)) return false;
        break;
      case eMode::kHorizontal: {
        int64_t start = a0 < 0 ? 0 : a0;
        int r1 = ReadRun(bits, black);
        int r2 = r1 < 0 ? -1 : ReadRun(bits, !black);
        if (r2 < 0) return false;
        int64_t a1 = start + r1, a2 = a1 + r2;
        if (a1 > width) a1 = width;
        if (a2 > width) a2 = width;
        cur.push_back(uint32_t(a1));
        cur.push_back(uint32_t(a2));
        a0 = a2;
        break;
      }
      case eMode::kVertical: {
        int64_t a1 = b1 + delta;
        if (a1 < 0 || a1 > int64_t(width) || a1 < a0) return false;
        cur.push_back(uint32_t(a1));
        a0 = a1;
        black = !black;
        break;
      }
      case eMode::kStop:
        return false;
    }
  }
  return true;
}

// Black pixels (between changing elements 2k and 2k + 1) become 1 bits.
void FillRow(const Changes& cur, uint32_t width, uint8_t* row, size_t rowBytes) {
  std::memset(row, 0, rowBytes);
  for (size_t k = 0; k < cur.size(); k += 2) {
    uint32_t from = cur[k];
    uint32_t to = k + 1 < cur.size() ? cur[k + 1] : width;
    if (to > width) to = width;
    for (uint32_t x = from; x < to; ++x) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
}

// Skips fill bits and one end-of-line code, when there is one.
bool SkipEndOfLine(FaxBits& bits) {
  for (int guard = 0; guard < 1 << 16 && !bits.AtEnd(); ++guard) {
    uint32_t v = bits.Peek(12);
    if (v == 1) {
      bits.Skip(12);
      return true;
    }
    if (v != 0) return false;
    bits.Skip(1);
  }
  return false;
}

}  // namespace

uint32_t DecodeFax(const uint8_t* in, size_t inSize, eFaxMode mode, bool msbFirst,
                   uint32_t width, uint32_t rows, uint8_t* out, size_t rowBytes) {
  if (width == 0 || rowBytes * 8 < width) return 0;
  FaxBits bits(in, inSize, msbFirst);
  Changes ref, cur;  // the reference row starts all white
  uint32_t done = 0;
  for (; done < rows; ++done) {
    bool ok;
    if (mode == eFaxMode::kRle) {
      ok = ReadOneDimensionalRow(bits, width, cur);
      bits.AlignToByte();
    } else if (mode == eFaxMode::kGroup4) {
      ok = ReadTwoDimensionalRow(bits, width, ref, cur);
    } else {
      SkipEndOfLine(bits);
      bool oneD = true;
      if (mode == eFaxMode::kGroup3TwoD) {
        oneD = bits.Peek(1) == 1;
        bits.Skip(1);
      }
      ok = oneD ? ReadOneDimensionalRow(bits, width, cur) : ReadTwoDimensionalRow(bits, width, ref, cur);
    }
    if (!ok) break;
    FillRow(cur, width, out + size_t(done) * rowBytes, rowBytes);
    ref.swap(cur);
  }
  return done;
}
