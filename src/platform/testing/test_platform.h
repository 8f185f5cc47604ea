// The headless test face of the platform: a recording device that keeps every call and
// the resulting state, a virtual millisecond clock that Present advances by one refresh,
// a scripted keyboard, controllers and typing, a silent sound device that records what
// was played, a fake display-mode list and a message box that records.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/d3dx8.h"
#include "platform/pads.h"
#include "platform/platform.h"

namespace plat::testing {

class TestPlatform;

class TestTexture : public Texture {
 public:
  TestTexture(const Image& image, bool mipmaps);
  int Width() const override { return width; }
  int Height() const override { return height; }
  uint32_t Texel(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }

  int width = 0, height = 0;
  bool mipmaps = false;
  std::vector<uint32_t> argb;
};

enum class Op {
  Reset,
  Clear,
  BeginScene,
  EndScene,
  Present,
  SetRenderState,
  SetTransform,
  SetTexture,
  SetTextureStageState,
  SetVertexShader,
  SetMaterial,
  SetLight,
  LightEnable,
  DrawPrimitiveUP,
  DrawIndexedPrimitiveUP,
  DrawText,
};

// One recorded device call. Which fields mean something depends on `op`:
// SetRenderState/SetTextureStageState: a = state, b = value (c = stage);
// SetTransform: a = type, matrix; SetTexture: a = stage, texture; SetVertexShader: a = fvf;
// SetMaterial: material; SetLight: a = index, light; LightEnable: a = index, b = enable;
// Draw*: a = primitive type, b = primitive count, c = stride, fvf, texture, vertices (bytes),
//        alphaBlend/zFunc/cull/lighting/specular at the time of the draw;
// DrawText: text, rect, b = format, color, font; Clear: a = flags, color.
struct Call {
  explicit Call(Op o) : op(o) {}
  Op op;
  uint32_t a = 0, b = 0, c = 0;
  D3DMATRIX matrix{};
  D3DMATERIAL8 material{};
  D3DLIGHT8 light{};
  const Texture* texture = nullptr;
  DWORD fvf = 0;
  std::vector<uint8_t> vertices;
  uint32_t vertexCount = 0;
  bool alphaBlend = false, lighting = false, specular = false;
  DWORD zFunc = 0, cull = 0;
  std::string text;
  RECT rect{};
  D3DCOLOR color = 0;
  FontDesc font;
};

struct DeviceState {
  std::array<DWORD, kRenderStateCount> renderState{};
  D3DMATRIX world{}, view{}, projection{};
  std::array<const Texture*, 8> texture{};
  std::map<std::pair<DWORD, DWORD>, DWORD> textureStage;
  DWORD fvf = 0;
  D3DMATERIAL8 material{};
  std::array<D3DLIGHT8, 8> light{};
  std::array<bool, 8> lightEnabled{};
  bool inScene = false;
};

class RecordingDevice : public Device {
 public:
  explicit RecordingDevice(TestPlatform* platform);

  HRESULT TestCooperativeLevel() override;
  HRESULT Reset(const D3DPRESENT_PARAMETERS& params) override;
  HRESULT Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& m) override;
  HRESULT SetTexture(DWORD stage, Texture* texture) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT SetVertexShader(DWORD fvf) override;
  HRESULT SetMaterial(const D3DMATERIAL8& material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT8& light) override;
  HRESULT LightEnable(DWORD index, bool enable) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                          uint32_t stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t vertexCount, uint32_t primitiveCount,
                                 const uint32_t* indices, const void* vertices, uint32_t stride) override;
  TexturePtr CreateTexture(const Image& image, bool mipmaps) override;
  FontPtr CreateFont(const FontDesc& desc) override;

  // Recording of calls can be switched off (state is always kept): long runs and
  // benchmarks then allocate nothing per frame.
  bool recording = true;
  std::vector<Call> calls;
  DeviceState state;
  D3DPRESENT_PARAMETERS params{};
  uint64_t presents = 0;
  uint64_t draws = 0;
  uint64_t texturesCreated = 0;
  uint64_t fontsCreated = 0;  // CreateFont calls
  uint64_t resets = 0;
  // Results TestCooperativeLevel returns, front first; D3D_OK once empty.
  std::deque<HRESULT> cooperativeLevels;

  void ClearCalls() { calls.clear(); }
  std::vector<const Call*> Find(Op op) const;
  std::vector<std::string> Texts() const;  // every DrawText string, in order

  // Called by the test font.
  void RecordText(const FontDesc& font, const char* text, const RECT& rect, DWORD format, D3DCOLOR color);

 private:
  void SetDefaults();
  std::vector<FontPtr> fonts_;
  void RecordDraw(Call&& call, const void* vertices, uint32_t vertexCount, uint32_t stride);
  TestPlatform* platform_;
};

