#include "platform/common/x_text_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace plat {
namespace {

struct Unfit {
  const char* what;
};

bool Space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Delimiter(char c) { return c == ';' || c == ',' || c == '{' || c == '}'; }

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (!Digit(c)) return false;
  return true;
}

// A number as the game's files write it: -12, 0.5, .5, 1., 1.5e-3. Nothing the reader's
// number parser reads differently or only in part (signs written +, inf, nan, 1.#IND00).
bool PlainReal(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && s[i] == '-') ++i;
  size_t digits = 0;
  while (i < s.size() && Digit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && Digit(s[i])) ++i, ++digits;
  }
  if (digits == 0 || digits > 40) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    const size_t start = i;
    while (i < s.size() && Digit(s[i])) ++i;
    if (i == start || i - start > 3) return false;
  }
  return i == s.size();
}

// An object's name: letters, digits and _ - . (no quotes, braces or separators).
bool PlainName(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.') return false;
  return true;
}

class Reader {
 public:
  explicit Reader(std::string_view body) : t_(body) {}

  void File() {
    for (;;) {
      const std::string_view name = Token();
      if (name.empty()) return;
      if (name == "template") {
        Template();
      } else if (name == "Frame") {
        Frame(0);
      } else if (name == "Mesh") {
        Mesh();
      } else if (name == "Material") {
        Material();
      } else {
        throw Unfit{"an object the game's meshes do not have"};
      }
    }
  }

 private:
  static constexpr int kDeepestFrame = 32;

  // White space, then # or // comments to the end of their line, as often as they come.
  void SkipSpace() {
    for (;;) {
      while (p_ < t_.size() && Space(t_[p_])) ++p_;
      if (p_ >= t_.size()) return;
      const bool comment = t_[p_] == '#' || (t_[p_] == '/' && p_ + 1 < t_.size() && t_[p_ + 1] == '/');
      if (!comment) return;
      while (p_ < t_.size() && t_[p_] != '\n' && t_[p_] != '\r') ++p_;
      if (p_ < t_.size()) ++p_;
    }
  }

  // ; , { } alone, otherwise a run of anything but white space and those four.
  std::string_view Token() {
    SkipSpace();
    const size_t start = p_;
    if (p_ < t_.size() && Delimiter(t_[p_])) {
      ++p_;
    } else {
      while (p_ < t_.size() && !Space(t_[p_]) && !Delimiter(t_[p_])) ++p_;
    }
    return t_.substr(start, p_ - start);
  }

  void Expect(std::string_view want) {
    if (Token() != want) throw Unfit{"an object that does not close where it should"};
  }

  void Separator() {
    const std::string_view s = Token();
    if (s != ";" && s != ",") throw Unfit{"a separator missing"};
  }

  // The reader takes one more ; or , after a vector, a face and a few lists, if there is one.
  void MaybeSeparator() {
    SkipSpace();
    if (p_ < t_.size() && (t_[p_] == ';' || t_[p_] == ',')) ++p_;
  }

  // A count or an index: digits only (the reader takes "-1" for four billion).
  uint32_t Count() {
    const std::string_view s = Token();
    if (!Digits(s) || s.size() > 9) throw Unfit{"a count or index that is not a plain number"};
    Separator();
    uint32_t value = 0;
    for (const char c : s) value = value * 10 + static_cast<uint32_t>(c - '0');
    return value;
  }

  void Real() {
    const std::string_view s = Token();
    if (!PlainReal(s)) throw Unfit{"a number the X reader could misread"};
    // The reader's number parser takes a comma right after the whole part, before a digit,
    // for a decimal point: "1,5" is 1.5 to it and two numbers here.
    const bool whole = s.find_first_of(".eE") == std::string_view::npos;
    if (whole && p_ + 1 < t_.size() && t_[p_] == ',' && Digit(t_[p_ + 1]))
      throw Unfit{"a number the X reader could misread"};
    Separator();
  }

  void Vector(int n) {
    for (int i = 0; i < n; ++i) Real();
    MaybeSeparator();
  }

  // An object's head after its type: a name or nothing, then the brace.
  void Head() {
    const std::string_view s = Token();
    if (s == "{") return;
    if (!PlainName(s) || Token() != "{") throw Unfit{"an object without its brace"};
  }

  // A template declares a type: its GUID, then its members up to the first closing brace.
  void Template() {
    Head();
    for (Token();;) {
      const std::string_view s = Token();
      if (s == "}") return;
      if (s.empty()) throw Unfit{"a template that does not end"};
    }
  }

