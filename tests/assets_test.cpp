// The generated data: every file the game reads is there and loads, pictures have the
// sizes the screens load them at and the transparency the game relies on, the meshes
// sit where the fitting puts them, sounds are clean 16-bit PCM, and the generator
// writes the same bytes on every run.
#include <SDL.h>
#include <SDL_image.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kData = VANTOR_TEST_DATA_DIR;

std::string Data(const std::string& rel) { return kData + "/" + rel; }

std::vector<std::string> ButtonFiles() {
  std::vector<std::string> out;
  for (const char* b : {"single", "multi", "back", "exit", "play_again", "play", "1player", "2player"}) {
    for (int i = 1; i <= 3; ++i) out.push_back(std::string("Textures/") + b + std::to_string(i) + ".tga");
  }
  return out;
}

std::vector<std::string> AllFiles() {
  std::vector<std::string> f = {"Textures/back.tga",
                                "Textures/logo.tga",
                                "Textures/tlogo1.tga",
                                "Textures/vantor.tga",
                                "Textures/paused.tga",
                                "Textures/lvl1.tga",
                                "Textures/lvl2.tga",
                                "Textures/lvl3.tga",
                                "tables/t1b.tga",
                                "tables/t1bn.tga",
                                "tables/brtex1.tga",
                                "tables/b.tga",
                                "tables/Table_sides_top.tga",
                                "tables/side1.tga",
                                "tables/Table_sides_side.tga",
                                "tables/Pocket.tga",
                                "tables/g.tga",
                                "tables/table.x",
                                "Balls/bshadow.tga",
                                "Rackets/Rshadow.tga",
                                "lamp.x",
                                "Sounds/tcoll.wav",
                                "Sounds/rcoll.wav",
                                "Sounds/spring.wav",
                                "Sounds/pocket.wav",
                                "Sounds/goal.wav",
                                "Sounds/menu.wav"};
  for (int i = 1; i <= 4; ++i) {
    std::string n = std::to_string(i);
    f.push_back("Balls/ball" + n + ".tga");
    f.push_back("Balls/ball" + n + "s.tga");
    f.push_back("Rackets/racket" + n + ".tga");
    f.push_back("Rackets/racket" + n + "s.tga");
  }
  for (int i = 1; i <= 8; ++i) f.push_back("Sounds/bck" + std::to_string(i) + ".wav");
  for (const auto& b : ButtonFiles()) f.push_back(b);
  return f;
}

// A picture as 8-bit RGBA, rows top-down, through SDL2_image as the game loads it.
struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
};

Picture Load(const std::string& rel) {
  Picture p;
  SDL_Surface* raw = IMG_Load(Data(rel).c_str());
  if (!raw) {
    ADD_FAILURE() << rel << ": " << IMG_GetError();
    return p;
  }
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ABGR8888, 0);
  SDL_FreeSurface(raw);
  p.w = s->w, p.h = s->h;
  p.rgba.resize(static_cast<size_t>(p.w) * p.h * 4);
  for (int y = 0; y < p.h; ++y) {
    std::copy_n(static_cast<const uint8_t*>(s->pixels) + y * s->pitch, p.w * 4,
                &p.rgba[static_cast<size_t>(y) * p.w * 4]);
  }
  SDL_FreeSurface(s);
  return p;
}

