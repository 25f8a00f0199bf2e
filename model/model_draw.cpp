// Drawing and software skinning. Each node is drawn in two passes: its opaque meshes, then its
// transparent ones with depth writes off. Static models go straight from the nodes' vertex
// arrays to the device; skinned and animated nodes are blended on the CPU into the renderer's
// dynamic vertex buffer.
#include <algorithm>
#include <cstring>

#include "graphics/texture.h"
#include "model/model.h"
#include "model/model_math.h"

namespace model {

namespace {

constexpr DWORD kDynamicUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
constexpr UINT kStride = sizeof(sVertexNormalTex);

IDirect3DDevice9* DeviceOf(const cRenderer& renderer) {
  return renderer.graphics ? renderer.graphics->device : nullptr;
}

void SetState(const cRenderer& renderer, D3DRENDERSTATETYPE state, DWORD value) {
  if (IDirect3DDevice9* device = DeviceOf(renderer)) device->SetRenderState(state, value);
}

// How many whole triangles an unindexed draw may take without reading past its vertices.
uint32_t WholeTriangles(uint32_t wanted, size_t vertexCount) {
  return uint32_t(std::min<size_t>(wanted, vertexCount / 3));
}

// Skinning of a node before the first mesh of a pass: every node of an animated model (its
// vertices go to world space), only nodes with bones otherwise.
bool SkinBeforeFirstMesh(cModel& m, sNode* node, bool updateSkin) {
  if (updateSkin) m.UpdateSkinMatrices(node);
  if (!m.animations.empty()) return m.SkinNodeToWorld(node);
  if (!node->bones.empty()) return m.SkinNode(node);
  return true;
}

// The node's own meshes of one pass (0 opaque, 1 transparent), without its children.
bool DrawPassMeshes(cModel& m, sNode* node, int pass, bool updateSkin) {
  const bool wantTransparent = pass != 0;
  bool skinned = false;
  for (const auto& mesh : node->meshes) {
    if ((mesh->transparent != 0) != wantTransparent) continue;
    if (!skinned) {
      if (!SkinBeforeFirstMesh(m, node, updateSkin)) return false;
      skinned = true;
    }
    if (!m.DrawMesh(*mesh, node)) return false;
  }
  return true;
}

bool DrawSubtree(cModel& m, sNode* node, int pass, bool updateSkin) {
  if (!m.loaded) return false;
  if (!node) return true;
  if (pass == 0) {
    if (!DrawPassMeshes(m, node, 0, updateSkin)) return false;
  } else {
    // Transparent surfaces are blended over what is behind them but must not hide each other.
    SetState(m.renderer, D3DRS_ZWRITEENABLE, FALSE);
    bool ok = DrawPassMeshes(m, node, 1, updateSkin);
    SetState(m.renderer, D3DRS_ZWRITEENABLE, TRUE);
    if (!ok) return false;
  }
  for (const auto& child : node->children) {
    bool ok = updateSkin ? m.DrawSkinnedNode(child.get(), pass) : m.DrawNode(child.get(), pass);
    if (!ok) return false;
  }
  return true;
}

// A vertex buffer of the node's size, locked for writing; null when it cannot be had.
sVertexNormalTex* LockNodeBuffer(cRenderer& renderer, DWORD fvf, size_t vertexCount) {
  if (vertexCount > UINT32_MAX / kStride) return nullptr;
  const uint32_t bytes = uint32_t(vertexCount * kStride);
  if (renderer.vertexLength != bytes || !renderer.vertexBuffer) {
    if (!renderer.CreateVertexBuffer(bytes, kDynamicUsage, fvf)) return nullptr;
  }
  void* data = nullptr;
  if (!renderer.LockVertexBuffer(&data) || !data) return nullptr;
  return static_cast<sVertexNormalTex*>(data);
}

void FinishNodeBuffer(cRenderer& renderer) {
  renderer.UnlockVertexBuffer();
  if (IDirect3DDevice9* device = DeviceOf(renderer)) {
    device->SetStreamSource(0, renderer.vertexBuffer, 0, kStride);
    device->SetFVF(renderer.vertexFVF);
  }
}

struct sBlend {
  sVector3 position{0, 0, 0};
  sVector3 normal{0, 0, 0};
  float weight = 0;
  bool influenced = false;
};

// The weighted sum of every bone pair that names vertex i. Each bone's cursor moves forward
// only, so a whole node costs one pass over its pairs; every pair a bone lists for the vertex
// counts, so a vertex listed twice does not stall the bone for the vertices after it.
sBlend BlendVertex(const std::vector<std::unique_ptr<sBoneWeights>>& bones,
                   std::vector<size_t>* cursors, uint32_t i, const sVertexNormalTex& v) {
  sBlend blend;
  const sVector3 position{v.x, v.y, v.z};
  const sVector3 normal{v.nx, v.ny, v.nz};
  for (size_t b = 0; b < bones.size(); ++b) {
    const std::vector<sWeightPair>& pairs = bones[b]->pairs;
    size_t& at = (*cursors)[b];
    while (at < pairs.size() && pairs[at].vertex < i) ++at;
    if (at >= pairs.size() || pairs[at].vertex != i) continue;
    const sVector3 p = TransformPoint(bones[b]->skin, position);
    const sVector3 n = TransformNormal(bones[b]->skin, normal);
    for (; at < pairs.size() && pairs[at].vertex == i; ++at) {
      const float w = pairs[at].weight;
      blend.position = sVector3{blend.position.x + w * p.x, blend.position.y + w * p.y,
                                blend.position.z + w * p.z};
      blend.normal = sVector3{blend.normal.x + w * n.x, blend.normal.y + w * n.y,
                              blend.normal.z + w * n.z};
      blend.weight += w;
      blend.influenced = true;
    }
  }
  // Weights that do not sum to one are scaled back to one; a sum at or below zero (or too small
  // to divide by) leaves the sum as it is rather than throwing the vertex to infinity.
  if (blend.weight != 1.0f && blend.weight > 0) {
    Vec3DivideScalar(&blend.position, blend.weight);
    Vec3DivideScalar(&blend.normal, blend.weight);
  }
  return blend;
}

sVertexNormalTex MakeVertex(const sVector3& p, const sVector3& n, const sVertexNormalTex& source) {
  return sVertexNormalTex{p.x, p.y, p.z, n.x, n.y, n.z, source.u, source.v};
}

}  // namespace

// [PASSES] --------------------------------------------------------------------------------------

bool cModel::Render() {
  if (!loaded) return false;
  if (!context || !context->cameraEye) {
    if (!DrawNode(root.get(), 0)) return false;
    return DrawNode(root.get(), 1);
  }
  // Nearest node first, so that near opaque surfaces fill the depth buffer early.
  for (const auto& entry : distanceMap)
    if (!DrawNodeOwnMeshes(entry.second)) return false;
  return DrawNode(root.get(), 1);
}

bool cModel::RenderAnimated(double seconds) {
  if (!loaded) return false;
  Animate(seconds);
  UpdateTransforms(root.get());
  if (!DrawSkinnedNode(root.get(), 0)) return false;
  return DrawSkinnedNode(root.get(), 1);
}

bool cModel::DrawNode(sNode* node, int pass) { return DrawSubtree(*this, node, pass, false); }

bool cModel::DrawSkinnedNode(sNode* node, int pass) { return DrawSubtree(*this, node, pass, true); }

bool cModel::DrawNodeOwnMeshes(sNode* node) {
  if (!loaded) return false;
  if (!node) return true;
  if (!node->meshes.empty()) return DrawPassMeshes(*this, node, 0, false);
  if (node->vertices.empty()) return true;
  // A mesh-less node (an STL model's root) is one plain triangle list of its own vertices.
  if (!materials.empty()) SetDeviceMaterial(materials[0].ToDeviceMaterial());
  if (context && context->textureManager) SetDeviceTexture(TextureOf(defaultTexture));
  IDirect3DDevice9* device = DeviceOf(renderer);
  const uint32_t count = WholeTriangles(UINT32_MAX, node->vertices.size());
  if (device && count > 0) {
    device->SetFVF(vertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count, node->vertices.data(), kStride);
  }
  // The cull mode is left as it was found: switching it to clockwise here would cull every front
  // face of the next frame (an STL model drawn twice comes out black, with holes).
  return true;
}

bool cModel::DrawMesh(const sMesh& mesh, sNode* node) {
  if (!loaded) return false;
  if (!node) return true;
  cGraphics* graphics = renderer.graphics;
  IDirect3DDevice9* device = DeviceOf(renderer);
  bool restoreCull = false;
  int savedCull = 3;
  if (mesh.materialIndex >= 0 && size_t(mesh.materialIndex) < materials.size()) {
    if (materials[size_t(mesh.materialIndex)].twoSided) {
      savedCull = graphics ? graphics->GetCullMode() : 3;
      restoreCull = true;
      SetState(renderer, D3DRS_CULLMODE, D3DCULL_NONE);
    }
    ApplyMaterial(mesh);
  }
  const bool opaque = mesh.transparent == 0;
  if (opaque) SetState(renderer, D3DRS_ALPHABLENDENABLE, FALSE);

  const uint32_t indexed = WholeTriangles(mesh.triangleCount, mesh.triangles.size());
  if (mesh.triangles.empty()) {
    const uint32_t count = WholeTriangles(mesh.triangleCount, mesh.vertices.size());
    if (device && count > 0) {
      device->SetFVF(vertexFormat);
      device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count, mesh.vertices.data(), kStride);
    }
  } else if (animations.empty() && node->bones.empty()) {
    if (device && indexed > 0) {
      device->SetFVF(vertexFormat);
      renderer.DrawIndexedTriangles(node->vertices.data(), UINT(node->vertices.size()), indexed,
                                    mesh.triangles.data(), D3DFMT_INDEX32);
    }
  } else if (indexed > 0 && !node->vertices.empty()) {
    // The skinned vertices are in the dynamic buffer, set as stream 0 by the skinning.
    if (indexed > UINT32_MAX / 12) return false;
    const uint32_t bytes = indexed * 12;
    if (renderer.indexLength != bytes || !renderer.indexBuffer) {
      if (!renderer.CreateIndexBuffer(bytes)) return false;
    }
    void* data = nullptr;
    if (renderer.indexBuffer->Lock(0, 0, &data, 0) == D3D_OK && data) {
      std::memcpy(data, mesh.triangles.data(), bytes);
      renderer.indexBuffer->Unlock();
      if (device) {
        device->SetIndices(renderer.indexBuffer);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, UINT(node->vertices.size()), 0,
                                     indexed);
      }
    }
  }

  if (restoreCull && graphics) graphics->SetCullMode(savedCull);
  if (opaque) SetState(renderer, D3DRS_ALPHABLENDENABLE, TRUE);
  return true;
}

