#pragma once
// cTextureManager: the single texture cache. Only what the graphics object calls is declared
// so far (the sweep after a present, the purge of default-pool textures on device loss); the
// cache itself comes with its own change.

#include <cstdint>
#include <map>
#include <string>

class cTexture;

class cTextureManager {
 public:
  cTextureManager();
  virtual ~cTextureManager();
  cTextureManager(const cTextureManager&) = delete;
  cTextureManager& operator=(const cTextureManager&) = delete;

  // Deletes every texture.
  void Clear();
  // Removes a texture whatever its count; unknown ids are ignored.
  void RemoveTexture(uint32_t id);
  // Every 10 s: removes textures with no references that were idle for more than 5000 ms.
  void Sweep();
  // Removes every texture whose level 0 lies in the default pool (after device loss).
  void PurgeDefaultPool();

  uint32_t nextId = 2000;
  uint32_t sweepInterval = 10000;
  uint32_t lastSweep = 0;
  int32_t limitMode = 0;
  int32_t byteLimit = 0;
  int32_t bytesInUse = 0;
  std::map<uint32_t, cTexture*> textures;  // owned
  std::map<std::string, cTexture*> names;
};

extern cTextureManager* TextureManager;
