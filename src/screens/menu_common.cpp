#include "screens/menu_common.h"

#include <cmath>

#include "platform/vbrt.h"

namespace screens {

double PickArtNumber() {
  // Re-seeding stirs the time into the generator's state instead of starting it afresh, so
  // the three numbers picked within one hundredth of a second still differ from each other.
  plat::Randomize();
  const auto r = static_cast<float>(plat::Rnd());
  return std::round(r * 3.0f + 1.0f);
}

}  // namespace screens
