// Opening model files by name: the extension table, the file path through the platform's file
// functions (program paths, case-insensitive match) and the cleanup of a failed open.
#include <gtest/gtest.h>

#include "app/open_model.h"
#include "support/test_support.h"

using testing_support::CorpusPath;
using testing_support::HaveCorpus;
using testing_support::ToProgramPath;

namespace {

class OpenModel : public ::testing::Test {
 protected:
  void SetUp() override { ModelRenderContext = &context_; }
  void TearDown() override {
    CloseCurrentModel();
    ModelRenderContext = nullptr;
  }
  model::sRenderContext context_;
};

TEST_F(OpenModel, ExtensionTable) {
  EXPECT_TRUE(HasModelReader("a.PLY"));
  EXPECT_TRUE(HasModelReader("C:\\x\\b.Stl"));
  EXPECT_TRUE(HasModelReader("t.ter"));
  EXPECT_FALSE(HasModelReader("t.ter\\folder"));
  EXPECT_FALSE(HasModelReader("noextension"));
  EXPECT_FALSE(OpenModelFile("picture.png"));
  EXPECT_EQ(CurrentModel, nullptr);
}

TEST_F(OpenModel, CorpusFilesByProgramPathInAnyCase) {
  if (!HaveCorpus()) GTEST_SKIP();
  struct Case {
    const char* file;
    uint32_t faces;
  } cases[] = {{"ply/CUBE.PLY", 12}, {"stl/spider_binary.STL", 1368}, {"ter/RealisticTerrain.ter", 131072}};
  for (const Case& c : cases) {
    std::string path = ToProgramPath(CorpusPath(c.file));
    ASSERT_TRUE(OpenModelFile(path.c_str())) << path;
    ASSERT_NE(CurrentModel, nullptr);
    EXPECT_EQ(CurrentModel->faceCount, c.faces) << c.file;
    EXPECT_EQ(CurrentModel->fileName, path);
    float centre[3], radius = 0;
    EXPECT_TRUE(GetCurrentModelBoundingSphere(centre, &radius));
    EXPECT_GT(radius, 0.0f);
  }
}

TEST_F(OpenModel, FailedOpenLeavesNoModel) {
  std::string folder = testing_support::MakeTempFolder("open_model");
  std::string path = folder + "/broken.ply";
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("ply\nend_header\n", f);
  std::fclose(f);
  EXPECT_FALSE(OpenModelFile(ToProgramPath(path).c_str()));
  EXPECT_EQ(CurrentModel, nullptr);
  EXPECT_FALSE(OpenModelFile(ToProgramPath(folder + "/missing.stl").c_str()));
  EXPECT_FALSE(GetCurrentModelBoundingSphere(nullptr, nullptr));
}

}  // namespace
