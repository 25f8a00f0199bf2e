// The texture cache: ids, names, reference counts under each texture's lock, the sweeps.

#include "graphics/texture_manager.h"

#include "graphics/graphics.h"
#include "graphics/texture.h"
#include "platform/win_base.h"

cTextureManager* TextureManager = nullptr;

namespace {

constexpr uint32_t kFirstId = 2000;
constexpr DWORD kIdleMs = 5000;

int32_t ShareOf(const cTexture* t) { return int32_t(4u * t->width * t->height + 96u); }

void ChangeCount(cTexture* t, int32_t delta) {
  EnterCriticalSection(&t->lock);
  t->refCount += delta;
  LeaveCriticalSection(&t->lock);
}

}  // namespace

cTextureManager::cTextureManager() = default;

cTextureManager::~cTextureManager() { Clear(); }

void cTextureManager::Clear() {
  for (auto& entry : textures) delete entry.second;
  textures.clear();
  names.clear();
  bytesInUse = 0;
}

void cTextureManager::Insert(uint32_t id, const std::string& name, cTexture* texture) {
  texture->id = id;
  bytesInUse += ShareOf(texture);
  textures[id] = texture;
  names[name] = texture;
}

uint32_t cTextureManager::LoadTexture(cGraphics* graphics, const char* fileName,
                                      D3DFORMAT format, bool powerOfTwo) {
  if (!fileName || !*fileName) return 0;
  if (uint32_t cached = FindByName(fileName)) return cached;
  uint32_t id = NextFreeId();
  cTexture* texture = new cTexture();
  if (!texture->LoadFromFile(fileName, graphics, format, powerOfTwo)) {
    delete texture;
    return 0;
  }
  Insert(id, fileName, texture);
  return id;
}

uint32_t cTextureManager::CreateNamedTexture(const char* name, UINT width, UINT height,
                                             D3DFORMAT format, DWORD usage) {
  if (!name || !*name) return 0;
  if (uint32_t cached = FindByName(name)) return cached;
  uint32_t id = NextFreeId();
  cTexture* texture = new cTexture();
  if (format == D3DFMT_UNKNOWN) format = D3DFMT_A8R8G8B8;
  D3DPOOL pool = usage == D3DUSAGE_RENDERTARGET ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
  if (!texture->CreateEmpty(Graphics, width, height, format, usage, pool)) {
    delete texture;
    return 0;
  }
  texture->SetName(name);
  Insert(id, name, texture);
  return id;
}

cTexture* cTextureManager::GetTexture(uint32_t id) {
  if (id == 0) return nullptr;
  auto it = textures.find(id);
  if (it == textures.end()) return nullptr;
  it->second->lastUse = timeGetTime();
  return it->second;
}

uint32_t cTextureManager::AddRef(uint32_t id) {
  if (id == 0) return 0;
  auto it = textures.find(id);
  if (it != textures.end()) ChangeCount(it->second, +1);
  return id;
}

void cTextureManager::Release(uint32_t id) {
  if (id == 0) return;
  auto it = textures.find(id);
  if (it != textures.end()) ChangeCount(it->second, -1);
}

uint32_t cTextureManager::FindByName(const char* name) {
  if (!name) return 0;
  auto it = names.find(name);
  if (it == names.end()) return 0;
  cTexture* texture = it->second;
  ChangeCount(texture, +1);
  texture->lastUse = timeGetTime();
  return texture->id;
}

uint32_t cTextureManager::NextFreeId() {
  uint32_t id = nextId;
  while (id != 0 && textures.count(id)) ++id;
  if (id == 0) {
    id = kFirstId;
    while (textures.count(id)) ++id;
  }
  nextId = id + 1;
  return id;
}

void cTextureManager::RemoveTexture(uint32_t id) {
  auto it = textures.find(id);
  if (id == 0 || it == textures.end()) return;
  cTexture* texture = it->second;
  // The cache name may differ from the texture's own (a file name cut at 520 characters), so
  // the entry is found by the texture it points to.
  auto named = names.find(texture->name);
  if (named == names.end() || named->second != texture) {
    for (named = names.begin(); named != names.end() && named->second != texture; ++named) {
    }
  }
  if (named != names.end()) names.erase(named);
  bytesInUse -= ShareOf(texture);
  textures.erase(it);
  delete texture;
}

void cTextureManager::Sweep() {
  if (limitMode) {
    if (bytesInUse < byteLimit) return;
    for (auto it = textures.begin(); it != textures.end();) {
      uint32_t id = it->first;
      cTexture* t = it->second;
      ++it;
      if (t->refCount > 0) continue;
      RemoveTexture(id);
      if (bytesInUse <= byteLimit / 2) break;
    }
    return;
  }
  DWORD now = timeGetTime();
  if (now - lastSweep <= sweepInterval) return;
  for (auto it = textures.begin(); it != textures.end();) {
    uint32_t id = it->first;
    cTexture* t = it->second;
    ++it;
    if (t->refCount <= 0 && now - t->lastUse > kIdleMs) RemoveTexture(id);
  }
  lastSweep = now;
}

void cTextureManager::PurgeDefaultPool() {
  for (auto it = textures.begin(); it != textures.end();) {
    uint32_t id = it->first;
    cTexture* t = it->second;
    ++it;
    D3DSURFACE_DESC desc{};
    if (t->d3dTexture && SUCCEEDED(t->d3dTexture->GetLevelDesc(0, &desc)) &&
        desc.Pool == D3DPOOL_DEFAULT) {
      RemoveTexture(id);
    }
  }
}
