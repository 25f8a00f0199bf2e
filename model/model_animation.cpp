// Key-frame animation of the node tree: positions and scales interpolated linearly, rotations
// spherically, written into the nodes' base matrices; then world matrices down the tree.
#include <cmath>

#include "model/model.h"
#include "model/model_math.h"

sQuaternion* QuaternionSlerp(sQuaternion* out, const sQuaternion* a, const sQuaternion* b, float t) {
  if (t <= 0) {
    *out = *a;
    return out;
  }
  if (t >= 1) {
    *out = *b;
    return out;
  }
  sQuaternion to = *b;
  float cosine = a->x * to.x + a->y * to.y + a->z * to.z + a->w * to.w;
  if (cosine < 0) {  // the shorter arc
    to = sQuaternion{-to.x, -to.y, -to.z, -to.w};
    cosine = -cosine;
  }
  float wa = 1 - t, wb = t;
  if (cosine <= 0.999999f) {
    float theta = std::acos(cosine);
    float s = std::sin(theta);
    wa = std::sin((1 - t) * theta) / s;
    wb = std::sin(t * theta) / s;
  }
  *out = sQuaternion{wa * a->x + wb * to.x, wa * a->y + wb * to.y, wa * a->z + wb * to.z,
                     wa * a->w + wb * to.w};
  return out;
}

namespace model {

namespace {

// Index of the key in force at time t (the last key whose time is not after t, or key 0 when t
// comes before every key), searched from the hint when the hint is not past t.
size_t FindKey(const std::vector<sAnimationKey>& keys, double t, uint32_t* hint) {
  size_t n = keys.size();
  size_t i = (*hint < n && keys[*hint].time <= t) ? *hint : 0;
  while (i + 1 < n && keys[i + 1].time <= t) ++i;
  *hint = uint32_t(i);
  return i;
}

// The value at time t: before the first key, the first key's value (no extrapolation); between
// keys, f in 0..1; after the last key, from the last key towards the first across the wrap.
void Evaluate(const std::vector<sAnimationKey>& keys, double t, double length, uint32_t* hint,
              bool spherical, float out[4]) {
  size_t n = keys.size();
  size_t i = FindKey(keys, t, hint);
  const sAnimationKey& ki = keys[i];
  const sAnimationKey& kj = keys[(i + 1) % n];
  double dt = kj.time - ki.time;
  if (dt < 0) dt += length;
  double f = dt > 0 ? (t - ki.time) / dt : 0.0;
  if (!(f > 0)) f = 0;  // a time before the first key, or NaN
  if (f > 1) f = 1;
  if (f == 0) {
    for (int c = 0; c < 4; ++c) out[c] = ki.value[c];
    return;
  }
  if (spherical) {
    sQuaternion a{ki.value[0], ki.value[1], ki.value[2], ki.value[3]};
    sQuaternion b{kj.value[0], kj.value[1], kj.value[2], kj.value[3]};
    sQuaternion q;
    QuaternionSlerp(&q, &a, &b, float(f));
    out[0] = q.x, out[1] = q.y, out[2] = q.z, out[3] = q.w;
    return;
  }
  for (int c = 0; c < 4; ++c) out[c] = ki.value[c] + float(f) * (kj.value[c] - ki.value[c]);
}

}  // namespace

void cModel::Animate(double seconds) {
  if (currentAnimation < 0 || size_t(currentAnimation) >= animations.size()) return;
  if (!(animationDuration > 0)) return;
  const sAnimation* animation = animations[size_t(currentAnimation)].get();
  if (!animation) return;
  double t = 0.0;
  if (animation->length > 0) {
    t = std::fmod(seconds, animation->length);
    if (t < 0) t += animation->length;
  }
  for (const auto& track : animation->tracks) {
    if (!track) continue;
    float position[4] = {0, 0, 0, 0};
    float rotation[4] = {0, 0, 0, 1};
    float scale[4] = {1, 1, 1, 0};
    if (!track->positionKeys.empty())
      Evaluate(track->positionKeys, t, animation->length, &positionHint, false, position);
    if (!track->rotationKeys.empty())
      Evaluate(track->rotationKeys, t, animation->length, &rotationHint, true, rotation);
    if (!track->scaleKeys.empty())
      Evaluate(track->scaleKeys, t, animation->length, &scaleHint, false, scale);
    auto mapped = trackMap.find(track.get());
    if (track->nodeName.empty() || mapped == trackMap.end() || !mapped->second) continue;
    sMatrix4& base = mapped->second->base;
    MatrixIdentity(&base);
    base.m00 = scale[0];
    base.m11 = scale[1];
    base.m22 = scale[2];
    sQuaternion q{rotation[0], rotation[1], rotation[2], rotation[3]};
    sMatrix4 r;
    QuaternionToMatrix(&r, &q);
    MatrixMultiplyInPlace(&base, &r);
    base.m30 = position[0];
    base.m31 = position[1];
    base.m32 = position[2];
  }
}

void cModel::UpdateTransforms(sNode* node) {
  if (!node) return;
  if (node->parent) MatrixMultiply(&node->current, &node->base, &node->parent->current);
  for (auto& child : node->children) UpdateTransforms(child.get());
}

}  // namespace model
