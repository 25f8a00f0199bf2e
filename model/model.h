#pragma once
// The in-memory model that every model reader fills, animates and draws.
//
// [RECORDS]   bounds, polygons, materials, bones, meshes, nodes, animations, render context
// [MODEL]     cModel: the twelve virtual operations, the shared post-processing, the fields
// [TEXTURES]  the texture search paths
//
// Every array is a std::vector owned by its holder and every child record a std::unique_ptr, so a
// failed load that returns early leaks nothing. Names are std::string; an empty name matches only
// an empty name. Readers parse bytes in memory (LoadFromMemory); Load() reads the model's file
// through the platform's file functions and hands the bytes over.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/math3d.h"
#include "graphics/graphics.h"
#include "graphics/renderer.h"

class cTexture;
class cTextureManager;

// [RECORDS] -----------------------------------------------------------------------------------
namespace geometry {

// Axis-aligned box; starts empty (min at +FLT_MAX, max at -FLT_MAX).
class cAABB {
 public:
  cAABB() { Reset(); }
  virtual ~cAABB() = default;
  void Reset();
  bool IsEmpty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
  // Strict comparisons: a coordinate equal to a bound changes nothing.
  void Extend(const sVector3& point);
  void Extend(const cAABB& other);
  sVector3 Center() const;  // (0, 0, 0) for an empty box

  sVector3 min;
  sVector3 max;
};

}  // namespace geometry

namespace scene {

// A polygon of any corner count, indices into its node's vertices.
struct sPolygon {
  virtual ~sPolygon() = default;
  void Assign(const sPolygon& other) { indices = other.indices; }
  uint32_t IndexCount() const { return uint32_t(indices.size()); }

  std::vector<uint32_t> indices;
};

}  // namespace scene

namespace model {

struct sModelMaterial {
  char name[64] = {0};
  float diffuse[4] = {0, 0, 0, 1};
  float ambient[4] = {0, 0, 0, 1};
  float specular[4] = {0, 0, 0, 1};
  float emissive[4] = {0, 0, 0, 1};
  float power = 1.0f;  // clamped to 0..128 only on the way to the device
  uint32_t shadeMode = 2;
  uint8_t twoSided = 0;
  uint32_t textureCount = 0;  // at most 8; texture i goes to stage i
  uint32_t textureIds[8] = {0};

  // The device material: shade mode 2, diffuse as stored, the other colours with alpha 1, power
  // clamped to 0..128.
  sMaterial ToDeviceMaterial() const;
};

struct sWeightPair {
  uint32_t vertex;
  float weight;
};

struct sBoneWeights {
  sBoneWeights();
  void Assign(const sBoneWeights& other);

  std::string jointName;  // the node that moves this bone
  std::vector<sWeightPair> pairs;  // sorted by vertex after loading
  sMatrix4 skin;  // recomputed before each skinning
  sMatrix4 bind;  // the inverse bind pose
};

struct sMesh {
  sMesh() = default;
  sMesh(const sMesh&) = delete;
  sMesh& operator=(const sMesh&) = delete;
  void Reset();
  // Deep copy; nothing happens when other is this mesh.
  void Assign(const sMesh& other);

  std::string name;
  int32_t materialIndex = -1;
  int32_t secondIndex = -1;
  uint32_t textureId = 0;  // used when the material has no textures
  uint32_t triangleCount = 0;
  std::vector<uint32_t> triangles;  // 3 per triangle, into the node's vertices (or empty)
  std::vector<uint32_t> secondTriangles;  // copied with the mesh, never drawn
  std::vector<scene::sPolygon> polygons;
  std::vector<sVertexNormalTex> vertices;  // drawn only when there are no triangle indices
  std::vector<std::unique_ptr<sBoneWeights>> bones;
  uint8_t transparent = 0;
};

struct sNodeAuxRecord {
  uint32_t tag = 0;
  std::vector<uint8_t> data;
};

struct sNode {
  sNode();
  sNode(sNode* parent, const char* name);
  sNode(const sNode&) = delete;
  sNode& operator=(const sNode&) = delete;
  // Empties every list without freeing (the lists are owned, so this is Destroy).
  void Reset();
  void Destroy() { Reset(); }

