#pragma once
// PLY reader: ASCII and binary (either byte order) polygon files into one root node holding all
// vertices and one mesh holding all triangles (faces cut as fans). Reads positions, normals and
// texture coordinates; computes smooth normals when the file has none. Colour and material
// properties are recognised and skipped; elements other than vertex and face are skipped by
// their declared layout. No handedness conversion: PLY coordinates are used as they are.

#include <vector>

#include "core/byte_cursor.h"
#include "model/model.h"

namespace model {

enum class ePlyType : int32_t { Int8, Uint8, Int16, Uint16, Int32, Uint32, Float32, Float64, None };

struct sPlyProperty {
  int32_t code = 30;  // 0..7 the vertex floats x, y, z, nx, ny, nz, u, v; 12 the face indices
  ePlyType type = ePlyType::None;  // for a list: the item type
  ePlyType countType = ePlyType::None;
  uint8_t isList = 0;
};

struct sPlyElement {
  int32_t kind = 5;  // 0 vertex, 1 face, 4 material, 5 any other name
  uint32_t count = 0;
  std::vector<sPlyProperty> properties;
};

class cModelPLY : public cModel {
 public:
  ~cModelPLY() override;
  void Clear() override;
  bool LoadFromMemory(const uint8_t* data, size_t size) override;

  // Header words to codes (exposed for tests).
  static ePlyType ParseTypeName(const char* begin, const char* end);
  static int32_t ParsePropertyName(const char* begin, const char* end, bool inList);
  static int32_t ParseElementName(const char* begin, const char* end);

  int32_t format = 3;  // 0 ascii, 1 binary little endian, 2 binary big endian, 3 unknown
  std::vector<sPlyElement> elements;

 private:
  void ClearElements();
  // The header up to "end_header"; returns the offset of the body, or 0 on failure (error set).
  size_t ReadHeader(const uint8_t* data, size_t size);
  void ReadAsciiBody(const char* begin, const char* end, bool computeNormals);
  bool ReadBinaryBody(const uint8_t* begin, size_t size, bool computeNormals);
  void AddFace(const uint32_t* corners, size_t n, bool computeNormals);
  // The common three-corner face; dropped when a corner is not a vertex.
  void AddTriangle(uint32_t a, uint32_t b, uint32_t c, bool computeNormals);
  bool ReadBinaryVertices(ByteCursor* cursor, const sPlyElement& element, size_t count);

  std::vector<uint32_t> triangles_;
  std::vector<uint32_t> corners_;  // one face's indices, reused from face to face
};

}
