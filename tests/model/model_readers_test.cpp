// PLY, STL and Terragen readers: corpus files, documented edge cases, malformed input, and every
// corpus file cut at many lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/model_ply.h"
#include "model/model_stl.h"
#include "model/model_terragen.h"
#include "support/test_support.h"

using namespace model;
using testing_support::CorpusPath;
using testing_support::HaveCorpus;
using testing_support::ReadHostFile;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

template <class Reader>
bool LoadBytes(Reader* reader, const std::vector<uint8_t>& bytes) {
  return reader->LoadFromMemory(bytes.data(), bytes.size());
}

const sMesh& OnlyMesh(const cModel& m) { return *m.root->meshes.at(0); }

void Append(std::vector<uint8_t>* out, const void* data, size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + n);
}
template <class T>
void Put(std::vector<uint8_t>* out, T value) {
  Append(out, &value, sizeof value);
}
template <class T>
void PutBig(std::vector<uint8_t>* out, T value) {
  uint8_t b[sizeof(T)];
  std::memcpy(b, &value, sizeof value);
  for (size_t i = sizeof(T); i-- > 0;) out->push_back(b[i]);
}

float Length(const sVertexNormalTex& v) { return std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz); }

// Every prefix of a file loads or fails cleanly (the sanitizer builds catch any bad access).
template <class Reader>
void CutAtManyLengths(const std::vector<uint8_t>& bytes) {
  size_t step = bytes.size() > 4000 ? bytes.size() / 997 : 1;
  for (size_t n = 0; n < bytes.size(); n += step) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    Reader reader;
    if (reader.LoadFromMemory(cut.data(), cut.size())) {
      ASSERT_TRUE(reader.root);
      for (const auto& mesh : reader.root->meshes)
        for (uint32_t i : mesh->triangles) ASSERT_LT(i, reader.root->vertices.size()) << n;
    } else {
      EXPECT_FALSE(reader.error().empty()) << n;
      EXPECT_FALSE(reader.root) << n;
    }
  }
}

// [PLY] --------------------------------------------------------------------------------------

const char kTriangleHeader[] =
    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
    "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";

TEST(PlyReader, AsciiTriangleComputesEqualUnitNormals) {
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, Bytes(std::string(kTriangleHeader) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")));
  EXPECT_EQ(ply.root->name, "[Model(Ascii)]");
  EXPECT_EQ(ply.vertexCount, 3u);
  EXPECT_EQ(ply.faceCount, 1u);
  EXPECT_EQ(OnlyMesh(ply).triangles, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(OnlyMesh(ply).materialIndex, -1);
  for (const sVertexNormalTex& v : ply.root->vertices) {
    EXPECT_FLOAT_EQ(Length(v), 1.0f);
    EXPECT_FLOAT_EQ(v.nz, 1.0f);
  }
}

TEST(PlyReader, FiveCornerFaceIsAFan) {
  std::string text =
      "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
      "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
      "0 0 0\n1 0 0\n2 1 0\n1 2 0\n0 1 0\n5 0 1 2 3 4\n";
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, Bytes(text)));
  EXPECT_EQ(OnlyMesh(ply).triangles, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
  EXPECT_EQ(ply.faceCount, 3u);
}

// An index beyond the vertices (at any corner) or a negative one drops the whole face.
TEST(PlyReader, BadIndicesDropTheFace) {
  struct Case {
    const char* face;
    size_t triangles;
  } cases[] = {{"3 0 1 99", 0}, {"4 0 1 2 3", 0}, {"4 0 1 2 99", 0}, {"3 -1 1 2", 0},
               {"3 0 1", 0},    {"2 0 1", 0},     {"3 0 1 2", 1}};
  for (const Case& c : cases) {
    cModelPLY ply;
    ASSERT_TRUE(LoadBytes(&ply, Bytes(std::string(kTriangleHeader) + "0 0 0\n1 0 0\n0 1 0\n" + c.face + "\n")));
    EXPECT_EQ(OnlyMesh(ply).triangles.size(), 3 * c.triangles) << c.face;
  }
}

TEST(PlyReader, FacesWithoutVerticesAreDropped) {
  std::string text =
      "ply\nformat ascii 1.0\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n3 0 0 0\n";
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, Bytes(text)));
  EXPECT_TRUE(OnlyMesh(ply).triangles.empty());
}

