#pragma once
// Decompressors of TIFF strips and tiles. Each reads only [in, in + inSize), writes at most
// outSize bytes and returns how many it wrote; a damaged stream ends the output early.

#include <cstddef>
#include <cstdint>

// TIFF LZW: new style (codes most significant bit first, early change) or, for streams that
// start 0x00 with bit 0 of the next byte set, the old style (least significant bit first).
size_t DecodeTiffLzw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);
// PackBits (Macintosh run-length).
size_t DecodePackBits(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);
// zlib stream (Deflate, compressions 8 and 32946).
size_t DecodeZlib(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

enum class eFaxMode { kRle, kGroup3OneD, kGroup3TwoD, kGroup4 };
// CCITT bilevel rows: `rows` rows of `width` pixels into rows of `rowBytes` bytes, a 1 bit for
// a black run (the photometric interpretation decides what black shows as). `reverseBits` for
// fill order 1 streams... see tiff_fax.cpp. Returns the number of rows decoded.
uint32_t DecodeFax(const uint8_t* in, size_t inSize, eFaxMode mode, bool msbFirst,
                   uint32_t width, uint32_t rows, uint8_t* out, size_t rowBytes);
