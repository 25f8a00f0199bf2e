// The parts of the texture cache the graphics object relies on: removal, the timed sweep and
// the purge of default-pool textures after device loss.

#include "graphics/texture_manager.h"

#include "graphics/texture.h"
#include "platform/win_base.h"

cTextureManager* TextureManager = nullptr;

namespace {
int32_t ShareOf(const cTexture* t) { return int32_t(4u * t->width * t->height + 96u); }
}

cTextureManager::cTextureManager() = default;

cTextureManager::~cTextureManager() { Clear(); }

void cTextureManager::Clear() {
  for (auto& entry : textures) delete entry.second;
  textures.clear();
  names.clear();
  bytesInUse = 0;
}

void cTextureManager::RemoveTexture(uint32_t id) {
  auto it = textures.find(id);
  if (id == 0 || it == textures.end()) return;
  cTexture* texture = it->second;
  for (auto n = names.begin(); n != names.end(); ++n) {
    if (n->second == texture) {
      names.erase(n);
      break;
    }
  }
  bytesInUse -= ShareOf(texture);
  textures.erase(it);
  delete texture;
}

void cTextureManager::Sweep() {
  DWORD now = timeGetTime();
  if (now - lastSweep <= sweepInterval) return;
  for (auto it = textures.begin(); it != textures.end();) {
    uint32_t id = it->first;
    cTexture* t = it->second;
    ++it;
    if (t->refCount <= 0 && now - t->lastUse > 5000) RemoveTexture(id);
  }
  lastSweep = now;
}

void cTextureManager::PurgeDefaultPool() {
  for (auto it = textures.begin(); it != textures.end();) {
    uint32_t id = it->first;
    cTexture* t = it->second;
    ++it;
    D3DSURFACE_DESC desc{};
    if (t->d3dTexture && t->d3dTexture->GetLevelDesc(0, &desc) == D3D_OK &&
        desc.Pool == D3DPOOL_DEFAULT)
      RemoveTexture(id);
  }
}
