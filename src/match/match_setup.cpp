// Starting a match: its objects, its sounds, the rackets' home positions and speeds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "app/Form1.h"
#include "platform/app_path.h"
#include "platform/vbrt.h"

using namespace plat;

namespace {

// Buffer flags of every match sound: frequency, pan and volume control.
constexpr DWORD kSoundCaps = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;


// A whole number as the art indices are converted: nearest, halves to even.
int16_t ToIndex(double v) { return static_cast<int16_t>(std::nearbyint(v)); }

SoundBufferPtr LoadSound(SoundDevice& ds, std::string_view file, int32_t volume) {
  SoundBufferPtr buffer = ds.CreateSoundBufferFromFile(AppFile(file), kSoundCaps);
  buffer->SetVolume(volume);
  return buffer;
}

void PlayOnce(const SoundBufferPtr& buffer) {
  if (buffer) buffer->Play(0);
}

}  // namespace

void Form1::Game_Load() {
  if (musicBuffer) musicBuffer->Stop();
  menuKeys.Forget();  // a key held when the menus come back counts as pressed there
  // A match always opens running and without the serve rule, whatever the last one left.
  paused = false;
  EnableTimer(Timer4, false);

  switch (level) {
    case 1:
      ball.bspeed = 8.0;
      break;
    case 2:
      ball.bspeed = 9.0;
      break;
    case 3:
      ball.bspeed = 10.0;
      break;
    default:
      break;
  }

  camEyeY = 1.5;
  camEyeZ = -4.0;
  camAtY = 1.85;
  camAtZ = -13.0;
  serveWait = true;
  cam_inter = true;

  // Track 1 covers r x 8 below 1.5, track 8 only from 7.5 (rounded, halves away from zero).
  musicTrack = static_cast<int16_t>((plat::Randomize(), std::round(plat::Rnd() * 8)));
  if (musicTrack == 0) musicTrack = 1;

  intialisegeometry();

  if (onePlayer) LName = "Computer";
  if (LName.empty()) LName = "PLAYER 1";
  if (RName.empty()) RName = "PLAYER 2";

  EnableTimer(Timer1, true);
  ball.Goal = true;
  ball.Translate_ball(-2.5, 0);
  lightFade = -0.2;
  ball.fMove(FPS_Current, ball.bAngle);
  Timer1.SetInterval(3000, Now());
  matchClock = 0;
  ball.Xdir = 0;
  ball.Zdir = 0;
  ball.LScore = 0;
  ball.RScore = 0;
}

bool Form1::intialisegeometry() {
  Device& device = *D.D3Ddevice;
  D3DX8& d3dx = *D.d3dx;
  try {
    mainText.init("Lucida Blackletter", 18, false, device, d3dx);
    table.init(device, d3dx);
    ball.init(ToIndex(ballIndex), device, d3dx);
    rRacket.rRight = true;
    rRacket.init(ToIndex(rRacketIndex), device, d3dx);
    lRacket.rRight = false;
    lRacket.init(ToIndex(lRacketIndex), device, d3dx);
    const double s = D.swidth / 800, u = D.sheight / 600;
    pausePicture.init(256 * s, 32 * u, 280.5 * s, 560 * u, AppFile("\\Textures\\paused.tga"), 164, 39, device,
                      d3dx);
    Reset_var();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantor: the match starts without all its pictures: %s\n", e.what());
    return false;
  }
  // A missing sound is not caught here: it ends the program.
  load_s(false);
  try {
    lampMesh.LoadMesh(AppFile("\\lamp.x"), AppFile("\\"), device, d3dx, "");
    lampMesh.ScaleToSize_AND_TranslateToPoint(4, 4, 2, 0, 3.5, 0, device, d3dx);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantor: the match starts without its lamp: %s\n", e.what());
    return false;
  }
  return true;
}

void Form1::Reset_var() {
  rRacket.rRight = true;
  if (level == 1) rRacket.rspeed = 7.0;
  if (level == 2 || level == 3) rRacket.rspeed = 8.5;
  rRacket.Translate_Racket(-4.0, 0.0);

  lRacket.rRight = false;
  if (onePlayer) {
    if (level == 1 || level == 2) lRacket.rspeed = 5.0;
    if (level == 3) lRacket.rspeed = 6.5;
  } else {
    if (level == 1) lRacket.rspeed = 7.0;
    if (level == 2 || level == 3) lRacket.rspeed = 8.5;
  }
  lRacket.Translate_Racket(4.0, 0.0);

  mayMovePlusZ = true;
  mayMoveMinusZ = true;
  mayMoveMinusX = true;
  mayMovePlusX = true;
}

void Form1::load_s(bool again) {
  SoundDevice& ds = *D.Ds;
  if (!again) {
    char track[32];
    std::snprintf(track, sizeof track, "\\Sounds\\bck%d.wav", musicTrack);
    musicBuffer = LoadSound(ds, track, -500);
  }
  tcollBuffer = LoadSound(ds, "\\Sounds\\tcoll.wav", -400);
  rcollBuffer = LoadSound(ds, "\\Sounds\\rcoll.wav", -400);
  pocketBuffer = LoadSound(ds, "\\Sounds\\pocket.wav", -500);
  springBuffer = LoadSound(ds, "\\Sounds\\spring.wav", -500);
  ball.load_sound(ds);
}

void Form1::play_s_fx(int16_t t) {
  switch (t) {
    case 4:
    case 2:
      PlayOnce(t == 4 ? tcollBuffer : rcollBuffer);
      fxCount = static_cast<int16_t>(fxCount + 1);
      if (fxCount == 20) {
        load_s(true);
        fxCount = 0;
      }
      break;
    case 1:
      PlayOnce(pocketBuffer);
      break;
    case 3:
      PlayOnce(springBuffer);
      break;
    default:
      break;
  }
}
