#pragma once
// cTextureManager: the single texture cache. It owns every cTexture and hands out numeric ids
// (from 2000 on, never 0); a texture made from a file or cache name is found again by that name,
// so a picture used in many places is loaded once. Callers count references with AddRef and
// Release; a texture nobody references is deleted by the sweep once idle for more than 5 s.
// Render targets live in the default pool and are purged when the device is lost.

#include <cstdint>
#include <map>
#include <string>

#include "platform/d3d9.h"

class cTexture;
class cGraphics;

class cTextureManager {
 public:
  cTextureManager();
  virtual ~cTextureManager();
  cTextureManager(const cTextureManager&) = delete;
  cTextureManager& operator=(const cTextureManager&) = delete;

  // Deletes every texture.
  void Clear();
  // Loads a picture file, or finds it cached (one more reference). 0 on failure.
  uint32_t LoadTexture(cGraphics* graphics, const char* fileName, D3DFORMAT format,
                       bool powerOfTwo);
  // A blank texture under a cache name on the global graphics object: render targets (usage 1)
  // in the default pool, others managed; format 0 means A8R8G8B8. A cached name returns the
  // existing texture (one more reference) whatever size was asked. 0 on failure.
  uint32_t CreateNamedTexture(const char* name, UINT width, UINT height, D3DFORMAT format,
                              DWORD usage);
  // The texture of an id, stamping its last use; null for 0 or an unknown id.
  cTexture* GetTexture(uint32_t id);
  // Reference counting; unknown ids are ignored (AddRef still returns the id given).
  uint32_t AddRef(uint32_t id);
  void Release(uint32_t id);
  // Removes a texture whatever its count; unknown ids are ignored.
  void RemoveTexture(uint32_t id);
  // Timed (every 10 s: removes textures with no references idle for more than 5000 ms) or, in
  // limit mode, by size (removes unreferenced textures until half the limit is reached).
  void Sweep();
  // Removes every texture whose level 0 lies in the default pool (after device loss).
  void PurgeDefaultPool();
  // The id cached under the exact name (one more reference, last use stamped), or 0.
  uint32_t FindByName(const char* name);
  // The next id not in use, from nextId on, wrapping back to 2000.
  uint32_t NextFreeId();

  uint32_t nextId = 2000;
  uint32_t sweepInterval = 10000;
  uint32_t lastSweep = 0;
  int32_t limitMode = 0;
  int32_t byteLimit = 0;
  int32_t bytesInUse = 0;
  std::map<uint32_t, cTexture*> textures;  // owned
  std::map<std::string, cTexture*> names;

 private:
  void Insert(uint32_t id, const std::string& name, cTexture* texture);
};

extern cTextureManager* TextureManager;