// [MATERIALS] -----------------------------------------------------------------------------------

void cModel::ApplyMaterial(const sMesh& mesh) {
  if (!useMaterials) return;
  cGraphics* graphics = renderer.graphics;
  const sModelMaterial* material = nullptr;
  if (mesh.materialIndex >= 0 && size_t(mesh.materialIndex) < materials.size()) {
    material = &materials[size_t(mesh.materialIndex)];
    SetDeviceMaterial(material->ToDeviceMaterial());
  }
  if (!context || !context->textureManager) {
    if (IDirect3DDevice9* device = DeviceOf(renderer)) device->SetTexture(0, nullptr);
    return;
  }
  if (material && material->textureCount > 0) {
    const uint32_t count = std::min<uint32_t>(material->textureCount, 8);
    for (uint32_t i = 0; i < count; ++i)
      if (graphics) graphics->SetTexture(int(i), TextureOf(material->textureIds[i]));
  } else if (mesh.textureId) {
    if (graphics) graphics->SetTexture(0, TextureOf(mesh.textureId));
  } else {
    SetDeviceTexture(TextureOf(defaultTexture));
  }
}

bool cModel::SetDeviceMaterial(const sMaterial& material) {
  return renderer.graphics && renderer.graphics->SetMaterial(&material);
}