  void Frame(int depth) {
    if (depth >= kDeepestFrame) throw Unfit{"frames nested too deep"};
    Head();
    for (;;) {
      const std::string_view name = Token();
      if (name == "}") return;
      if (name == "Frame") {
        Frame(depth + 1);
      } else if (name == "FrameTransformMatrix") {
        Head();
        for (int i = 0; i < 16; ++i) Real();
        Expect(";");
        Expect("}");
      } else if (name == "Mesh") {
        Mesh();
      } else {
        throw Unfit{"an object the game's meshes do not have"};
      }
    }
  }

  void Mesh() {
    Head();
    const uint32_t vertices = Count();
    for (uint32_t v = 0; v < vertices; ++v) Vector(3);
    const uint32_t faces = Count();
    std::vector<uint32_t> corners;
    for (uint32_t f = 0; f < faces; ++f) {
      const uint32_t n = Count();
      if (n < 3) throw Unfit{"a face of fewer than three corners"};
      for (uint32_t i = 0; i < n; ++i)
        if (Count() >= vertices) throw Unfit{"a face names a vertex the mesh does not have"};
      MaybeSeparator();
      corners.push_back(n);
    }
    bool normals = false, coordinates = false, list = false;
    for (;;) {
      const std::string_view name = Token();
      if (name == "}") return;
      if (name == "MeshNormals" && !normals) {
        normals = true;
        Normals(corners);
      } else if (name == "MeshTextureCoords" && !coordinates) {
        coordinates = true;
        Head();
        if (Count() != vertices) throw Unfit{"texture coordinates that do not fit the vertices"};
        for (uint32_t v = 0; v < vertices; ++v) Vector(2);
        Expect("}");
      } else if (name == "MeshMaterialList" && !list) {
        list = true;
        MaterialList(faces);
      } else {
        throw Unfit{"an object the game's meshes do not have"};
      }
    }
  }

  // The normals and, for each face of the mesh, as many normal indices as it has corners.
  void Normals(const std::vector<uint32_t>& corners) {
    Head();
    const uint32_t normals = Count();
    for (uint32_t n = 0; n < normals; ++n) Vector(3);
    if (Count() != corners.size()) throw Unfit{"normals that do not fit the faces"};
    for (const uint32_t n : corners) {
      if (Count() != n) throw Unfit{"normals that do not fit the faces"};
      for (uint32_t i = 0; i < n; ++i)
        if (Count() >= normals) throw Unfit{"a face names a normal the mesh does not have"};
      MaybeSeparator();
    }
    Expect("}");
  }

  // A material for each face (or one for them all), then at least one material: a reference
  // {Name} or a Material object.
  void MaterialList(uint32_t faces) {
    Head();
    Count();  // the number of materials, which the reader does not use
    const uint32_t indices = Count();
    if (faces == 0 || (indices != faces && indices != 1))
      throw Unfit{"a material list that does not fit the faces"};
    for (uint32_t i = 0; i < indices; ++i) Count();
    if (p_ < t_.size() && t_[p_] == ';') ++p_;  // the reader's own step: no white space first
    int materials = 0;
    for (;;) {
      const std::string_view s = Token();
      if (s == "}") break;
      if (s == ";") continue;
      if (s == "{") {
        if (!PlainName(Token())) throw Unfit{"a material list the X reader cannot take"};
        Expect("}");
      } else if (s == "Material") {
        Material();
      } else {
        throw Unfit{"a material list the X reader cannot take"};
      }
      ++materials;
    }
    if (materials == 0) throw Unfit{"a material list the X reader cannot take"};
  }

  // Colour (RGBA), power, specular and emissive colours (RGB), then texture file names.
  void Material() {
    Head();
    Vector(4);
    Real();
    Vector(3);
    Vector(3);
    for (;;) {
      const std::string_view name = Token();
      if (name == "}") return;
      if (name != "TextureFilename" && name != "TextureFileName")
        throw Unfit{"an object the game's meshes do not have"};
      Head();
      // A string, read from quote to quote whatever it holds, then ; at once.
      SkipSpace();
      if (p_ >= t_.size() || t_[p_] != '"') throw Unfit{"a texture file name without quotes"};
      const size_t end = t_.find('"', p_ + 1);
      if (end == std::string_view::npos || end + 1 >= t_.size() || t_[end + 1] != ';')
        throw Unfit{"a texture file name without quotes"};
      p_ = end + 2;
      Expect("}");
    }
  }

  std::string_view t_;
  size_t p_ = 0;
};

}  // namespace

std::optional<std::string> XTextFault(std::string_view file) {
  if (file.size() < 16) return "not an X file";
  // After the 16-byte header the reader skips the rest of its line.
  size_t start = 16;
  while (start < file.size() && file[start] != '\n' && file[start] != '\r') ++start;
  try {
    Reader(file.substr(std::min(start + 1, file.size()))).File();
  } catch (const Unfit& u) {
    return std::string(u.what);
  }
  return std::nullopt;
}

}  // namespace plat
