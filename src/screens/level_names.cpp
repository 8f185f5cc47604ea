// The level and names screen: two name rows fed by the text field Text1, the level
// selector, and Play, Back and Exit. Six items: 1 left name, 2 right name, 3 level,
// 4 Play, 5 Back, 6 Exit.
#include "app/Form1.h"
#include "platform/app_path.h"
#include "screens/menu_common.h"

using screens::ScaleX;
using screens::ScaleY;

namespace {

constexpr plat::D3DCOLOR kWhite = plat::D3DColorXRGB(255, 255, 255);
constexpr const char* kComputer = "Computer";

void DrawName(Form1& f, std::string_view text, double x, double y) {
  f.mainText.Render(*f.D.D3Ddevice, text, static_cast<float>(ScaleX(f, x)), static_cast<float>(ScaleY(f, y)),
                    kWhite, *f.D.d3dx, false);
}

void SetLevelStates(Form1& f, int32_t p1, int32_t p2, int32_t play, int32_t back, int32_t exit) {
  f.player1Button.E = p1;
  f.player2Button.E = p2;
  f.playButton.E = play;
  f.backButton.E = back;
  f.exitButton.E = exit;
}

// The focus state of the item bfindex, in its fixed order: buttons, lvlFocus, nameTarget,
// Text1 enabled, Text1 emptied, clearEntry. Emptying a non-empty Text1 runs its change
// handler at once.
void ApplyLevelFocus(Form1& f, bool byDown) {
  switch (f.bfindex) {
    case 1:
      SetLevelStates(f, 2, 1, 1, 1, 1);
      f.lvlFocus = false;
      f.nameTarget = 1;
      f.Text1.SetEnabled(true);
      // Text1 keeps what it holds: the next keystroke then starts the left name afresh.
      if (!f.rightNameEntry.empty()) f.clearEntry = true;
      break;
    case 2:
      SetLevelStates(f, 1, 2, 1, 1, 1);
      f.lvlFocus = false;
      f.nameTarget = 0;
      f.Text1.SetEnabled(true);
      f.Text1.SetText("");
      if (!f.leftNameEntry.empty()) f.clearEntry = true;
      break;
    case 3:
      SetLevelStates(f, 1, 1, 1, 1, 1);
      f.lvlFocus = true;
      f.nameTarget = 2;
      f.Text1.SetEnabled(false);
      if (byDown) f.Text1.SetText("");
      break;
    case 4:
    case 5:
    case 6:
      SetLevelStates(f, 1, 1, f.bfindex == 4 ? 2 : 1, f.bfindex == 5 ? 2 : 1, f.bfindex == 6 ? 2 : 1);
      f.lvlFocus = false;
      f.nameTarget = 2;
      f.Text1.SetEnabled(false);
      f.Text1.SetText("");
      break;
    default:
      break;
  }
}

// Drawn at once when Play, Back or Exit is chosen, without a clear: the chosen button
// pressed; no level selector, "Computer" or prompt.
void DrawLevelFeedback(Form1& f) {
  plat::Device& dev = *f.D.D3Ddevice;
  dev.BeginScene();
  f.menuBackground.draw(dev);
  f.player2Button.draw(dev);
  DrawName(f, f.rightNameEntry, 472, 140);
  f.playButton.draw(dev);
  if (!f.onePlayer) {
    f.player1Button.draw(dev);
    DrawName(f, f.leftNameEntry, 72, 140);
  }
  f.backButton.draw(dev);
  f.exitButton.draw(dev);
  dev.EndScene();
  dev.Present();
}

}  // namespace

