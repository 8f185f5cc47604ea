#pragma once
// A text X file read the way Assimp's X reader (5.2) reads it, before Assimp sees it.
//
// Assimp's reader is lenient: it skips what it does not know up to the next brace, reads a
// number from wherever it stands, and takes a comma for a decimal point. Then it trusts what
// it read: face materials past the faces, face and normal indices past their arrays. Damaged
// files made it crash or ask for gigabytes, and guards against one damage at a time kept
// missing the next. This reader follows the same steps character by character (the same
// tokens, comments, separators and strings), but takes only what the game's meshes are made
// of, written plainly, and checks every count and index against what it counts: templates,
// frames with their matrices, meshes with normals, texture coordinates and one material list,
// materials with their texture file names. Anything else is refused, so what Assimp reads is
// what was checked.

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// What makes the file unfit (a phrase for the error message), or nothing when it is fit.
// `file` is the whole file, header included.
std::optional<std::string> XTextFault(std::string_view file);

}  // namespace plat