// FNV-1a over a buffer, to tell contents apart.
template <typename T>
uint64_t Fingerprint(const std::vector<T>& v) {
  uint64_t h = 1469598103934665603ull;
  const auto* p = reinterpret_cast<const uint8_t*>(v.data());
  for (size_t i = 0; i < v.size() * sizeof(T); ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::vector<char> Bytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::vector<char> b(fs::exists(p) ? fs::file_size(p) : 0);
  f.read(b.data(), static_cast<std::streamsize>(b.size()));
  return b;
}

// ---------------------------------------------------------------------------------------
// Files and pictures

TEST(AssetFiles, EveryFileTheGameReadsIsThere) {
  for (const auto& rel : AllFiles()) {
    EXPECT_TRUE(fs::is_regular_file(Data(rel))) << rel;
    if (fs::is_regular_file(Data(rel))) {
      EXPECT_GT(fs::file_size(Data(rel)), 0u) << rel;
    }
  }
}

TEST(AssetPictures, ScreenPicturesHaveTheSizesTheScreensLoadThemAt) {
  std::map<std::string, std::pair<int, int>> sizes = {
      {"Textures/back.tga", {800, 600}},   {"Textures/logo.tga", {320, 320}},
      {"Textures/tlogo1.tga", {333, 287}}, {"Textures/paused.tga", {164, 39}},
      {"Textures/lvl1.tga", {320, 40}},    {"Textures/lvl2.tga", {320, 40}},
      {"Textures/lvl3.tga", {320, 40}}};
  for (int i = 1; i <= 3; ++i) {
    std::string n = std::to_string(i);
    sizes["Textures/single" + n + ".tga"] = {262, 44};
    sizes["Textures/multi" + n + ".tga"] = {243, 43};
    for (const char* b : {"back", "exit", "play_again", "play", "1player", "2player"}) {
      sizes[std::string("Textures/") + b + n + ".tga"] = {164, 39};
    }
  }
  for (const auto& [rel, wh] : sizes) {
    Picture p = Load(rel);
    EXPECT_EQ(p.w, wh.first) << rel;
    EXPECT_EQ(p.h, wh.second) << rel;
  }
}

TEST(AssetPictures, SceneTexturesAreSquareOrPowerOfTwoSized) {
  auto pow2 = [](int v) { return v > 0 && (v & (v - 1)) == 0; };
  for (const auto& rel : AllFiles()) {
    if (rel.rfind("Textures/", 0) == 0 || rel.find(".tga") == std::string::npos) continue;
    Picture p = Load(rel);
    EXPECT_TRUE(pow2(p.w) && pow2(p.h)) << rel << " is " << p.w << " x " << p.h;
  }
  // The playing surface keeps enough texels for crisp lines over its 9 units.
  EXPECT_GE(Load("tables/t1b.tga").w, 1024);
}

// The puck's top is drawn alpha-blended over its rim: outside the disc nothing may show,
// inside nothing may let the rim or the table through.
TEST(AssetPictures, PuckTopsAreOpaqueDiscsOnTransparentSquares) {
  for (int i = 1; i <= 4; ++i) {
    const std::string rel = "Balls/ball" + std::to_string(i) + ".tga";
    Picture p = Load(rel);
    ASSERT_GT(p.w, 0);
    const float c = p.w / 2.0f, radius = p.w / 2.0f, margin = 1.5f;
    int badOutside = 0, badInside = 0;
    for (int y = 0; y < p.h; ++y) {
      for (int x = 0; x < p.w; ++x) {
        float r = std::hypot(x + 0.5f - c, y + 0.5f - c);
        uint8_t a = p.At(x, y)[3];
        if (r > radius + margin && a != 0) ++badOutside;
        if (r < radius - margin && a != 255) ++badInside;
      }
    }
    EXPECT_EQ(badOutside, 0) << rel;
    EXPECT_EQ(badInside, 0) << rel;
  }
  // The four looks differ.
  std::set<uint64_t> looks;
  for (int i = 1; i <= 4; ++i)
    looks.insert(Fingerprint(Load("Balls/ball" + std::to_string(i) + ".tga").rgba));
  EXPECT_EQ(looks.size(), 4u);
}

// The racket's top quad maps u = 1 to its flat side for both rackets, and spans the half
// disc's radius (u) by its diameter (v): the half disc is cut out with its flat side on
// the right edge and its crown touching the left edge at mid-height.
TEST(AssetPictures, RacketTopsAreHalfDiscsWithTheFlatSideAtURightEdge) {
  for (int i = 1; i <= 4; ++i) {
    const std::string rel = "Rackets/racket" + std::to_string(i) + ".tga";
    Picture p = Load(rel);
    ASSERT_GT(p.w, 0);
    int badOutside = 0, badInside = 0;
    const float px = 1.5f / p.w;  // a texel and a half, in units of the picture's width
    for (int y = 0; y < p.h; ++y) {
      for (int x = 0; x < p.w; ++x) {
        float u = (x + 0.5f) / p.w, v = (y + 0.5f) / p.h;
        float r = std::hypot((1 - u) * 0.5f, v - 0.5f) / 0.5f;  // 1 on the curved edge
        uint8_t a = p.At(x, y)[3];
        if (r > 1 + 2 * px && a != 0) ++badOutside;
        if (r < 1 - 2 * px && a != 255) ++badInside;
      }
    }
    EXPECT_EQ(badOutside, 0) << rel;
    EXPECT_EQ(badInside, 0) << rel;
    EXPECT_EQ(p.At(p.w - 1, p.h / 2)[3], 255) << rel << ": the flat side is solid";
    EXPECT_GT(p.At(1, p.h / 2)[3], 0) << rel << ": the crown reaches the left edge";
    EXPECT_EQ(p.At(0, 0)[3], 0) << rel << ": the corners beside the crown are cut away";
  }
}

TEST(AssetPictures, ShadowsAreSoftDarkAndFadeOut) {
  for (const char* rel : {"Balls/bshadow.tga", "Rackets/Rshadow.tga"}) {
    Picture p = Load(rel);
    ASSERT_GT(p.w, 0);
    int maxA = 0;
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
      EXPECT_LT(p.rgba[i] + p.rgba[i + 1] + p.rgba[i + 2], 3 * 40) << rel << ": shadows are dark";
      maxA = std::max<int>(maxA, p.rgba[i + 3]);
    }
    EXPECT_GT(maxA, 60) << rel;
    EXPECT_LT(maxA, 255) << rel << ": a shadow lets the table show through";
    EXPECT_EQ(p.At(0, 0)[3], 0) << rel;
  }
}

