#pragma once
// STL reader: ASCII and binary stereolithography files into a root node that holds every
// triangle as three vertices of its own (no meshes), with one material whose colour a binary
// header may give ("COLOR=" or "MATERIAL=" followed by RGBA bytes). Z is mirrored and each
// triangle's corners are taken in reverse order, so the file's right-handed, counter-clockwise
// triangles face the viewer under Direct3D's conventions.

#include "model/model.h"

namespace model {

class cModelSTL : public cModel {
 public:
  bool LoadFromMemory(const uint8_t* data, size_t size) override;

  // True when the bytes are to be read as ASCII: they start with "solid" and are not a binary
  // file whose exporter wrote "solid" into its header (84 + 50 x count equals the size).
  static bool IsAscii(const uint8_t* data, size_t size);

 private:
  bool ReadBinary(const uint8_t* data, size_t size);
  bool ReadAscii(const uint8_t* data, size_t size);
};

}
