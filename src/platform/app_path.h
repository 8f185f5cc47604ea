// The application folder: where the executable and its data folders live.
#pragma once

#include <string>
#include <string_view>

namespace plat {

void SetAppPath(std::string folder);
const std::string& AppPath();
// AppPath() followed by a game data path such as "\Textures\back.tga", made into a path
// of this file system (see NormalizePath).
std::string AppFile(std::string_view relative);

}  // namespace plat