// Buttons are tinted by multiplying, and loaded with the grey (7, 7, 7) as colour key.
bool IsGround(const uint8_t* px) { return px[3] == 0 || (px[0] == 7 && px[1] == 7 && px[2] == 7); }

TEST(AssetPictures, ButtonsAreLightOnAKeyedGround) {
  std::vector<std::string> files = ButtonFiles();
  for (const char* extra :
       {"Textures/lvl1.tga", "Textures/lvl2.tga", "Textures/lvl3.tga", "Textures/paused.tga"}) {
    files.push_back(extra);
  }
  for (const auto& rel : files) {
    Picture p = Load(rel);
    ASSERT_GT(p.w, 0) << rel;
    EXPECT_TRUE(IsGround(p.At(0, 0)) && IsGround(p.At(p.w - 1, p.h - 1))) << rel << ": corners are ground";
    double lum = 0;
    int opaque = 0, keyedByAccident = 0;
    for (int y = 0; y < p.h; ++y) {
      for (int x = 0; x < p.w; ++x) {
        const uint8_t* c = p.At(x, y);
        if (c[3] == 0) {
          EXPECT_TRUE(c[0] == 7 && c[1] == 7 && c[2] == 7) << rel << " ground at " << x << "," << y;
          continue;
        }
        if (c[0] == 7 && c[1] == 7 && c[2] == 7) ++keyedByAccident;
        if (c[3] == 255) lum += (0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]) / 255, ++opaque;
      }
    }
    EXPECT_EQ(keyedByAccident, 0) << rel;
    ASSERT_GT(opaque, p.w * p.h / 3) << rel << ": the plate fills the button";
    EXPECT_GT(lum / opaque, 0.6) << rel << ": light enough to take the tint";
    // The middle of the plate is solid.
    EXPECT_EQ(p.At(p.w / 2, p.h / 2)[3], 255) << rel;
  }
}

TEST(AssetPictures, KeyedScreenPicturesNeverUseTheKeyGreyForVisibleTexels) {
  for (const char* rel : {"Textures/back.tga", "Textures/logo.tga", "Textures/tlogo1.tga"}) {
    Picture p = Load(rel);
    int accidental = 0;
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
      if (p.rgba[i + 3] != 0 && p.rgba[i] == 7 && p.rgba[i + 1] == 7 && p.rgba[i + 2] == 7) ++accidental;
    }
    EXPECT_EQ(accidental, 0) << rel;
  }
  // The menu background is a full opaque picture; the studio picture leaves its corner
  // and the spot of the studio's name (written in red at 180, 450 of the screen, the
  // picture covering 160..667 x -40..509) dark and quiet.
  Picture back = Load("Textures/back.tga");
  for (size_t i = 3; i < back.rgba.size(); i += 4) ASSERT_EQ(back.rgba[i], 255);
  Picture logo = Load("Textures/logo.tga");
  ASSERT_EQ(logo.w, 320);
  for (int sy = 450; sy < 476; ++sy) {
    for (int sx = 180; sx < 300; ++sx) {
      int x = (sx - 160) * 320 / 507, y = (sy + 40) * 320 / 549;
      const uint8_t* c = logo.At(x, y);
      EXPECT_LT(c[3] * (c[0] + c[1] + c[2]) / 255, 3 * 60) << "name spot at " << sx << "," << sy;
    }
  }
}

