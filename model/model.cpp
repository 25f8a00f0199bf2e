// The model's records, its construction and clearing, file reading and the texture search.
#include "model/model.h"

#include <cfloat>
#include <cstring>
#include <new>

#if defined(__linux__)
#endif

#include "graphics/texture_manager.h"
#include "platform/win_base.h"

namespace geometry {

void cAABB::Reset() {
  min = sVector3{FLT_MAX, FLT_MAX, FLT_MAX};
  max = sVector3{-FLT_MAX, -FLT_MAX, -FLT_MAX};
}

void cAABB::Extend(const sVector3& p) {
  if (p.x < min.x) min.x = p.x;
  if (p.y < min.y) min.y = p.y;
  if (p.z < min.z) min.z = p.z;
  if (p.x > max.x) max.x = p.x;
  if (p.y > max.y) max.y = p.y;
  if (p.z > max.z) max.z = p.z;
}

void cAABB::Extend(const cAABB& other) {
  Extend(other.min);
  Extend(other.max);
}

sVector3 cAABB::Center() const {
  if (IsEmpty()) return sVector3{0, 0, 0};
  return sVector3{(min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2};
}

}  // namespace geometry

namespace model {

namespace {

float ClampPower(float power) {
  if (power < 0) return 0;
  if (power > 128) return 128;
  return power;
}
}  // namespace

sMaterial sModelMaterial::ToDeviceMaterial() const {
  sMaterial d;
  d.shadeMode = 2;
  auto colour = [](const float* c, float alpha) { return D3DCOLORVALUE{c[0], c[1], c[2], alpha}; };
  d.material.Diffuse = colour(diffuse, diffuse[3]);
  d.material.Ambient = colour(ambient, 1.0f);
  d.material.Specular = colour(specular, 1.0f);
  d.material.Emissive = colour(emissive, 1.0f);
  d.material.Power = ClampPower(power);
  return d;
}

sBoneWeights::sBoneWeights() {
  MatrixIdentity(&skin);
  MatrixIdentity(&bind);
}

void sBoneWeights::Assign(const sBoneWeights& other) {
  if (&other == this) return;
  jointName = other.jointName;
  pairs = other.pairs;
  bind = other.bind;
  skin = other.skin;
}

void sMesh::Reset() {
  name.clear();
  materialIndex = -1;
  secondIndex = -1;
  textureId = 0;
  triangleCount = 0;
  triangles.clear();
  secondTriangles.clear();
  polygons.clear();
  vertices.clear();
  bones.clear();
  transparent = 0;
}

void sMesh::Assign(const sMesh& other) {
  if (&other == this) return;
  Reset();
  name = other.name;
  triangles = other.triangles;
  secondTriangles = other.secondTriangles;
  polygons = other.polygons;
  vertices = other.vertices;
  bones.reserve(other.bones.size());
  for (const auto& bone : other.bones) {
    auto copy = std::make_unique<sBoneWeights>();
    copy->Assign(*bone);
    bones.push_back(std::move(copy));
  }
  materialIndex = other.materialIndex;
  secondIndex = other.secondIndex;
  textureId = other.textureId;
  triangleCount = other.triangleCount;
  transparent = other.transparent;
}

sNode::sNode() { Reset(); }

sNode::sNode(sNode* parentNode, const char* nodeName) {
  Reset();
  parent = parentNode;
  SetOwnedString(&name, nodeName);
}

void sNode::Reset() {
  index = -1;
  name.clear();
  parent = nullptr;
  children.clear();
  meshes.clear();
  vertices.clear();
  bones.clear();
  auxiliary.clear();
  MatrixIdentity(&current);
  MatrixIdentity(&base);
  bounds.Reset();
}

bool sNode::AddChild(std::unique_ptr<sNode> child) {
  if (!child) return false;
  child->parent = this;
  children.push_back(std::move(child));
  return true;
}

bool sNode::AddMesh(std::unique_ptr<sMesh> mesh) {
  if (!mesh) return false;
  meshes.push_back(std::move(mesh));
  return true;
}

sNode* sNode::FindByName(const char* wanted) {
  if (!wanted) return nullptr;
  // Iterative depth-first walk, so that very deep trees cannot exhaust the stack.
  std::vector<sNode*> stack{this};
  while (!stack.empty()) {
    sNode* node = stack.back();
    stack.pop_back();
    if (node->name == wanted) return node;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
      stack.push_back(it->get());
  }
  return nullptr;
}

void sAnimationTrack::Reset() {
  nodeName.clear();
  positionKeys.clear();
  rotationKeys.clear();
  scaleKeys.clear();
}

namespace {
bool CopyKeys(std::vector<sAnimationKey>* out, const sAnimationKey* keys, uint32_t count) {
  if (!keys) return false;
  out->assign(keys, keys + count);
  return true;
}
}  // namespace

bool sAnimationTrack::SetPositionKeys(const sAnimationKey* keys, uint32_t count) {
  return CopyKeys(&positionKeys, keys, count);
}
bool sAnimationTrack::SetRotationKeys(const sAnimationKey* keys, uint32_t count) {
  return CopyKeys(&rotationKeys, keys, count);
}
bool sAnimationTrack::SetScaleKeys(const sAnimationKey* keys, uint32_t count) {
  return CopyKeys(&scaleKeys, keys, count);
}

void sAnimation::Reset() {
  name.clear();
  tracks.clear();
  length = -1.0;
}

bool sAnimation::SetTracks(sAnimationTrack** given, uint32_t count) {
  if (!given) return false;
  tracks.clear();
  tracks.reserve(count);
  for (uint32_t i = 0; i < count; ++i) tracks.emplace_back(given[i]);
  return true;
}

void SetOwnedString(std::string* field, const char* text) {
  if (text)
    field->assign(text);
  else
    field->clear();
}

void FillWeightPairs(sWeightPair* destination, uint32_t count, sWeightPair pair) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = pair;
}

// cModel ----------------------------------------------------------------------------------------

cModel::cModel() { ResetFields(); }

cModel::~cModel() { ClearCommon(); }

void cModel::ResetFields() {
  defaultTexture = 0;
  bounds.Reset();
  vertexCount = 0;
  faceCount = 0;
  root.reset();
  vertexFormat = 0x112;
  positionHint = rotationHint = scaleHint = 0;
  currentAnimation = -1;
  animations.clear();
  animationDuration = 0.0;
  materials.clear();
  loaded = 0;
}

void cModel::ClearCommon() {
  if (context) {
    ReleaseNodeTextures(root.get());
    for (sModelMaterial& material : materials) {
      uint32_t count = material.textureCount < 8 ? material.textureCount : 8;
      for (uint32_t i = 0; i < count; ++i) {
        ReleaseTexture(material.textureIds[i]);
        material.textureIds[i] = 0;
      }
    }
    ReleaseTexture(defaultTexture);
    defaultTexture = 0;
  }
  // The maps point into the tree: empty them before it goes.
  trackMap.clear();
  boneMap.clear();
  distanceMap.clear();
  animations.clear();
  root.reset();
  materials.clear();
  ReleaseBuffers();
  ResetFields();
}

bool ReadModelFile(const char* programPath, sFileBytes* out) {
  out->data.reset();
  out->size = 0;
  FILE* file = programPath ? crt::fopen(programPath, "rb") : nullptr;
  if (!file) return false;
  // One buffer of the file's size, not zero-filled first: the read itself is the first touch.
  size_t expected = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (size > 0) expected = size_t(size);
    std::fseek(file, 0, SEEK_SET);
  }
  std::unique_ptr<uint8_t[]> bytes(expected ? new (std::nothrow) uint8_t[expected] : nullptr);
  if (expected && !bytes) {
    std::fclose(file);
    return false;
  }
  size_t got = expected ? std::fread(bytes.get(), 1, expected, file) : 0;
  // A file that grew since its size was taken (or whose size was unknown) is read to its end.
  std::vector<uint8_t> rest;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) rest.insert(rest.end(), chunk, chunk + n);
  bool readError = std::ferror(file) != 0;
  std::fclose(file);
  if (readError) return false;
  if (!rest.empty()) {
    std::unique_ptr<uint8_t[]> whole(new (std::nothrow) uint8_t[got + rest.size()]);
    if (!whole) return false;
    if (got) std::memcpy(whole.get(), bytes.get(), got);
    std::memcpy(whole.get() + got, rest.data(), rest.size());
    bytes = std::move(whole);
    got += rest.size();
  }
  out->data = std::move(bytes);
  out->size = got;
  return true;
}