TEST(PlyReader, FileNormalsAreKeptEvenWhenPartial) {
  std::string text =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
      "property float nx\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
      "0 0 0 5\n1 0 0 5\n0 1 0 5\n3 0 1 2\n";
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, Bytes(text)));
  for (const sVertexNormalTex& v : ply.root->vertices) {
    EXPECT_EQ(v.nx, 5.0f);
    EXPECT_EQ(v.ny, 0.0f);
    EXPECT_EQ(v.nz, 0.0f);
  }
}

TEST(PlyReader, HeaderFailures) {
  const char* texts[] = {"", "pl", "plx\nformat ascii 1.0\nend_header\n",
                         "ply\nelement vertex 1\nproperty float x\nend_header\n1\n",
                         "ply\nformat binary_middle_endian 1.0\nend_header\n"};
  for (const char* text : texts) {
    cModelPLY ply;
    EXPECT_FALSE(LoadBytes(&ply, Bytes(text))) << text;
    EXPECT_EQ(ply.error(), "bad header");
  }
}

TEST(PlyReader, TypeNamesMapToTheirTypes) {
  struct Case {
    const char* word;
    ePlyType type;
  } cases[] = {{"char", ePlyType::Int8},       {"int8", ePlyType::Int8},       {"uchar", ePlyType::Uint8},
               {"uint8", ePlyType::Uint8},     {"short", ePlyType::Int16},     {"int16", ePlyType::Int16},
               {"ushort", ePlyType::Uint16},   {"uint16", ePlyType::Uint16},   {"int", ePlyType::Int32},
               {"int32", ePlyType::Int32},     {"uint", ePlyType::Uint32},     {"uint32", ePlyType::Uint32},
               {"float", ePlyType::Float32},   {"float32", ePlyType::Float32}, {"double", ePlyType::Float64},
               {"float64", ePlyType::Float64}, {"quad", ePlyType::None},       {"int8x", ePlyType::None}};
  for (const Case& c : cases) EXPECT_EQ(cModelPLY::ParseTypeName(c.word, c.word + strlen(c.word)), c.type) << c.word;
}

// Binary twin files: little and big endian, and coordinates of every numeric type.
std::vector<uint8_t> BinaryPly(bool big, const char* coordType, int coordSize) {
  std::string header = std::string("ply\nformat ") + (big ? "binary_big_endian" : "binary_little_endian") +
                       " 1.0\nelement vertex 3\nproperty " + coordType + " x\nproperty " + coordType +
                       " y\nproperty " + coordType +
                       " z\nelement extra 2\nproperty list uchar int stuff\nproperty short w\n"
                       "element face 1\nproperty list uchar uint vertex_indices\nend_header\n";
  std::vector<uint8_t> out = Bytes(header);
  const double coords[9] = {0, 0, 0, 2, 0, 0, 0, 3, 0};
  for (double c : coords) {
    switch (coordSize) {
      case 1: out.push_back(uint8_t(c)); break;
      case 4: big ? PutBig(&out, float(c)) : Put(&out, float(c)); break;
      case 8: big ? PutBig(&out, c) : Put(&out, c); break;
    }
  }
  // Two records of the unknown element: a list of 2 ints and a short, then an empty list.
  out.push_back(2);
  for (int32_t v : {7, 8}) big ? PutBig(&out, v) : Put(&out, v);
  big ? PutBig(&out, int16_t(9)) : Put(&out, int16_t(9));
  out.push_back(0);
  big ? PutBig(&out, int16_t(9)) : Put(&out, int16_t(9));
  out.push_back(3);
  for (uint32_t v : {0u, 1u, 2u}) big ? PutBig(&out, v) : Put(&out, v);
  return out;
}