TEST(AssetPictures, SurfaceShowsRedOnTheRightPlayersHalfAndBlueOnTheLeft) {
  // u runs from x = 4.5 (u = 0, the left player's half) to x = -4.5 (u = 1, the right's).
  Picture t = Load("tables/t1b.tga");
  ASSERT_GT(t.w, 0);
  auto count = [&](int x0, int x1, bool red) {
    int n = 0;
    for (int y = 0; y < t.h; ++y) {
      for (int x = x0; x < x1; ++x) {
        const uint8_t* c = t.At(x, y);
        if (red ? (c[0] > 180 && c[2] < 120) : (c[2] > 180 && c[0] < 120)) ++n;
      }
    }
    return n;
  };
  EXPECT_GT(count(t.w / 2 + 4, t.w, true), 1000);
  EXPECT_EQ(count(t.w / 2 + 4, t.w, false), 0);
  EXPECT_GT(count(0, t.w / 2 - 4, false), 1000);
  EXPECT_EQ(count(0, t.w / 2 - 4, true), 0);
  // The night look is the same surface, dimmed.
  Picture n = Load("tables/t1bn.tga");
  auto mean = [](const Picture& p) {
    double s = 0;
    for (size_t i = 0; i < p.rgba.size(); i += 4) s += p.rgba[i] + p.rgba[i + 1] + p.rgba[i + 2];
    return s / (p.rgba.size() / 4 * 3);
  };
  EXPECT_EQ(n.w, t.w);
  EXPECT_LT(mean(n), mean(t) * 0.5);
}

// ---------------------------------------------------------------------------------------
// Meshes, through Assimp as the game loads them, fitted by the game's rule.

struct Fitted {
  std::vector<aiVector3D> v;  // positions after fitting, in the file's vertex order
  aiVector3D lo, hi;
  int references = 0;  // distinct positions nearest to the central vertical axis before fitting
  std::vector<std::string> textures;
  bool normals = true, uvs = true;
};

