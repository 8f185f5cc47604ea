// A picture of the match scene from the match camera, (0, 10, 10) looking at the origin,
// drawn by a small software renderer the way the game's fixed-function pipeline lights
// it: the spot light over the table, the room's faint ambient light, emissive lamp parts.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "assets.h"

namespace assetgen {

void SavePng(const std::string& path, const Image& img);

namespace {

struct V3 {
  float x, y, z;
};
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Norm(V3 a) {
  float l = std::sqrt(Dot(a, a));
  return {a.x / l, a.y / l, a.z / l};
}

Image LoadPicture(const std::string& path) {
  SDL_Surface* raw = IMG_Load(path.c_str());
  if (!raw) throw std::runtime_error("preview cannot load " + path);
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ABGR8888, 0);
  SDL_FreeSurface(raw);
  Image img(s->w, s->h);
  for (int y = 0; y < s->h; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < s->w; ++x)
      img.at(x, y) = {row[4 * x] / 255.f, row[4 * x + 1] / 255.f, row[4 * x + 2] / 255.f,
                      row[4 * x + 3] / 255.f};
  }
  SDL_FreeSurface(s);
  return img;
}

class Renderer {
 public:
  Renderer(int w, int h)
      : w_(w), h_(h), colour_(w, h, Hex(0x000000)), depth_(static_cast<size_t>(w) * h, 1e30f) {
    // D3DXMatrixLookAtLH from (0, 10, 10) to the origin; field of view pi/4, aspect 1.
    eye_ = {0, 10, 10};
    fz_ = Norm(Sub({0, 0, 0}, eye_));
    fx_ = Norm(Cross({0, 1, 0}, fz_));
    fy_ = Cross(fz_, fx_);
    cot_ = 1 / std::tan(3.1415927f / 8);
  }
  const Image& picture() const { return colour_; }

  // Draws one triangle: corners with light already worked out (lit colour per corner).
  void Triangle(const float (&p)[3][3], const float (&uv)[3][2], const Rgba (&lit)[3], const Image* tex,
                bool blend) {
    float sx[3], sy[3], iw[3];
    for (int k = 0; k < 3; ++k) {
      V3 d = Sub({p[k][0], p[k][1], p[k][2]}, eye_);
      float vz = Dot(d, fz_);
      if (vz < 0.1f) return;
      sx[k] = (Dot(d, fx_) * cot_ / vz + 1) / 2 * w_;
      sy[k] = (1 - Dot(d, fy_) * cot_ / vz) / 2 * h_;
      iw[k] = 1 / vz;
    }
    float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
    if (std::fabs(area) < 1e-6f) return;
    int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
    int x1 = std::min(w_ - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
    int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
    int y1 = std::min(h_ - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        float px = x + 0.5f, py = y + 0.5f;
        float b0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
        float b1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
        float b2 = 1 - b0 - b1;
        if (b0 < 0 || b1 < 0 || b2 < 0) continue;
        float q = b0 * iw[0] + b1 * iw[1] + b2 * iw[2];
        float z = 1 / q;
        size_t idx = static_cast<size_t>(y) * w_ + x;
        if (z > depth_[idx]) continue;
        float c0 = b0 * iw[0] * z, c1 = b1 * iw[1] * z, c2 = b2 * iw[2] * z;
        Rgba light = Add(Add(Scale(lit[0], c0), lit[1], c1), lit[2], c2);
        Rgba texel = {1, 1, 1, 1};
        if (tex) {
          float u = c0 * uv[0][0] + c1 * uv[1][0] + c2 * uv[2][0],
                v = c0 * uv[0][1] + c1 * uv[1][1] + c2 * uv[2][1];
          texel = tex->Sample(u * tex->width(), v * tex->height(), true);
        }
        Rgba out = {Clamp01(texel.r * light.r), Clamp01(texel.g * light.g), Clamp01(texel.b * light.b),
                    texel.a};
        if (blend) {
          colour_.at(x, y) = Mix(colour_.at(x, y), WithAlpha(out, 1), out.a);
        } else {
          colour_.at(x, y) = WithAlpha(out, 1);
          depth_[idx] = z;
        }
      }
    }
  }