TEST(PlyReader, BinaryTwinsReadTheSameGeometry) {
  struct Case {
    bool big;
    const char* type;
    int size;
  } cases[] = {{false, "float", 4}, {true, "float", 4}, {false, "double", 8},
               {true, "float64", 8}, {false, "uchar", 1}, {false, "uint8", 1}};
  for (const Case& c : cases) {
    cModelPLY ply;
    ASSERT_TRUE(LoadBytes(&ply, BinaryPly(c.big, c.type, c.size))) << c.type;
    EXPECT_EQ(ply.root->name, "[Model(Binary)]");
    ASSERT_EQ(ply.root->vertices.size(), 3u);
    EXPECT_EQ(ply.root->vertices[1].x, 2.0f) << c.type << c.big;
    EXPECT_EQ(ply.root->vertices[2].y, 3.0f) << c.type << c.big;
    EXPECT_EQ(OnlyMesh(ply).triangles, (std::vector<uint32_t>{0, 1, 2})) << c.type << c.big;
  }
}

TEST(PlyReader, HugeDeclaredCountsDoNotAllocate) {
  std::string text =
      "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\nproperty float x\n"
      "element face 4000000000\nproperty list uint uint vertex_indices\nend_header\n";
  std::vector<uint8_t> bytes = Bytes(text);
  for (int i = 0; i < 16; ++i) Put(&bytes, 1.0f);
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, bytes));
  EXPECT_EQ(ply.root->vertices.size(), 16u);
  EXPECT_TRUE(OnlyMesh(ply).triangles.empty());
}

TEST(PlyReader, CorpusFiles) {
  if (!HaveCorpus()) GTEST_SKIP();
  struct Case {
    const char* file;
    bool loads;
    uint32_t vertices;
    uint32_t triangles;
  } cases[] = {{"ply/cube.ply", true, 8, 12},        {"ply/cube_binary.ply", true, 8, 12},
               {"ply/cube_uv.ply", true, 24, 12},    {"ply/float-color.ply", true, 3, 1},
               {"ply/issue623.ply", true, 24, 0}};
  for (const Case& c : cases) {
    cModelPLY ply;
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    ASSERT_FALSE(bytes.empty()) << c.file;
    ASSERT_EQ(LoadBytes(&ply, bytes), c.loads) << c.file;
    EXPECT_EQ(ply.vertexCount, c.vertices) << c.file;
    EXPECT_EQ(ply.faceCount, c.triangles) << c.file;
    if (c.vertices) {
      EXPECT_FALSE(ply.bounds.IsEmpty()) << c.file;
      EXPECT_LE(ply.bounds.max.x - ply.bounds.min.x, 1000.0f) << c.file;
    }
  }
  // The cube spans -1..1 (ASCII) and its uv twin keeps its texture coordinates.
  cModelPLY uv;
  ASSERT_TRUE(LoadBytes(&uv, ReadHostFile(CorpusPath("ply/cube_uv.ply"))));
  float maxU = 0;
  for (const auto& v : uv.root->vertices) maxU = std::max(maxU, v.u);
  EXPECT_GT(maxU, 0.0f);
}

TEST(PlyReader, BrokenCorpusFileFailsOrLoadsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP();
  cModelPLY ply;
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath("ply/crash-30d6d0f7c529b3b66b4131700b7a4580cd7082df.ply"));
  if (LoadBytes(&ply, bytes)) {
    for (uint32_t i : OnlyMesh(ply).triangles) EXPECT_LT(i, ply.root->vertices.size());
  }
}

TEST(PlyReader, CorpusCutAtManyLengths) {
  if (!HaveCorpus()) GTEST_SKIP();
  for (const char* f : {"ply/cube.ply", "ply/cube_binary.ply", "ply/cube_uv.ply", "ply/float-color.ply",
                        "ply/issue623.ply", "ply/crash-30d6d0f7c529b3b66b4131700b7a4580cd7082df.ply"})
    CutAtManyLengths<cModelPLY>(ReadHostFile(CorpusPath(f)));
}

