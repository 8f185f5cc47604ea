// The Direct3D 8 device on OpenGL 2.1 fixed function, drawing into an SDL window.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d8.h"
#include "platform/sdl/frame_pacer.h"
#include "platform/sdl/gl_translate.h"
#include "platform/sdl/multisample.h"
#include "platform/sdl/text_cache.h"

namespace plat::sdl {

// What the window system tells the device: a minimised or (full screen) unfocused window
// loses the device; it stays "not reset" until Reset once the window is back. A window
// that is not full screen keeps its device when another window has the focus.
struct WindowState {
  SDL_Window* window = nullptr;
  bool minimised = false;
  bool focusLost = false;
  bool lostSinceReset = false;
  bool fullscreen = true;
  // The drawable's size as the window system has it (0: ask SDL).
  int drawableWidth = 0, drawableHeight = 0;
  // Return pressed with Alt toggles full screen: hidden from the keyboard state until let go.
  bool hideReturn = false;

  bool lost() const { return minimised || (focusLost && fullscreen); }
  void update(bool isMinimised, bool isFocusLost) {
    minimised = isMinimised;
    focusLost = isFocusLost;
    if (lost()) lostSinceReset = true;
  }
};

// Counters of the text path, for tests and measurements.
struct TextStats {
  uint64_t fontsCreated = 0;     // CreateFont calls
  uint64_t fontLookups = 0;      // fontconfig lookups
  uint64_t fontFilesOpened = 0;  // TTF_OpenFont calls
  uint64_t stringsRasterised = 0;
  uint64_t stringsReused = 0;
};
TextStats& textStats();

class GlDevice;

// Outlives the device for the resources handed out: textures and fonts check it before
// they touch OpenGL.
struct DeviceLink {
  GlDevice* device = nullptr;
};

class GlTexture : public Texture {
 public:
  GlTexture(std::shared_ptr<DeviceLink> link, GLuint name, int width, int height);
  ~GlTexture() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  GLuint name() const { return name_; }
  // Wrap modes last given to this texture object (OpenGL keeps them per texture).
  GLenum wrapS = GL_REPEAT, wrapT = GL_REPEAT;

 private:
  std::shared_ptr<DeviceLink> link_;
  GLuint name_;
  int width_, height_;
};

class GlFont;

class GlDevice : public Device {
 public:
  // Takes the window's OpenGL context; `state` belongs to the platform and outlives this.
  GlDevice(WindowState* state, SDL_GLContext context, const D3DPRESENT_PARAMETERS& params);
  ~GlDevice() override;

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

  // Text of a device font: `text` in back-buffer pixels at the rectangle, clipped to it.
  HRESULT drawText(GlFont& font, const char* text, const RECT& rect, DWORD format, D3DCOLOR color);
  void forgetTexture(const GlTexture* texture);

  bool vsync() const { return vsync_; }
  bool pacing() const { return pacing_; }
  const PixelRect& viewport() const { return viewport_; }
  int backWidth() const { return backWidth_; }
  int backHeight() const { return backHeight_; }
  // Window pixels per back-buffer pixel: text is rasterised at its size times this.
  double textScale() const { return textScale_; }
  // Samples a pixel of the frames drawn (0: one, the window's own buffer).
  int samples() const { return msaa_ ? msaa_->samples() : 0; }
  // The frame so far into the window's back buffer, for reading it back.
  void resolve() {
    if (msaa_) msaa_->resolve();
  }

 private:
  enum class Mode { None, World, Screen };
  static constexpr DWORD kLights = 8;

  void resetState();
  void applyRenderState(DWORD state);
  void updateViewport();
  void drawableSize(int* width, int* height) const;
  TTF_Font* openFace(const std::string& path, int pixels, bool bold, bool scaled);
  TTF_Font* faceAtScale(GlFont& font);
  void dropScaledFaces();
  HRESULT prepareDraw(const uint8_t* vertices, uint32_t stride);
  void enterWorldMode();
  void enterScreenMode();
  void applyLights();
  void applyMaterial();
  void applyTexture(bool screen);
  void waitForRefresh();

  WindowState* window_;
  SDL_GLContext context_;
  std::shared_ptr<DeviceLink> link_;
  int backWidth_ = 800, backHeight_ = 600;
  PixelRect viewport_{0, 0, 800, 600};
  double textScale_ = 1.0;
  bool vsync_ = false, pacing_ = false;
  bool autoDepth_ = true;
  FramePacer pacer_{60};
  static constexpr int kVsyncCheckFrames = 30;
  int checkedPresents_ = 0;
  int64_t vsyncCheckStart_ = 0;
  PFNGLSECONDARYCOLORPOINTERPROC glSecondaryColorPointer_ = nullptr;
  std::unique_ptr<MultisampleTarget> msaa_;

  // Direct3D state.
  std::array<DWORD, kRenderStateCount> renderState_{};
  D3DMATRIX world_{}, view_{}, projection_{};
  GlTexture* texture_ = nullptr;
  std::array<DWORD, 32> stage_{};  // texture stage 0 states by D3DTEXTURESTAGESTATETYPE
  DWORD fvf_ = 0;
  D3DMATERIAL8 material_{};
  std::array<D3DLIGHT8, kLights> lights_{};
  std::array<bool, kLights> lightOn_{};

  // What the OpenGL side holds now.
  Mode mode_ = Mode::None;
  bool matricesDirty_ = true, lightsDirty_ = true, materialDirty_ = true, stageDirty_ = true;

  // Fonts and strings.
  struct FaceEntry {
    std::string path;
    int pixels;
    bool bold;
    TTF_Font* font;
    bool scaled;  // opened for the text scale; closed when it changes
  };
  std::vector<FaceEntry> faces_;
  std::vector<std::shared_ptr<GlFont>> fonts_;
  TextCache textCache_{128};
  bool ttfReady_ = false;
};

class GlFont : public Font {
 public:
  GlFont(std::shared_ptr<DeviceLink> link, FontDesc desc, TTF_Font* face, std::string path, int pixels,
         bool syntheticBold)
      : link_(std::move(link)),
        desc_(std::move(desc)),
        face_(face),
        path_(std::move(path)),
        pixels_(pixels),
        syntheticBold_(syntheticBold) {}
  const FontDesc& Desc() const override { return desc_; }
  HRESULT DrawText(const char* text, const RECT& rect, DWORD format, D3DCOLOR color) override;
  // The face at the back buffer's own size, and the file and pixel size it was opened with.
  TTF_Font* face() const { return face_; }
  const std::string& path() const { return path_; }
  int pixels() const { return pixels_; }
  bool syntheticBold() const { return syntheticBold_; }
  // The face at the window's text scale (set by the device).
  TTF_Font* scaledFace = nullptr;
  int scaledPixels = 0;

 private:
  std::shared_ptr<DeviceLink> link_;
  FontDesc desc_;
  TTF_Font* face_;
  std::string path_;
  int pixels_;
  bool syntheticBold_;
};

}  // namespace plat::sdl
