// Drawing and software skinning. (Device calls arrive with graphics/graphics.h.)
#include "model/model.h"

namespace model {

bool cModel::Render() { return loaded != 0; }
bool cModel::RenderAnimated(double seconds) {
  if (!loaded) return false;
  Animate(seconds);
  UpdateTransforms(root.get());
  return true;
}
void cModel::ApplyMaterial(const sMesh&) {}
void cModel::UpdateSkinMatrices(sNode*) {}
bool cModel::DrawNode(sNode*, int) { return loaded != 0; }
bool cModel::DrawSkinnedNode(sNode*, int) { return loaded != 0; }
bool cModel::DrawNodeOwnMeshes(sNode*) { return loaded != 0; }
bool cModel::DrawMesh(const sMesh&, sNode*) { return loaded != 0; }
bool cModel::SkinNode(sNode*) { return true; }
bool cModel::SkinNodeToWorld(sNode*) { return true; }
void cModel::AttachRenderer() {}
void cModel::ReleaseBuffers() {}

}  // namespace model
