// The after-match screen: both names with their final scores, and Play again, Back and
// Exit along the bottom.
#include <charconv>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "screens/menu_common.h"

using screens::ScaleX;
using screens::ScaleY;

namespace {

constexpr plat::D3DCOLOR kWhite = plat::D3DColorXRGB(255, 255, 255);
// The font size taken as the width of one character, in screen pixels (not scaled).
constexpr double kCharWidth = 18;

void DrawScore(Form1& f, int16_t score, double x, double y) {
  char text[8];
  const auto end = std::to_chars(text, text + sizeof(text), score).ptr;
  f.mainText.Render(*f.D.D3Ddevice, std::string_view(text, static_cast<size_t>(end - text)),
                    static_cast<float>(x), static_cast<float>(y), kWhite, *f.D.d3dx, false);
}

// The frame's scene; the feedback frame is the same scene drawn at once, without a clear.
void DrawAfterScene(Form1& f) {
  plat::Device& dev = *f.D.D3Ddevice;
  plat::D3DX8& d3dx = *f.D.d3dx;
  const double n = screens::CharacterCount(f.RName), m = screens::CharacterCount(f.LName);
  const double right = ScaleX(f, 780), left = ScaleX(f, 20);
  dev.BeginScene();
  f.menuBackground.draw(dev);
  // The right name ends at about x = 780, the left one starts at 20; each score stands
  // under the middle of its name.
  f.mainText.Render(dev, f.RName, static_cast<float>(right - kCharWidth * n),
                    static_cast<float>(ScaleY(f, 140)), kWhite, d3dx, false);
  f.mainText.Render(dev, f.LName, static_cast<float>(left), static_cast<float>(ScaleY(f, 140)), kWhite, d3dx,
                    false);
  DrawScore(f, f.ball.RScore, right - kCharWidth * n / 2, ScaleY(f, 190));
  DrawScore(f, f.ball.LScore, kCharWidth * m / 2 + left, ScaleY(f, 190));
  f.playAgainButton.draw(dev);
  f.backButton.draw(dev);
  f.exitButton.draw(dev);
  dev.EndScene();
  dev.Present();
}

void ApplyAfterFocus(Form1& f) {
  if (f.bfindex < 1 || f.bfindex > 3) return;
  f.playAgainButton.E = f.bfindex == 1 ? 2 : 1;
  f.backButton.E = f.bfindex == 2 ? 2 : 1;
  f.exitButton.E = f.bfindex == 3 ? 2 : 1;
}

}  // namespace

void Form1::Frm_After_load() {
  bfindex = 1;
  screens::EnterMenuScreen(*this);
  playAgainButton.E = 2;
  playAgainButton.init(ScaleX(*this, 256), ScaleY(*this, 32), plat::AppFile("\\Textures\\play_again1.tga"),
                       plat::AppFile("\\play_again2.tga"), plat::AppFile("\\play_again3.tga"),
                       ScaleX(*this, 540), ScaleY(*this, 560), 164, 39, *D.D3Ddevice, *D.d3dx);
}

void Form1::Frm_After_render() {
  screens::ClearFrame(*this);
  if (screens::KeyPollDue(*this)) {
    Frm_After_checkkey();
    keyPollCounter = 0;
  }
  DrawAfterScene(*this);
}

void Form1::Frm_After_checkkey() {
  screens::ReadKeys(*this);
  if (screens::KeyStep(*this, plat::DIK_UP)) {
    if (bfindex != 1) bfindex = static_cast<int16_t>(bfindex - 1);
    ApplyAfterFocus(*this);
  }
  if (screens::KeyStep(*this, plat::DIK_DOWN)) {
    bfindex = static_cast<int16_t>(bfindex + 1);
    if (bfindex > 3) bfindex = 3;
    ApplyAfterFocus(*this);
  }
  if (!screens::KeyStep(*this, plat::DIK_RETURN)) return;
  switch (bfindex) {
    case 1:  // the same players, mode, level and art
      playAgainButton.E = 3;
      DrawAfterScene(*this);
      ball.LScore = 0;
      ball.RScore = 0;
      Game_Load();
      screenState = "";
      break;
    case 2:
      backButton.E = 3;
      DrawAfterScene(*this);
      RName.clear();
      leftNameEntry.clear();
      LName.clear();
      rightNameEntry.clear();
      frmSingle_Multi_load();
      screenState = "FRMSINGLE_MULTI";
      break;
    case 3:
      exitButton.E = 3;
      DrawAfterScene(*this);
      End(0);
    default:
      break;
  }
}
