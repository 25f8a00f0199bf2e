// Number parsing and line handling for the text-format model readers.
#include "model/model_text.h"

#include <cstring>

namespace {

// Reads a byte only while inside the text: bounded texts stop at limit, zero-terminated ones at
// their terminator (which is never a digit, sign or blank, so no parser goes past it).
template <bool kBounded>
struct Text {
  const char* limit;
  bool Has(const char* p) const { return kBounded ? p < limit : true; }
  char At(const char* p) const { return Has(p) ? *p : '\0'; }
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                         1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^e for 0 <= e <= 308, built from the exact powers above.
double PowerOfTen(int e) {
  double scale = 1.0;
  while (e >= 22) {
    scale *= 1e22;
    e -= 22;
  }
  return scale * kPow10[e];
}

template <bool kBounded>
double ParseDoubleImpl(const char* p, Text<kBounded> t, const char** end) {
  while (t.At(p) == ' ' || t.At(p) == '\t') ++p;
  double sign = 1.0;
  if (t.At(p) == '-') {
    sign = -1.0;
    ++p;
  } else if (t.At(p) == '+') {
    ++p;
  }
  // Up to 19 significant digits are gathered as an integer; further digits only move the point.
  uint64_t digits = 0;
  int significant = 0;
  int exponent = 0;
  while (IsDigit(t.At(p))) {
    if (significant < 19) {
      digits = digits * 10 + uint64_t(*p - '0');
      if (digits) ++significant;
    } else {
      ++exponent;
    }
    ++p;
  }
  if (t.At(p) == '.') {
    ++p;
    while (IsDigit(t.At(p))) {
      if (significant < 19) {
        digits = digits * 10 + uint64_t(*p - '0');
        if (digits) ++significant;
        --exponent;
      }
      ++p;
    }
  }
  if (t.At(p) == 'e' || t.At(p) == 'E') {
    const char* q = p + 1;
    bool negative = false;
    if (t.At(q) == '-') {
      negative = true;
      ++q;
    } else if (t.At(q) == '+') {
      ++q;
    }
    if (IsDigit(t.At(q))) {
      int e = 0;
      while (IsDigit(t.At(q))) {
        if (e < 100000) e = e * 10 + (*q - '0');
        ++q;
      }
      if (e > 308) e = 308;
      exponent += negative ? -e : e;
      p = q;
    }
  }
  if (end) *end = p;
  double value = double(digits);
  if (digits == 0) return sign * 0.0;
  // The written exponent is clamped to 308; a long mantissa may still carry it beyond.
  if (exponent > 308) exponent = 308;
  if (exponent < -340) return sign * 0.0;
  if (exponent >= 0) {
    value *= PowerOfTen(exponent);
  } else if (exponent >= -308) {
    value /= PowerOfTen(-exponent);
  } else {
    value = value / PowerOfTen(308) / PowerOfTen(-exponent - 308);
  }
  return sign * value;
}

template <bool kBounded>
uint32_t ParseMagnitude(const char* p, Text<kBounded> t, const char** end, bool* negative) {
  while (t.At(p) == ' ' || t.At(p) == '\t') ++p;
  *negative = false;
  if (t.At(p) == '-') {
    *negative = true;
    ++p;
  }
  uint32_t value = 0;
  while (IsDigit(t.At(p))) {
    value = value * 10u + uint32_t(*p - '0');  // wraps like the 32-bit original
    ++p;
  }
  if (end) *end = p;
  return value;
}

}

double ParseDouble(const char* text, const char** end) {
  if (!text) return 0.0;
  return ParseDoubleImpl<false>(text, Text<false>{nullptr}, end);
}

double ParseDouble(const char* text, const char* limit, const char** end) {
  return ParseDoubleImpl<true>(text, Text<true>{limit}, end);
}

int32_t ParseInt(const char* text, const char** end) {
  if (!text) return 0;
  bool negative;
  uint32_t magnitude = ParseMagnitude<false>(text, Text<false>{nullptr}, end, &negative);
  return negative ? int32_t(0u - magnitude) : int32_t(magnitude);
}

uint32_t ParseUnsigned(const char* text, const char** end) {
  if (!text) return 0;
  bool negative;
  return ParseMagnitude<false>(text, Text<false>{nullptr}, end, &negative);
}

uint32_t ParseUnsigned(const char* text, const char* limit, const char** end) {
  bool negative;
  return ParseMagnitude<true>(text, Text<true>{limit}, end, &negative);
}

char* TrimModelLine(char* buffer, size_t size, FILE* file) {
  size_t length = std::strlen(buffer);
  if (length > 0 && buffer[length - 1] == '\n') {
    buffer[--length] = '\0';
    if (length > 0 && buffer[length - 1] == '\r') buffer[--length] = '\0';
  } else if (file && length + 1 >= size) {
    // The line did not fit: drop the rest of it so the next read starts on the following line.
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
    }
  }
  size_t start = 0;
  while (start < length && uint8_t(buffer[start]) >= 1 && uint8_t(buffer[start]) <= 32) ++start;
  if (start > 0) {
    std::memmove(buffer, buffer + start, length - start + 1);
    length -= start;
  }
  while (length > 1 && uint8_t(buffer[length - 1]) >= 1 && uint8_t(buffer[length - 1]) <= 32) {
    buffer[--length] = '\0';
  }
  if (length == 1 && uint8_t(buffer[0]) >= 1 && uint8_t(buffer[0]) <= 32) buffer[0] = '\0';
  return buffer;
}

namespace model {

namespace {
bool IsTrimmable(char c) { return uint8_t(c) >= 1 && uint8_t(c) <= 32; }
}

bool cTextLines::Next(const char** begin, const char** end) {
  if (pos_ >= end_) return false;
  const char* lineEnd = static_cast<const char*>(std::memchr(pos_, '\n', size_t(end_ - pos_)));
  const char* next = lineEnd ? lineEnd + 1 : end_;
  if (!lineEnd) lineEnd = end_;
  const char* b = pos_;
  while (b < lineEnd && IsTrimmable(*b)) ++b;
  const char* e = lineEnd;
  while (e > b && IsTrimmable(e[-1])) --e;
  *begin = b;
  *end = e;
  pos_ = next;
  return true;
}

size_t cTextLines::Skip(size_t n) {
  size_t dropped = 0;
  while (dropped < n && pos_ < end_) {
    const char* lineEnd = static_cast<const char*>(std::memchr(pos_, '\n', size_t(end_ - pos_)));
    pos_ = lineEnd ? lineEnd + 1 : end_;
    ++dropped;
  }
  return dropped;
}

bool StartsWith(const char* begin, const char* end, const char* prefix) {
  size_t n = std::strlen(prefix);
  return size_t(end - begin) >= n && std::memcmp(begin, prefix, n) == 0;
}

const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  return p;
}

const char* SkipTokenAndBlanks(const char* p, const char* end) {
  while (p < end && uint8_t(*p) > 32) ++p;
  while (p < end && uint8_t(*p) <= 32) ++p;
  return p;
}

}
