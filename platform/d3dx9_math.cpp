// d3dx9_math: the D3DX matrix and vector helpers, row-vector convention (v' = v * M).
#include <cmath>

#include "platform/d3dx9.h"

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const {
  D3DXMATRIX result;
  D3DXMatrixMultiply(&result, this, &other);
  return result;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) out->m[r][c] = r == c ? 1.0f : 0.0f;
  }
  return out;
}

bool D3DXMatrixIsIdentity(const D3DXMATRIX* m) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (m->m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    }
  }
  return true;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
  D3DXMATRIX result;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      result.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] +
                       a->m[r][2] * b->m[2][c] + a->m[r][3] * b->m[3][c];
    }
  }
  *out = result;
  return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
  D3DXMatrixIdentity(out);
  out->_41 = x;
  out->_42 = y;
  out->_43 = z;
  return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
  D3DXMatrixIdentity(out);
  out->_11 = sx;
  out->_22 = sy;
  out->_33 = sz;
  return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
  D3DXMatrixIdentity(out);
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  out->_11 = c;
  out->_12 = s;
  out->_21 = -s;
  out->_22 = c;
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear,
                                       float zFar) {
  const float yScale = 1.0f / std::tan(fovY / 2.0f);
  const float xScale = yScale / aspect;
  const float depth = zFar / (zFar - zNear);
  for (auto& row : out->m) {
    for (float& value : row) value = 0.0f;
  }
  out->_11 = xScale;
  out->_22 = yScale;
  out->_33 = depth;
  out->_34 = 1.0f;
  out->_43 = -zNear * depth;
  return out;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
  const float x = v->x * m->_11 + v->y * m->_21 + m->_41;
  const float y = v->x * m->_12 + v->y * m->_22 + m->_42;
  const float w = v->x * m->_14 + v->y * m->_24 + m->_44;
  out->x = x / w;
  out->y = y / w;
  return out;
}
