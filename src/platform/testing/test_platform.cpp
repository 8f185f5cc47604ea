#include "platform/testing/test_platform.h"

#include "platform/common/file_stamp.h"
#include "platform/common/wav_reader.h"

#include <SDL.h>

#include <cstring>
#include <map>

namespace plat::testing {

TestTexture::TestTexture(const Image& image, bool mip)
    : width(image.width), height(image.height), mipmaps(mip),
      argb(image.argb, image.argb + static_cast<size_t>(image.width) * image.height) {}

namespace {

class TestFont : public Font {
 public:
  TestFont(RecordingDevice* device, FontDesc desc) : device_(device), desc_(std::move(desc)) {}
  const FontDesc& Desc() const override { return desc_; }
  HRESULT DrawText(const char* text, const RECT& rect, DWORD format, D3DCOLOR color) override {
    device_->RecordText(desc_, text, rect, format, color);
    return D3D_OK;
  }

 private:
  RecordingDevice* device_;
  FontDesc desc_;
};

class ScriptedKeyboard : public KeyboardDevice {
 public:
  explicit ScriptedKeyboard(TestPlatform* platform) : platform_(platform) {}
  HRESULT SetCommonDataFormat(DWORD) override { return D3D_OK; }
  HRESULT Acquire() override { return D3D_OK; }
  HRESULT GetDeviceStateKeyboard(uint8_t* state) override {
    platform_->HeldKeys(state);
    return D3D_OK;
  }
  HRESULT GetKeyPresses(uint8_t* pressed) override {
    platform_->NotePresses();
    std::memcpy(pressed, platform_->presses.data(), 256);
    platform_->presses.fill(0);
    return D3D_OK;
  }

 private:
  TestPlatform* platform_;
};

// Length in milliseconds of a WAV file, read and checked as the real device reads and checks
// it (cached by path, size and modification time: a file rewritten with other bytes of the
// same length is read again).
uint32_t WavLengthMs(const std::string& path) {
  struct Known {
    FileStamp stamp;
    uint32_t ms = 0;
  };
  static std::map<std::string, Known> cache;
  const FileStamp stamp = StampOf(path);
  if (stamp.size < 0) throw LoadError(path, "file not found");
  auto it = cache.find(path);
  if (it != cache.end() && it->second.stamp == stamp) return it->second.ms;
  const uint32_t ms = WavReader::Open(path)->lengthMs();
  cache[path] = {stamp, ms};
  return ms;
}

class TestSoundBuffer : public SoundBuffer {
 public:
  TestSoundBuffer(TestPlatform* platform, std::string path, uint32_t lengthMs)
      : platform_(platform), path_(std::move(path)), lengthMs_(lengthMs) {}
  HRESULT Play(DWORD flags) override {
    if (!IsPlaying()) start_ = platform_->now;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    playing_ = true;
    Record(SoundEvent::Play, static_cast<int32_t>(flags));
    return D3D_OK;
  }
  HRESULT Stop() override {
    playing_ = false;
    Record(SoundEvent::Stop, 0);
    return D3D_OK;
  }
  HRESULT SetVolume(int32_t v) override {
    Record(SoundEvent::Volume, v);
    return D3D_OK;
  }
  bool IsPlaying() const override {
    return playing_ && (looping_ || platform_->now - start_ < lengthMs_);
  }

 private:
  void Record(SoundEvent::Kind kind, int32_t value) {
    if (platform_->recordSounds) platform_->sounds.push_back({kind, path_, value, platform_->now});
  }
  TestPlatform* platform_;
  std::string path_;
  uint32_t lengthMs_;
  uint32_t start_ = 0;
  bool playing_ = false, looping_ = false;
};

class TestSoundDevice : public SoundDevice {
 public:
  explicit TestSoundDevice(TestPlatform* platform) : platform_(platform) {}
  HRESULT SetCooperativeLevel(uintptr_t, DWORD) override { return D3D_OK; }
  SoundBufferPtr CreateSoundBufferFromFile(const std::string& path, DWORD) override {
    const uint32_t ms = WavLengthMs(path);
    if (platform_->recordSounds) platform_->sounds.push_back({SoundEvent::Create, path, 0, platform_->now});
    return std::make_unique<TestSoundBuffer>(platform_, path, ms);
  }

