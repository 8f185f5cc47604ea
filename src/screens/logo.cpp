// The logo screen: two still pictures of about two seconds each, the first with the maker's
// line, then the player-count screen. The timer chain Timer2 → Timer3 → Timer5 paces it.
#include "app/Form1.h"
#include "platform/app_path.h"
#include "screens/menu_common.h"

using screens::ScaleX;
using screens::ScaleY;

namespace {
constexpr const char* kLogo = "\\Textures\\logo.tga";
constexpr const char* kLogoSecond = "\\Textures\\tlogo1.tga";
}  // namespace

void Form1::frmlogo_prefetch() {
  plat::PrefetchPicture(plat::AppFile(kLogo));
  plat::PrefetchPicture(plat::AppFile(kLogoSecond));
}

void Form1::frmlogo_load() {
  plat::Device& dev = *D.D3Ddevice;
  plat::D3DX8& d3dx = *D.d3dx;
  // The first picture starts 40 above the screen's top edge: its upper part is cut off.
  logoImage.init(ScaleX(*this, 507), ScaleY(*this, 549), ScaleX(*this, 160), ScaleY(*this, -40),
                 plat::AppFile(kLogo), 320, 320, dev, d3dx);
  tlogoImage.init(ScaleX(*this, 560), ScaleY(*this, 375), ScaleX(*this, 100), ScaleY(*this, 125),
                  plat::AppFile(kLogoSecond), 333, 287, dev, d3dx);
  mainText.init("Lucida Blackletter", 18, false, dev, d3dx);
  EnableTimer(Timer2, true);
}

void Form1::frmlogo_render() {
  plat::Device& dev = *D.D3Ddevice;
  if (Timer2.Enabled()) {
    screens::ClearFrame(*this);
    dev.BeginScene();
    logoImage.draw(dev);
    mainText.Render(dev, "Orvessa", static_cast<float>(ScaleX(*this, 180)),
                    static_cast<float>(ScaleY(*this, 450)), plat::D3DColorXRGB(255, 57, 57), *D.d3dx, false);
    dev.EndScene();
    dev.Present();
  } else if (Timer3.Enabled()) {
    screens::ClearFrame(*this);
    dev.BeginScene();
    tlogoImage.draw(dev);
    EnableTimer(Timer3, true);  // already running: its interval goes on untouched
    dev.EndScene();
    dev.Present();
  }
  // Between Timer3 and Timer5 nothing is drawn: the last picture stays on the screen.
}