bool cModel::Load() {
  if (!context || loaded || fileName.empty()) return false;
  // Read, not mapped: a mapped file that shrinks or fails to read while it is parsed (a
  // removed stick, a network share) kills the process with SIGBUS; a read just fails.
  sFileBytes file;
  if (!ReadModelFile(fileName.c_str(), &file)) return Fail("cannot open", fileName);
  static const uint8_t kEmpty[1] = {0};
  return LoadFromMemory(file.size ? file.data.get() : kEmpty, file.size);
}

bool cModel::Fail(const char* code, const std::string& detail) {
  Clear();
  error_ = code;
  errorDetail_ = detail;
  return false;
}

void cModel::ClearError() {
  error_.clear();
  errorDetail_.clear();
}

// Textures --------------------------------------------------------------------------------------

std::vector<std::string> TextureSearchPaths(const std::string& modelFile, const char* name) {
  std::vector<std::string> tries;
  if (!name) return tries;
  tries.push_back(name);
  size_t cut = modelFile.rfind('\\');
  if (cut == std::string::npos) {
    cut = modelFile.rfind('/');
  }
  if (cut == std::string::npos) return tries;
  std::string folder = modelFile.substr(0, cut + 1);
  tries.push_back(folder + name);
  std::string text(name);
  size_t nameCut = text.rfind('\\');
  if (nameCut == std::string::npos) nameCut = text.rfind('/');
  if (nameCut != std::string::npos) tries.push_back(folder + text.substr(nameCut + 1));
  // Up the parent folders: the text is cut after each earlier separator and the name appended.
  std::string parents = folder.substr(0, folder.size() - 1);
  for (;;) {
    size_t at = parents.rfind('\\');
    if (at == std::string::npos) at = parents.rfind('/');
    if (at == std::string::npos) break;
    tries.push_back(parents.substr(0, at + 1) + name);
    parents.resize(at);
  }
  return tries;
}