// Scale the extents to `size` and move the vertex nearest the vertical axis through the
// middle of the bounding box (first of the lowest index on ties) to `dest`.
Fitted LoadAndFit(const std::string& rel, aiVector3D size, aiVector3D dest) {
  Fitted f;
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(Data(rel), aiProcess_ConvertToLeftHanded);
  if (!scene) {
    ADD_FAILURE() << rel << ": " << importer.GetErrorString();
    return f;
  }
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    f.normals = f.normals && mesh->HasNormals();
    f.uvs = f.uvs && mesh->HasTextureCoords(0);
    for (unsigned i = 0; i < mesh->mNumVertices; ++i) f.v.push_back(mesh->mVertices[i]);
  }
  for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
    aiString name;
    if (scene->mMaterials[m]->GetTexture(aiTextureType_DIFFUSE, 0, &name) == AI_SUCCESS)
      f.textures.push_back(name.C_Str());
  }
  if (f.v.empty()) return f;
  aiVector3D lo = f.v[0], hi = f.v[0];
  for (const auto& p : f.v) {
    lo = aiVector3D(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = aiVector3D(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
  }
  const double cx = (lo.x + hi.x) / 2.0, cz = (lo.z + hi.z) / 2.0;
  size_t ref = 0;
  double best = 1e30;
  for (size_t i = 0; i < f.v.size(); ++i) {
    double d = (f.v[i].x - cx) * (f.v[i].x - cx) + (f.v[i].z - cz) * (f.v[i].z - cz);
    if (d < best) best = d, ref = i;
  }
  std::set<std::tuple<float, float, float>> nearest;
  for (const auto& p : f.v) {
    double d = (p.x - cx) * (p.x - cx) + (p.z - cz) * (p.z - cz);
    if (d <= best + 1e-9) nearest.insert({p.x, p.y, p.z});
  }
  f.references = static_cast<int>(nearest.size());
  const double sx = size.x / (hi.x - lo.x), sy = size.y / (hi.y - lo.y), sz = size.z / (hi.z - lo.z);
  const aiVector3D r = f.v[ref];
  for (auto& p : f.v) {
    p = aiVector3D(static_cast<float>(p.x * sx + dest.x - r.x * sx),
                   static_cast<float>(p.y * sy + dest.y - r.y * sy),
                   static_cast<float>(p.z * sz + dest.z - r.z * sz));
  }
  f.lo = aiVector3D((lo.x - r.x) * sx + dest.x, (lo.y - r.y) * sy + dest.y, (lo.z - r.z) * sz + dest.z);
  f.hi = aiVector3D((hi.x - r.x) * sx + dest.x, (hi.y - r.y) * sy + dest.y, (hi.z - r.z) * sz + dest.z);
  return f;
}

// Points spread over every triangle, after fitting.
std::vector<aiVector3D> SurfacePoints(const std::string& rel, const Fitted& f) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(Data(rel), aiProcess_ConvertToLeftHanded);
  std::vector<aiVector3D> out;
  size_t base = 0;
  for (unsigned m = 0; scene && m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    for (unsigned k = 0; k < mesh->mNumFaces; ++k) {
      const aiFace& face = mesh->mFaces[k];
      if (face.mNumIndices != 3) continue;
      const aiVector3D a = f.v[base + face.mIndices[0]], b = f.v[base + face.mIndices[1]],
                       c = f.v[base + face.mIndices[2]];
      const int n = 8;
      for (int i = 0; i <= n; ++i) {
        for (int j = 0; i + j <= n; ++j)
          out.push_back(a + (b - a) * (float(i) / n) + (c - a) * (float(j) / n));
      }
    }
    base += mesh->mNumVertices;
  }
  return out;
}

TEST(AssetMeshes, TableBodyFitsUnderTheTableTop) {
  const Fitted f = LoadAndFit("tables/table.x", aiVector3D(11, 5.7f, 7), aiVector3D(0, -2, 0));
  ASSERT_FALSE(f.v.empty());
  EXPECT_TRUE(f.normals);
  EXPECT_TRUE(f.uvs);
  ASSERT_FALSE(f.textures.empty());
  for (const auto& t : f.textures) EXPECT_TRUE(fs::is_regular_file(Data("tables/" + t))) << t;
  // One position is nearest the axis, so any loader's vertex order fits it alike.
  EXPECT_EQ(f.references, 1);
  // Stands on the floor (y = -5) and nowhere pokes through the surface or the rim.
  EXPECT_NEAR(f.lo.y, -5, 0.02);
  int poking = 0;
  for (const auto& p : SurfacePoints("tables/table.x", f)) {
    if (std::fabs(p.x) < 5 && std::fabs(p.z) < 3.5f && p.y >= 0) ++poking;
    EXPECT_LE(p.y, 0.7f + 1e-3f);
  }
  EXPECT_EQ(poking, 0);
}

TEST(AssetMeshes, LampHangsAboveTheTableFromItsLowestPoint) {
  const Fitted f = LoadAndFit("lamp.x", aiVector3D(4, 4, 2), aiVector3D(0, 3.5f, 0));
  ASSERT_FALSE(f.v.empty());
  EXPECT_TRUE(f.normals);
  EXPECT_TRUE(f.uvs);
  EXPECT_EQ(f.references, 1);
  // The reference vertex is its lowest point: the lamp spans y 3.5 .. 7.5, clear of
  // the table top (0.7) and the rackets, and stays over the table.
  EXPECT_NEAR(f.lo.y, 3.5, 1e-3);
  EXPECT_NEAR(f.hi.y, 7.5, 1e-3);
  EXPECT_NEAR(f.lo.x, -2, 1e-3);
  EXPECT_NEAR(f.hi.z, 1, 1e-3);
  for (const auto& t : f.textures) EXPECT_TRUE(fs::is_regular_file(Data(t))) << t << " beside the executable";
}

