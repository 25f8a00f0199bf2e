#pragma once
// Terragen terrain reader (.ter): the height field of an "ALTW" chunk as a regular grid mesh, one
// vertex per sample, two triangles per cell, smooth normals, texture coordinates spanning the
// grid once. The "SCAL" scale is kept in the root's matrices only; the vertices stay in grid
// units. Elevation e becomes height BaseHeight + e x HeightScale / 65536, the Terragen
// definition; a HeightScale of 0 means one unit of height per elevation unit.

#include "model/model.h"

namespace model {

class cTerragen : public cModel {
 public:
  bool LoadFromMemory(const uint8_t* data, size_t size) override;

 private:
  bool BuildGrid(uint32_t xpts, uint32_t ypts, float heightScale, float baseHeight,
                 const uint8_t* elevations);
};

}
