// The open sequence and the post-processing that follows a successful load.
#include "model/model_open.h"

#include <algorithm>
#include <cmath>

#include "graphics/texture.h"
#include "graphics/texture_manager.h"

model::cModel* CurrentModel = nullptr;
model::sRenderContext* ModelRenderContext = nullptr;

namespace {

bool PrepareCurrentModel(const char* fileName) {
  if (!ModelRenderContext || !fileName || !CurrentModel) return false;
  CurrentModel->ClearCommon();
  CurrentModel->context = ModelRenderContext;
  CurrentModel->fileName = fileName;
  CurrentModel->AttachRenderer();
  return true;
}

bool FinishCurrentModel(bool loaded) {
  model::cModel* m = CurrentModel;
  if (!loaded) {
    m->ClearCommon();
    return false;
  }
  m->BindAnimationTracks();
  m->SortBoneWeights(m->root.get());
  m->BindBones(m->root.get());
  m->FlagTransparentMeshes(m->root.get());
  m->ResortByDistance();
  return true;
}

}  // namespace

bool OpenCurrentModel(const char* fileName) {
  if (!PrepareCurrentModel(fileName)) return false;
  return FinishCurrentModel(CurrentModel->Load());
}

bool OpenCurrentModelFromMemory(const char* fileName, const uint8_t* data, size_t size) {
  if (!PrepareCurrentModel(fileName)) return false;
  return FinishCurrentModel(CurrentModel->LoadFromMemory(data, size));
}

bool SetCurrentModelDefaultTexture(const char* fileName) {
  model::cModel* m = CurrentModel;
  if (!m || !m->loaded || !m->context) return false;
  m->ReleaseTexture(m->defaultTexture);
  m->defaultTexture = 0;
  if (m->context->textureManager && fileName)
    m->defaultTexture = m->context->textureManager->LoadTexture(m->context->graphics, fileName,
                                                                D3DFMT_UNKNOWN, true);
  return m->defaultTexture != 0;
}

bool GetCurrentModelBoundingSphere(float centre[3], float* radius) {
  model::cModel* m = CurrentModel;
  if (!m || !m->loaded) return false;
  const geometry::cAABB& box = m->bounds;
  float c[3] = {0, 0, 0};
  float r = 1.0f;
  if (!box.IsEmpty()) {
    double dx = double(box.max.x) - box.min.x, dy = double(box.max.y) - box.min.y,
           dz = double(box.max.z) - box.min.z;
    float cx = float((double(box.min.x) + box.max.x) / 2);
    float cy = float((double(box.min.y) + box.max.y) / 2);
    float cz = float((double(box.min.z) + box.max.z) / 2);
    float half = float(std::sqrt(dx * dx + dy * dy + dz * dz) / 2);
    if (std::isfinite(cx) && std::isfinite(cy) && std::isfinite(cz) && std::isfinite(half)) {
      c[0] = cx;
      c[1] = cy;
      c[2] = cz;
      r = half;
    }
  }
  if (centre) std::copy(c, c + 3, centre);
  if (radius) *radius = r;
  return true;
}

namespace model {

void cModel::BindAnimationTracks() {
  if (currentAnimation == 0) return;
  currentAnimation = animations.empty() ? -1 : 0;
  trackMap.clear();
  if (currentAnimation < 0 || !animations[0] || !root) return;
  for (const auto& track : animations[0]->tracks) {
    if (!track) continue;
    if (sNode* node = root->FindByName(track->nodeName.c_str())) trackMap[track.get()] = node;
  }
}

void cModel::SortBoneWeights(sNode* node) {
  if (!node) return;
  for (auto& bone : node->bones)
    std::stable_sort(bone->pairs.begin(), bone->pairs.end(),
                     [](const sWeightPair& a, const sWeightPair& b) { return a.vertex < b.vertex; });
  for (auto& child : node->children) SortBoneWeights(child.get());
}

void cModel::BindBones(sNode* node) {
  if (!node || !root) return;
  for (auto& bone : node->bones)
    if (sNode* joint = root->FindByName(bone->jointName.c_str())) boneMap[bone.get()] = joint;
  for (auto& child : node->children) BindBones(child.get());
}

void cModel::FlagTransparentMeshes(sNode* node) {
  if (!node) return;
  for (auto& mesh : node->meshes) {
    if (mesh->materialIndex < 0 || size_t(mesh->materialIndex) >= materials.size()) continue;
    const sModelMaterial& material = materials[size_t(mesh->materialIndex)];
    float alpha = material.diffuse[3];
    mesh->transparent = (alpha < 1.0f || std::isnan(alpha)) ? 1 : 0;
    if (!mesh->transparent) {
      uint32_t id = material.textureCount > 0 ? material.textureIds[0] : mesh->textureId;
      const cTexture* texture = TextureOf(id);
      if (texture && texture->hasAlpha) mesh->transparent = 1;
    }
  }
  for (auto& child : node->children) FlagTransparentMeshes(child.get());
}

void cModel::SortNodesByDistance(sNode* node) {
  if (!node) return;
  sVector3 eye{0, 0, 0};
  if (context && context->cameraEye) eye = *context->cameraEye;
  sVector3 c = node->bounds.Center();
  float dx = c.x - eye.x, dy = c.y - eye.y, dz = c.z - eye.z;
  distanceMap.emplace(std::sqrt(dx * dx + dy * dy + dz * dz), node);
  for (auto& child : node->children) SortNodesByDistance(child.get());
}

void cModel::ResortByDistance() {
  distanceMap.clear();
  SortNodesByDistance(root.get());
}

}  // namespace model
