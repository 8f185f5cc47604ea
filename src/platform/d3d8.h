// Direct3D 8 stand-in: the types, constants and device calls the game draws with.
// Two back ends implement Device: the OpenGL 2.1 fixed-function device (sdl/) and the
// recording device (testing/).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace plat {

using HRESULT = int32_t;
using DWORD = uint32_t;
using D3DCOLOR = uint32_t;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDDEVICE = static_cast<HRESULT>(0x8876086Bu);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// A data file that cannot be read or decoded. Names the file.
class LoadError : public std::runtime_error {
 public:
  LoadError(const std::string& path, const std::string& reason)
      : std::runtime_error(path + ": " + reason), path_(path) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct D3DVECTOR {
  float x, y, z;
};
struct D3DCOLORVALUE {
  float r, g, b, a;
};
// Row-vector convention, row-major: m[row][col], _41.._43 is the translation.
struct D3DMATRIX {
  float m[4][4];
};
struct D3DMATERIAL8 {
  D3DCOLORVALUE Diffuse, Ambient, Specular, Emissive;
  float Power;
};

enum D3DLIGHTTYPE : int32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

struct D3DLIGHT8 {
  int32_t Type;
  D3DCOLORVALUE Diffuse, Specular, Ambient;
  D3DVECTOR Position, Direction;
  float Range, Falloff, Attenuation0, Attenuation1, Attenuation2, Theta, Phi;
};

struct RECT {
  int32_t left, top, right, bottom;
};

// Render states (D3DRENDERSTATETYPE values of Direct3D 8).
enum D3DRENDERSTATETYPE : uint32_t {
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_SHADEMODE = 9,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_DITHERENABLE = 26,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_FOGENABLE = 28,
  D3DRS_SPECULARENABLE = 29,
  D3DRS_LIGHTING = 137,
  D3DRS_AMBIENT = 139,
  D3DRS_NORMALIZENORMALS = 143,
};
constexpr uint32_t kRenderStateCount = 256;

enum D3DBLEND : uint32_t {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
};
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : uint32_t {
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
};

enum D3DTRANSFORMSTATETYPE : uint32_t {
  D3DTS_VIEW = 2,
  D3DTS_PROJECTION = 3,
  D3DTS_WORLD = 256,
};

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_ADDRESSU = 13,
  D3DTSS_ADDRESSV = 14,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_MIPFILTER = 18,
};
enum D3DTEXTUREADDRESS : uint32_t {
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
};

enum D3DPRIMITIVETYPE : uint32_t {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_SPECULAR = 0x080;
constexpr DWORD D3DFVF_TEX1 = 0x100;
// The two vertex formats the game draws with.
constexpr DWORD kFvfVertex3D = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;  // 0x112
constexpr DWORD kFvfScreenVertex =
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;  // 0x1C4

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
constexpr DWORD D3DCLEAR_STENCIL = 0x4;

enum D3DFORMAT : uint32_t {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_D16 = 80,
};
constexpr DWORD D3DSWAPEFFECT_COPY_VSYNC = 4;
enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2 };
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 32;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 64;
constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000;
constexpr DWORD D3DPOOL_MANAGED = 1;
constexpr DWORD D3DXMESH_MANAGED = 544;

// The two vertex records of the game (32 bytes each).
struct Vertex3D {
  float x, y, z, nx, ny, nz, tu, tv;
};
struct ScreenVertex {
  float sx, sy, sz, rhw;
  D3DCOLOR color;
  D3DCOLOR specular;
  float tu, tv;
};
static_assert(sizeof(Vertex3D) == 32);
static_assert(sizeof(ScreenVertex) == 32);

struct D3DDISPLAYMODE {
  uint32_t Width, Height, RefreshRate;
  D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
  uint32_t BackBufferWidth = 0, BackBufferHeight = 0;
  D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
  uint32_t BackBufferCount = 0;
  uint32_t MultiSampleType = 0;
  DWORD SwapEffect = 0;
  uintptr_t hDeviceWindow = 0;
  bool Windowed = false;
  bool EnableAutoDepthStencil = false;
  D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
  DWORD Flags = 0, FullScreen_RefreshRateInHz = 0, FullScreen_PresentationInterval = 0;
};

struct D3DCAPS8 {
  D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
  DWORD DevCaps = 0;
  DWORD MaxActiveLights = 8;
};

// A texture made by the device from decoded pixels. Owned through shared_ptr
// (D3D's reference counting); the device never holds one past SetTexture's use.
class Texture {
 public:
  virtual ~Texture() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};
using TexturePtr = std::shared_ptr<Texture>;

// A device font (D3DX CreateFont). Text is drawn in back-buffer pixels.
struct FontDesc {
  std::string face;  // family name as the game asks for it ("Comic Sans MS")
  int points = 0;    // size in points; 96 dpi: 18 points are 24 pixels
  bool bold = false;
  bool operator==(const FontDesc&) const = default;
};
constexpr DWORD DT_LEFT = 0;
constexpr DWORD DT_TOP = 0;
constexpr DWORD DT_CENTER = 1;

class Font {
 public:
  virtual ~Font() = default;
  virtual const FontDesc& Desc() const = 0;
  // Draws `text` clipped to `rect`; format is DT_LEFT or DT_CENTER.
  virtual HRESULT DrawText(const char* text, const RECT& rect, DWORD format, D3DCOLOR color) = 0;
};
using FontPtr = std::shared_ptr<Font>;

// Pixels handed to CreateTexture: width × height texels, rows top-down, each
// texel 0xAARRGGBB (D3DFMT_A8R8G8B8).
struct Image {
  int width = 0, height = 0;
  const uint32_t* argb = nullptr;
};

class Device {
 public:
  virtual ~Device() = default;

  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT Reset(const D3DPRESENT_PARAMETERS& params) = 0;
  virtual HRESULT Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present() = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& m) = 0;
  virtual HRESULT SetTexture(DWORD stage, Texture* texture) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT SetVertexShader(DWORD fvf) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL8& material) = 0;
  virtual HRESULT SetLight(DWORD index, const D3DLIGHT8& light) = 0;
  virtual HRESULT LightEnable(DWORD index, bool enable) = 0;
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) = 0;
  // Used by meshes: 16- or 32-bit indices into `vertices`.
  virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t vertexCount, uint32_t primitiveCount,
                                         const uint32_t* indices, const void* vertices, uint32_t stride) = 0;

  // Resource creation behind D3DX.
  virtual TexturePtr CreateTexture(const Image& image, bool mipmaps) = 0;
  virtual FontPtr CreateFont(const FontDesc& desc) = 0;
};

}  // namespace plat