void Form1::frmlvl_load() {
  plat::Device& dev = *D.D3Ddevice;
  plat::D3DX8& d3dx = *D.d3dx;
  Text1.SetVisible(true);
  Text1.SetEnabled(true);
  mainText.init("Comic Sans MS", 18, false, dev, d3dx);
  const double w = ScaleX(*this, 256), h = ScaleY(*this, 32), row = ScaleY(*this, 100);
  player1Button.E = 2;
  player1Button.init(w, h, plat::AppFile("\\Textures\\1player1.tga"),
                     plat::AppFile("\\Textures\\1player2.tga"), plat::AppFile("\\Textures\\1player3.tga"),
                     ScaleX(*this, 72), row, 164, 39, dev, d3dx);
  playButton.E = 1;
  playButton.init(w, h, plat::AppFile("\\Textures\\play1.tga"), plat::AppFile("\\Textures\\play2.tga"),
                  plat::AppFile("\\Textures\\play3.tga"), ScaleX(*this, 540), ScaleY(*this, 560), 164, 39,
                  dev, d3dx);
  player2Button.E = 1;
  player2Button.init(w, h, plat::AppFile("\\Textures\\2player1.tga"),
                     plat::AppFile("\\Textures\\2player2.tga"), plat::AppFile("\\Textures\\2player3.tga"),
                     ScaleX(*this, 472), row, 164, 39, dev, d3dx);
  lvlChoice = 1;
  const double lx = ScaleX(*this, 272), ly = ScaleY(*this, 350);
  const std::string lvl1 = plat::AppFile("\\Textures\\lvl1.tga");
  const std::string lvl2 = plat::AppFile("\\Textures\\lvl2.tga");
  const std::string lvl3 = plat::AppFile("\\Textures\\lvl3.tga");
  lvl1Button.E = 1;
  lvl1Button.init(w, h, lvl1, lvl2, lvl3, lx, ly, 320, 40, dev, d3dx);
  lvl2Button.init(w, h, lvl2, lvl2, lvl3, lx, ly, 320, 40, dev, d3dx);
  lvl3Button.init(w, h, lvl3, lvl2, lvl3, lx, ly, 320, 40, dev, d3dx);
  nameTarget = 1;
  bfindex = 1;
  screens::EnterMenuScreen(*this);
}

void Form1::frmlvl_render() {
  plat::Device& dev = *D.D3Ddevice;
  screens::ClearFrame(*this);
  if (screens::KeyPollDue(*this)) {
    frmlvl_checkkey();
    keyPollCounter = 0;
  }
  dev.BeginScene();
  menuBackground.draw(dev);
  player2Button.draw(dev);
  DrawName(*this, rightNameEntry, 472, 140);
  playButton.draw(dev);
  player1Button.draw(dev);
  if (onePlayer) {
    player1Button.E = 1;  // the computer's row shows as focused for one frame at most
    DrawName(*this, kComputer, 72, 140);
  } else {
    DrawName(*this, leftNameEntry, 72, 140);
  }
  cButton* selector = lvlChoice == 1   ? &lvl1Button
                      : lvlChoice == 2 ? &lvl2Button
                      : lvlChoice == 3 ? &lvl3Button
                                       : nullptr;
  if (selector != nullptr) {
    selector->E = lvlFocus ? 2 : 1;
    selector->draw(dev);
  }
  backButton.draw(dev);
  exitButton.draw(dev);
  if (bfindex == 1 || bfindex == 2) DrawName(*this, "Please,Type your Name", 0, 20);
  dev.EndScene();
  dev.Present();
}

void Form1::frmlvl_checkkey() {
  if (onePlayer) {
    leftNameEntry = kComputer;
    nameTarget = 0;  // typing always goes to the right name
  }
  screens::ReadKeys(*this);
  if (screens::KeyStep(*this, plat::DIK_UP)) {
    if (bfindex != 1) bfindex = static_cast<int16_t>(bfindex - 1);
    ApplyLevelFocus(*this, false);
  }
  if (onePlayer && bfindex == 1) {
    // Only the highlight moves to the right row: Text1 and clearEntry stay as they are.
    bfindex = 2;
    player2Button.E = 2;
  }
  if (screens::KeyStep(*this, plat::DIK_DOWN)) {
    bfindex = static_cast<int16_t>(bfindex + 1);
    if (bfindex > 6) bfindex = 6;
    ApplyLevelFocus(*this, true);
  }
  if (!screens::KeyStep(*this, plat::DIK_RETURN)) return;
  switch (bfindex) {
    case 3:  // a press steps the level once; held, it repeats as Up and Down do
      lvlChoice = static_cast<int16_t>(lvlChoice + 1);
      if (lvlChoice > 3) lvlChoice = 1;
      break;
    case 4:
      playButton.E = 3;
      DrawLevelFeedback(*this);
      level = lvlChoice;
      RName = rightNameEntry;
      LName = leftNameEntry;
      if (onNamesChosen) onNamesChosen();
      Game_Load();
      screenState = "";
      break;
    case 5:
      backButton.E = 3;
      DrawLevelFeedback(*this);
      rightNameEntry.clear();
      leftNameEntry.clear();
      frmSingle_Multi_load();
      screenState = "FRMSINGLE_MULTI";
      break;
    case 6:
      exitButton.E = 3;
      DrawLevelFeedback(*this);
      End(0);
    default:
      break;  // the name rows: Return does nothing
  }
}

void Form1::Text1_Change() {
  if (nameTarget != 1 && nameTarget != 0) return;
  if (clearEntry) {
    // Emptying the field runs this handler again, nested, with the same outcome: the
    // keystroke that caused this change is dropped.
    Text1.SetText("");
    clearEntry = false;
  }
  (nameTarget == 1 ? leftNameEntry : rightNameEntry) = Text1.Text();
}
