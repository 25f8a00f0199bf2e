// One frame of the model view as a person sees it: a corpus model lit by the scene light through
// the viewer's camera and projection, outlines, a fill, a circle and a line each of Chinese and
// Latin text on top, written through cGraphics' own screenshot and compared with its golden
// picture (tests/data/golden/scene_screenshot.png). The picture is left in the working folder
// for a person to look at.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/open_model.h"
#include "graphics/font.h"
#include "model/model_open.h"
#include "platform/d3dx9_image.h"
#include "support/gl_test_support.h"
#include "support/test_support.h"
#include "gl_2d_support.h"

namespace {

using gl2d::kHeight;
using gl2d::kWidth;

constexpr float kQuarterPi = 3.14159265f / 4.0f;
constexpr D3DCOLOR kBackground = 0xFF304860;
// A closed sphere whose facet normals agree with its winding (Spider_binary.stl does not: its
// trueSpace normals all point inwards, so it shows black under the viewer's head-on light).
constexpr const char* kModelFile = "stl/sphereWithHole.stl";
constexpr const char* kScreenshotName = "scene_screenshot.png";

// Glyph edges may differ a little between FreeType builds and the model's edges between Mesa
// rasterisers: each channel may be off by a few levels, a few pixels by more.
constexpr testing_support::GoldenTolerance kGoldenTolerance{3, 60};

// Near and far planes the model view uses for a model of this extent (its bounding radius).
void ModelClipPlanes(float extent, float* nearPlane, float* farPlane) {
  *farPlane = 100.0f * extent;
  if (extent < 1.0f) {
    *nearPlane = extent;
    *farPlane = 50.0f * extent;
  } else if (extent < 1000.0f) {
    *nearPlane = 1.0f;
  } else {
    *nearPlane = extent * 0.01f;
  }
}

int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }

int Brightness(uint32_t argb) { return Channel(argb, 16) + Channel(argb, 8) + Channel(argb, 0); }

class SceneScreenshotTest : public gl2d::GraphicsTest {
 protected:
  void SetUp() override {
    gl2d::GraphicsTest::SetUp();
    context_.graphics = graphics_;
    ModelRenderContext = &context_;
  }

  // The model goes before the device it drew on; the shell's globals are left as found.
  void TearDown() override {
    CurrentModel = nullptr;
    model_.reset();
    ModelRenderContext = nullptr;
    SceneLight = nullptr;
    gl2d::GraphicsTest::TearDown();
  }

  // Opens the corpus file as the open-model command does, leaving its bounding sphere.
  void OpenModel(const char* file) {
    const std::vector<uint8_t> bytes =
        testing_support::ReadHostFile(testing_support::CorpusPath(file));
    ASSERT_FALSE(bytes.empty()) << file;
    model_ = CreateModelReader(file);
    ASSERT_NE(model_, nullptr) << file;
    CurrentModel = model_.get();
    ASSERT_TRUE(OpenCurrentModelFromMemory(file, bytes.data(), bytes.size())) << file;
    ASSERT_TRUE(GetCurrentModelBoundingSphere(centre_, &radius_));
    ASSERT_GT(radius_, 0.0f);
  }

  // The model view's camera: eye at the centre moved back 2.2 radii along -z, looking at the
  // centre, y up; projection a quarter turn wide with the clip planes for the radius.
  void PlaceCamera() {
    eye_ = sVector3{centre_[0], centre_[1], centre_[2] - 2.2f * radius_};
    target_ = sVector3{centre_[0], centre_[1], centre_[2]};
    const sVector3 up{0, 1, 0};
    sMatrix4 view;
    MatrixLookAtLH(&view, &eye_, &target_, &up);
    ASSERT_EQ(graphics_->device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&view)),
              D3D_OK);
    context_.cameraEye = &eye_;
    model_->ResortByDistance();

    const float aspect = static_cast<float>(kWidth) / static_cast<float>(kHeight);
    float nearPlane = 0, farPlane = 0;
    ModelClipPlanes(radius_, &nearPlane, &farPlane);
    ASSERT_TRUE(graphics_->SetProjection(kQuarterPi, aspect, nearPlane, farPlane));
    // Picking must see the same projection as the device draws with.
    const sMatrix4* pick = BuildPerspectiveMatrix(kQuarterPi, aspect, nearPlane, farPlane);
    D3DMATRIX drawn{};
    ASSERT_EQ(graphics_->device->GetTransform(D3DTS_PROJECTION, &drawn), D3D_OK);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(pick->m[r][c], drawn.m[r][c], 1e-4f * (1.0f + std::fabs(drawn.m[r][c])))
            << r << "," << c;
      }
    }
  }

  // The scene light as the shell makes it: directional, the colour settings with alpha 1,
  // pointing from the eye to the target, device light 0.
  void ApplySceneLight() {
    light_ = D3DLIGHT9{};
    light_.Type = D3DLIGHT_DIRECTIONAL;
    light_.Attenuation0 = 1.0f;
    SceneLight = &light_;
    cGraphics::SetLightDiffuse(1.0f);
    cGraphics::SetLightAmbient(1.0f);
    cGraphics::SetLightSpecular(1.0f);
    sVector3 direction{target_.x - eye_.x, target_.y - eye_.y, target_.z - eye_.z};
    Vec3NormalizeInPlace(&direction);
    light_.Direction = D3DVECTOR{direction.x, direction.y, direction.z};
    ASSERT_TRUE(graphics_->ApplyLight());
  }

  model::sRenderContext context_;
  std::unique_ptr<model::cModel> model_;
  float centre_[3] = {0, 0, 0};
  float radius_ = 0;
  sVector3 eye_{0, 0, 0};
  sVector3 target_{0, 0, 0};
  D3DLIGHT9 light_{};
};