// [STL] --------------------------------------------------------------------------------------

std::vector<uint8_t> BinaryStl(const char* header, uint32_t count, size_t records) {
  std::vector<uint8_t> out(80, 0);
  std::memcpy(out.data(), header, std::min<size_t>(80, strlen(header)));
  Put(&out, count);
  for (size_t i = 0; i < records; ++i) {
    const float f[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    Append(&out, f, sizeof f);
    Put(&out, uint16_t(0));
  }
  return out;
}

TEST(StlReader, BinarySizes) {
  struct Case {
    uint32_t count;
    size_t records;
    bool loads;
  } cases[] = {{0, 0, true}, {2, 1, false}, {1, 1, true}, {0xFFFFFFFFu, 1, false}};
  for (const Case& c : cases) {
    cModelSTL stl;
    EXPECT_EQ(LoadBytes(&stl, BinaryStl("binary", c.count, c.records)), c.loads) << c.count;
    if (c.loads) {
      EXPECT_EQ(stl.faceCount, c.count);
    }
  }
  cModelSTL tiny;
  EXPECT_FALSE(LoadBytes(&tiny, std::vector<uint8_t>(83, 0)));
  EXPECT_EQ(tiny.error(), "truncated");
}

TEST(StlReader, BinaryTriangleIsMirroredAndReversed) {
  cModelSTL stl;
  ASSERT_TRUE(LoadBytes(&stl, BinaryStl("x", 1, 1)));
  EXPECT_EQ(stl.root->name, "[Model(Binary)]");
  EXPECT_EQ(stl.vertexFormat, 0x12u);
  ASSERT_EQ(stl.root->vertices.size(), 3u);
  const auto& v = stl.root->vertices;
  // File corners (0,0,0), (1,0,0), (0,1,0) with normal +z: stored third, second, first; z negated.
  EXPECT_EQ(v[0].y, 1.0f);
  EXPECT_EQ(v[1].x, 1.0f);
  EXPECT_EQ(v[2].x, 0.0f);
  EXPECT_EQ(v[0].nz, -1.0f);
  EXPECT_TRUE(stl.root->meshes.empty());
  ASSERT_EQ(stl.materials.size(), 1u);
  EXPECT_EQ(stl.materials[0].diffuse[0], 1.0f);
  EXPECT_FLOAT_EQ(stl.materials[0].ambient[0], 0.05f);
}

TEST(StlReader, HeaderColours) {
  std::string color = "COLOR=";
  color += std::string("\xFF\x80\x00\xFF", 4);
  cModelSTL stl;
  ASSERT_TRUE(LoadBytes(&stl, BinaryStl(color.c_str(), 0, 0)));
  // strlen stops at the zero byte: put the colour bytes in by hand.
  std::vector<uint8_t> bytes = BinaryStl("COLOR=", 0, 0);
  const uint8_t rgba[4] = {255, 128, 0, 255};
  std::memcpy(bytes.data() + 6, rgba, 4);
  cModelSTL coloured;
  ASSERT_TRUE(LoadBytes(&coloured, bytes));
  // The colour search stops at the first zero byte of the header, as a text search does; the
  // blue byte 0 ends it after the colour.
  EXPECT_FLOAT_EQ(coloured.materials[0].diffuse[0], 1.0f);
  EXPECT_NEAR(coloured.materials[0].diffuse[1], 0.502f, 0.001f);
  EXPECT_FLOAT_EQ(coloured.materials[0].diffuse[2], 0.0f);
  EXPECT_NEAR(coloured.materials[0].specular[1], 0.502f, 0.001f);

  // A marker so near the end of the header that its bytes would run past it is ignored.
  std::vector<uint8_t> late = BinaryStl("", 0, 0);
  std::memset(late.data(), 'a', 80);
  std::memcpy(late.data() + 72, "COLOR=", 6);
  cModelSTL edge;
  ASSERT_TRUE(LoadBytes(&edge, late));
  EXPECT_EQ(edge.materials[0].diffuse[0], 1.0f);
}

TEST(StlReader, BinaryWhoseHeaderSaysSolid) {
  std::vector<uint8_t> bytes = BinaryStl("solid exported by a binary writer", 1, 1);
  EXPECT_FALSE(cModelSTL::IsAscii(bytes.data(), bytes.size()));
  cModelSTL stl;
  ASSERT_TRUE(LoadBytes(&stl, bytes));
  EXPECT_EQ(stl.faceCount, 1u);
  EXPECT_EQ(stl.root->name, "[Model(Binary)]");
}

TEST(StlReader, AsciiFanAndNormal) {
  std::string text =
      "solid t\nfacet normal 0 0 2\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nvertex 0 1 0\n"
      "endloop\nendfacet\nendsolid t\n";
  cModelSTL stl;
  ASSERT_TRUE(LoadBytes(&stl, Bytes(text)));
  EXPECT_EQ(stl.root->name, "[Model(Ascii)]");
  ASSERT_EQ(stl.faceCount, 2u);
  const auto& v = stl.root->vertices;
  // (C, B, A) then (D, C, A); normal (0, 0, 1) mirrored to (0, 0, -1).
  EXPECT_EQ(v[0].x, 1.0f);
  EXPECT_EQ(v[0].y, 1.0f);
  EXPECT_EQ(v[1].x, 1.0f);
  EXPECT_EQ(v[1].y, 0.0f);
  EXPECT_EQ(v[2].x, 0.0f);
  EXPECT_EQ(v[2].y, 0.0f);
  EXPECT_EQ(v[3].x, 0.0f);
  EXPECT_EQ(v[3].y, 1.0f);
  EXPECT_EQ(v[4].x, 1.0f);
  EXPECT_EQ(v[4].y, 1.0f);
  for (const auto& vertex : v) EXPECT_EQ(vertex.nz, -1.0f);
}

// The facet normal a triangle is drawn with, in both forms. The triangle (0,0,0), (1,0,0),
// (0,1,0) runs counter-clockwise about +z; after the mirroring its normal is stored as -z.
TEST(StlReader, FacetNormalsThatAreZeroOrAgainstTheCornersAreComputed) {
  const float inf = INFINITY, nan = NAN;
  struct Case {
    const char* what;
    float stored[3];
    float corners[9];
    float want[3];  // as drawn, z mirrored
  } cases[] = {
      {"zero", {0, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, -1}},
      {"reversed", {0, 0, -1}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, -1}},
      {"slightly against", {0.8f, 0, -0.1f}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, -1}},
      {"not finite", {nan, 0, 1}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, -1}},
      {"infinite", {inf, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, -1}},
      {"computed is unit", {0, 0, 0}, {0, 0, 0, 4, 0, 0, 0, 4, 0}, {0, 0, -1}},
      {"good, tilted, kept", {0.6f, 0, 0.8f}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0.6f, 0, -0.8f}},
      {"in the plane, kept", {1, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {1, 0, 0}},
      {"other winding, kept", {0, 0, -1}, {0, 0, 0, 0, 1, 0, 1, 0, 0}, {0, 0, 1}},
      {"no area, kept", {0, 1, 0}, {1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 1, 0}},
      {"no area and zero", {0, 0, 0}, {1, 1, 1, 2, 2, 2, 3, 3, 3}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> binary = BinaryStl("normals", 1, 0);
    Append(&binary, c.stored, sizeof c.stored);
    Append(&binary, c.corners, sizeof c.corners);
    Put(&binary, uint16_t(0));
    char text[512];
    std::snprintf(text, sizeof text,
                  "solid n\nfacet normal %g %g %g\nouter loop\nvertex %g %g %g\nvertex %g %g %g\n"
                  "vertex %g %g %g\nendloop\nendfacet\nendsolid n\n",
                  c.stored[0], c.stored[1], c.stored[2], c.corners[0], c.corners[1], c.corners[2],
                  c.corners[3], c.corners[4], c.corners[5], c.corners[6], c.corners[7], c.corners[8]);
    for (bool ascii : {false, true}) {
      cModelSTL stl;
      ASSERT_TRUE(LoadBytes(&stl, ascii ? Bytes(text) : binary)) << c.what;
      ASSERT_EQ(stl.root->vertices.size(), 3u) << c.what;
      for (const sVertexNormalTex& v : stl.root->vertices) {
        // The ASCII form scales a stored normal to unit length (the binary one keeps it), and a
        // non-finite number is text the ASCII parser reads differently: skip those there.
        if (ascii && !std::isfinite(c.stored[0])) continue;
        EXPECT_NEAR(v.nx, c.want[0], 1e-6) << c.what << (ascii ? " ascii" : " binary");
        EXPECT_NEAR(v.ny, c.want[1], 1e-6) << c.what << (ascii ? " ascii" : " binary");
        EXPECT_NEAR(v.nz, c.want[2], 1e-6) << c.what << (ascii ? " ascii" : " binary");
      }
    }
  }
}