// ---------------------------------------------------------------------------------------
// Sounds

struct Wav {
  int channels = 0, rate = 0, bits = 0, format = 0;
  std::vector<int16_t> samples;
};

Wav ReadWav(const std::string& rel) {
  Wav w;
  std::vector<char> b = Bytes(Data(rel));
  auto u32 = [&](size_t o) {
    return uint32_t(uint8_t(b[o])) | uint32_t(uint8_t(b[o + 1])) << 8 | uint32_t(uint8_t(b[o + 2])) << 16 |
           uint32_t(uint8_t(b[o + 3])) << 24;
  };
  auto u16 = [&](size_t o) { return uint16_t(uint8_t(b[o]) | uint8_t(b[o + 1]) << 8); };
  if (b.size() < 12 || std::string(b.data(), 4) != "RIFF" || std::string(b.data() + 8, 4) != "WAVE") {
    ADD_FAILURE() << rel << " is not RIFF WAVE";
    return w;
  }
  EXPECT_EQ(u32(4) + 8, b.size()) << rel << ": RIFF size";
  for (size_t o = 12; o + 8 <= b.size();) {
    std::string id(b.data() + o, 4);
    uint32_t len = u32(o + 4);
    if (id == "fmt ") {
      w.format = u16(o + 8), w.channels = u16(o + 10), w.rate = static_cast<int>(u32(o + 12)),
      w.bits = u16(o + 22);
    } else if (id == "data") {
      EXPECT_LE(o + 8 + len, b.size()) << rel;
      w.samples.resize(len / 2);
      std::memcpy(w.samples.data(), b.data() + o + 8, w.samples.size() * 2);  // little-endian host
    }
    o += 8 + len + (len & 1);
  }
  return w;
}

std::vector<std::string> Music() {
  std::vector<std::string> m = {"Sounds/menu.wav"};
  for (int i = 1; i <= 8; ++i) m.push_back("Sounds/bck" + std::to_string(i) + ".wav");
  return m;
}

TEST(AssetSounds, AllAre16BitPcmThatSdlLoads) {
  for (const auto& rel : AllFiles()) {
    if (rel.find(".wav") == std::string::npos) continue;
    Wav w = ReadWav(rel);
    EXPECT_EQ(w.format, 1) << rel;
    EXPECT_EQ(w.bits, 16) << rel;
    EXPECT_TRUE(w.channels == 1 || w.channels == 2) << rel;
    EXPECT_TRUE(w.rate == 44100 || w.rate == 22050) << rel;
    SDL_AudioSpec audio;
    Uint8* buf = nullptr;
    Uint32 len = 0;
    ASSERT_NE(SDL_LoadWAV(Data(rel).c_str(), &audio, &buf, &len), nullptr) << rel << ": " << SDL_GetError();
    EXPECT_EQ(audio.format, AUDIO_S16LSB) << rel;
    EXPECT_EQ(len, w.samples.size() * 2) << rel;
    SDL_FreeWAV(buf);
  }
}

TEST(AssetSounds, NothingClipsAndNothingIsSilent) {
  for (const auto& rel : AllFiles()) {
    if (rel.find(".wav") == std::string::npos) continue;
    Wav w = ReadWav(rel);
    ASSERT_FALSE(w.samples.empty()) << rel;
    int peak = 0, railed = 0;
    for (int16_t s : w.samples) {
      peak = std::max(peak, std::abs(static_cast<int>(s)));
      if (s >= 32767 || s <= -32767) ++railed;
    }
    EXPECT_EQ(railed, 0) << rel;
    EXPECT_LT(peak, 32000) << rel << ": headroom below full scale";
    EXPECT_GT(peak, 12000) << rel << ": loud enough to hear";
  }
}

