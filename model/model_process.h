#pragma once
// Shared geometry operations readers call while loading: polygon area vectors and ear-clipping
// triangulation.

#include <cstdint>
#include <vector>

#include "model/model.h"

namespace model {

// Twice the polygon's area times its unit normal (towards the side from which the corners run
// counter-clockwise). Corners that index past the vertices count as the origin.
sVector3 PolygonAreaVector(const scene::sPolygon& polygon, const sVertexNormalTex* vertices,
                           uint32_t vertexCount);

// Triangulates polygons by ear clipping into triangles (3 indices each). Polygons of fewer than 3
// corners and polygons with a corner beyond the vertices are skipped. With accumulateNormals,
// each polygon's area vector is added to its corners' normals and every corner's normal is
// scaled to unit length at the end. False only when memory runs out (count 0).
bool TriangulatePolygons(sVertexNormalTex* vertices, uint32_t vertexCount,
                         const scene::sPolygon* polygons, uint32_t polygonCount,
                         std::vector<uint32_t>* triangles, uint32_t* triangleCount,
                         bool accumulateNormals);

}
