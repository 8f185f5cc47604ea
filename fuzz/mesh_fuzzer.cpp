// Mesh loading as the game does it: an X file read by Assimp through LoadMeshFromX, brought to
// 32-byte vertices, its textures looked up (texture_stand_in.cpp), then measured, fitted into a
// box as the table and the lamp are, and drawn. The input is written to a file in a folder of
// its own, beside the textures the game's meshes name.
#include <SDL.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "gfx/cMesh.h"
#include "null_device.h"
#include "outcome.h"
#include "platform/d3dx8.h"

namespace {

namespace fs = std::filesystem;

std::string folder;

void WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::fprintf(stderr, "mesh fuzzer: cannot write %s\n", path.c_str());
    std::abort();
  }
}

// A 2 × 2 uncompressed 32-bit TGA.
void WriteTexture(const std::string& path) {
  uint8_t tga[18 + 16] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0x28};
  for (size_t i = 18; i < sizeof(tga); ++i) tga[i] = static_cast<uint8_t>(i * 37);
  WriteFile(path, tga, sizeof(tga));
}

void RemoveFolder() {
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SDL_SetMainReady();
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantor-mesh-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mesh fuzzer: mkdtemp");
    std::exit(1);
  }
  folder = pattern + "/";
  std::atexit(RemoveFolder);
  for (const char* name : {"skin.tga", "lampshade.tga", "side1.tga"}) WriteTexture(folder + name);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = folder + "mesh.x";
  WriteFile(file, data, size);
  fuzz::NullDevice device;
  plat::D3DX8 d3dx;
  cMesh mesh;
  // The lamp takes the texture its file names; the table is given one. Odd-sized inputs load
  // as the lamp does.
  const std::string textureName = size % 2 == 1 ? "" : "skin.tga";
  try {
    mesh.LoadMesh(file, folder, device, d3dx, textureName);
  } catch (const plat::LoadError& e) {
    // Only the part after the path: the folder's name changes from run to run.
    const std::string what = e.what();
    fuzz::Outcome(what.size() > e.path().size() ? what.substr(e.path().size()) : what);
    return 0;
  }
  const plat::ID3DXMesh& m = *mesh.Mesh;
  fuzz::Outcome("loaded", fuzz::Log2(m.GetNumVertices()) * 64 + fuzz::Log2(m.GetNumFaces()));
  fuzz::Outcome("subsets", m.subsets.size());
  for (const plat::D3DXATTRIBUTERANGE& r : m.subsets) {
    if (r.FaceCount == 0) continue;
    if (static_cast<uint64_t>(r.FaceStart) + r.FaceCount > m.GetNumFaces() ||
        static_cast<uint64_t>(r.VertexStart) + r.VertexCount > m.GetNumVertices()) {
      std::fprintf(stderr, "mesh fuzzer: subset outside the mesh\n");
      std::abort();
    }
  }
  plat::D3DMATERIAL8 custom{};
  mesh.drawmesh(device, custom, false);
  mesh.ScaleToSize_AND_TranslateToPoint(11, 5.7, 7, 0, -2, 0, device, d3dx);
  mesh.drawmesh(device, custom, true);
  fuzz::Outcome("fitted", static_cast<uint64_t>(mesh.ReferenceVertex() == 0));
  return 0;
}