TEST(AssetSounds, EffectsAreShortAndEndInSilence) {
  for (const char* rel : {"Sounds/tcoll.wav", "Sounds/rcoll.wav", "Sounds/spring.wav", "Sounds/pocket.wav",
                          "Sounds/goal.wav"}) {
    Wav w = ReadWav(rel);
    ASSERT_GT(w.rate, 0);
    double seconds = static_cast<double>(w.samples.size()) / w.channels / w.rate;
    EXPECT_LT(seconds, std::string(rel) == "Sounds/goal.wav" ? 4.0 : 1.0) << rel;
    EXPECT_LT(std::abs(w.samples.back()), 200) << rel << " ends with a click";
    EXPECT_LT(std::abs(w.samples.front()), 2000) << rel << " starts with a click";
  }
}

// A track loops without a click when the jump from its last sample back to its first is
// no bigger than the steps the music itself takes from sample to sample.
TEST(AssetSounds, MusicLoopsSeamlesslyWithinItsLength) {
  std::set<uint64_t> distinct;
  for (const auto& rel : Music()) {
    Wav w = ReadWav(rel);
    ASSERT_GT(w.rate, 0);
    const int ch = w.channels;
    const size_t frames = w.samples.size() / ch;
    double seconds = static_cast<double>(frames) / w.rate;
    if (rel != "Sounds/menu.wav") {
      EXPECT_GE(seconds, 30) << rel;
      EXPECT_LE(seconds, 60) << rel;
    } else {
      EXPECT_GE(seconds, 15) << rel;
    }
    for (int c = 0; c < ch; ++c) {
      auto sample = [&](size_t i) { return static_cast<int>(w.samples[i * ch + c]); };
      std::vector<int> steps;
      for (size_t i = 1; i < frames; ++i) steps.push_back(std::abs(sample(i) - sample(i - 1)));
      auto at = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() * 99 / 100);
      std::nth_element(steps.begin(), at, steps.end());
      const int typical = *at;
      int local = 0;  // the steps just before and after the loop point
      for (size_t i = 1; i < 32; ++i) {
        local = std::max({local, std::abs(sample(i) - sample(i - 1)),
                          std::abs(sample(frames - i) - sample(frames - i - 1))});
      }
      const int seam = std::abs(sample(0) - sample(frames - 1));
      EXPECT_LE(seam, typical) << rel << ": seam jump " << seam << ", 99% of steps are within " << typical;
      EXPECT_LE(seam, 2 * local + 100)
          << rel << ": seam jump " << seam << " against neighbouring steps of " << local;
    }
    // Not silent near the loop point: the music plays through it.
    int nearEnd = 0;
    for (size_t i = w.samples.size() - w.rate / 10; i < w.samples.size(); ++i)
      nearEnd = std::max(nearEnd, std::abs(static_cast<int>(w.samples[i])));
    EXPECT_GT(nearEnd, 1000) << rel;
    distinct.insert(Fingerprint(w.samples));
  }
  EXPECT_EQ(distinct.size(), Music().size()) << "every track is its own";
}

// ---------------------------------------------------------------------------------------
// The generator

TEST(AssetGenerator, WritesTheSameBytesOnEveryRunAsTheBuildHas) {
  const fs::path tmp = fs::temp_directory_path() / ("vantor_assets_" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  const fs::path a = tmp / "a", b = tmp / "b";
  const std::string exe = VANTOR_ASSETGEN_EXE;
  ASSERT_EQ(std::system(("\"" + exe + "\" \"" + a.string() + "\" --contact-sheet \"" +
                         (tmp / "sheet.png").string() + "\" > /dev/null")
                            .c_str()),
            0);
  ASSERT_EQ(std::system(("\"" + exe + "\" \"" + b.string() + "\" > /dev/null").c_str()), 0);
  size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(a)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), a);
    ++files;
    const auto bytes = Bytes(e.path());
    EXPECT_EQ(bytes, Bytes(b / rel)) << rel << " differs between runs";
    EXPECT_EQ(bytes, Bytes(fs::path(kData) / rel)) << rel << " differs from the build's copy";
  }
  EXPECT_GE(files, AllFiles().size());
  SDL_Surface* sheet = IMG_Load((tmp / "sheet.png").c_str());
  ASSERT_NE(sheet, nullptr) << "contact sheet";
  EXPECT_GT(sheet->w, 800);
  SDL_FreeSurface(sheet);
  fs::remove_all(tmp);
}

}  // namespace
