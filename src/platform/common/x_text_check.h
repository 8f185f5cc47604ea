#pragma once
// A text X file read the way Assimp's X reader (5.2) reads it, before Assimp sees it.
//
// Assimp's reader is lenient: it skips what it does not know up to the matching brace, reads a
// number from wherever it stands, and takes a comma for a decimal point. Then it trusts what
// it read: it sizes arrays from counts before reading what they count, and indexes arrays with
// face, normal, material and skin-weight indices it never checks. Damaged files made it crash
// or ask for gigabytes, and guards against one damage at a time kept missing the next. This
// reader follows the same steps character by character (the same tokens, comments, separators,
// strings and skipped objects) and checks, in the objects Assimp reads, every count against the
// file and every index against what it indexes: the frames with their matrices, the meshes with
// their normals, texture coordinates, material lists and skin weights, the materials with their
// texture file names. What the game does not use (animation, vertex colours, templates,
// DeclData, exporters' own objects) Assimp skips or checks itself, and so is skipped here the
// way Assimp skips it. Numbers are taken only as written plainly, so that what Assimp reads is
// what was checked.

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// What makes the file unfit: "line N, in <object>: <reason>" (a phrase for the error
// message), or nothing when it is fit. `file` is the whole file, header included.
std::optional<std::string> XTextFault(std::string_view file);

}  // namespace plat