void cModel::FindTexture(uint32_t* slot, const char* textureName) {
  if (!slot || !context || !context->textureManager || !textureName) return;
  ReleaseTexture(*slot);
  *slot = 0;
  // Each try goes through the platform's file functions, so a Windows path ("tex\Wood.PNG") finds
  // the file "tex/wood.png" here too.
  for (const std::string& path : TextureSearchPaths(fileName, textureName)) {
    *slot = context->textureManager->LoadTexture(context->graphics, path.c_str(), D3DFMT_UNKNOWN,
                                                 true);
    if (*slot) return;
  }
}

cTexture* cModel::TextureOf(uint32_t id) const {
  if (!id || !context || !context->textureManager) return nullptr;
  return context->textureManager->GetTexture(id);
}

void cModel::ReleaseTexture(uint32_t id) {
  if (id && context && context->textureManager) context->textureManager->Release(id);
}

void cModel::ReleaseNodeTextures(sNode* node) {
  if (!node || !context) return;
  std::vector<sNode*> stack{node};
  while (!stack.empty()) {
    sNode* n = stack.back();
    stack.pop_back();
    for (auto& mesh : n->meshes) {
      ReleaseTexture(mesh->textureId);
      mesh->textureId = 0;
    }
    for (auto& child : n->children) stack.push_back(child.get());
  }
}

}  // namespace model
