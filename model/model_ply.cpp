// PLY reader (see model_ply.h).
//
// [HEADER]  format, elements, properties and their types
// [VALUES]  binary values of every type in either byte order
// [FACES]   fans, index checks and computed normals
// [ASCII]   the body as text lines
// [BINARY]  the body as packed records
// [LOAD]
#include "model/model_ply.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/byte_cursor.h"
#include "model/model_text.h"

namespace model {

namespace {

struct sTypeName {
  const char* word;
  ePlyType type;
};
constexpr sTypeName kTypeNames[] = {
    {"int8", ePlyType::Int8},       {"char", ePlyType::Int8},      {"uint8", ePlyType::Uint8},
    {"uchar", ePlyType::Uint8},     {"int16", ePlyType::Int16},    {"short", ePlyType::Int16},
    {"uint16", ePlyType::Uint16},   {"ushort", ePlyType::Uint16},  {"int32", ePlyType::Int32},
    {"int", ePlyType::Int32},       {"uint32", ePlyType::Uint32},  {"uint", ePlyType::Uint32},
    {"float32", ePlyType::Float32}, {"float", ePlyType::Float32},  {"float64", ePlyType::Float64},
    {"double", ePlyType::Float64}};

constexpr size_t kTypeSizes[] = {1, 1, 2, 2, 4, 4, 4, 8, 0};

size_t TypeSize(ePlyType type) { return kTypeSizes[size_t(type)]; }

struct sPropertyName {
  const char* prefix;
  int32_t code;
};
// Compared as prefixes, in this order, before the first-letter rules.
constexpr sPropertyName kPropertyNames[] = {
    {"vertex_indices", 12}, {"material_index", 15}, {"ambient_red", 16},    {"ambient_green", 17},
    {"ambient_blue", 18},   {"ambient_alpha", 19},  {"diffuse_red", 20},    {"diffuse_green", 21},
    {"diffuse_blue", 22},   {"diffuse_alpha", 23},  {"specular_red", 24},   {"specular_green", 25},
    {"specular_blue", 26},  {"specular_alpha", 27}, {"opacity", 29},        {"specular_power", 28}};

// Texture coordinate names other exporters use (Blender writes s and t).
constexpr sPropertyName kTextureNames[] = {{"s", 6},         {"t", 7},         {"texture_u", 6},
                                           {"texture_v", 7}, {"texture_s", 6}, {"texture_t", 7}};

const char* WordEnd(const char* p, const char* end) {
  while (p < end && uint8_t(*p) > 32) ++p;
  return p;
}

bool WordIs(const char* begin, const char* end, const char* word) {
  size_t n = std::strlen(word);
  return size_t(end - begin) == n && std::memcmp(begin, word, n) == 0;
}

}  // namespace

// [HEADER] ----------------------------------------------------------------------------------------

ePlyType cModelPLY::ParseTypeName(const char* begin, const char* end) {
  const char* wordEnd = WordEnd(begin, end);
  for (const sTypeName& t : kTypeNames)
    if (WordIs(begin, wordEnd, t.word)) return t.type;
  return ePlyType::None;
}

int32_t cModelPLY::ParsePropertyName(const char* begin, const char* end, bool inList) {
  const char* wordEnd = WordEnd(begin, end);
  if (inList && WordIs(begin, wordEnd, "vertex_index")) return 12;
  for (const sPropertyName& p : kPropertyNames)
    if (StartsWith(begin, wordEnd, p.prefix)) return p.code;
  for (const sPropertyName& p : kTextureNames)
    if (WordIs(begin, wordEnd, p.prefix)) return p.code;
  if (begin == wordEnd) return 30;
  switch (*begin) {
    case 'x': return 0;
    case 'y': return 1;
    case 'z': return 2;
    case 'u': return 6;
    case 'v': return 7;
    case 'n':
      if (wordEnd - begin >= 2) {
        if (begin[1] == 'x') return 3;
        if (begin[1] == 'y') return 4;
        if (begin[1] == 'z') return 5;
      }
      return 30;
    default: return 30;
  }
}

int32_t cModelPLY::ParseElementName(const char* begin, const char* end) {
  const char* wordEnd = WordEnd(begin, end);
  if (WordIs(begin, wordEnd, "vertex")) return 0;
  if (WordIs(begin, wordEnd, "face")) return 1;
  if (WordIs(begin, wordEnd, "material")) return 4;
  return 5;
}

size_t cModelPLY::ReadHeader(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  if (size < 3 || !(std::memcmp(text, "ply", 3) == 0 || std::memcmp(text, "PLY", 3) == 0)) {
    Fail("bad header", "no ply signature");
    return 0;
  }
  cTextLines lines(text, size);
  const char* b;
  const char* e;
  bool ended = false;
  while (lines.Next(&b, &e)) {
    if (StartsWith(b, e, "end_header")) {
      ended = true;
      break;
    }
    if (StartsWith(b, e, "property")) {
      if (elements.empty()) continue;
      const char* p = SkipBlanks(b + 8, e);
      if (p == e) continue;
      sPlyProperty property;
      if (WordIs(p, WordEnd(p, e), "list")) {
        p = SkipBlanks(WordEnd(p, e), e);
        property.countType = ParseTypeName(p, e);
        p = SkipBlanks(WordEnd(p, e), e);
        property.type = ParseTypeName(p, e);
        p = SkipBlanks(WordEnd(p, e), e);
        property.code = ParsePropertyName(p, e, true);
        property.isList = 1;
      } else {
        property.type = ParseTypeName(p, e);
        p = SkipBlanks(WordEnd(p, e), e);
        property.code = ParsePropertyName(p, e, false);
      }
      elements.back().properties.push_back(property);
    } else if (StartsWith(b, e, "element")) {
      const char* p = SkipBlanks(b + 7, e);
      if (p == e) continue;
      sPlyElement element;
      element.kind = ParseElementName(p, e);
      p = SkipBlanks(WordEnd(p, e), e);
      element.count = ParseUnsigned(p, e, nullptr);
      elements.push_back(element);
    } else if (StartsWith(b, e, "format")) {
      const char* p = SkipBlanks(b + 6, e);
      const char* w = WordEnd(p, e);
      format = WordIs(p, w, "ascii")                  ? 0
               : WordIs(p, w, "binary_little_endian") ? 1
               : WordIs(p, w, "binary_big_endian")    ? 2
                                                      : 3;
    }
  }
  if (format == 3) {
    Fail("bad header", "no recognised format line");
    return 0;
  }
  if (!ended) {
    // A header that never ends has no body: an empty model, like a body that ends at once.
    return size;
  }
  return size_t(lines.Position() - text);
}

// [VALUES] ----------------------------------------------------------------------------------------
namespace {

struct sValueReader {
  ByteCursor* cursor;
  bool bigEndian;

