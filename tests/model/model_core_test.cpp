// The model's records and shared operations: number parsers, line trimming, bounds, tree search,
// texture search order, post-processing, triangulation, animation and the open sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/model_math.h"
#include "model/model_open.h"
#include "model/model_process.h"
#include "model/model_text.h"
#include "support/test_support.h"

using namespace model;

namespace {

TEST(NumberParsers, DocumentedCases) {
  EXPECT_DOUBLE_EQ(ParseDouble("  -1.5e3"), -1500.0);
  EXPECT_DOUBLE_EQ(ParseDouble("1e999"), 1e308);
  EXPECT_DOUBLE_EQ(ParseDouble("abc"), 0.0);
  EXPECT_DOUBLE_EQ(ParseDouble("\t+0.25"), 0.25);
  EXPECT_DOUBLE_EQ(ParseDouble("2e"), 2.0);
  EXPECT_DOUBLE_EQ(ParseDouble("3.5E-2"), 0.035);
  EXPECT_DOUBLE_EQ(ParseDouble("123456789012345678901234"), 1.2345678901234568e23);
  EXPECT_EQ(ParseUnsigned("-12"), 12u);
  EXPECT_EQ(ParseInt("-12"), -12);
  EXPECT_EQ(ParseInt("x"), 0);
  const char* text = "7.25 rest";
  const char* end;
  ParseDouble(text, &end);
  EXPECT_STREQ(end, " rest");
  // The bounded forms never read at the limit.
  const char digits[] = {'4', '2', '9'};
  EXPECT_EQ(ParseUnsigned(digits, digits + 2, &end), 42u);
  EXPECT_DOUBLE_EQ(ParseDouble(digits, digits + 1, &end), 4.0);
}

TEST(TrimModelLine, LongLinesBlanksAndGbk) {
  std::string path = testing_support::MakeTempFolder("trim") + "/lines.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  std::string longLine(600, 'a');
  std::fprintf(f, "%s\n   \t \r\nnext\xb0\xa1\r\n", longLine.c_str());
  std::fclose(f);
  f = std::fopen(path.c_str(), "rb");
  char buffer[512];
  ASSERT_TRUE(std::fgets(buffer, sizeof buffer, f));
  EXPECT_EQ(std::string(TrimModelLine(buffer, sizeof buffer, f)), std::string(511, 'a'));
  ASSERT_TRUE(std::fgets(buffer, sizeof buffer, f));
  EXPECT_STREQ(TrimModelLine(buffer, sizeof buffer, f), "");
  ASSERT_TRUE(std::fgets(buffer, sizeof buffer, f));
  EXPECT_STREQ(TrimModelLine(buffer, sizeof buffer, f), "next\xb0\xa1");
  std::fclose(f);
}

TEST(Records, BoxesMatricesAndMaterials) {
  geometry::cAABB box;
  EXPECT_TRUE(box.IsEmpty());
  box.Extend(sVector3{1, 2, 3});
  EXPECT_EQ(box.min.x, 1.0f);
  EXPECT_EQ(box.max.z, 3.0f);
  sMatrix4 m;
  MatrixIdentity(&m);
  EXPECT_TRUE(MatrixIsIdentity(&m));
  m.m11 = std::nextafter(1.0f, 2.0f);
  EXPECT_FALSE(MatrixIsIdentity(&m));
  sVector3 v{1, 2, 3};
  Vec3DivideScalar(&v, 1e-7f);
  EXPECT_EQ(v.y, 2.0f);
  sModelMaterial material;
  material.power = 500;
  EXPECT_EQ(material.ToDeviceMaterial().material.Power, 128.0f);
  EXPECT_EQ(material.power, 500.0f);
  material.power = -3;
  EXPECT_EQ(material.ToDeviceMaterial().material.Power, 0.0f);
}

TEST(Records, FindByNameIsDepthFirst) {
  sNode root(nullptr, "root");
  auto a = std::make_unique<sNode>(nullptr, "a");
  auto twinDeep = std::make_unique<sNode>(nullptr, "twin");
  sNode* deep = twinDeep.get();
  a->AddChild(std::move(twinDeep));
  root.AddChild(std::move(a));
  root.AddChild(std::make_unique<sNode>(nullptr, "twin"));
  EXPECT_EQ(root.FindByName("twin"), deep);
  EXPECT_EQ(root.FindByName(nullptr), nullptr);
  EXPECT_EQ(deep->parent->name, "a");
  EXPECT_FALSE(root.AddChild(nullptr));
}

TEST(Records, MeshAssignIsDeepAndSelfSafe) {
  sMesh mesh;
  mesh.name = "m";
  mesh.triangles = {0, 1, 2};
  mesh.triangleCount = 1;
  mesh.bones.push_back(std::make_unique<sBoneWeights>());
  mesh.bones[0]->pairs = {{1, 0.5f}};
  mesh.Assign(mesh);
  EXPECT_EQ(mesh.triangles.size(), 3u);
  sMesh copy;
  copy.Assign(mesh);
  EXPECT_EQ(copy.name, "m");
  ASSERT_EQ(copy.bones.size(), 1u);
  EXPECT_NE(copy.bones[0].get(), mesh.bones[0].get());
  EXPECT_EQ(copy.bones[0]->pairs[0].vertex, 1u);
}

TEST(TextureSearch, TriesInDocumentedOrder) {
  EXPECT_EQ(TextureSearchPaths("C:\\a\\b\\m.obj", "tex\\w.png"),
            (std::vector<std::string>{"tex\\w.png", "C:\\a\\b\\tex\\w.png", "C:\\a\\b\\w.png", "C:\\a\\tex\\w.png",
                                      "C:\\tex\\w.png"}));
  EXPECT_EQ(TextureSearchPaths("\\a\\m.obj", "w.png"),
            (std::vector<std::string>{"w.png", "\\a\\w.png", "\\w.png"}));
  EXPECT_EQ(TextureSearchPaths("m.obj", "w.png"), (std::vector<std::string>{"w.png"}));
  EXPECT_EQ(TextureSearchPaths("/a/m.obj", "w.png"), (std::vector<std::string>{"w.png", "/a/w.png", "/w.png"}));
}

// A model built by hand, for the post-processing and animation tests.
class cHandModel : public cModel {
 public:
  bool LoadFromMemory(const uint8_t*, size_t) override {
    root = std::make_unique<sNode>(nullptr, "root");
    auto child = std::make_unique<sNode>(nullptr, "child");
    child->vertices = {{0, 0, 1, 0, 0, 1, 0, 0.25f}, {1, 0, 2, 0, 0, 1, 1, 0}};
    auto mesh = std::make_unique<sMesh>();
    mesh->triangles = {0, 1, 1};
    mesh->materialIndex = 0;
    child->AddMesh(std::move(mesh));
    root->AddChild(std::move(child));
    materials.resize(1);
    materials[0].diffuse[3] = alpha;
    ComputeNodeBounds(root.get());
    loaded = 1;
    return true;
  }
  float alpha = 1.0f;
};

TEST(OpenSequence, TransparencyAndBoundingSphere) {
  sRenderContext context;
  ModelRenderContext = &context;
  for (float alpha : {0.5f, 1.0f, NAN}) {
    cHandModel m;
    m.alpha = alpha;
    CurrentModel = &m;
    ASSERT_TRUE(OpenCurrentModel("hand.model") || OpenCurrentModelFromMemory("hand.model", nullptr, 0));
    EXPECT_EQ(m.root->children[0]->meshes[0]->transparent, alpha == 1.0f ? 0 : 1) << alpha;
    EXPECT_EQ(m.distanceMap.size(), 2u);
    float centre[3], radius;
    ASSERT_TRUE(GetCurrentModelBoundingSphere(centre, &radius));
    EXPECT_FLOAT_EQ(centre[0], 0.5f);
    EXPECT_FLOAT_EQ(centre[2], 1.5f);
    EXPECT_FLOAT_EQ(radius, std::sqrt(2.0f) / 2);
  }
  CurrentModel = nullptr;
  ModelRenderContext = nullptr;
}

class cEmptyModel : public cModel {
 public:
  bool LoadFromMemory(const uint8_t*, size_t) override {
    root = std::make_unique<sNode>();
    loaded = 1;
    return true;
  }
};

TEST(OpenSequence, EmptyModelHasAFiniteSphereAndNoContextFails) {
  cEmptyModel m;
  CurrentModel = &m;
  ModelRenderContext = nullptr;
  EXPECT_FALSE(OpenCurrentModelFromMemory("e", nullptr, 0));
  sRenderContext context;
  ModelRenderContext = &context;
  ASSERT_TRUE(OpenCurrentModelFromMemory("e", nullptr, 0));
  float centre[3] = {9, 9, 9}, radius = 0;
  ASSERT_TRUE(GetCurrentModelBoundingSphere(centre, &radius));
  EXPECT_EQ(centre[0], 0.0f);
  EXPECT_EQ(radius, 1.0f);
  CurrentModel = nullptr;
  ModelRenderContext = nullptr;
}

TEST(PostProcessing, FlipHandednessTwiceRestores) {
  cHandModel m;
  ASSERT_TRUE(m.LoadFromMemory(nullptr, 0));
  m.root->children[0]->base.m32 = 4;
  m.root->children[0]->base.m20 = 2;
  auto animation = std::make_unique<sAnimation>();
  auto track = std::make_unique<sAnimationTrack>();
  track->positionKeys = {{0.0, {1, 2, 3, 0}}};
  track->rotationKeys = {{0.0, {0.1f, 0.2f, 0.3f, 0.9f}}};
  animation->tracks.push_back(std::move(track));
  m.animations.push_back(std::move(animation));
  m.FlipHandedness();
  EXPECT_EQ(m.root->children[0]->vertices[1].z, -2.0f);
  EXPECT_EQ(m.root->children[0]->base.m32, -4.0f);
  EXPECT_EQ(m.animations[0]->tracks[0]->positionKeys[0].value[2], -3.0f);
  EXPECT_EQ(m.animations[0]->tracks[0]->rotationKeys[0].value[0], -0.1f);
  m.FlipHandedness();
  EXPECT_EQ(m.root->children[0]->vertices[1].z, 2.0f);
  EXPECT_EQ(m.root->children[0]->base.m32, 4.0f);
  EXPECT_EQ(m.root->children[0]->base.m20, 2.0f);
  EXPECT_EQ(m.animations[0]->tracks[0]->rotationKeys[0].value[1], 0.2f);
  m.root->FlipWinding();
  EXPECT_EQ(m.root->children[0]->meshes[0]->triangles, (std::vector<uint32_t>{1, 1, 0}));
  m.root->FlipTextureV();
  EXPECT_EQ(m.root->children[0]->vertices[0].v, 0.75f);
}

std::vector<sVertexNormalTex> Points(std::initializer_list<std::pair<float, float>> xy) {
  std::vector<sVertexNormalTex> out;
  for (auto p : xy) out.push_back(sVertexNormalTex{p.first, p.second, 0, 0, 0, 0, 0, 0});
  return out;
}

// Twice the signed area of the triangles must add up to the polygon's, every triangle inside.
TEST(Triangulation, ConvexConcaveAndDegenerate) {
  std::vector<sVertexNormalTex> v = Points({{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}});  // concave at 3
  std::vector<scene::sPolygon> polygons(4);
  polygons[0].indices = {0, 1, 2, 3, 4};
  polygons[1].indices = {0, 1, 2, 4};
  polygons[2].indices = {};         // no corners: skipped
  polygons[3].indices = {0, 1, 9};  // beyond the vertices: skipped
  std::vector<uint32_t> triangles;
  uint32_t count = 0;
  ASSERT_TRUE(TriangulatePolygons(v.data(), uint32_t(v.size()), polygons.data(), 4, &triangles, &count, true));
  ASSERT_EQ(count, 5u);
  auto area = [&](size_t t) {
    const auto &a = v[triangles[3 * t]], &b = v[triangles[3 * t + 1]], &c = v[triangles[3 * t + 2]];
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  };
  float concave = 0;
  for (size_t t = 0; t < 3; ++t) {
    EXPECT_GE(area(t), 0.0f) << t;
    concave += area(t);
  }
  EXPECT_FLOAT_EQ(concave, 2 * 10.0f);  // the pentagon's area is 10
  EXPECT_FLOAT_EQ(area(3) + area(4), 2 * 16.0f);
  EXPECT_FLOAT_EQ(v[0].nz, 1.0f);
  sVector3 a = PolygonAreaVector(polygons[1], v.data(), uint32_t(v.size()));
  EXPECT_FLOAT_EQ(a.z, 32.0f);
}

class cAnimatedModel : public cHandModel {
 public:
  bool LoadFromMemory(const uint8_t* d, size_t n) override {
    cHandModel::LoadFromMemory(d, n);
    auto animation = std::make_unique<sAnimation>();
    animation->length = 2.0;
    auto track = std::make_unique<sAnimationTrack>();
    track->nodeName = "child";
    track->positionKeys = {{0.5, {0, 0, 0, 0}}, {1.5, {10, 0, 0, 0}}};
    track->rotationKeys = {{0.5, {0, 0, 0, 1}}, {1.5, {0, 0, -0.7071068f, -0.7071068f}}};
    track->scaleKeys = {{0.5, {2, 2, 2, 0}}};
    animation->tracks.push_back(std::move(track));
    animations.push_back(std::move(animation));
    animationDuration = 1.5;
    return true;
  }
};

TEST(Animation, InterpolatesClampsAndWraps) {
  sRenderContext context;
  ModelRenderContext = &context;
  cAnimatedModel m;
  CurrentModel = &m;
  ASSERT_TRUE(OpenCurrentModelFromMemory("anim", nullptr, 0));
  ASSERT_EQ(m.currentAnimation, 0);
  sNode* child = m.root->children[0].get();
  struct Case {
    double t;
    float x;
  } cases[] = {{0.75, 2.5f}, {0.0, 0.0f}, {0.25, 0.0f}, {4.75, 2.5f}, {1.5, 10.0f}, {1.75, 7.5f}};
  for (const Case& c : cases) {
    m.Animate(c.t);
    EXPECT_FLOAT_EQ(child->base.m30, c.x) << c.t;  // before the first key: the first key, no extrapolation
    EXPECT_FLOAT_EQ(child->base.m00 * child->base.m00 + child->base.m01 * child->base.m01, 4.0f) << c.t;
  }
  // Halfway between the rotations, along the short arc: a quarter turn about z.
  m.Animate(1.0);
  EXPECT_NEAR(child->base.m00, 2 * std::cos(0.785398f), 1e-4);
  m.UpdateTransforms(m.root.get());
  EXPECT_FLOAT_EQ(child->current.m30, child->base.m30);
  // With the duration at 0 nothing moves.
  m.animationDuration = 0;
  child->base.m30 = 42;
  m.Animate(0.75);
  EXPECT_EQ(child->base.m30, 42.0f);
  CurrentModel = nullptr;
  ModelRenderContext = nullptr;
}

TEST(Animation, SlerpEnds) {
  sQuaternion a{0, 0, 0, 1}, b{0, 1, 0, 0}, out;
  QuaternionSlerp(&out, &a, &b, -1);
  EXPECT_EQ(out.w, 1.0f);
  QuaternionSlerp(&out, &a, &b, 2);
  EXPECT_EQ(out.y, 1.0f);
}

}  // namespace
