// TIFF variants the corpus lacks (made by scripts/make_tiff_fixtures.sh with tiffcp, ImageMagick
// and Pillow) decode to the pixels ImageMagick's libtiff decoding gives.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "graphics/image_md5.h"
#include "graphics/tiff_image.h"
#include "support/test_support.h"

namespace {

using testing_support::DataPath;
using testing_support::ReadHostFile;

struct Fixture {
  std::string file, md5;
};

std::vector<Fixture> ReadReferences() {
  std::vector<Fixture> rows;
  std::ifstream in(DataPath("tiff/reference.tsv"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Fixture f;
    if (fields >> f.file >> f.md5) rows.push_back(f);
  }
  return rows;
}

TEST(TiffFixtures, EveryVariantDecodesToTheToolsPixels) {
  std::vector<Fixture> rows = ReadReferences();
  ASSERT_GE(rows.size(), 20u) << "tests/data/tiff/reference.tsv missing or short";
  for (const Fixture& f : rows) {
    std::vector<uint8_t> bytes = ReadHostFile(DataPath("tiff/" + f.file));
    ASSERT_FALSE(bytes.empty()) << f.file;
    cTiffImage image;
    ASSERT_TRUE(image.LoadFromMemory(bytes.data(), bytes.size())) << f.file << ": " << image.error();
    EXPECT_EQ(image.width, 45u) << f.file;
    EXPECT_EQ(image.height, 37u) << f.file;
    EXPECT_EQ(image_test::ArgbMd5(image.raster), f.md5) << f.file << " (converter " << image.converter << ")";
  }
}

}  // namespace
