// The table's body and the lamp, written as text DirectX meshes in table coordinates, so
// that fitting them to their boxes (11 × 5.7 × 7 at (0, -2, 0) and 4 × 4 × 2 at
// (0, 3.5, 0)) leaves them where they are drawn here.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets.h"

namespace assetgen {
namespace {

struct Vec {
  float x, y, z;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Unit(Vec a) {
  float l = std::sqrt(Dot(a, a));
  return {a.x / l, a.y / l, a.z / l};
}

struct Material {
  std::string name;
  std::array<float, 4> colour;
  float power;
  std::array<float, 3> specular, emissive;
  std::string texture;  // empty: untextured
};

class MeshBuilder {
 public:
  struct Vertex {
    Vec p, n;
    float u, v;
  };
  // Adds one vertex and returns its index.
  uint32_t Add(Vec p, Vec n, float u, float v) {
    verts_.push_back({p, n, u, v});
    return static_cast<uint32_t>(verts_.size() - 1);
  }
  // A triangle whose front faces `outward`: (b - a) x (c - a) points along it, as
  // Direct3D's left-handed clockwise rule has it.
  void Triangle(uint32_t a, uint32_t b, uint32_t c, Vec outward, int material) {
    Vec n = Cross(verts_[b].p - verts_[a].p, verts_[c].p - verts_[a].p);
    if (Dot(n, outward) < 0) std::swap(b, c);
    faces_.push_back({a, b, c});
    materials_.push_back(material);
  }
  // A flat quad with corners in order around it and texture repeats (ru, rv).
  void Quad(Vec p0, Vec p1, Vec p2, Vec p3, Vec outward, int material, float ru = 1, float rv = 1) {
    Vec n = Unit(Cross(p1 - p0, p3 - p0));
    if (Dot(n, outward) < 0) n = {-n.x, -n.y, -n.z};
    uint32_t a = Add(p0, n, 0, 0), b = Add(p1, n, ru, 0), c = Add(p2, n, ru, rv), d = Add(p3, n, 0, rv);
    Triangle(a, b, c, n, material);
    Triangle(a, c, d, n, material);
  }
  // A box with its faces tiled once per `tile` units (at least once).
  void Box(Vec lo, Vec hi, int material, Vec tile = {2, 1.4f, 2}, bool withBottom = true) {
    auto reps = [](float len, float t) { return std::max(1.f, std::round(len / t)); };
    float rx = reps(hi.x - lo.x, tile.x), ry = reps(hi.y - lo.y, tile.y), rz = reps(hi.z - lo.z, tile.z);
    Quad({lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z}, {0, 0, -1}, material,
         rx, ry);
    Quad({hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {0, 0, 1}, material,
         rx, ry);
    Quad({lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {-1, 0, 0}, material,
         rz, ry);
    Quad({hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}, {1, 0, 0}, material,
         rz, ry);
    Quad({lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {0, 1, 0}, material,
         rx, rz);
    if (withBottom) {
      Quad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}, {0, -1, 0},
           material, rx, rz);
    }
  }
  // A horizontal rectangle split into four triangles around a centre vertex, which is
  // added first of the four so that it is the mesh's reference point when it comes first.
  void FanRect(Vec centre, float halfX, float halfZ, Vec normal, int material) {
    uint32_t c = Add(centre, normal, 0.5f, 0.5f);
    Vec corners[4] = {{centre.x - halfX, centre.y, centre.z - halfZ},
                      {centre.x + halfX, centre.y, centre.z - halfZ},
                      {centre.x + halfX, centre.y, centre.z + halfZ},
                      {centre.x - halfX, centre.y, centre.z + halfZ}};
    float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    uint32_t k[4];
    for (int i = 0; i < 4; ++i) k[i] = Add(corners[i], normal, uv[i][0], uv[i][1]);
    for (int i = 0; i < 4; ++i) Triangle(c, k[i], k[(i + 1) % 4], normal, material);
  }

  void Write(const std::string& path, const std::string& name, const std::vector<Material>& mats) const;
  // The triangles with their materials' looks, for the scene preview.
  void AppendTo(std::vector<SceneTriangle>* out, const std::vector<Material>& mats,
                const std::string& textureDir) const {
    for (size_t f = 0; f < faces_.size(); ++f) {
      SceneTriangle t;
      const Material& m = mats[materials_[f]];
      for (int k = 0; k < 3; ++k) {
        const Vertex& v = verts_[faces_[f][k]];
        const float values[8] = {v.p.x, v.p.y, v.p.z, v.n.x, v.n.y, v.n.z, v.u, v.v};
        std::copy(values, values + 8, t.v[k]);
      }
      t.texture = m.texture.empty() ? "" : textureDir + m.texture;
      t.diffuse = {m.colour[0], m.colour[1], m.colour[2]};
      t.emissive = m.emissive;
      out->push_back(t);
    }
  }

 private:
  std::vector<Vertex> verts_;
  std::vector<std::array<uint32_t, 3>> faces_;
  std::vector<int> materials_;
};

void MeshBuilder::Write(const std::string& path, const std::string& name,
                        const std::vector<Material>& mats) const {
  std::string s = "xof 0303txt 0032\n\n";
  char buf[160];
  auto put = [&](const char* fmt, auto... args) {
    std::snprintf(buf, sizeof buf, fmt, args...);
    s += buf;
  };
  auto sep = [](size_t i, size_t n) { return i + 1 == n ? ";" : ","; };
  put("Mesh %s {\n %zu;\n", name.c_str(), verts_.size());
  for (size_t i = 0; i < verts_.size(); ++i) {
    const Vec& p = verts_[i].p;
    put(" %.6f;%.6f;%.6f;%s\n", p.x, p.y, p.z, sep(i, verts_.size()));
  }
  put(" %zu;\n", faces_.size());
  for (size_t i = 0; i < faces_.size(); ++i) {
    put(" 3;%u,%u,%u;%s\n", faces_[i][0], faces_[i][1], faces_[i][2], sep(i, faces_.size()));
  }
  put("\n MeshNormals {\n  %zu;\n", verts_.size());
  for (size_t i = 0; i < verts_.size(); ++i) {
    const Vec& n = verts_[i].n;
    put("  %.6f;%.6f;%.6f;%s\n", n.x, n.y, n.z, sep(i, verts_.size()));
  }
  put("  %zu;\n", faces_.size());
  for (size_t i = 0; i < faces_.size(); ++i) {
    put("  3;%u,%u,%u;%s\n", faces_[i][0], faces_[i][1], faces_[i][2], sep(i, faces_.size()));
  }
  put(" }\n\n MeshTextureCoords {\n  %zu;\n", verts_.size());
  for (size_t i = 0; i < verts_.size(); ++i)
    put("  %.6f;%.6f;%s\n", verts_[i].u, verts_[i].v, sep(i, verts_.size()));
  put(" }\n\n MeshMaterialList {\n  %zu;\n  %zu;\n", mats.size(), faces_.size());
  for (size_t i = 0; i < faces_.size(); ++i) put("  %d%s\n", materials_[i], sep(i, faces_.size()));
  for (const Material& m : mats) {
    put("\n  Material %s {\n", m.name.c_str());
    put("   %.6f;%.6f;%.6f;%.6f;;\n", m.colour[0], m.colour[1], m.colour[2], m.colour[3]);
    put("   %.6f;\n", m.power);
    put("   %.6f;%.6f;%.6f;;\n", m.specular[0], m.specular[1], m.specular[2]);
    put("   %.6f;%.6f;%.6f;;\n", m.emissive[0], m.emissive[1], m.emissive[2]);
    if (!m.texture.empty()) put("   TextureFilename {\n    \"%s\";\n   }\n", m.texture.c_str());
    s += "  }\n";
  }
  s += " }\n}\n";
  std::ofstream f(path, std::ios::binary);
  f << s;
  if (!f) throw std::runtime_error("cannot write " + path);
}

// The body under the table top: a cabinet, two end towers flush with the rim top, four
// legs on feet and a stretcher frame. Everything inside the rim's footprint
// (|x| < 5, |z| < 3.5) stays at or below y = -0.72, under the outer sides.
const std::vector<Material> kBodyMaterials = {
    {"Body", {0.8f, 0.8f, 0.85f, 1}, 12, {0.25f, 0.25f, 0.3f}, {0, 0, 0}, "side1.tga"}};
const std::vector<Material> kLampMaterials = {
    {"Shade", {0.8f, 0.82f, 0.9f, 1}, 30, {0.9f, 0.9f, 1}, {0.32f, 0.34f, 0.4f}, "lampshade.tga"},
    {"Glow", {1, 0.78f, 0.45f, 1}, 0, {0, 0, 0}, {1, 0.7f, 0.32f}, ""},
    {"Diffuser", {1, 0.95f, 0.85f, 1}, 0, {0, 0, 0}, {1, 0.93f, 0.78f}, ""},
    {"Metal", {0.25f, 0.27f, 0.33f, 1}, 20, {0.6f, 0.6f, 0.65f}, {0.16f, 0.17f, 0.2f}, ""}};

MeshBuilder TableBody() {
  MeshBuilder m;
  // The cabinet's underside, around the vertex on the central axis at (0, -2, 0).
  m.FanRect({0, -2, 0}, 4.8f, 3.3f, {0, -1, 0}, 0);
  m.Box({-4.8f, -2, -3.3f}, {4.8f, -0.72f, 3.3f}, 0, {2, 1.4f, 2}, false);
  for (float sx : {-1.f, 1.f}) {
    // End towers behind the goals.
    float x0 = sx < 0 ? -5.5f : 5.02f, x1 = sx < 0 ? -5.02f : 5.5f;
    m.Box({x0, -2.3f, -3.5f}, {x1, 0.7f, 3.5f}, 0);
    for (float sz : {-1.f, 1.f}) {
      float cx = 4.2f * sx, cz = 2.7f * sz;
      m.Box({cx - 0.22f, -4.85f, cz - 0.22f}, {cx + 0.22f, -2, cz + 0.22f}, 0, {2, 1.4f, 2}, false);
      m.Box({cx - 0.32f, -5, cz - 0.32f}, {cx + 0.32f, -4.85f, cz + 0.32f}, 0);
    }
    m.Box({-3.98f, -4.3f, 2.7f * sx - 0.1f}, {3.98f, -4.05f, 2.7f * sx + 0.1f}, 0);
  }
  m.Box({-0.15f, -4.3f, -2.6f}, {0.15f, -4.05f, 2.6f}, 0);
  return m;
}

// The lamp: a long, slim shade with a glowing lip and diffuser, hung on two rods from a
// ceiling rail at y = 7.5 that gives the lamp its depth. The shade is kept slim so that
// the match camera still sees the far rim under it. Its lowest point on the axis,
// (0, 3.5, 0), is its reference.
MeshBuilder Lamp() {
  enum { kShade, kGlow, kDiffuser, kMetal };
  MeshBuilder m;
  const float lip = 3.6f, top = 4.2f, halfX = 2, halfZ = 0.42f;
  m.FanRect({0, 3.5f, 0}, halfX - 0.06f, halfZ - 0.05f, {0, -1, 0}, kDiffuser);
  const Vec b[4] = {{-halfX, lip, -halfZ}, {halfX, lip, -halfZ}, {halfX, lip, halfZ}, {-halfX, lip, halfZ}};
  const Vec t[4] = {{-1.75f, top, -0.26f}, {1.75f, top, -0.26f}, {1.75f, top, 0.26f}, {-1.75f, top, 0.26f}};
  const Vec out[4] = {{0, 0.5f, -1}, {1, 0.5f, 0}, {0, 0.5f, 1}, {-1, 0.5f, 0}};
  for (int i = 0; i < 4; ++i) {
    int j = (i + 1) % 4;
    m.Quad(t[i], t[j], b[j], b[i], out[i], kShade, i % 2 ? 1 : 4, 1);
    Vec lo_i = {b[i].x, 3.5f, b[i].z}, lo_j = {b[j].x, 3.5f, b[j].z};
    m.Quad(b[i], b[j], lo_j, lo_i, {out[i].x, 0, out[i].z}, kGlow);
  }
  m.Quad(t[0], t[1], t[2], t[3], {0, 1, 0}, kShade, 4, 1);
  // Underside frame between the diffuser and the lip.
  for (int i = 0; i < 4; ++i) {
    int j = (i + 1) % 4;
    auto inset = [&](Vec p) {
      return Vec{p.x - std::copysign(0.06f, p.x), 3.5f, p.z - std::copysign(0.05f, p.z)};
    };
    m.Quad({b[i].x, 3.5f, b[i].z}, {b[j].x, 3.5f, b[j].z}, inset(b[j]), inset(b[i]), {0, -1, 0}, kMetal);
  }
  for (float sx : {-1.2f, 1.2f}) {
    m.Box({sx - 0.12f, top, -0.12f}, {sx + 0.12f, top + 0.08f, 0.12f}, kMetal, {2, 1.4f, 2}, false);
    m.Box({sx - 0.025f, top + 0.08f, -0.025f}, {sx + 0.025f, 7.4f, 0.025f}, kMetal, {2, 1.4f, 2}, false);
  }
  m.Box({-1.5f, 7.4f, -1}, {1.5f, 7.5f, 1}, kMetal);
  return m;
}

}  // namespace

void MakeMeshes(const std::string& dir) {
  TableBody().Write(dir + "/tables/table.x", "TableBody", kBodyMaterials);
  Lamp().Write(dir + "/lamp.x", "Lamp", kLampMaterials);
}

void AppendMeshTriangles(const std::string& dir, std::vector<SceneTriangle>* out) {
  // The table body is drawn with side1.tga whatever its file names, as the game does.
  TableBody().AppendTo(out, kBodyMaterials, dir + "/tables/");
  Lamp().AppendTo(out, kLampMaterials, dir + "/");
}

}  // namespace assetgen