// Every drawn facet of the spider (whose file normals all point inwards or are zero) faces the
// way its corners run: the normal and the drawn winding agree.
TEST(StlReader, SpiderFacetNormalsAgreeWithTheirWinding) {
  if (!HaveCorpus()) GTEST_SKIP();
  for (const char* file : {"stl/Spider_binary.stl", "stl/Spider_ascii.stl"}) {
    cModelSTL stl;
    ASSERT_TRUE(LoadBytes(&stl, ReadHostFile(CorpusPath(file)))) << file;
    const auto& v = stl.root->vertices;
    size_t against = 0;
    for (size_t i = 0; i + 2 < v.size(); i += 3) {
      // Drawn corners a, b, c run clockwise seen from the front in Direct3D's left-handed space:
      // (b - a) x (c - a) points towards the front.
      const float e1[3] = {v[i + 1].x - v[i].x, v[i + 1].y - v[i].y, v[i + 1].z - v[i].z};
      const float e2[3] = {v[i + 2].x - v[i].x, v[i + 2].y - v[i].y, v[i + 2].z - v[i].z};
      const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                          e1[0] * e2[1] - e1[1] * e2[0]};
      if (n[0] * v[i].nx + n[1] * v[i].ny + n[2] * v[i].nz < 0) ++against;
    }
    EXPECT_EQ(against, 0u) << file;
  }
}

