#pragma once
// Pixel decoding of a parsed cTiffImage: decompression of strips and tiles and the converters
// that turn their rows into 0xAARRGGBB words.

#include <cstddef>
#include <cstdint>

class cTiffImage;

// "" when the compression, predictor, sample format and depth can be decoded, else the reason.
const char* CheckTiffSupported(const cTiffImage& image);
// Converter kind for the image's photometric, depth, layout and alpha; 0 when there is none.
uint32_t ChooseTiffConverter(const cTiffImage& image);
// Fills image.raster from the file's strips or tiles; "" on success, else the reason.
const char* DecodeTiffRaster(cTiffImage& image, const uint8_t* data, size_t size);