  // False for a null child; the child's parent becomes this node.
  bool AddChild(std::unique_ptr<sNode> child);
  bool AddMesh(std::unique_ptr<sMesh> mesh);
  // Depth first: the node itself, then each child's subtree in order. Null for a null name.
  sNode* FindByName(const char* wanted);

  // Post-processing of a subtree (see model_process.cpp).
  void FlipHandedness();
  void FlipWinding();
  void FlipTextureV();

  std::string name;
  sMatrix4 current;  // world: base x parent's current
  sMatrix4 base;  // local, relative to the parent
  sNode* parent = nullptr;
  std::vector<std::unique_ptr<sNode>> children;
  std::vector<std::unique_ptr<sMesh>> meshes;
  std::vector<sVertexNormalTex> vertices;
  std::vector<std::unique_ptr<sBoneWeights>> bones;
  std::vector<sNodeAuxRecord> auxiliary;
  int32_t index = -1;
  geometry::cAABB bounds;  // the box of the node's own vertices
};

// Time in seconds, then x, y, z (w unused) for positions and scales, x, y, z, w for rotations.
struct sAnimationKey {
  double time;
  float value[4];
};
static_assert(sizeof(sAnimationKey) == 24, "24-byte keys");

struct sAnimationTrack {
  void Reset();
  // Replace that kind's keys with a copy of count keys; false for null keys.
  bool SetPositionKeys(const sAnimationKey* keys, uint32_t count);
  bool SetRotationKeys(const sAnimationKey* keys, uint32_t count);
  bool SetScaleKeys(const sAnimationKey* keys, uint32_t count);

  std::string nodeName;
  std::vector<sAnimationKey> positionKeys;
  std::vector<sAnimationKey> rotationKeys;
  std::vector<sAnimationKey> scaleKeys;
};

struct sAnimation {
  void Reset();
  // Takes over count tracks (the pointers are adopted); false for a null array.
  bool SetTracks(sAnimationTrack** tracks, uint32_t count);

  std::string name;
  double length = -1.0;  // times wrap by it; 0 or below evaluates at time 0
  std::vector<std::unique_ptr<sAnimationTrack>> tracks;
};

// Shared by all models; made by the application at start-up. Nothing here is owned.
struct sRenderContext {
  cGraphics* graphics = nullptr;
  // The model-view camera's eye position: the reference of the distance order; null = none.
  const sVector3* cameraEye = nullptr;
  cTextureManager* textureManager = nullptr;  // null = textures off
};

void SetOwnedString(std::string* field, const char* text);
void FillWeightPairs(sWeightPair* destination, uint32_t count, sWeightPair pair);

// [MODEL] -------------------------------------------------------------------------------------
class cModel {
 public:
  cModel();
  virtual ~cModel();
  cModel(const cModel&) = delete;
  cModel& operator=(const cModel&) = delete;

  // The twelve operations, in slot order (slot 0 is the destructor).
  virtual bool Render();
  virtual bool RenderAnimated(double seconds);
  virtual bool HasAnimation() const { return !animations.empty(); }
  virtual void Clear() { ClearCommon(); }
  virtual void ApplyMaterial(const sMesh& mesh);
  virtual void UpdateSkinMatrices(sNode* node);
  virtual void UpdateTransforms(sNode* node);
  virtual void Animate(double seconds);
  virtual bool DrawNode(sNode* node, int pass);
  virtual bool DrawSkinnedNode(sNode* node, int pass);
  // Reads the file named in the model (its bytes through crt::fopen) and calls LoadFromMemory.
  virtual bool Load();

  // The reader proper: parses a file's bytes. False with error() set; the model is then cleared.
  virtual bool LoadFromMemory(const uint8_t* data, size_t size) = 0;

  // The common reset of every field but the context, the file name and use-materials.
  void ResetFields();
  // The body of Clear: textures released, animations, tree and materials freed, maps emptied.
  void ClearCommon();

