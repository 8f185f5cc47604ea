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
#include "platform/sdl/frame_record.h"
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
  // The frame-rate readout (F3, --show-fps).
  bool showFrameRate = false;

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
  GlTexture(std::shared_ptr<DeviceLink> link, GLuint name, int width, int height, uint64_t serial);
  ~GlTexture() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  GLuint name() const { return name_; }
  // Different for every texture the device has made (a name may be used again).
  uint64_t serial() const { return serial_; }

 private:
  std::shared_ptr<DeviceLink> link_;
  GLuint name_;
  int width_, height_;
  uint64_t serial_;
};

class GlFont;

// Calls are kept until Present and drawn then. The frame is drawn into a framebuffer of the
// device's own that keeps the last frame's picture: only the boxes where this frame's calls
// differ from the last frame's are drawn again (every call of the frame, in order, cut to
// those boxes), so a picture that barely moves costs little whatever the window's size.
class GlDevice : public Device {
 public:
  // Takes the window's OpenGL context; `state` belongs to the platform and outlives this.
  // `samples`: samples a pixel wished for (the driver's most if fewer; 1: none).
  GlDevice(WindowState* state, SDL_GLContext context, const D3DPRESENT_PARAMETERS& params, int samples = 4);
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
  void releaseTexture(const GlTexture* texture);

  bool vsync() const { return vsync_; }
  bool pacing() const { return pacing_; }
  const PixelRect& viewport() const { return viewport_; }
  int backWidth() const { return backWidth_; }
  int backHeight() const { return backHeight_; }
  // Window pixels per back-buffer pixel: text is rasterised at its size times this.
  double textScale() const { return textScale_; }
  // Samples a pixel of the frames drawn (0: one, the window's own buffer).
  int samples() const { return target_ ? target_->samples() : 0; }
  // The frame so far, drawn and resolved into the window's back buffer for reading it
  // back; the rest of the frame is then drawn call by call.
  void resolve();

  // Off: every frame is drawn whole, as it would be without the kept picture (for
  // comparing the two). On by default.
  void setFrameReuse(bool on);
  bool frameReuse() const { return reuse_; }
  // What the last presented frame drew again.
  struct FrameStats {
    bool whole = false;    // the whole picture
    int boxes = 0;         // else: the boxes drawn again (0: nothing changed)
    int64_t pixels = 0;    // window pixels drawn again
  };
  const FrameStats& lastFrame() const { return lastFrame_; }
  // Between frames: the frame last presented drawn again whole into the window's back
  // buffer, as it would have been drawn without the kept picture (for checking the two
  // agree).
  void redrawWhole();
  // Bytes of the device's own framebuffers (colour, depth, and the resolved picture).
  int64_t framebufferBytes() const { return target_ ? target_->bytes() : 0; }

 private:
  enum class Mode { None, World, Screen };
  static constexpr DWORD kLights = 8;
  // Boxes drawn again at most in one frame; more are joined.
  static constexpr size_t kMostBoxes = 6;

  // The Direct3D state a call is drawn with. Copied as bytes: a frame's pixel call keeps
  // it in its signature.
  struct DeviceState {
    std::array<DWORD, kRenderStateCount> renderState;
    D3DMATRIX world, view, projection;
    GLuint texture;  // stage 0's, 0 for none
    uint64_t textureSerial;
    std::array<DWORD, 32> stage;  // texture stage 0 states by D3DTEXTURESTAGESTATETYPE
    DWORD fvf;
    D3DMATERIAL8 material;
    std::array<D3DLIGHT8, kLights> lights;
    std::array<uint8_t, kLights> lightOn;
  };
  static void copyState(DeviceState* to, const DeviceState& from);

  // A string as drawn: its texture placed in the window's own pixels, cut to `clip`.
  struct TextQuad {
    GLuint texture;
    float x0, y0, x1, y1;
    PixelRect clip;
    D3DCOLOR color;
    int viewportWidth, viewportHeight;
    const void* face;
  };
  struct ClearArgs {
    DWORD flags;
    D3DCOLOR color;
    float z;
    DWORD stencil;
    PixelRect viewport;
    int drawableWidth, drawableHeight;
  };

  // Recording.
  void defaultState(DeviceState* s) const;
  HRESULT commit(const FrameRecord::Command& c);
  HRESULT recordDraw(D3DPRIMITIVETYPE type, uint32_t count, uint32_t vertexCount, const uint32_t* indices,
                     const void* vertices, uint32_t stride);
  uint32_t keepState(bool pretransformed);
  PixelRect boxOfVertices(const uint8_t* v, uint32_t count, uint32_t stride, bool pretransformed) const;
  // Drawing the kept calls.
  void drawFrame();
  void runCommands(const FrameRecord& frame, const PixelRect* limit);
  void execute(const FrameRecord& frame, const FrameRecord::Command& c, const PixelRect* limit);
  void beginPass();
  void finishFrame();

  void applyRenderState(DWORD state);
  void applyAllState();
  void updateViewport();
  void drawableSize(int* width, int* height) const;
  TTF_Font* openFace(const std::string& path, int pixels, bool bold, bool scaled);
  TTF_Font* faceAtScale(GlFont& font);
  void dropScaledFaces();
  void prepareDraw(const uint8_t* vertices, uint32_t stride);
  void enterWorldMode();
  void enterScreenMode();
  void applyLights();
  void applyMaterial();
  void applyTexture(bool screen);
  void execClear(const ClearArgs& a, const PixelRect* limit);
  void execText(const TextQuad& q, const PixelRect* limit);
  void waitForRefresh();
  void noteSwap();
  void drawFrameRate();

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
  std::unique_ptr<MultisampleTarget> target_;
  uint64_t nextSerial_ = 1;

  // The frame being recorded and the one before it, with the textures they draw with.
  FrameRecord frame_, previous_;
  std::vector<GLuint> pendingDeletes_;  // textures let go while a frame that may use them is kept
  std::vector<PixelRect> boxes_;
  DeviceState rec_{};         // the state as the calls recorded so far leave it
  DeviceState frameStart_{};  // the state the frame began with
  DeviceState previousStart_{};
  bool reuse_ = true;
  bool previousValid_ = false;  // the kept picture is the previous frame's, whole
  bool direct_ = false;         // the rest of this frame is drawn call by call
  bool clearsFirst_ = false;    // the frame's first pixel call clears colour and depth
  int keptWidth_ = 0, keptHeight_ = 0;
  PixelRect keptViewport_{};
  FrameStats lastFrame_;

  // The frame-rate readout: the times of the last swaps, and its text, renewed twice a second.
  std::array<int64_t, 1024> swapTimes_{};
  size_t swapCount_ = 0;
  int64_t readoutAt_ = 0;
  char readout_[64] = "";
  std::shared_ptr<GlFont> readoutFont_;

  // The state OpenGL is drawing with.
  DeviceState exec_{};
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