TEST(StlReader, CorpusFiles) {
  if (!HaveCorpus()) GTEST_SKIP();
  struct Case {
    const char* file;
    uint32_t triangles;
  } cases[] = {{"stl/Spider_ascii.stl", 1368}, {"stl/Spider_binary.stl", 1368}, {"stl/sphereWithHole.stl", 285},
               {"stl/triangle.stl", 1},        {"stl/triangle_with_two_solids.stl", 2}};
  for (const Case& c : cases) {
    cModelSTL stl;
    ASSERT_TRUE(LoadBytes(&stl, ReadHostFile(CorpusPath(c.file)))) << c.file;
    EXPECT_EQ(stl.faceCount, c.triangles) << c.file;
    EXPECT_EQ(stl.vertexCount, 3 * c.triangles) << c.file;
    EXPECT_FALSE(stl.bounds.IsEmpty()) << c.file;
  }
  // The two spiders are one model: the same box.
  cModelSTL a, b;
  ASSERT_TRUE(LoadBytes(&a, ReadHostFile(CorpusPath("stl/Spider_ascii.stl"))));
  ASSERT_TRUE(LoadBytes(&b, ReadHostFile(CorpusPath("stl/Spider_binary.stl"))));
  EXPECT_NEAR(a.bounds.min.x, b.bounds.min.x, 1e-3);
  EXPECT_NEAR(a.bounds.max.z, b.bounds.max.z, 1e-3);
}

TEST(StlReader, CorpusCutAtManyLengths) {
  if (!HaveCorpus()) GTEST_SKIP();
  for (const char* f : {"stl/Spider_binary.stl", "stl/triangle.stl", "stl/sphereWithHole.stl"})
    CutAtManyLengths<cModelSTL>(ReadHostFile(CorpusPath(f)));
}