// What the silent sound device saw.
struct SoundEvent {
  enum Kind { Create, Play, Stop, Volume } kind;
  std::string path;
  int32_t value = 0;  // Play: flags; Volume: hundredths of a dB
  uint32_t tick = 0;
};

// A rumble that reached a controller.
struct RumbleEvent {
  int pad = 0;
  float strength = 0;
  uint32_t ms = 0;
  uint32_t tick = 0;
};

class TestPlatform : public Platform {
 public:
  TestPlatform();
  ~TestPlatform() override;

  // Platform.
  void ShowWindow(const std::string& caption) override;
  uintptr_t WindowHandle() const override { return 1; }
  uint32_t GetTickCount() override { return now; }
  void PumpEvents(WindowEventSink& sink) override;
  void EnableTextInput(bool on) override { textInput = on; }
  void MessageBox(const std::string& text, const std::string& caption, DWORD flags) override;
  std::string AppFolder() const override { return appFolder; }
  std::vector<D3DDISPLAYMODE> EnumAdapterModes() override { return modes; }
  HRESULT GetDeviceCaps(D3DDEVTYPE type, D3DCAPS8* caps) override;
  std::unique_ptr<Device> CreateDevice(D3DDEVTYPE type, DWORD behaviour,
                                       const D3DPRESENT_PARAMETERS& params) override;
  std::unique_ptr<KeyboardDevice> CreateKeyboard() override;
  std::unique_ptr<SoundDevice> CreateSoundDevice() override;
  void SetPadLayout(const PadLayout& layout) override { padLayout = layout; }
  void Rumble(int pad, float strength, uint32_t ms) override;

  // Virtual clock. Present advances it by one refresh (1000 / refreshHz ms, with the
  // fraction carried), so a frame loop runs at refreshHz frames per virtual second.
  // Starts well past zero, as a machine's uptime does: the first measurement of the frame
  // loop then finds a whole second passed and no frames counted.
  uint32_t now = 1000000;
  double refreshHz = 60.0;
  double clockFraction = 0.0;
  void Advance(double ms);

  // Keyboard: keys[DIK_x] non-zero while held. As a real keyboard's events do, every
  // PumpEvents (and every read of the presses) notes the keys that went down since it last
  // looked, controllers' included, in `presses` until the keyboard's GetKeyPresses takes
  // them; a Release marks the key up at once, so that Release then Press between two
  // pumps is a press of its own.
  std::array<uint8_t, 256> keys{};
  std::array<uint8_t, 256> presses{};
  void Press(uint8_t dik) { keys[dik] = 0x80; }
  void Release(uint8_t dik) {
    keys[dik] = 0;
    seenHeld_[dik] = 0;
  }
  void HeldKeys(uint8_t* state) const;  // keys and controllers, as the keyboard reads them
  void NotePresses();
  // Game controllers: pads[i] is the one in slot i (0 the first plugged in), read through
  // the keyboard by padLayout. PullPad empties a slot and reports a controller pulled out
  // at the next PumpEvents.
  std::array<std::optional<PadState>, 4> pads;
  PadLayout padLayout{};
  bool padPulled = false;
  void PlugPad(int slot) { pads.at(static_cast<size_t>(slot)) = PadState{}; }
  void PullPad(int slot) {
    pads.at(static_cast<size_t>(slot)).reset();
    padPulled = true;
  }
  std::vector<RumbleEvent> rumbles;  // only those that reached a controller in its slot
  // Typing: each entry is delivered at the next PumpEvents ("\b" is Backspace).
  std::deque<std::string> typing;
  bool textInput = false;
  bool closeRequested = false;  // delivered as a close request at the next PumpEvents
  // Called at the start of every PumpEvents: the test's script of the run.
  std::function<void(TestPlatform&)> onPump;

  std::vector<D3DDISPLAYMODE> modes;
  HRESULT halCaps = D3D_OK;  // GetDeviceCaps result for the HAL device
  DWORD devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  std::string appFolder;
  std::string caption;
  bool windowShown = false;
  std::vector<std::pair<std::string, std::string>> messageBoxes;  // text, caption
  std::vector<SoundEvent> sounds;
  bool recordSounds = true;
  RecordingDevice* device = nullptr;  // the last device created
  D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
  DWORD deviceBehaviour = 0;

 private:
  std::array<uint8_t, 256> seenHeld_{};  // the held keys when presses were last noted
};

}  // namespace plat::testing
