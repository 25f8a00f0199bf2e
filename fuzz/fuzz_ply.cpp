// Untrusted bytes into the PLY reader's memory entry point.
#include <cstddef>
#include <cstdint>

#include "model/model_ply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  model::cModelPLY reader;
  if (reader.LoadFromMemory(data, size) && reader.root) {
    // Every index drawn must name a vertex of its node.
    for (const auto& mesh : reader.root->meshes)
      for (uint32_t i : mesh->triangles)
        if (i >= reader.root->vertices.size()) __builtin_trap();
  }
  return 0;
}