// [TERRAGEN] ---------------------------------------------------------------------------------

std::vector<uint8_t> Terrain(std::initializer_list<std::pair<const char*, std::vector<uint8_t>>> chunks) {
  std::vector<uint8_t> out = Bytes("TERRAGENTERRAIN ");
  for (const auto& chunk : chunks) {
    Append(&out, chunk.first, 4);
    out.insert(out.end(), chunk.second.begin(), chunk.second.end());
    while (out.size() % 4) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

std::vector<uint8_t> Heights(int16_t scale, int16_t base, std::vector<int16_t> e) {
  std::vector<uint8_t> out;
  Put(&out, scale);
  Put(&out, base);
  for (int16_t v : e) Put(&out, v);
  return out;
}

TEST(TerragenReader, FlatGridFacesDown) {
  cTerragen ter;
  ASSERT_TRUE(LoadBytes(&ter, Terrain({{"XPTS", U16(3)}, {"YPTS", U16(2)}, {"CRVM", {1, 0, 0, 0}},
                                       {"ALTW", Heights(0, 0, {0, 0, 0, 0, 0, 0})}})));
  EXPECT_EQ(ter.root->name, "[Model]");
  EXPECT_EQ(ter.vertexCount, 6u);
  EXPECT_EQ(ter.faceCount, 4u);
  EXPECT_EQ(OnlyMesh(ter).triangles, (std::vector<uint32_t>{0, 3, 4, 0, 4, 1, 1, 4, 5, 1, 5, 2}));
  for (const auto& v : ter.root->vertices) {
    EXPECT_FLOAT_EQ(v.nz, -1.0f);
    EXPECT_EQ(v.nx, 0.0f);
  }
  EXPECT_FLOAT_EQ(ter.root->vertices[5].u, 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(ter.root->vertices[5].v, 0.5f);
  EXPECT_EQ(ter.root->base.m00, 30.0f);
  EXPECT_EQ(ter.root->current.m22, 30.0f);
}

TEST(TerragenReader, HeightScale) {
  struct Case {
    int16_t scale;
    int16_t base;
    int16_t e;
    float height;
  } cases[] = {{0, 5, 3, 8.0f}, {16384, 0, 100, 25.0f}, {-32768, 1, 2, 0.0f}};
  for (const Case& c : cases) {
    cTerragen ter;
    ASSERT_TRUE(LoadBytes(&ter, Terrain({{"SIZE", U16(1)}, {"SCAL", std::vector<uint8_t>(12, 0)},
                                         {"ALTW", Heights(c.scale, c.base, {c.e, 0, 0, 0})}})));
    EXPECT_FLOAT_EQ(ter.root->vertices[0].z, c.height) << c.scale;
    EXPECT_EQ(ter.root->base.m00, 0.0f);
  }
}

TEST(TerragenReader, SizeGivesTheDocumentedGrid) {
  cTerragen ter;
  ASSERT_TRUE(LoadBytes(&ter, Terrain({{"SIZE", U16(256)}, {"ALTW", Heights(1, 0, std::vector<int16_t>(257 * 257, 7))}})));
  EXPECT_EQ(ter.vertexCount, 66049u);
  EXPECT_EQ(ter.faceCount, 131072u);
}

TEST(TerragenReader, Failures) {
  struct Case {
    std::vector<uint8_t> bytes;
    bool loads;
    const char* error;
  } cases[] = {
      {Bytes("TERRAGENTERRAIN"), false, "truncated"},
      {Bytes("TERRAGENTERRAIX EOF "), false, "bad header"},
      {Terrain({{"EOF ", {}}}), true, ""},
      {Terrain({}), true, ""},  // ends right after the header words... plus nothing
      {Terrain({{"XPTS", U16(1)}, {"YPTS", U16(4)}, {"ALTW", Heights(1, 0, {0, 0, 0, 0})}}), false, "bad size"},
      {Terrain({{"XPTS", U16(2)}, {"YPTS", U16(3)}, {"ALTW", Heights(1, 0, {0, 0, 0, 0})}}), false, "truncated"},
      // 65535 x 65535 samples: the grid size needs 64 bits.
      {Terrain({{"XPTS", U16(65535)}, {"YPTS", U16(65535)}, {"ALTW", Heights(1, 0, {0, 0})}}), false, "truncated"},
      {Terrain({{"XPTS", U16(2)}, {"ZZZZ", {}}, {"ALTW", Heights(1, 0, {0, 0, 0, 0})}}), true, ""},
  };
  for (const Case& c : cases) {
    cTerragen ter;
    std::vector<uint8_t> bytes = c.bytes;
    if (bytes.size() == 16) bytes.push_back(0);  // longer than 16 bytes, nothing after the words
    EXPECT_EQ(LoadBytes(&ter, bytes), c.loads) << c.error << bytes.size();
    EXPECT_EQ(ter.error(), c.error);
    if (c.loads) {
      EXPECT_EQ(ter.vertexCount, 0u);
    }
  }
}

TEST(TerragenReader, CorpusFile) {
  if (!HaveCorpus()) GTEST_SKIP();
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath("ter/RealisticTerrain.ter"));
  cTerragen ter;
  ASSERT_TRUE(LoadBytes(&ter, bytes));
  EXPECT_EQ(ter.vertexCount, 257u * 257u);
  EXPECT_EQ(ter.faceCount, 256u * 256u * 2u);
  EXPECT_EQ(ter.bounds.min.x, 0.0f);
  EXPECT_EQ(ter.bounds.max.x, 256.0f);
  EXPECT_EQ(ter.bounds.max.y, 256.0f);
  for (const auto& v : ter.root->vertices) ASSERT_NEAR(Length(v), 1.0f, 1e-4);
  CutAtManyLengths<cTerragen>(bytes);
}

}  // namespace

namespace {

// Found by fuzzing: elements whose records have no properties, declared by the billion, must not
// be walked record by record nor allocated.
TEST(PlyReader, ElementsWithoutPropertiesCostNothing) {
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, ReadHostFile(testing_support::DataPath("model/ply-empty-records.ply"))));
  EXPECT_TRUE(ply.root->vertices.empty());
}

}  // namespace