  uint16_t U16() { return bigEndian ? cursor->u16be() : cursor->u16le(); }
  uint32_t U32() { return bigEndian ? cursor->u32be() : cursor->u32le(); }
  uint64_t U64() {
    if (!bigEndian) return cursor->u64le();
    uint64_t hi = cursor->u32be();
    return hi << 32 | cursor->u32be();
  }

  double Number(ePlyType type) {
    switch (type) {
      case ePlyType::Int8: return double(cursor->i8());
      case ePlyType::Uint8: return double(cursor->u8());
      case ePlyType::Int16: return double(int16_t(U16()));
      case ePlyType::Uint16: return double(U16());
      case ePlyType::Int32: return double(int32_t(U32()));
      case ePlyType::Uint32: return double(U32());
      case ePlyType::Float32: {
        uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return double(f);
      }
      case ePlyType::Float64: {
        uint64_t bits = U64();
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
      }
      case ePlyType::None: break;
    }
    cursor->fail();
    return 0;
  }

  // A count or an index; negative or fractional values give UINT32_MAX, which no check passes.
  uint32_t Index(ePlyType type) {
    switch (type) {
      case ePlyType::Uint8: return cursor->u8();
      case ePlyType::Uint16: return U16();
      case ePlyType::Uint32: return U32();
      case ePlyType::Int8: {
        int8_t v = cursor->i8();
        return v < 0 ? UINT32_MAX : uint32_t(v);
      }
      case ePlyType::Int16: {
        int16_t v = int16_t(U16());
        return v < 0 ? UINT32_MAX : uint32_t(v);
      }
      case ePlyType::Int32: {
        int32_t v = int32_t(U32());
        return v < 0 ? UINT32_MAX : uint32_t(v);
      }
      default: {
        double d = Number(type);
        return (d >= 0 && d < 4294967295.0 && d == std::floor(d)) ? uint32_t(d) : UINT32_MAX;
      }
    }
  }