 private:
  TestPlatform* platform_;
};

}  // namespace

RecordingDevice::RecordingDevice(TestPlatform* platform) : platform_(platform) { SetDefaults(); }

// Direct3D 8's defaults: what a new or reset device starts with.
void RecordingDevice::SetDefaults() {
  state = DeviceState{};
  state.renderState[D3DRS_ZENABLE] = 1;
  state.renderState[D3DRS_CULLMODE] = D3DCULL_CCW;
  state.renderState[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  state.renderState[D3DRS_LIGHTING] = 1;
  state.renderState[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  state.renderState[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  state.renderState[D3DRS_ZWRITEENABLE] = 1;
}

HRESULT RecordingDevice::TestCooperativeLevel() {
  if (cooperativeLevels.empty()) return D3D_OK;
  const HRESULT r = cooperativeLevels.front();
  cooperativeLevels.pop_front();
  return r;
}

HRESULT RecordingDevice::Reset(const D3DPRESENT_PARAMETERS& p) {
  params = p;
  SetDefaults();
  ++resets;
  if (recording) calls.push_back(Call(Op::Reset));
  return D3D_OK;
}

HRESULT RecordingDevice::Clear(DWORD flags, D3DCOLOR color, float, DWORD) {
  if (recording) {
    Call c(Op::Clear);
    c.a = flags;
    c.color = color;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::BeginScene() {
  state.inScene = true;
  if (recording) calls.push_back(Call(Op::BeginScene));
  return D3D_OK;
}

HRESULT RecordingDevice::EndScene() {
  state.inScene = false;
  if (recording) calls.push_back(Call(Op::EndScene));
  return D3D_OK;
}

HRESULT RecordingDevice::Present() {
  ++presents;
  if (recording) calls.push_back(Call(Op::Present));
  platform_->Advance(1000.0 / platform_->refreshHz);
  return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE s, DWORD value) {
  if (s < kRenderStateCount) state.renderState[s] = value;
  if (recording) {
    Call c(Op::SetRenderState);
    c.a = s;
    c.b = value;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& m) {
  if (type == D3DTS_WORLD) state.world = m;
  if (type == D3DTS_VIEW) state.view = m;
  if (type == D3DTS_PROJECTION) state.projection = m;
  if (recording) {
    Call c(Op::SetTransform);
    c.a = type;
    c.matrix = m;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD stage, Texture* texture) {
  if (stage < state.texture.size()) state.texture[stage] = texture;
  if (recording) {
    Call c(Op::SetTexture);
    c.a = stage;
    c.texture = texture;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  state.textureStage[{stage, type}] = value;
  if (recording) {
    Call c(Op::SetTextureStageState);
    c.a = type;
    c.b = value;
    c.c = stage;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(DWORD fvf) {
  state.fvf = fvf;
  if (recording) {
    Call c(Op::SetVertexShader);
    c.a = fvf;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL8& material) {
  state.material = material;
  if (recording) {
    Call c(Op::SetMaterial);
    c.material = material;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8& light) {
  if (index < state.light.size()) state.light[index] = light;
  if (recording) {
    Call c(Op::SetLight);
    c.a = index;
    c.light = light;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

HRESULT RecordingDevice::LightEnable(DWORD index, bool enable) {
  if (index < state.lightEnabled.size()) state.lightEnabled[index] = enable;
  if (recording) {
    Call c(Op::LightEnable);
    c.a = index;
    c.b = enable ? 1 : 0;
    calls.push_back(std::move(c));
  }
  return D3D_OK;
}

static uint32_t VerticesFor(D3DPRIMITIVETYPE type, uint32_t primitives) {
  switch (type) {
    case D3DPT_TRIANGLELIST:
      return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return primitives + 2;
    case D3DPT_LINELIST:
      return primitives * 2;
    case D3DPT_LINESTRIP:
      return primitives + 1;
    default:
      return primitives;
  }
}

void RecordingDevice::RecordDraw(Call&& c, const void* vertices, uint32_t vertexCount, uint32_t stride) {
  ++draws;
  if (!recording) return;
  c.fvf = state.fvf;
  c.texture = state.texture[0];
  c.alphaBlend = state.renderState[D3DRS_ALPHABLENDENABLE] != 0;
  c.lighting = state.renderState[D3DRS_LIGHTING] != 0;
  c.specular = state.renderState[D3DRS_SPECULARENABLE] != 0;
  c.zFunc = state.renderState[D3DRS_ZFUNC];
  c.cull = state.renderState[D3DRS_CULLMODE];
  c.vertexCount = vertexCount;
  const auto* bytes = static_cast<const uint8_t*>(vertices);
  c.vertices.assign(bytes, bytes + static_cast<size_t>(vertexCount) * stride);
  calls.push_back(std::move(c));
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                                         uint32_t stride) {
  Call c(Op::DrawPrimitiveUP);
  c.a = type;
  c.b = primitiveCount;
  c.c = stride;
  RecordDraw(std::move(c), vertices, VerticesFor(type, primitiveCount), stride);
  return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t vertexCount,
                                                uint32_t primitiveCount, const uint32_t*, const void* vertices,
                                                uint32_t stride) {
  Call c(Op::DrawIndexedPrimitiveUP);
  c.a = type;
  c.b = primitiveCount;
  c.c = stride;
  RecordDraw(std::move(c), vertices, vertexCount, stride);
  return D3D_OK;
}

TexturePtr RecordingDevice::CreateTexture(const Image& image, bool mipmaps) {
  ++texturesCreated;
  return std::make_shared<TestTexture>(image, mipmaps);
}

FontPtr RecordingDevice::CreateFont(const FontDesc& desc) {
  ++fontsCreated;
  // Fonts are kept by description, as the real device keeps them: asking again for a
  // face, size and weight seen before makes nothing new.
  for (const auto& font : fonts_) {
    if (font->Desc() == desc) return font;
  }
  fonts_.push_back(std::make_shared<TestFont>(this, desc));
  return fonts_.back();
}

void RecordingDevice::RecordText(const FontDesc& font, const char* text, const RECT& rect, DWORD format,
                                 D3DCOLOR color) {
  if (!recording) return;
  Call c(Op::DrawText);
  c.text = text;
  c.rect = rect;
  c.b = format;
  c.color = color;
  c.font = font;
  calls.push_back(std::move(c));
}

std::vector<const Call*> RecordingDevice::Find(Op op) const {
  std::vector<const Call*> out;
  for (const auto& c : calls) {
    if (c.op == op) out.push_back(&c);
  }
  return out;
}

std::vector<std::string> RecordingDevice::Texts() const {
  std::vector<std::string> out;
  for (const auto& c : calls) {
    if (c.op == Op::DrawText) out.push_back(c.text);
  }
  return out;
}

TestPlatform::TestPlatform() {
  modes = {{640, 480, 60, D3DFMT_R5G6B5}, {800, 600, 60, D3DFMT_R5G6B5}, {1024, 768, 60, D3DFMT_X8R8G8B8}};
}

TestPlatform::~TestPlatform() = default;

void TestPlatform::ShowWindow(const std::string& c) {
  caption = c;
  windowShown = true;
}

void TestPlatform::HeldKeys(uint8_t* state) const {
  std::memcpy(state, keys.data(), 256);
  for (size_t slot = 0; slot < pads.size(); ++slot) {
    if (pads[slot]) PressPadKeys(*pads[slot], KeysOfSlot(padLayout, static_cast<int>(slot)), state);
  }
}

void TestPlatform::NotePresses() {
  std::array<uint8_t, 256> held{};
  HeldKeys(held.data());
  for (size_t i = 0; i < held.size(); ++i) {
    if (held[i] != 0 && seenHeld_[i] == 0) presses[i] = 0x80;
    seenHeld_[i] = held[i];
  }
}

void TestPlatform::PumpEvents(WindowEventSink& sink) {
  if (onPump) onPump(*this);
  NotePresses();
  while (!typing.empty()) {
    const std::string t = typing.front();
    typing.pop_front();
    if (t == "\b") {
      sink.OnBackspace();
    } else {
      sink.OnTextInput(t.c_str());
    }
  }
  if (padPulled) {
    padPulled = false;
    sink.OnControllerRemoved();
  }
  if (closeRequested) {
    closeRequested = false;
    sink.OnCloseRequest();
  }
}

void TestPlatform::MessageBox(const std::string& text, const std::string& c, DWORD) {
  messageBoxes.emplace_back(text, c);
}

HRESULT TestPlatform::GetDeviceCaps(D3DDEVTYPE type, D3DCAPS8* caps) {
  if (type == D3DDEVTYPE_HAL && halCaps != D3D_OK) return halCaps;
  caps->DeviceType = type;
  caps->DevCaps = devCaps;
  return D3D_OK;
}

std::unique_ptr<Device> TestPlatform::CreateDevice(D3DDEVTYPE type, DWORD behaviour,
                                                   const D3DPRESENT_PARAMETERS& params) {
  auto d = std::make_unique<RecordingDevice>(this);
  d->params = params;
  device = d.get();
  deviceType = type;
  deviceBehaviour = behaviour;
  return d;
}

std::unique_ptr<KeyboardDevice> TestPlatform::CreateKeyboard() { return std::make_unique<ScriptedKeyboard>(this); }

std::unique_ptr<SoundDevice> TestPlatform::CreateSoundDevice() { return std::make_unique<TestSoundDevice>(this); }

void TestPlatform::Rumble(int pad, float strength, uint32_t ms) {
  if (pad >= 0 && static_cast<size_t>(pad) < pads.size() && pads[static_cast<size_t>(pad)]) {
    rumbles.push_back({pad, strength, ms, now});
  }
}

void TestPlatform::Advance(double ms) {
  clockFraction += ms;
  const auto whole = static_cast<uint32_t>(clockFraction);
  now += whole;
  clockFraction -= whole;
}

}  // namespace plat::testing
