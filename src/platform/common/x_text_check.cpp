#include "platform/common/x_text_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace plat {
namespace {

// Why and where the file is unfit, as the message says it.
struct Unfit {
  std::string message;
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

// A number written plainly: -12, 2000, 0.5, .5, 1., 1.5e-3. Nothing the reader's number parser
// reads differently or only in part (signs written +, inf, nan, 1.#IND00).
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

// The reader's number parser takes 1.#IND00, -1.#IND00 and 1.#QNAN0 whole, and steps one
// character past the first of them, whatever that character is (a brace, say).
bool OddNumber(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  return s.rfind("1.#", 0) == 0;
}

class Reader {
 public:
  // `file` is the whole file; the reader starts at `start`, after the header's line.
  Reader(std::string_view file, size_t start) : file_(file), start_(start), t_(file.substr(start)) {}

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
      } else if (name != "}") {  // a stray closing brace the reader passes over
        Skip(name);
      }
    }
  }

 private:
  // The line of the last token, the objects it stands in, and what is wrong there.
  [[noreturn]] void Fail(const char* what) const {
    const size_t at = std::min(start_ + at_, file_.size());
    const auto line = 1 + std::count(file_.begin(), file_.begin() + static_cast<ptrdiff_t>(at), '\n');
    std::string where;
    for (const std::string& o : objects_) where += (where.empty() ? "" : " > ") + o;
    throw Unfit{"line " + std::to_string(line) + (where.empty() ? "" : ", in " + where) + ": " + what};
  }

  static constexpr int kDeepestFrame = 128;

  // The object being read, named in messages: its type, and its name once read.
  class Inside {
   public:
    Inside(Reader& r, std::string_view type) : r_(r) { r_.objects_.emplace_back(type); }
    ~Inside() { r_.objects_.pop_back(); }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;

   private:
    Reader& r_;
  };

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
    at_ = p_;
    const size_t start = p_;
    if (p_ < t_.size() && Delimiter(t_[p_])) {
      ++p_;
    } else {
      while (p_ < t_.size() && !Space(t_[p_]) && !Delimiter(t_[p_])) ++p_;
    }
    return t_.substr(start, p_ - start);
  }

  void Expect(std::string_view want) {
    if (Token() != want) Fail("an object that does not close where it should");
  }

  void Separator() {
    const std::string_view s = Token();
    if (s != ";" && s != ",") Fail("a separator missing");
  }

  // The reader takes one more ; or , after a vector, a face and a few lists, if there is one.
  void MaybeSeparator() {
    SkipSpace();
    if (p_ < t_.size() && (t_[p_] == ';' || t_[p_] == ',')) ++p_;
  }

  // Digits only (the reader takes "-1" for four billion), then a separator; the value, held
  // at 10^10 at most.
  uint64_t Whole() {
    const std::string_view s = Token();
    if (!Digits(s)) Fail("a count or index that is not a plain number");
    Separator();
    uint64_t value = 0;
    for (const char c : s) value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), 10'000'000'000);
    return value;
  }

  // An index, or a number the reader keeps: one it reads as written (no more than nine digits).
  uint32_t Index() {
    const uint64_t value = Whole();
    if (value > 999'999'999) Fail("a count or index that is not a plain number");
    return static_cast<uint32_t>(value);
  }

  // A count the reader sizes an array by before it reads what it counts: no larger than the
  // file, where each thing counted takes a byte at least.
  uint32_t Count() {
    const uint64_t value = Whole();
    if (value > file_.size()) Fail("a count larger than the file");
    return static_cast<uint32_t>(value);
  }

  void Real() {
    const std::string_view s = Token();
    if (!PlainReal(s)) Fail("a number the X reader could misread");
    // The reader's number parser takes a comma right after the whole part, before a digit,
    // for a decimal point: "1,5" is 1.5 to it and two numbers here.
    const bool whole = s.find_first_of(".eE") == std::string_view::npos;
    if (whole && p_ + 1 < t_.size() && t_[p_] == ',' && Digit(t_[p_ + 1]))
      Fail("a number the X reader could misread");
    Separator();
  }

  void Vector(int n) {
    for (int i = 0; i < n; ++i) Real();
    MaybeSeparator();
  }

  // An object's head after its type: a name (any token) or nothing, then the brace.
  void Head() {
    const std::string_view s = Token();
    if (s == "{") return;
    objects_.back().append(" ").append(s);
    if (Token() != "{") Fail("an object without its opening brace");
  }

  // A string, read from quote to quote whatever it holds, then ; at once.
  void String() {
    SkipSpace();
    at_ = p_;
    if (p_ >= t_.size() || t_[p_] != '"') Fail("a name without its quotes");
    const size_t end = t_.find('"', p_ + 1);
    if (end == std::string_view::npos || end + 1 >= t_.size() || t_[end + 1] != ';')
      Fail("a name without its quotes");
    p_ = end + 2;
  }

  // An object the reader does not read, or reads and checks itself: skipped as it skips it,
  // up to the first opening brace, then to the brace that closes it.
  void Skip(std::string_view type) {
    Inside inside(*this, type);
    for (;;) {
      const std::string_view s = Token();
      if (s.empty()) Fail("an object that does not end");
      if (s == "{") break;
    }
    for (int depth = 1; depth > 0;) {
      const std::string_view s = Token();
      if (s.empty()) Fail("an object that does not end");
      if (OddNumber(s)) Fail("a number the X reader could misread");
      if (s == "{") ++depth;
      if (s == "}") --depth;
    }
  }

  // A template declares a type: its GUID, then its members up to the first closing brace.
  void Template() {
    Inside inside(*this, "template");
    Head();
    for (Token();;) {
      const std::string_view s = Token();
      if (s == "}") return;
      if (s.empty()) Fail("an object that does not end");
    }
  }

  void Frame(int depth) {
    Inside inside(*this, "Frame");
    if (depth >= kDeepestFrame) Fail("frames nested too deep");
    Head();
    for (;;) {
      const std::string_view name = Token();
      if (name.empty()) Fail("an object that does not end");
      if (name == "}") return;
      if (name == "Frame") {
        Frame(depth + 1);
      } else if (name == "FrameTransformMatrix") {
        Inside matrix(*this, name);
        Head();
        for (int i = 0; i < 16; ++i) Real();
        Expect(";");
        Expect("}");
      } else if (name == "Mesh") {
        Mesh();
      } else {
        Skip(name);
      }
    }
  }

  void Mesh() {
    Inside inside(*this, "Mesh");
    Head();
    const uint32_t vertices = Count();
    for (uint32_t v = 0; v < vertices; ++v) Vector(3);
    const uint32_t faces = Count();
    std::vector<uint32_t> corners;
    for (uint32_t f = 0; f < faces; ++f) {
      const uint32_t n = Count();
      if (n == 0) Fail("a face without corners");
      for (uint32_t i = 0; i < n; ++i)
        if (Index() >= vertices) Fail("a face names a vertex the mesh does not have");
      MaybeSeparator();
      corners.push_back(n);
    }
    bool list = false;
    for (;;) {
      const std::string_view name = Token();
      if (name.empty()) Fail("an object that does not end");
      if (name == "}") return;
      if (name == "MeshNormals") {
        Normals(corners);
      } else if (name == "MeshTextureCoords") {
        Inside coordinates(*this, name);
        Head();
        if (Count() != vertices) Fail("texture coordinates that do not fit the vertices");
        for (uint32_t v = 0; v < vertices; ++v) Vector(2);
        Expect("}");
      } else if (name == "MeshMaterialList") {
        if (list) Fail("a second material list in one mesh");
        list = true;
        MaterialList(faces);
      } else if (name == "SkinWeights") {
        SkinWeights(vertices);
      } else {
        Skip(name);
      }
    }
  }

  // The normals and, for each face of the mesh, as many normal indices as it has corners.
  void Normals(const std::vector<uint32_t>& corners) {
    Inside inside(*this, "MeshNormals");
    Head();
    const uint32_t normals = Count();
    for (uint32_t n = 0; n < normals; ++n) Vector(3);
    if (Count() != corners.size()) Fail("normals that do not fit the faces");
    for (const uint32_t n : corners) {
      if (Index() != n) Fail("normals that do not fit the faces");
      for (uint32_t i = 0; i < n; ++i)
        if (Index() >= normals) Fail("a face names a normal the mesh does not have");
      MaybeSeparator();
    }
    Expect("}");
  }

  // A material for each face (or one for them all), then at least one material: a reference
  // {Name} or a Material object; the reader skips anything else.
  void MaterialList(uint32_t faces) {
    Inside inside(*this, "MeshMaterialList");
    Head();
    Index();  // the number of materials, which the reader does not use
    const uint32_t indices = Count();
    if (faces == 0 || (indices != faces && indices != 1))
      Fail("a material list that does not fit the faces");
    for (uint32_t i = 0; i < indices; ++i) Index();
    if (p_ < t_.size() && t_[p_] == ';') ++p_;  // the reader's own step: no white space first
    int materials = 0;
    for (;;) {
      const std::string_view s = Token();
      if (s.empty()) Fail("an object that does not end");
      if (s == "}") break;
      if (s == ";") continue;
      if (s == "{") {
        Token();
        Expect("}");
        ++materials;
      } else if (s == "Material") {
        Material();
        ++materials;
      } else {
        Skip(s);
      }
    }
    if (materials == 0) Fail("a material list without a material");
  }

  // Colour (RGBA), power, specular and emissive colours (RGB), then texture file names.
  void Material() {
    Inside inside(*this, "Material");
    Head();
    Vector(4);
    Real();
    Vector(3);
    Vector(3);
    for (;;) {
      const std::string_view name = Token();
      if (name.empty()) Fail("an object that does not end");
      if (name == "}") return;
      if (name == "TextureFilename" || name == "TextureFileName" || name == "NormalmapFilename" ||
          name == "NormalmapFileName") {
        Inside file(*this, name);
        Head();
        String();
        Expect("}");
      } else {
        Skip(name);
      }
    }
  }

  // The frame's name, the vertices it weighs and their weights, and the offset matrix. The
  // importer writes each weight at its vertex index unchecked.
  void SkinWeights(uint32_t vertices) {
    Inside inside(*this, "SkinWeights");
    Head();
    String();
    const uint32_t weights = Count();
    for (uint32_t w = 0; w < weights; ++w)
      if (Index() >= vertices) Fail("a skin weight names a vertex the mesh does not have");
    for (uint32_t w = 0; w < weights; ++w) Real();
    for (int i = 0; i < 16; ++i) Real();
    Expect(";");
    Expect("}");
  }

  std::string_view file_;
  size_t start_;
  std::string_view t_;
  size_t p_ = 0;
  size_t at_ = 0;
  std::vector<std::string> objects_;
};

}  // namespace

std::optional<std::string> XTextFault(std::string_view file) {
  if (file.size() < 16) return "not an X file";
  // After the 16-byte header the reader skips the rest of its line.
  size_t start = 16;
  while (start < file.size() && file[start] != '\n' && file[start] != '\r') ++start;
  try {
    Reader(file, std::min(start + 1, file.size())).File();
  } catch (const Unfit& u) {
    return u.message;
  }
  return std::nullopt;
}

}  // namespace plat
