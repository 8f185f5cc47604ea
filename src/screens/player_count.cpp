// The player-count screen: one player, two players or exit over the menu background, with
// the looping menu music. It also builds the background, Back and Exit that the later menu
// screens share.
#include <memory>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "screens/menu_common.h"

using screens::ScaleX;
using screens::ScaleY;

namespace {

// Buttons released by the choice are left out.
void DrawPlayerCountScene(Form1& f) {
  plat::Device& dev = *f.D.D3Ddevice;
  dev.BeginScene();
  f.menuBackground.draw(dev);
  if (f.singleButton) f.singleButton->draw(dev);
  if (f.multiButton) f.multiButton->draw(dev);
  f.exitButton.draw(dev);
  dev.EndScene();
  dev.Present();
}

void SetPlayerCountStates(Form1& f, int32_t single, int32_t multi, int32_t exit) {
  if (f.singleButton) f.singleButton->E = single;
  if (f.multiButton) f.multiButton->E = multi;
  f.exitButton.E = exit;
}

void ApplyPlayerCountFocus(Form1& f) {
  switch (f.bfindex) {
    case 1:
      SetPlayerCountStates(f, 2, 1, 1);
      break;
    case 2:
      SetPlayerCountStates(f, 1, 2, 1);
      break;
    case 3:
      SetPlayerCountStates(f, 1, 1, 2);
      break;
    default:
      break;
  }
}

}  // namespace

void Form1::frmSingle_Multi_load() {
  plat::Device& dev = *D.D3Ddevice;
  plat::D3DX8& d3dx = *D.d3dx;
  modeChosen = false;
  bfindex = 1;
  screens::EnterMenuScreen(*this);
  if (!singleButton) singleButton = std::make_unique<cButton>();
  if (!multiButton) multiButton = std::make_unique<cButton>();
  singleButton->E = 2;
  multiButton->E = 1;
  singleButton->init(ScaleX(*this, 262), ScaleY(*this, 44), plat::AppFile("\\Textures\\single1.tga"),
                     plat::AppFile("\\Textures\\single2.tga"), plat::AppFile("\\Textures\\single3.tga"),
                     ScaleX(*this, 269), ScaleY(*this, 250), 262, 44, dev, d3dx);
  multiButton->init(ScaleX(*this, 243), ScaleY(*this, 43), plat::AppFile("\\Textures\\multi1.tga"),
                    plat::AppFile("\\Textures\\multi2.tga"), plat::AppFile("\\Textures\\multi3.tga"),
                    ScaleX(*this, 278.5), ScaleY(*this, 300), 243, 43, dev, d3dx);
  menuBackground.init(ScaleX(*this, 800), ScaleY(*this, 600), ScaleX(*this, 0), ScaleY(*this, 0),
                      plat::AppFile("\\Textures\\back.tga"), 800, 600, dev, d3dx);
  backButton.E = 1;
  backButton.init(ScaleX(*this, 262), ScaleY(*this, 44), plat::AppFile("\\Textures\\back1.tga"),
                  plat::AppFile("\\Textures\\back2.tga"), plat::AppFile("\\Textures\\back3.tga"),
                  ScaleX(*this, 318), ScaleY(*this, 560), 164, 39, dev, d3dx);
  exitButton.E = 1;
  exitButton.init(ScaleX(*this, 243), ScaleY(*this, 43), plat::AppFile("\\Textures\\exit1.tga"),
                  plat::AppFile("\\Textures\\exit2.tga"), plat::AppFile("\\Textures\\exit3.tga"),
                  ScaleX(*this, 0), ScaleY(*this, 560), 164, 39, dev, d3dx);
  // Every visit restarts the music; the buffer held before is released, which silences it.
  musicBuffer = D.Ds->CreateSoundBufferFromFile(
      plat::AppFile("\\Sounds\\menu.wav"),
      plat::DSBCAPS_CTRLVOLUME | plat::DSBCAPS_CTRLPAN | plat::DSBCAPS_CTRLFREQUENCY);
  musicBuffer->Play(plat::DSBPLAY_LOOPING);
}

void Form1::frmSingle_Multi_render() {
  screens::ClearFrame(*this);
  if (screens::KeyPollDue(*this)) {
    frmSingle_Multi_checkkey();
    keyPollCounter = 0;
  }
  DrawPlayerCountScene(*this);
}

void Form1::frmSingle_Multi_checkkey() {
  screens::ReadKeys(*this);
  if (screens::KeyStep(*this, plat::DIK_RETURN) && !modeChosen) {
    modeChosen = true;
    switch (bfindex) {
      case 1:
        onePlayer = true;
        SetPlayerCountStates(*this, 3, 1, 1);
        break;
      case 2:
        onePlayer = false;
        SetPlayerCountStates(*this, 1, 3, 1);
        break;
      case 3:
        SetPlayerCountStates(*this, 1, 1, 3);
        break;
      default:
        break;
    }
    DrawPlayerCountScene(*this);  // the chosen button pressed, without a clear
    if (bfindex == 3) End(0);
    if (bfindex == 1 || bfindex == 2) {
      rRacketIndex = screens::PickArtNumber();
      lRacketIndex = screens::PickArtNumber();
      ballIndex = screens::PickArtNumber();
      singleButton->RESET();
      singleButton.reset();
      multiButton->RESET();
      multiButton.reset();
      frmlvl_load();
      screenState = "FRMLVL";
    }
  }
  // The same snapshot still moves the focus, also right after a choice (then only Exit's
  // state and the next screen's bfindex change).
  if (screens::KeyStep(*this, plat::DIK_UP)) {
    if (bfindex != 1) bfindex = static_cast<int16_t>(bfindex - 1);
    ApplyPlayerCountFocus(*this);
  }
  if (screens::KeyStep(*this, plat::DIK_DOWN)) {
    if (bfindex != 3) bfindex = static_cast<int16_t>(bfindex + 1);
    ApplyPlayerCountFocus(*this);
  }
}