namespace {

// Found by fuzzing: a zero byte inside a face line once stopped the token skipping for good.
TEST(PlyReader, ZeroByteInsideALineEnds) {
  cModelPLY ply;
  EXPECT_TRUE(LoadBytes(&ply, ReadHostFile(testing_support::DataPath("model/ply-nul-in-face-line.ply"))));
  std::string text = std::string(kTriangleHeader) + "0 0 0\n1 0 0\n0 1 0\n3 0" + std::string(1, '\0') + " 1 2\n";
  cModelPLY inline_;
  EXPECT_TRUE(LoadBytes(&inline_, Bytes(text)));
}

}  // namespace

namespace {

// Found by fuzzing: a second vertex element once replaced the vertices the faces already used.
TEST(PlyReader, SecondVertexElementIsSkipped) {
  for (const char* f : {"model/ply-second-vertex-element.ply"}) {
    cModelPLY ply;
    if (LoadBytes(&ply, ReadHostFile(testing_support::DataPath(f)))) {
      for (uint32_t i : OnlyMesh(ply).triangles) EXPECT_LT(i, ply.root->vertices.size());
    }
  }
  std::string text =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nelement face 1\n"
      "property list uchar int vertex_indices\nelement vertex 1\nproperty float x\nend_header\n"
      "1\n2\n3\n3 0 1 2\n9\n";
  cModelPLY ply;
  ASSERT_TRUE(LoadBytes(&ply, Bytes(text)));
  EXPECT_EQ(ply.root->vertices.size(), 3u);
  EXPECT_EQ(OnlyMesh(ply).triangles.size(), 3u);
}

}  // namespace
