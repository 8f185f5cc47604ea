// One frame of a match: the computer's move, the drawing (camera intro, lights, table,
// shadows, rackets, ball, lamp, texts, pause banner), the end of the match, and the
// ball's move with racket contact. A steady frame allocates nothing.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "app/Form1.h"
#include "platform/vbrt.h"

using namespace plat;

namespace {

constexpr float kPi32 = 3.1415927f;  // the camera and light code's pi
constexpr D3DCOLOR kTextColour = D3DColorXRGB(255, 255, 255);

// Minutes and seconds of the clock text for `t` whole seconds of play.
void ClockParts(double t, int& minutes, int& seconds) {
  double rest;
  if (t < 60) {
    minutes = 0;
    rest = t;
  } else if (t < 120) {
    minutes = 1;
    rest = t - 60;
  } else if (t < 180) {
    minutes = 2;
    rest = t - 120;
  } else {
    minutes = 0;
    rest = 0;
  }
  seconds = static_cast<int16_t>(std::nearbyint(rest));
}


std::string_view Format(char* buf, size_t size, const char* format, int a, int b = 0) {
  const int n = std::snprintf(buf, size, format, a, b);
  return std::string_view(buf, n < 0 ? 0 : std::min(static_cast<size_t>(n), size - 1));
}

}  // namespace

void Form1::Game_render() {
  if (!paused && !cam_inter) {
    if (!(ball.Goal && ball.cposx <= 0)) {
      if (level == 1) {
        DO_AI_beginner();
      } else if (level == 2 || level == 3) {
        DO_AI_inter();
      }
    }
  }
  Render();
  // The match was left in this frame (its end, or Q): the ball stays as it was drawn.
  if (!screenState.empty()) return;
  Coll_thisloop = false;
  if (!ball.Goal && !paused) ball.fMove(FPS_Current, ball.bAngle);
  Checkcoll();
}