  // Passes over one property of one record (a list whole).
  void Skip(const sPlyProperty& property) {
    if (!property.isList) {
      if (property.type == ePlyType::None) cursor->fail();
      cursor->skip(TypeSize(property.type));
      return;
    }
    uint32_t n = Index(property.countType);
    size_t bytes;
    if (n == UINT32_MAX || property.type == ePlyType::None ||
        !CheckedMul(n, TypeSize(property.type), &bytes)) {
      cursor->fail();
      return;
    }
    cursor->skip(bytes);
  }
};

// The fewest bytes one record of the element can take (lists counted as empty).
size_t MinimumRecordSize(const sPlyElement& element) {
  size_t size = 0;
  for (const sPlyProperty& p : element.properties)
    size += TypeSize(p.isList ? p.countType : p.type);
  return size;
}

}  // namespace

// [FACES] -----------------------------------------------------------------------------------------
namespace {

// (p1 - p0) x (pl - p0), not normalised (inline: this runs once per face).
inline sVector3 FaceNormal(const sVertexNormalTex& p0, const sVertexNormalTex& p1,
                           const sVertexNormalTex& pl) {
  float ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
  float bx = pl.x - p0.x, by = pl.y - p0.y, bz = pl.z - p0.z;
  return sVector3{ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
}

inline void AddToNormal(sVertexNormalTex* v, const sVector3& n) {
  v->nx += n.x;
  v->ny += n.y;
  v->nz += n.z;
}

// The common three-corner face, dropped when a corner is not a vertex; inline because it runs
// once per face of the body.
__attribute__((always_inline)) inline void AppendTriangle(std::vector<uint32_t>* triangles, sVertexNormalTex* v, size_t count,
                           uint32_t a, uint32_t b, uint32_t c, bool computeNormals) {
  if (a >= count || b >= count || c >= count) return;
  triangles->push_back(a);
  triangles->push_back(b);
  triangles->push_back(c);
  if (computeNormals) {
    sVector3 n = FaceNormal(v[a], v[b], v[c]);
    AddToNormal(v + a, n);
    AddToNormal(v + b, n);
    AddToNormal(v + c, n);
  }
}

}  // namespace

void cModelPLY::AddTriangle(uint32_t a, uint32_t b, uint32_t c, bool computeNormals) {
  AppendTriangle(&triangles_, root->vertices.data(), root->vertices.size(), a, b, c, computeNormals);
}

// A fan (0, k-1, k) over the corners. With computeNormals, the face normal from its first two
// corners and its last one goes to the corners of every fan triangle. The caller has checked
// that every corner is a vertex.
void cModelPLY::AddFace(const uint32_t* c, size_t n, bool computeNormals) {
  std::vector<sVertexNormalTex>& v = root->vertices;
  sVector3 normal{0, 0, 0};
  if (computeNormals) {
    const sVertexNormalTex &p0 = v[c[0]], &p1 = v[c[1]], &pl = v[c[n - 1]];
    normal = FaceNormal(p0, p1, pl);
  }
  for (size_t k = 2; k < n; ++k) {
    uint32_t tri[3] = {c[0], c[k - 1], c[k]};
    triangles_.push_back(tri[0]);
    triangles_.push_back(tri[1]);
    triangles_.push_back(tri[2]);
    if (computeNormals) {
      for (uint32_t i : tri) {
        v[i].nx += normal.x;
        v[i].ny += normal.y;
        v[i].nz += normal.z;
      }
    }
  }
  faceCount += uint32_t(n - 2);
}

// [ASCII] -----------------------------------------------------------------------------------------

void cModelPLY::ReadAsciiBody(const char* begin, const char* end, bool computeNormals) {
  cTextLines lines(begin, size_t(end - begin));
  bool verticesRead = false;
  const char* b;
  const char* e;
  for (const sPlyElement& element : elements) {
    if (lines.AtEnd()) break;
    // Only the first vertex element is read: a later one would pull vertices from under the
    // faces already built on the first.
    if (element.kind == 0 && !verticesRead) {
      verticesRead = true;
      // Every record takes at least one byte and its line feed: never make more vertices than
      // the text could hold.
      size_t possible = size_t(end - lines.Position()) / 2 + 1;
      size_t count = element.count < possible ? element.count : possible;
      ReserveLarge(&root->vertices, count);
      root->vertices.assign(count, sVertexNormalTex{});
      vertexCount = uint32_t(count);
      for (size_t i = 0; i < count && lines.Next(&b, &e); ++i) {
        float slots[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        const char* p = b;
        for (const sPlyProperty& property : element.properties) {
          if (property.isList) {
            uint32_t n = ParseUnsigned(p, e, &p);
            p = SkipBlanks(p, e);
            for (uint32_t k = 0; k < n && p < e; ++k) p = SkipTokenAndBlanks(p, e);
            continue;
          }
          if (property.code >= 0 && property.code <= 7) slots[property.code] = float(ParseDouble(p, e, &p));
          p = SkipTokenAndBlanks(p, e);
        }
        sVertexNormalTex& vertex = root->vertices[i];
        vertex = sVertexNormalTex{slots[0], slots[1], slots[2], slots[3],
                                  slots[4], slots[5], slots[6], slots[7]};
      }
    } else if (element.kind == 1) {
      // A triangle's line ("3 a b c") takes at least 8 bytes.
      size_t possible = size_t(end - lines.Position()) / 8;
      ReserveLarge(&triangles_, triangles_.size() + 3 * size_t(element.count < possible ? element.count : possible));
      for (uint32_t i = 0; i < element.count && lines.Next(&b, &e); ++i) {
        const char* p = b;
        for (const sPlyProperty& property : element.properties) {
          if (!property.isList) {
            p = SkipTokenAndBlanks(p, e);
            continue;
          }
          p = SkipBlanks(p, e);
          uint32_t n = ParseUnsigned(p, e, &p);
          p = SkipBlanks(p, e);
          if (property.code != 12) {
            for (uint32_t k = 0; k < n && p < e; ++k) p = SkipTokenAndBlanks(p, e);
            continue;
          }
          if (n == 3) {
            uint32_t t[3];
            bool good = true;
            for (uint32_t& index : t) {
              const char* q;
              good = good && p < e && *p != '-';
              index = ParseUnsigned(p, e, &q);
              good = good && q > p;
              p = SkipBlanks(q, e);
            }
            if (good) AddTriangle(t[0], t[1], t[2], computeNormals);
            continue;
          }
          // Every index is a token of at least one byte: a count beyond the line is malformed.
          bool good = n >= 3 && n <= size_t(e - p);
          corners_.clear();
          for (uint32_t k = 0; good && k < n; ++k) {
            if (p >= e || *p == '-') {
              good = false;
              break;
            }
            const char* q;
            uint32_t index = ParseUnsigned(p, e, &q);
            good = q > p && index < root->vertices.size();
            corners_.push_back(index);
            p = SkipBlanks(q, e);
          }
          if (good)
            AddFace(corners_.data(), n, computeNormals);
          else
            p = e;  // a bad face leaves the rest of its line
        }
      }
    } else {
      lines.Skip(element.count);
    }
  }
}

// [BINARY] ----------------------------------------------------------------------------------------

bool cModelPLY::ReadBinaryBody(const uint8_t* begin, size_t size, bool computeNormals) {
  ByteCursor cursor(begin, size);
  sValueReader in{&cursor, format == 2};
  bool verticesRead = false;
  for (const sPlyElement& element : elements) {
    if (cursor.failed() || cursor.atEnd()) break;
    // Records without properties take no bytes: nothing to read or skip, however many there are.
    if (element.properties.empty()) continue;
    size_t minimum = MinimumRecordSize(element);
    for (const sPlyProperty& p : element.properties) {
      if ((p.isList ? p.countType : p.type) == ePlyType::None ||
          (p.isList && p.type == ePlyType::None)) {
        // Without a size no later byte can be found: stop here with what was read.
        if (element.count > 0) return true;
      }
    }
    // Only the first vertex element is read: a later one would pull vertices from under the
    // faces already built on the first.
    if (element.kind == 0 && !verticesRead) {
      verticesRead = true;
      size_t possible = cursor.remaining() / (minimum ? minimum : 1);
      size_t count = element.count < possible ? element.count : possible;
      ReserveLarge(&root->vertices, count);
      vertexCount = uint32_t(count);
      if (ReadBinaryVertices(&cursor, element, count)) continue;
      root->vertices.assign(count, sVertexNormalTex{});
      for (size_t i = 0; i < count; ++i) {
        float slots[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (const sPlyProperty& property : element.properties) {
          if (property.isList) {
            in.Skip(property);
          } else if (property.code >= 0 && property.code <= 7) {
            slots[property.code] = float(in.Number(property.type));
          } else {
            in.Skip(property);
          }
        }
        if (cursor.failed()) break;
        root->vertices[i] = sVertexNormalTex{slots[0], slots[1], slots[2], slots[3],
                                             slots[4], slots[5], slots[6], slots[7]};
      }
    } else if (element.kind == 1) {
      size_t possible = minimum ? cursor.remaining() / minimum : 0;
      ReserveLarge(&triangles_, 3 * (element.count < possible ? element.count : possible));
      // The usual layout, one list of a one-byte count and four-byte indices, takes a short
      // way for triangles; everything else goes property by property.
      const sPlyProperty& first = element.properties.empty() ? sPlyProperty() : element.properties[0];
      bool quick = element.properties.size() == 1 && first.isList && first.code == 12 &&
                   TypeSize(first.countType) == 1 && TypeSize(first.type) == 4 &&
                   first.type != ePlyType::Float32;
      bool big = format == 2;
      sVertexNormalTex* vertices = root->vertices.data();
      const size_t vertexTotal = root->vertices.size();
      for (uint32_t i = 0; i < element.count && !cursor.failed(); ++i) {
        const uint8_t* head = quick ? cursor.peek(13) : nullptr;
        if (head && head[0] == 3) {
          uint32_t t[3];
          for (int k = 0; k < 3; ++k) {
            const uint8_t* q = head + 1 + 4 * k;
            t[k] = big ? uint32_t(q[0]) << 24 | uint32_t(q[1]) << 16 | uint32_t(q[2]) << 8 | q[3]
                       : uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16 | uint32_t(q[3]) << 24;
          }
          cursor.skip(13);
          AppendTriangle(&triangles_, vertices, vertexTotal, t[0], t[1], t[2], computeNormals);
          continue;
        }
        for (const sPlyProperty& property : element.properties) {
          if (!property.isList || property.code != 12) {
            in.Skip(property);
            continue;
          }
          uint32_t n = in.Index(property.countType);
          size_t itemSize = TypeSize(property.type);
          size_t bytes;
          if (n == UINT32_MAX || !CheckedMul(n, itemSize, &bytes) || bytes > cursor.remaining()) {
            cursor.fail();
            break;
          }
          corners_.clear();
          bool good = n >= 3;
          for (uint32_t k = 0; k < n; ++k) {
            uint32_t index = in.Index(property.type);
            if (index >= root->vertices.size()) good = false;
            if (good) corners_.push_back(index);
          }
          if (good && !cursor.failed()) AddFace(corners_.data(), n, computeNormals);
        }
      }
    } else {
      for (uint32_t i = 0; i < element.count && !cursor.failed(); ++i)
        for (const sPlyProperty& property : element.properties) in.Skip(property);
    }
  }
  return true;
}

// The vertex field of each property code 0..7.
constexpr float sVertexNormalTex::*kVertexSlots[8] = {
    &sVertexNormalTex::x,  &sVertexNormalTex::y,  &sVertexNormalTex::z, &sVertexNormalTex::nx,
    &sVertexNormalTex::ny, &sVertexNormalTex::nz, &sVertexNormalTex::u, &sVertexNormalTex::v};

// Records of scalar properties only: one bounds check per record, values decoded in place.
// False (nothing read) for elements with lists or unknown types.
bool cModelPLY::ReadBinaryVertices(ByteCursor* cursor, const sPlyElement& element, size_t count) {
  struct sField {
    size_t offset;
    ePlyType type;
    int32_t slot;
  };
  std::vector<sField> fields;
  size_t recordSize = 0;
  for (const sPlyProperty& p : element.properties) {
    if (p.isList || p.type == ePlyType::None) return false;
    if (p.code >= 0 && p.code <= 7) fields.push_back(sField{recordSize, p.type, p.code});
    recordSize += TypeSize(p.type);
  }
  bool big = format == 2;
  // Appended as read (the array is reserved): no zero-fill pass before the real values.
  std::vector<sVertexNormalTex>& out = root->vertices;
  out.clear();
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = cursor->take(recordSize);
    if (!record) break;
    // Each value is stored straight into the new vertex: gathering them in a local array and
    // copying that out makes every vertex wait on a stalled store-to-load forward.
    sVertexNormalTex& vertex = out.emplace_back();
    for (const sField& f : fields) {
      float value;
      if (f.type == ePlyType::Float32 && !big) {
        std::memcpy(&value, record + f.offset, 4);
      } else {
        ByteCursor one(record + f.offset, TypeSize(f.type));
        sValueReader reader{&one, big};
        value = float(reader.Number(f.type));
      }
      vertex.*kVertexSlots[f.slot] = value;
    }
  }
  out.resize(count);  // records the data did not hold stay zero
  return true;
}

// [LOAD] ------------------------------------------------------------------------------------------

cModelPLY::~cModelPLY() { ClearElements(); }

void cModelPLY::ClearElements() {
  elements.clear();
  triangles_.clear();
  triangles_.shrink_to_fit();
  corners_.clear();
  format = 3;
}

void cModelPLY::Clear() {
  ClearElements();
  ClearCommon();
}

bool cModelPLY::LoadFromMemory(const uint8_t* data, size_t size) {
  if (loaded) return false;
  ClearError();
  ClearElements();
  if (!data) return Fail("bad header", "no data");
  size_t body = ReadHeader(data, size);
  if (body == 0) return false;
  root = std::make_unique<sNode>(nullptr, format == 0 ? "[Model(Ascii)]" : "[Model(Binary)]");
  root->meshes.push_back(std::make_unique<sMesh>());
  bool computeNormals = true;
  for (const sPlyElement& element : elements)
    for (const sPlyProperty& property : element.properties)
      if (property.code == 3) computeNormals = false;
  if (format == 0) {
    const char* text = reinterpret_cast<const char*>(data);
    ReadAsciiBody(text + body, text + size, computeNormals);
  } else if (!ReadBinaryBody(data + body, size - body, computeNormals)) {
    return false;
  }
  // One pass over the vertices: computed normals to unit length, and the box.
  sVector3 lo = root->bounds.min, hi = root->bounds.max;
  for (sVertexNormalTex& v : root->vertices) {
    if (computeNormals) {
      // Vec3NormalizeInPlace, inline: this runs once per vertex.
      const float length = std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz);
      if (length > 0) {
        v.nx /= length;
        v.ny /= length;
        v.nz /= length;
      }
    }
    // std::min/max keep the bound when the coordinate is NaN, as cAABB::Extend does.
    lo = sVector3{std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
    hi = sVector3{std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
  }
  root->bounds.min = lo;
  root->bounds.max = hi;
  sMesh& mesh = *root->meshes[0];
  mesh.triangleCount = uint32_t(triangles_.size() / 3);
  mesh.triangles = std::move(triangles_);
  triangles_ = std::vector<uint32_t>();
  faceCount = mesh.triangleCount;
  ClearElements();
  vertexCount = uint32_t(root->vertices.size());
  if (!root->vertices.empty()) bounds.Extend(root->bounds);
  loaded = 1;
  return true;
}

}  // namespace model