bool cModel::SetDeviceTexture(cTexture* texture) {
  return renderer.graphics && renderer.graphics->SetTexture(0, texture);
}

// [SKINNING] ------------------------------------------------------------------------------------

void cModel::UpdateSkinMatrices(sNode* node) {
  if (!node) return;
  // A node matrix that cannot be inverted is used as it is.
  sMatrix4 inverse = node->current;
  MatrixInverse(&inverse, &node->current);
  for (auto& bone : node->bones) {
    bone->skin = bone->bind;
    auto joint = boneMap.find(bone.get());
    if (joint != boneMap.end() && joint->second)
      MatrixMultiplyInPlace(&bone->skin, &joint->second->current);
    MatrixMultiplyInPlace(&bone->skin, &inverse);
  }
}

bool cModel::SkinNode(sNode* node) {
  if (!node || node->vertices.empty()) return true;
  sVertexNormalTex* out = LockNodeBuffer(renderer, vertexFormat, node->vertices.size());
  if (!out) return false;
  std::vector<size_t> cursors(node->bones.size(), 0);
  const uint32_t count = uint32_t(node->vertices.size());
  for (uint32_t i = 0; i < count; ++i) {
    const sVertexNormalTex& source = node->vertices[i];
    const sBlend blend = BlendVertex(node->bones, &cursors, i, source);
    out[i] = blend.influenced ? MakeVertex(blend.position, blend.normal, source) : source;
  }
  FinishNodeBuffer(renderer);
  return true;
}