  // Open sequence and post-processing (model_open.cpp).
  void BindAnimationTracks();
  void SortBoneWeights(sNode* node);
  void BindBones(sNode* node);
  void FlagTransparentMeshes(sNode* node);
  void SortNodesByDistance(sNode* node);
  void ResortByDistance();
  void ReleaseNodeTextures(sNode* node);
  // Finds a texture file (as named, in the model's folder, up its parent folders) and loads it
  // through the context's texture cache. A non-zero id already in the slot is released first; the
  // slot ends with the id found, or 0 (then the mesh draws untextured). Nothing happens without a
  // context, a texture manager or a name.
  void FindTexture(uint32_t* slot, const char* textureName);
  // The cached texture of an id through the context's texture manager; null for 0, an unknown
  // id, or textures off.
  cTexture* TextureOf(uint32_t id) const;
  // Gives an id back to the context's texture manager (nothing for 0 or textures off).
  void ReleaseTexture(uint32_t id);
  void ComputeNodeBounds(sNode* node);
  void BakeNodeTransforms(sNode* node);
  void FlipHandedness();

  // Drawing (model_draw.cpp).
  bool DrawNodeOwnMeshes(sNode* node);
  bool DrawMesh(const sMesh& mesh, sNode* node);
  bool SkinNode(sNode* node);
  bool SkinNodeToWorld(sNode* node);
  // Through the renderer's graphics object; false without one.
  bool SetDeviceMaterial(const sMaterial& material);
  bool SetDeviceTexture(cTexture* texture);

  // Why the last load failed: a short stable code ("truncated", "bad header", "too large", ...)
  // and a detail with the values found. Empty after a successful load.
  const std::string& error() const { return error_; }
  const std::string& errorDetail() const { return errorDetail_; }

  // Fields.
  // The dynamic vertex and index buffers of skinning and of animated indexed drawing.
  cRenderer renderer;
  sRenderContext* context = nullptr;
  std::string fileName;
  uint32_t defaultTexture = 0;
  geometry::cAABB bounds;
  uint32_t vertexCount = 0;  // totals for the information overlay
  uint32_t faceCount = 0;
  std::unique_ptr<sNode> root;
  uint32_t vertexFormat = 0x112;
  uint32_t positionHint = 0;
  uint32_t rotationHint = 0;
  uint32_t scaleHint = 0;
  int32_t currentAnimation = -1;
  std::vector<std::unique_ptr<sAnimation>> animations;
  double animationDuration = 0.0;  // animation runs only when above 0
  std::vector<sModelMaterial> materials;
  std::map<const sAnimationTrack*, sNode*> trackMap;
  std::map<const sBoneWeights*, sNode*> boneMap;
  std::multimap<float, sNode*> distanceMap;  // nearest first
  uint8_t useMaterials = 1;
  uint8_t loaded = 0;

 protected:
  // Records the reason, clears the model and returns false: `return Fail("truncated", ...)`.
  bool Fail(const char* code, const std::string& detail = std::string());
  void ClearError();
  // Hands the renderer the context's graphics object (registered for device loss and reset).
 public:
  void AttachRenderer();

 protected:
  // Gives back the dynamic buffers the renderer holds for skinning.
  void ReleaseBuffers();

 private:
  std::string error_;
  std::string errorDetail_;
};

// A whole file's bytes, read through the platform's file functions into one fresh buffer. False
// when the file cannot be opened or read.
struct sFileBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
};
bool ReadModelFile(const char* programPath, sFileBytes* out);

// Reserves room for count elements in an array about to be filled once, front to back.
// (Huge-page advice was tried here: it halves the steady fill time but makes the first large
// load after start stall for up to a second while the kernel compacts memory.)
template <class T>
void ReserveLarge(std::vector<T>* array, size_t count) {
  array->reserve(count);
}

// [TEXTURES] ----------------------------------------------------------------------------------
// The program paths FindTexture tries, in order, for a texture named in a model file.
std::vector<std::string> TextureSearchPaths(const std::string& modelFile, const char* name);

}  // namespace model
