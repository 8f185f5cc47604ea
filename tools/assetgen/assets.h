// Everything the generator makes: pictures, meshes, sounds.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "image.h"

namespace assetgen {

// Pictures written so far, for the contact sheet (empty when none is asked for).
struct Album {
  struct Entry {
    std::string name;
    Image image;
    float aspect;  // width / height as the game draws it
  };
  bool keep = false;
  std::vector<Entry> pictures;
  void Add(const std::string& name, const Image& img, float aspect) {
    if (keep) pictures.push_back({name, img, aspect});
  }
};

// Writes `dir`/`name` (name relative, with '/' separators) and files it in the album;
// `aspect` is the shape the game draws it at (0: the picture's own).
void SavePicture(const std::string& dir, const std::string& name, const Image& img, Album* album,
                 float aspect = 0);

void MakeTablePictures(const std::string& dir, Album* album);   // tables/*.tga, lampshade.tga
void MakePuckPictures(const std::string& dir, Album* album);    // Balls/*.tga, Rackets/*.tga
void MakeScreenPictures(const std::string& dir, Album* album);  // Textures/*.tga
void MakeMeshes(const std::string& dir);                        // tables/table.x, lamp.x
void MakeSounds(const std::string& dir);                        // Sounds/*.wav

// A triangle of the scene preview: position, normal, texture pair per corner, and the
// material's look (texture file, 0..1 diffuse and emissive colours).
struct SceneTriangle {
  float v[3][8];
  std::string texture;
  std::array<float, 3> diffuse, emissive;
};
// The body and lamp meshes as written into `dir`.
void AppendMeshTriangles(const std::string& dir, std::vector<SceneTriangle>* out);

// One PNG with every picture of the album, each labelled with its file name.
void WriteContactSheet(const std::string& path, const Album& album);
// A picture of the match scene (table, body, room, lamp) from the match camera.
void WriteScenePreview(const std::string& path, const std::string& dataDir);

}  // namespace assetgen