bool cModel::SkinNodeToWorld(sNode* node) {
  if (!node || node->vertices.empty()) return true;
  sVertexNormalTex* out = LockNodeBuffer(renderer, vertexFormat, node->vertices.size());
  if (!out) return false;
  const sMatrix4& world = node->current;
  const bool identity = MatrixIsIdentity(&world);
  std::vector<size_t> cursors(node->bones.size(), 0);
  const uint32_t count = uint32_t(node->vertices.size());
  for (uint32_t i = 0; i < count; ++i) {
    const sVertexNormalTex& source = node->vertices[i];
    sVector3 p{source.x, source.y, source.z};
    sVector3 n{source.nx, source.ny, source.nz};
    if (!node->bones.empty()) {
      const sBlend blend = BlendVertex(node->bones, &cursors, i, source);
      if (blend.influenced) {
        p = blend.position;
        n = blend.normal;
        Vec3NormalizeInPlace(&n);
      }
    }
    if (!identity) {
      p = TransformPoint(world, p);
      n = TransformNormal(world, n);
    }
    out[i] = MakeVertex(p, n, source);
  }
  FinishNodeBuffer(renderer);
  return true;
}

// [RENDERER] ------------------------------------------------------------------------------------

void cModel::AttachRenderer() {
  cGraphics* graphics = context ? context->graphics : nullptr;
  if (!graphics || renderer.graphics == graphics) return;
  if (renderer.graphics) {
    renderer.ReleaseBuffers();
    renderer.graphics->RemoveLostListener(&renderer);
    renderer.graphics->RemoveResetListener(&renderer);
  }
  renderer.Attach(graphics);
}

void cModel::ReleaseBuffers() { renderer.ReleaseBuffers(); }

}  // namespace model