void Form1::Render() {
  Device& device = *D.D3Ddevice;
  D3DX8& d3dx = *D.d3dx;

  int minutes = 0, seconds = 0;
  ClockParts(matchClock, minutes, seconds);

  D3DMATERIAL8 matchMaterial{};
  matchMaterial.Diffuse = MakeColor(0, 100, 100, 100);
  matchMaterial.Ambient = MakeColor(0, 100, 100, 100);
  D3DXPLANE tablePlane{};
  const D3DXVECTOR3 p1 = MakeVector(4.5f, 0, -3), p2 = MakeVector(-4.5f, 0, -3), p3 = MakeVector(4.5f, 0, 3);
  D3DXPlaneFromPoints(&tablePlane, &p1, &p2, &p3);

  device.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  if (!cam_inter && !viewOnly) Check_Keys();

  device.SetRenderState(D3DRS_AMBIENT, D3DColorXRGB(2, 2, 2));
  device.SetRenderState(D3DRS_ZENABLE, 1);
  device.SetRenderState(D3DRS_LIGHTING, 1);

  // The camera: the intro flies in from behind the near long side, then the match view.
  const D3DXVECTOR3 up = MakeVector(0, 1, 0);
  if (cam_inter) {
    const D3DXVECTOR3 eye = MakeVector(0.39f, static_cast<float>(camEyeY), static_cast<float>(camEyeZ));
    const D3DXVECTOR3 at = MakeVector(0, static_cast<float>(camAtY), static_cast<float>(camAtZ));
    D3DXMatrixLookAtLH(&viewMatrix, &eye, &at, &up);
    if (!serveWait && !viewOnly) {
      camEyeY += 0.151785714285713;
      camEyeZ += 0.25;
      camAtY -= 0.0440476190476191;
      camAtZ += 0.232142857142858;
      if (camEyeZ == 10.0) cam_inter = false;
    }
  } else {
    const D3DXVECTOR3 eye = MakeVector(0, 10, 10);
    const D3DXVECTOR3 at = MakeVector(0, 0, 0);
    D3DXMatrixLookAtLH(&viewMatrix, &eye, &at, &up);
  }

  // The point light fades out during the fly-in; the spot light lights the play.
  const D3DXVECTOR3 lamp = MakeVector(0, 5, 0);
  pointLight.ind = 0;
  if (!serveWait && !viewOnly) lightFade -= 21.42857142857142;
  pointLight.setPointLight(lamp, 0, 255, 255, 255, 100.0, -lightFade, device);
  if (cam_inter) {
    pointLight.EN(true, device);
  } else {
    pointLight.EN(false, device);
    if (musicBuffer) musicBuffer->Play(DSBPLAY_LOOPING);
  }
  spotLight.ind = 1;
  spotLight.setSpotLight(lamp, 0, 255, 255, 255, 100.0, 9.0, device, MakeVector(0, -1, 0), 50 * (kPi32 / 180),
                         80 * (kPi32 / 180));
  if (cam_inter) {
    spotLight.EN(false, device);
  } else {
    spotLight.EN(true, device);
    pointLight.EN(false, device);
  }

  D3DXMatrixIdentity(&worldMatrix);
  device.SetTransform(D3DTS_WORLD, worldMatrix);
  device.SetTransform(D3DTS_VIEW, viewMatrix);
  D3DXMatrixPerspectiveFovLH(&projMatrix, kPi32 / 4, 1.0f, 0.1f, 500.0f);
  device.SetTransform(D3DTS_PROJECTION, projMatrix);

  device.BeginScene();
  table.RenderBottom(device, cam_inter);

  // Shadows, flattened onto the table from the lamp, drawn over the surface.
  const D3DXVECTOR4 shadowLight{0, 5, 0, 1};
  D3DXMATRIX shadow{}, shadowWorld{};
  D3DXMatrixShadow(&shadow, &shadowLight, &tablePlane);
  D3DXMatrixMultiply(&shadowWorld, &worldMatrix, &shadow);
  device.SetTransform(D3DTS_WORLD, shadowWorld);
  device.SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  device.SetMaterial(matchMaterial);
  rRacket.Render_Shadow(device);
  lRacket.Render_Shadow(device);
  ball.RenderShadow(device);
  device.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);

  D3DXMatrixIdentity(&worldMatrix);
  device.SetTransform(D3DTS_WORLD, worldMatrix);
  table.Render(device);
  rRacket.Render(device);
  lRacket.Render(device);
  ball.Render(device);
  lampMesh.drawmesh(device, matchMaterial, false);

  // Names and scores at the bottom corners, the clock at the top left.
  const double s = D.swidth / 800, u = D.sheight / 600;
  mainText.init("Lucida Blackletter", 18, false, device, d3dx);
  if (!cam_inter) {
    const int nR = plat::CharacterCount(RName), nL = plat::CharacterCount(LName);
    char number[16];
    mainText.Render(device, Format(number, sizeof number, "%d", ball.RScore),
                    static_cast<float>(790 * s - 9 * nR), static_cast<float>(550 * u), kTextColour, d3dx,
                    false);
    mainText.Render(device, Format(number, sizeof number, "%d", ball.LScore),
                    static_cast<float>(10 * s + 9 * nL), static_cast<float>(550 * u), kTextColour, d3dx,
                    false);
    mainText.Render(device, RName, static_cast<float>(790 * s - 18 * nR), static_cast<float>(500 * u),
                    kTextColour, d3dx, false);
    mainText.Render(device, LName, static_cast<float>(10 * s), static_cast<float>(500 * u), kTextColour, d3dx,
                    false);
  }
  mainText.init("Comic Sans MS", 18, false, device, d3dx);
  if (!cam_inter) {
    char clock[48];
    mainText.Render(device, Format(clock, sizeof clock, "Time : %d:%d / 3:00", minutes, seconds), 0,
                    static_cast<float>(50 * u), kTextColour, d3dx, false);
  }
  if (paused) pausePicture.draw(device);

  device.EndScene();
  device.Present();

  // The end of the match (on a machine that only shows it, the host says when).
  if (matchClock >= 180 && !viewOnly) {
    if (musicBuffer) musicBuffer->Stop();
    screenState = "FRM_AFTER";
    Frm_After_load();
    matchClock = 0;
    EnableTimer(Timer4, false);
  }
}