TEST_F(SceneScreenshotTest, LitModelWithPrimitivesAndTextMatchesItsGoldenPicture) {
  if (!testing_support::HaveCorpus()) GTEST_SKIP() << "no corpus";
  ASSERT_NO_FATAL_FAILURE(OpenModel(kModelFile));
  ASSERT_NO_FATAL_FAILURE(PlaceCamera());
  ASSERT_NO_FATAL_FAILURE(ApplySceneLight());
  cFont song;
  cFont arial;
  ASSERT_TRUE(song.Create(16, false, Utf8ToCp936("宋体").c_str()));
  ASSERT_TRUE(arial.Create(14, false, "Arial"));

  ASSERT_TRUE(graphics_->BeginFrame(kBackground));
  EXPECT_TRUE(model_->Render());
  // A frame round the view, a badge with a ring in the top right corner and a dark bar that
  // carries the text.
  graphics_->DrawRectOutline(0xFFFFD040, 2, 2, kWidth - 3, kHeight - 3);
  graphics_->FillRect(0xFFE8E8E8, 262, 8, 310, 56);
  graphics_->DrawRectOutline(0xFF2060C0, 262, 8, 310, 56);
  // Circles plot transparent black: they show only where blending is off.
  graphics_->device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  graphics_->DrawCircle(18, 286, 32);
  graphics_->device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  graphics_->FillRect(0xB0000000, 6, 188, kWidth - 7, kHeight - 7);
  graphics_->BeginSprite();
  const std::string chinese =
      "三维模型：带孔球体，共 " + std::to_string(model_->faceCount) + " 个三角形";
  EXPECT_TRUE(song.DrawTextAt(Utf8ToCp936(chinese).c_str(), 12, 192, 0, 0, DT_LEFT,
                              0xFFFFFFFF));
  EXPECT_TRUE(arial.DrawTextAt("sphereWithHole.stl - lit by the scene light", 12, 212, 0, 0,
                               DT_LEFT, 0xFFA0E0FF));
  graphics_->EndSprite();
  ASSERT_TRUE(graphics_->EndFrame(false));

  ASSERT_TRUE(graphics_->SaveScreenshot(kScreenshotName, D3DXIFF_PNG));
  const std::vector<uint8_t> written = testing_support::ReadHostFile(kScreenshotName);
  DecodedImage picture;
  ASSERT_TRUE(DecodeImageFromMemory(written.data(), written.size(), &picture));
  ASSERT_EQ(picture.width, static_cast<uint32_t>(kWidth));
  ASSERT_EQ(picture.height, static_cast<uint32_t>(kHeight));

  // Whatever the golden says, the model must be there, lit and shaded: a good share of the
  // middle differs from the background, with bright faces and a spread of shades between.
  int modelPixels = 0, darkest = 3 * 255, brightest = 0;
  for (int y = 40; y < 180; ++y) {
    for (int x = 60; x < 260; ++x) {
      const uint32_t p = picture.argb[static_cast<size_t>(y) * kWidth + x];
      if ((p & 0xFFFFFF) == (kBackground & 0xFFFFFF)) continue;
      ++modelPixels;
      darkest = std::min(darkest, Brightness(p));
      brightest = std::max(brightest, Brightness(p));
    }
  }
  EXPECT_GT(modelPixels, 1500);
  EXPECT_GT(brightest, 400) << "the model is not lit";
  EXPECT_GT(brightest - darkest, 150) << "the model is not shaded";

  testing_support::ExpectMatchesGolden(kScreenshotName, picture.argb, kWidth, kHeight,
                                       kGoldenTolerance);
}

}  // namespace