 private:
  int w_, h_;
  Image colour_;
  std::vector<float> depth_;
  V3 eye_, fx_, fy_, fz_;
  float cot_;
};

// The game's lighting during play: the spot light at (0, 5, 0) pointing down with an
// 80-degree cone, colour 255, attenuation 1 / (9 d), global ambient 2/255. Materials on
// the game's 0..255 scale saturate wherever the spot reaches.
Rgba Light(V3 p, V3 n, float diffuse, float ambient, const std::array<float, 3>& tint,
           const std::array<float, 3>& emissive) {
  V3 toLight = Sub({0, 5, 0}, p);
  float d = std::sqrt(Dot(toLight, toLight));
  V3 l = {toLight.x / d, toLight.y / d, toLight.z / d};
  float inCone = -l.y >= -1 && (l.y >= std::cos(40 * 3.1415927f / 180)) ? 1.f : 0.f;
  float ndotl = std::max(0.f, Dot(n, l));
  if (ndotl == 0) ndotl = std::max(0.f, -Dot(n, l));  // faces are drawn from both sides
  float k = ambient * 2 / 255.f + diffuse * 255 * inCone * ndotl / (9 * d);
  // The lit colour saturates before it modulates the texture.
  return {Clamp01(emissive[0] + tint[0] * k), Clamp01(emissive[1] + tint[1] * k),
          Clamp01(emissive[2] + tint[2] * k), 1};
}

struct Face {
  int texture;
  float c[4][5];  // x, y, z, u, v
  float diffuse, ambient;
  bool blend;
};

}  // namespace

