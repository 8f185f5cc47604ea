// The game's one window and start-up object. Form1 owns every object and all match and
// menu state; its operations are defined in the files of the subsystem they belong to:
// src/app (start-up, frame loop, timers), src/match (the match), src/screens (the menus).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gfx/cLights.h"
#include "gfx/cMesh.h"
#include "gfx/cText.h"
#include "gfx/cdirectx.h"
#include "gfx/squares.h"
#include "platform/controls.h"
#include "platform/d3dx8.h"
#include "platform/platform.h"
#include "screens/menu_keys.h"
#include "world/ball_host.h"
#include "world/cBall.h"
#include "world/cMadrab.h"
#include "world/cTable.h"

class NetPlay;

class Form1 {
 public:
  explicit Form1(plat::Platform& platform);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;
  ~Form1();

  plat::Platform& platform;

  // ---- Start-up, frame loop, timers ----------------------------------------------------
  cdirectx D;
  bool deviceReady = false;
  std::string screenState;
  int16_t FPS_Current = 0;
  int32_t frameCount = 0;
  int32_t lastTick = 0;
  double keyPollCounter = 0;
  double matchClock = 0;
  bool paused = false;
  cText mainText;
  // A match between two machines (app/netplay.h); none when playing alone.
  NetPlay* net = nullptr;
  // This machine only shows what another one runs: drawing changes nothing, timers stand still.
  bool viewOnly = false;

  plat::Timer Timer1{3000}, Timer2{2000}, Timer3{2000}, Timer4{5000}, Timer5{40}, Timer6{200};
  plat::TextBox Text1;

  // Runs the whole program: start-up, then the frame loop until the program ends
  // (plat::ProgramEnd is thrown by every way of ending it).
  void Form_Load();
  void Startup();  // Form_Load's steps before the frame loop
  void Pass();     // one pass of the frame loop
  // Step 1-3 of a pass: false (after yielding) while the device is lost.
  bool DeviceReady();
  void DoEvents();  // the yield: window events, typed characters, due timers
  [[noreturn]] void End(int code = 0);
  static plat::D3DCOLORVALUE MakeColor(int32_t A, int32_t R, int32_t G, int32_t B);

  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void Timer4_Timer();
  void Timer5_Timer();
  void Timer6_Timer();
  // Enabling a timer, as the window's controls do it (restart rules in plat::Timer).
  void EnableTimer(plat::Timer& t, bool on);
  uint32_t Now() { return platform.GetTickCount(); }

  // ---- Match ---------------------------------------------------------------------------
  cTable table;
  cBall ball;
  cMadrab rRacket, lRacket;
  cMesh lampMesh;
  cLights pointLight, spotLight;
  cTLSquare pausePicture;
  plat::D3DMATRIX worldMatrix{}, viewMatrix{}, projMatrix{};
  plat::SoundBufferPtr musicBuffer, tcollBuffer, rcollBuffer, pocketBuffer, springBuffer;
  int16_t fxCount = 0;
  int16_t musicTrack = 0;
  int16_t level = 0;
  bool onePlayer = false;
  std::string RName, LName;
  double rRacketIndex = 0, lRacketIndex = 0, ballIndex = 0;
  bool cam_inter = false;
  bool serveWait = false;
  double camEyeY = 0, camEyeZ = 0, camAtY = 0, camAtZ = 0;
  double lightFade = 0;
  bool escLatch = false;
  bool rBoostLatch = false, lBoostLatch = false;
  std::array<uint8_t, 256> keyState{};
  bool Checkcol = false, Checkcol1 = false, Coll_thisloop = false;
  bool mayMovePlusZ = false, mayMoveMinusZ = false, mayMoveMinusX = false, mayMovePlusX = false;

  void Game_Load();
  bool intialisegeometry();
  void Reset_var();
  void load_s(bool again);
  void play_s_fx(int16_t t);
  void Game_render();
  void Render();
  void Check_Keys();
  // Q in a match, and a network match whose other player is gone: back to the player count.
  void LeaveMatch();
  void Checkcoll();
  void DO_AI_beginner();
  void DO_AI_inter();
  static plat::D3DVECTOR MakeVector(float x, float y, float z) { return {x, y, z}; }
  // Ball-racket contact helpers: distance of two points given as (x1, y1), (x2, y2); the
  // arcsine in radians; the angle in degrees from a racket's curve centre (x, c) to the
  // ball's centre (0 when they coincide); a front hit by one racket.
  static double Getdistance(float x1, float x2, float y1, float y2);
  static double ArcSin(double x);
  static double StrikeAngle(double bx, double bz, double x, float c);
  bool FrontHit(cMadrab& racket, bool rightRacket);
  // The player's controller rumbles: short for his racket's hit, long for a point against him.
  void Shake(bool rightPlayer, bool goal);

  // ---- Menu screens --------------------------------------------------------------------
  cTLSquare logoImage, tlogoImage, menuBackground;
  int16_t bfindex = 0;
  bool modeChosen = false;
  screens::MenuKeys menuKeys;  // Up, Down and Return as the menus take them
  std::unique_ptr<cButton> singleButton, multiButton;
  cButton exitButton, backButton;
  int16_t nameTarget = 0;
  int16_t lvlChoice = 0;
  bool lvlFocus = false;
  bool clearEntry = false;
  std::string leftNameEntry, rightNameEntry;
  cButton player1Button, player2Button, playButton, lvl1Button, lvl2Button, lvl3Button;
  cButton playAgainButton;

  void frmlogo_prefetch();  // the logo's pictures read while the window opens
  void frmlogo_load();
  void frmlogo_render();
  void frmSingle_Multi_load();
  void frmSingle_Multi_render();
  void frmSingle_Multi_checkkey();
  void frmlvl_load();
  void frmlvl_render();
  void frmlvl_checkkey();
  void Text1_Change();
  // Told when Play starts a match from the level and names screen, its names set (the
  // program keeps them for its next start).
  std::function<void()> onNamesChosen;
  void Frm_After_load();
  void Frm_After_render();
  void Frm_After_checkkey();

 private:
  // The ball reaches the match through this; Form1's own Coll_thisloop is a variable.
  class BallHost : public cBallHost {
   public:
    explicit BallHost(Form1& f) : f_(f) {}
    bool Coll_thisloop() const override { return f_.Coll_thisloop; }
    void Checkcoll() override { f_.Checkcoll(); }
    void Reset_var() override { f_.Reset_var(); }
    void play_s_fx(int16_t t) override { f_.play_s_fx(t); }
    void EnableTimer4() override { f_.EnableTimer(f_.Timer4, true); }
    void OnGoal(bool intoRightGoal) override { f_.Shake(intoRightGoal, true); }

   private:
    Form1& f_;
  };
  class Events : public plat::WindowEventSink {
   public:
    explicit Events(Form1& f) : f_(f) {}
    void OnTextInput(const char* utf8) override { f_.Text1.Type(utf8); }
    void OnBackspace() override { f_.Text1.Backspace(); }
    void OnCloseRequest() override { f_.closeRequested_ = true; }
    // Nobody loses a point to a cable: the match pauses as for a lost device.
    void OnControllerRemoved() override {
      if (f_.screenState.empty()) f_.paused = true;
    }

   private:
    Form1& f_;
  };

 public:
  BallHost ballHost{*this};

 private:
  Events events_{*this};
  bool closeRequested_ = false;
  bool textInputOn_ = false;
};
