// The suite makes the same textures on hundreds of devices, one or more a test: the decoded
// pictures are kept for the whole run, which makes it several times faster under the
// sanitizers. The game drops them once uploaded.
#include "platform/d3dx8.h"

namespace {

const bool kPicturesKept = (plat::KeepDecodedPictures(true), true);

}  // namespace