void WriteScenePreview(const std::string& path, const std::string& dataDir) {
  const char* files[] = {"tables/t1b.tga",
                         "tables/brtex1.tga",
                         "tables/b.tga",
                         "Textures/vantor.tga",
                         "tables/Table_sides_top.tga",
                         "tables/side1.tga",
                         "tables/Table_sides_side.tga",
                         "tables/Pocket.tga",
                         "tables/g.tga",
                         "Balls/ball1.tga",
                         "Rackets/racket1.tga",
                         "Rackets/racket2.tga",
                         "Balls/bshadow.tga",
                         "Rackets/Rshadow.tga"};
  std::vector<Image> tex;
  for (const char* f : files) tex.push_back(LoadPicture(dataDir + "/" + f));
  enum {
    kSurface,
    kFloor,
    kWall,
    kBanner,
    kRim,
    kSide,
    kInner,
    kPocket,
    kGoal,
    kPuck,
    kRacket1,
    kRacket2,
    kPuckShadow,
    kRacketShadow
  };
  const float h = 0.7f;
  std::vector<Face> faces = {
      {kFloor,
       {{15, -5, -13, 0, 0}, {-15, -5, -13, 7.5f, 0}, {-15, -5, 13, 7.5f, 6}, {15, -5, 13, 0, 6}},
       50,
       50,
       false},
      {kWall,
       {{15, 8, -13, 0, 7.5f}, {-15, 8, -13, 20, 7.5f}, {-15, -5, -13, 20, 0}, {15, -5, -13, 0, 0}},
       50,
       50,
       false},
      {kWall,
       {{-15, 5, 13, 0, 7.5f}, {-15, 5, -13, 19.5f, 7.5f}, {-15, -5, -13, 19.5f, 0}, {-15, -5, 13, 0, 0}},
       50,
       50,
       false},
      {kWall,
       {{15, 5, -13, 0, 7.5f}, {15, 5, 13, 19.5f, 7.5f}, {15, -5, 13, 19.5f, 0}, {15, -5, -13, 0, 0}},
       50,
       50,
       false},
      {kSurface,
       {{4.5f, 0, -3, 0, 0}, {-4.5f, 0, -3, 1, 0}, {-4.5f, 0, 3, 1, 1}, {4.5f, 0, 3, 0, 1}},
       150,
       150,
       false},
      {kInner, {{5, h, -3, 0, 0}, {-5, h, -3, 5, 0}, {-5, 0, -3, 5, 1}, {5, 0, -3, 0, 1}}, 50, 50, false},
      {kInner, {{5, h, 3, 0, 0}, {-5, h, 3, 5, 0}, {-5, 0, 3, 5, 1}, {5, 0, 3, 0, 1}}, 50, 50, false},
      {kGoal,
       {{-4.5f, h, -2.5f, 0, 0}, {-4.5f, h, 2.5f, 0, 0}, {-4.5f, 0, 2.5f, 0, 0}, {-4.5f, 0, -2.5f, 0, 0}},
       50,
       50,
       false},
      {kGoal,
       {{4.5f, h, -2.5f, 0, 0}, {4.5f, h, 2.5f, 0, 0}, {4.5f, 0, 2.5f, 0, 0}, {4.5f, 0, -2.5f, 0, 0}},
       50,
       50,
       false},
      {kRim,
       {{5, h, -3.5f, 0, 0}, {-5, h, -3.5f, 5, 0}, {-5, h, -3, 5, 1}, {5, h, -3, 0, 1}},
       200,
       50,
       false},
      {kRim, {{5, h, 3.5f, 0, 0}, {-5, h, 3.5f, 5, 0}, {-5, h, 3, 5, 1}, {5, h, 3, 0, 1}}, 200, 50, false},
      {kRim,
       {{-5, h, -2.5f, 0, 0}, {-5, h, 2.5f, 2, 0}, {-4.5f, h, 2.5f, 2, 1}, {-4.5f, h, -2.5f, 0, 1}},
       200,
       50,
       false},
      {kRim,
       {{5, h, -2.5f, 0, 0}, {5, h, 2.5f, 2, 0}, {4.5f, h, 2.5f, 2, 1}, {4.5f, h, -2.5f, 0, 1}},
       200,
       50,
       false},
      {kSide,
       {{5, h, 3.5f, 0, 1}, {-5, h, 3.5f, 5, 1}, {-5, -h, 3.5f, 5, 0}, {5, -h, 3.5f, 0, 0}},
       200,
       50,
       false},
      {kSide,
       {{5, h, -3.5f, 0, 1}, {-5, h, -3.5f, 5, 1}, {-5, -h, -3.5f, 5, 0}, {5, -h, -3.5f, 0, 0}},
       200,
       50,
       false},
      {kSide,
       {{-5, h, -3.5f, 0, 0}, {-5, h, 3.5f, 0, 1}, {-5, -h, 3.5f, 1, 1}, {-5, -h, -3.5f, 1, 0}},
       200,
       50,
       false},
      {kSide,
       {{5, h, -3.5f, 0, 1}, {5, h, 3.5f, 0, 0}, {5, -h, 3.5f, 1, 0}, {5, -h, -3.5f, 1, 1}},
       200,
       50,
       false},
      {kBanner,
       {{4, 3, -12.8f, 0, 0}, {-4, 3, -12.8f, 1, 0}, {-4, 0.2f, -12.8f, 1, 1}, {4, 0.2f, -12.8f, 0, 1}},
       40,
       40,
       true},
  };
  for (float sx : {-1.f, 1.f}) {
    for (float sz : {-1.f, 1.f}) {
      faces.push_back({kPocket,
                       {{4 * sx, h, 3 * sz, 0, 0},
                        {5 * sx, h, 3 * sz, 1, 0},
                        {5 * sx, h, 2.5f * sz, 1, 1},
                        {4 * sx, h, 2.5f * sz, 0, 1}},
                       200,
                       50,
                       false});
      faces.push_back({kPocket,
                       {{4 * sx, h, 2.5f * sz, 0, 1},
                        {5 * sx, h, 2.5f * sz, 1, 1},
                        {5 * sx, 0, 2.5f * sz, 1, 0},
                        {4 * sx, 0, 2.5f * sz, 0, 0}},
                       50,
                       50,
                       false});
    }
  }
  // A puck waiting on the right player's half and both rackets at home, tops only.
  const float pz = 0.125f;
  faces.push_back({kPuckShadow,
                   {{-2.5f + pz, 0.01f, -pz, 1, 0},
                    {-2.5f - pz, 0.01f, -pz, 0, 0},
                    {-2.5f - pz, 0.01f, pz, 0, 1},
                    {-2.5f + pz, 0.01f, pz, 1, 1}},
                   150,
                   150,
                   true});
  faces.push_back({kPuck,
                   {{-2.5f + pz, 0.125f, -pz, 1, 0},
                    {-2.5f - pz, 0.125f, -pz, 0, 0},
                    {-2.5f - pz, 0.125f, pz, 0, 1},
                    {-2.5f + pz, 0.125f, pz, 1, 1}},
                   150,
                   150,
                   true});
  faces.push_back({kRacket1,
                   {{-4, 0.25f, 0.5f, 1, 0},
                    {-3.5f, 0.25f, 0.5f, 0, 0},
                    {-3.5f, 0.25f, -0.5f, 0, 1},
                    {-4, 0.25f, -0.5f, 1, 1}},
                   150,
                   150,
                   true});
  faces.push_back({kRacket2,
                   {{4, 0.25f, -0.5f, 1, 1},
                    {3.5f, 0.25f, -0.5f, 0, 1},
                    {3.5f, 0.25f, 0.5f, 0, 0},
                    {4, 0.25f, 0.5f, 1, 0}},
                   150,
                   150,
                   true});

  const int W = 1600, H = 1200;  // drawn at twice the size, then averaged down
  Renderer r(W, H);
  const std::array<float, 3> white = {1, 1, 1}, none = {0, 0, 0};
  auto drawFace = [&](const Face& f) {
    V3 a = {f.c[0][0], f.c[0][1], f.c[0][2]}, b = {f.c[1][0], f.c[1][1], f.c[1][2]},
       c = {f.c[2][0], f.c[2][1], f.c[2][2]};
    V3 n = Norm(Cross(Sub(b, a), Sub(c, a)));
    for (int t = 0; t < 2; ++t) {
      const int idx[3] = {0, t + 1, t + 2};
      float p[3][3], uv[3][2];
      Rgba lit[3];
      for (int k = 0; k < 3; ++k) {
        const float* v = f.c[idx[k]];
        p[k][0] = v[0], p[k][1] = v[1], p[k][2] = v[2], uv[k][0] = v[3], uv[k][1] = v[4];
        lit[k] = Light({v[0], v[1], v[2]}, n, f.diffuse, f.ambient, white, none);
      }
      r.Triangle(p, uv, lit, &tex[f.texture], f.blend);
    }
  };
  for (const Face& f : faces) {
    if (!f.blend) drawFace(f);
  }
  std::vector<SceneTriangle> meshes;
  AppendMeshTriangles(dataDir, &meshes);
  std::map<std::string, Image> meshTextures;
  for (const SceneTriangle& t : meshes) {
    const Image* texture = nullptr;
    if (!t.texture.empty()) {
      auto it = meshTextures.find(t.texture);
      if (it == meshTextures.end()) it = meshTextures.emplace(t.texture, LoadPicture(t.texture)).first;
      texture = &it->second;
    }
    // The table body is drawn in the table's grey material, the lamp in its own.
    bool body = t.texture.find("side1") != std::string::npos;
    float p[3][3], uv[3][2];
    Rgba lit[3];
    for (int k = 0; k < 3; ++k) {
      const float* v = t.v[k];
      p[k][0] = v[0], p[k][1] = v[1], p[k][2] = v[2], uv[k][0] = v[6], uv[k][1] = v[7];
      lit[k] = body ? Light({v[0], v[1], v[2]}, {v[3], v[4], v[5]}, 50, 50, white, none)
                    : Light({v[0], v[1], v[2]}, {v[3], v[4], v[5]}, 1, 0, t.diffuse, t.emissive);
    }
    r.Triangle(p, uv, lit, texture, false);
  }
  for (const Face& f : faces) {
    if (f.blend) drawFace(f);
  }
  SavePng(path, r.picture().Resized(W / 2, H / 2));
}

}  // namespace assetgen
