// The real face of the platform: an SDL2 window with an OpenGL 2.1 context, the SDL
// keyboard with the game controllers pressing its keys, SDL2_mixer sound.
#include <SDL.h>
#include <limits.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/background.h"
#include "platform/common/late_library.h"
#include "platform/platform.h"
#include "platform/sdl/background_sound.h"
#include "platform/sdl/drawable_size.h"
#include "platform/sdl/font_finder.h"
#include "platform/sdl/game_controllers.h"
#include "platform/sdl/gl_device.h"
#include "platform/sdl/key_map.h"
#include "platform/sdl/sound.h"
#include "platform/stop_signals.h"

extern char** environ;

namespace plat {

namespace {

using sdl::WindowState;

// The folder of the running executable (argv0's when /proc is not there).
std::string executableFolder(const char* argv0) {
  std::string path;
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n > 0) {
    path.assign(buffer, static_cast<size_t>(n));
  } else if (argv0 && realpath(argv0, buffer)) {
    path = buffer;
  } else {
    path = argv0 ? argv0 : ".";
  }
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string() : path.substr(0, slash);
}

// The keys pressed since the keyboard device last asked: every key-down event (however
// short the press), and every controller input that the pump found newly held.
struct KeyPresses {
  std::array<uint8_t, 256> pressed{};
  std::array<uint8_t, 256> padsHeld{};  // the controllers' keys at the last pump

  void notePads(const sdl::GameControllers& pads) {
    std::array<uint8_t, 256> held{};
    pads.PressKeys(held.data());
    for (size_t i = 0; i < held.size(); ++i) {
      if (held[i] != 0 && padsHeld[i] == 0) pressed[i] = 0x80;
    }
    padsHeld = held;
  }
};

class SdlKeyboard : public KeyboardDevice {
 public:
  SdlKeyboard(const WindowState* window, const sdl::GameControllers* pads, KeyPresses* presses)
      : window_(window), pads_(pads), presses_(presses) {}
  HRESULT SetCommonDataFormat(DWORD format) override {
    return format == DIFORMAT_KEYBOARD ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT Acquire() override { return D3D_OK; }
  HRESULT GetDeviceStateKeyboard(uint8_t* state) override {
    if (!state) return D3DERR_INVALIDCALL;
    int count = 0;
    const uint8_t* keys = SDL_GetKeyboardState(&count);
    sdl::fillKeyState(keys, count, state);
    if (window_->hideReturn) state[DIK_RETURN] = 0;  // Alt+Enter's, not the menus'
    if (pads_) pads_->PressKeys(state);
    return D3D_OK;
  }
  HRESULT GetKeyPresses(uint8_t* pressed) override {
    if (!pressed) return D3DERR_INVALIDCALL;
    std::memcpy(pressed, presses_->pressed.data(), presses_->pressed.size());
    presses_->pressed.fill(0);
    return D3D_OK;
  }

 private:
  const WindowState* window_;
  const sdl::GameControllers* pads_;
  KeyPresses* presses_;
};

// The first argument of the message box's own process; then the kind ("error" or "info"),
// the caption and the text.
constexpr const char* kMessageBoxArgument = "--vantor-message-box";
// Set once main() has offered its arguments to RunMessageBoxProcess: only then does this
// executable show a box when started with them.
bool boxProcessKnown = false;

// Shows the box in a process of its own, in a process group of its own (SDL's X11 box forks
// once more), and waits for it to be dismissed or for a stop signal, which ends the group.
// False when the process could not be started.
bool ShowMessageBoxProcess(bool error, const std::string& caption, const std::string& text) {
  if (!boxProcessKnown) return false;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGINT);
  sigemptyset(&none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  std::string kind = error ? "error" : "info", name = "vantor", first = kMessageBoxArgument;
  std::string captionCopy = caption, textCopy = text;
  char* arguments[] = {name.data(), first.data(), kind.data(), captionCopy.data(), textCopy.data(), nullptr};
  pid_t child = -1;
  const int spawned = posix_spawn(&child, "/proc/self/exe", nullptr, &attributes, arguments, environ);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return false;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) return true;
    if (StopRequested()) {
      kill(-child, SIGTERM);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      return true;
    }
    pollfd stop{StopSignalFd(), POLLIN, 0};
    poll(&stop, 1, 50);
  }
}

// How long a window's size must stay before it counts as the player's choice (a drag
// passes through many sizes).
constexpr uint32_t kSizeSettlesMs = 400;
// How long a window manager has to honour a full-screen request before the window is
// placed over the display by hand.
constexpr uint32_t kFullScreenSettlesMs = 500;
// The smallest window the player can make.
constexpr int kSmallestWindowWidth = 320, kSmallestWindowHeight = 240;

class SdlPlatform : public Platform {
 public:
  explicit SdlPlatform(const char* argv0) : folder_(executableFolder(argv0)) {
    SDL_SetMainReady();
    // Where the program catches SIGTERM and SIGINT itself (stop_signals.h), SDL leaves them.
    if (StopSignalFd() >= 0) SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
      std::fprintf(stderr, "vantor: SDL_Init: %s\n", SDL_GetError());
    }
    sdl::loadFontConfigInBackground();  // the first frame's text waits for it, if at all
    // Assimp (and its own libraries) for the first match's meshes, once the first frame is
    // shown; a library that cannot be loaded is reported when a mesh asks for it.
    AfterFirstFrame([] {
      RunInBackground([] {
        try {
          AssimpLibrary().Open();
        } catch (const LoadError&) {
        }
      });
    });
    // Large buffers (decoded pictures and sounds, while they are loaded) are mapped on their
    // own and given back when freed. By default the allocator raises this threshold to the
    // largest buffer freed so far, and later ones stay in its heap once freed: 3 to 4 MiB
    // more resident memory over a match.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // Controllers from the second frame on: starting SDL's support for them (a few ms) is
    // not for the first frame to wait on. Those plugged in by then arrive as events.
    pads_ = std::make_shared<sdl::GameControllers>(folder_, sdl::GameControllers::StartLater{});
    AfterFirstFrame([pads = std::weak_ptr<sdl::GameControllers>(pads_)] {
      if (auto p = pads.lock()) p->Start();
    });
  }

  ~SdlPlatform() override {
    if (sizeChangedAt_ != 0) ReportPreferences();  // a size the player gave just before the end
    pads_.reset();
    if (state_.window) SDL_DestroyWindow(state_.window);
    SDL_Quit();
  }

  void ShowWindow(const std::string& caption) override {
    if (state_.window) {
      SDL_SetWindowTitle(state_.window, caption.c_str());
      SDL_ShowWindow(state_.window);
      return;
    }
    // Alt-tab out of a full-screen window: minimise it, which loses the device.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "1");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      throw std::runtime_error(std::string("cannot open the display: ") + SDL_GetError());
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    state_.window = createWindow(caption);
    if (!state_.window) {
      SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
      state_.window = createWindow(caption);
    }
    if (!state_.window) throw std::runtime_error(std::string("cannot open the window: ") + SDL_GetError());
    SDL_SetWindowMinimumSize(state_.window, kSmallestWindowWidth, kSmallestWindowHeight);
    state_.fullscreen = preferences_.fullscreen;
    SDL_ShowCursor(state_.fullscreen ? SDL_DISABLE : SDL_ENABLE);
    if (state_.fullscreen) askedFullScreen();
    refreshDrawableSize();
  }

  uintptr_t WindowHandle() const override { return state_.window ? SDL_GetWindowID(state_.window) : 0; }

  uint32_t GetTickCount() override { return SDL_GetTicks(); }

  void PumpEvents(WindowEventSink& sink) override {
    bool closeAsked = false, padPulled = false;
    bool minimised = state_.minimised, focusLost = state_.focusLost;
    SDL_Event e;
    bool muteKeyJustDown = false;  // its letter, right behind it, is no typing
    while (SDL_PollEvent(&e)) {
      const bool dropLetter = std::exchange(muteKeyJustDown, false);
      switch (e.type) {
        case SDL_TEXTINPUT:
          if (dropLetter && (std::strcmp(e.text.text, "m") == 0 || std::strcmp(e.text.text, "M") == 0)) break;
          sink.OnTextInput(e.text.text);
          break;
        case SDL_KEYDOWN:
          if (playerKey(e.key)) {
            muteKeyJustDown = e.key.keysym.scancode == SDL_SCANCODE_M;
            break;
          }
          if (!e.key.repeat) {
            if (const uint8_t dik = sdl::dikFromScancode(e.key.keysym.scancode)) presses_.pressed[dik] = 0x80;
          }
          if (e.key.keysym.scancode == SDL_SCANCODE_BACKSPACE) sink.OnBackspace();
          break;
        case SDL_KEYUP:
          if (e.key.keysym.scancode == SDL_SCANCODE_RETURN) state_.hideReturn = false;
          break;
        case SDL_QUIT:
          closeAsked = true;
          break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_JOYDEVICEADDED:
          padPulled |= pads_->HandleEvent(e);
          break;
        case SDL_WINDOWEVENT:
          switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
              closeAsked = true;
              break;
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN:
              minimised = true;
              break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_SHOWN:
              minimised = false;
              break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
              focusLost = true;
              break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
              focusLost = false;
              break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
              windowResized(e.window.data1, e.window.data2);
              break;
            default:
              break;
          }
          state_.update(minimised, focusLost);
          refreshDrawableSize();
          break;
        default:
          break;
      }
    }
    presses_.notePads(*pads_);
    if (padPulled) sink.OnControllerRemoved();
    // A Return let go while the window had no focus sent no event of its own.
    if (state_.hideReturn && !SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_RETURN]) state_.hideReturn = false;
    if (fullScreenAskedAt_ != 0 && SDL_GetTicks() - fullScreenAskedAt_ >= kFullScreenSettlesMs) {
      fullScreenAskedAt_ = 0;
      coverDisplay();
    }
    if (sizeChangedAt_ != 0 && SDL_GetTicks() - sizeChangedAt_ >= kSizeSettlesMs) {
      sizeChangedAt_ = 0;
      ReportPreferences();
    }
    if (closeAsked || StopRequested()) sink.OnCloseRequest();
  }

  void SetPreferences(const Preferences& preferences) override {
    const bool toggle = state_.window && preferences.fullscreen != preferences_.fullscreen;
    const bool resize = state_.window && !preferences.fullscreen &&
                        (preferences.windowWidth != preferences_.windowWidth ||
                         preferences.windowHeight != preferences_.windowHeight);
    preferences_ = preferences;
    levels_->set(preferences.musicVolume, preferences.effectsVolume, preferences.muted);
    if (toggle || resize) applyWindowMode();
  }

  void EnableTextInput(bool on) override {
    textInput_ = on;
    on ? SDL_StartTextInput() : SDL_StopTextInput();
  }

  void MessageBox(const std::string& text, const std::string& caption, DWORD flags) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    if (!SDL_WasInit(SDL_INIT_VIDEO) || StopRequested()) return;  // ending already: no box
    const Uint32 kind = (flags & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    // The game ends after every message box it shows, so the box stands on its own: the
    // full-screen window hidden (it could cover the box), the pointer shown, and no parent
    // window. Given the game's window as parent, SDL's X11 box process now and then crashed
    // (a null read inside SDL) before it drew anything.
    if (state_.window) SDL_HideWindow(state_.window);
    SDL_ShowCursor(SDL_ENABLE);
    // In a process of its own, which a stop signal ends as if the box was dismissed; in this
    // one (where no signal can close it) only when that process cannot be started.
    if (ShowMessageBoxProcess(kind == SDL_MESSAGEBOX_ERROR, caption, text)) return;
    if (SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(), nullptr) != 0) {
      std::fprintf(stderr, "vantor: no message box (%s)\n", SDL_GetError());
    }
  }

  std::string AppFolder() const override { return folder_; }

  std::vector<D3DDISPLAYMODE> EnumAdapterModes() override {
    // Whatever the desktop's own modes, the back buffer is 800 × 600 (or 640 × 480),
    // scaled to the full desktop.
    uint32_t refresh = 60;
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      if (mode.refresh_rate > 0) refresh = static_cast<uint32_t>(mode.refresh_rate);
      if (SDL_BITSPERPIXEL(mode.format) == 16) format = D3DFMT_R5G6B5;
    }
    return {{800, 600, refresh, format}, {640, 480, refresh, format}};
  }

  HRESULT GetDeviceCaps(D3DDEVTYPE type, D3DCAPS8* caps) override {
    if (!caps) return D3DERR_INVALIDCALL;
    caps->DeviceType = type;
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->MaxActiveLights = 8;
    return D3D_OK;
  }

  std::unique_ptr<Device> CreateDevice(D3DDEVTYPE, DWORD, const D3DPRESENT_PARAMETERS& params) override {
    if (!state_.window) ShowWindow("");
    SDL_GLContext context = SDL_GL_CreateContext(state_.window);
    if (!context) {
      std::fprintf(stderr, "vantor: no OpenGL context: %s\n", SDL_GetError());
      return nullptr;
    }
    return std::make_unique<sdl::GlDevice>(&state_, context, params, preferences_.samples);
  }

  std::unique_ptr<KeyboardDevice> CreateKeyboard() override {
    return std::make_unique<SdlKeyboard>(&state_, pads_.get(), &presses_);
  }

  std::unique_ptr<SoundDevice> CreateSoundDevice() override {
    return sdl::openSoundDeviceInBackground([levels = levels_] { return sdl::createSoundDevice(levels); });
  }

  void SetPadLayout(const PadLayout& layout) override { pads_->SetLayout(layout); }
  void Rumble(int pad, float strength, uint32_t ms) override { pads_->Rumble(pad, strength, ms); }
  void ShowFrameRate(bool on) override { state_.showFrameRate = on; }

 private:
  // The game draws an 800 × 600 back buffer, shown on the whole desktop with bars, or in a
  // window of the player's size.
  SDL_Window* createWindow(const std::string& caption) const {
    if (preferences_.fullscreen) {
      return SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    int width, height;
    windowSize(&width, &height);
    return SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
  }

  // The player's window size, within the desktop's room for windows.
  void windowSize(int* width, int* height) const {
    *width = std::max(preferences_.windowWidth, kSmallestWindowWidth);
    *height = std::max(preferences_.windowHeight, kSmallestWindowHeight);
    SDL_Rect room;
    const int display = state_.window ? std::max(SDL_GetWindowDisplayIndex(state_.window), 0) : 0;
    if (SDL_GetDisplayUsableBounds(display, &room) == 0 && room.w >= kSmallestWindowWidth &&
        room.h >= kSmallestWindowHeight) {
      *width = std::min(*width, room.w);
      *height = std::min(*height, room.h);
    }
  }

  // Keys of the player's own, never of the game: F11 and Alt+Enter toggle full screen; M
  // mutes and unmutes, except while typing (then it is a letter); F3 shows or hides the
  // frame rate. True when handled.
  bool playerKey(const SDL_KeyboardEvent& key) {
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    const bool otherModifier = (key.keysym.mod & (KMOD_CTRL | KMOD_GUI)) != 0;
    switch (key.keysym.scancode) {
      case SDL_SCANCODE_RETURN:
        if (!alt) return false;
        state_.hideReturn = true;  // the menus must not take it for their Return
        if (key.repeat) return true;
        break;
      case SDL_SCANCODE_F11:
        if (key.repeat) return true;
        break;
      case SDL_SCANCODE_F3:
        if (!key.repeat) state_.showFrameRate = !state_.showFrameRate;
        return true;
      case SDL_SCANCODE_M:
        if (key.repeat || textInput_ || alt || otherModifier) return false;
        preferences_.muted = !preferences_.muted;
        levels_->set(preferences_.musicVolume, preferences_.effectsVolume, preferences_.muted);
        ReportPreferences();
        return true;
      default:
        return false;
    }
    preferences_.fullscreen = !preferences_.fullscreen;
    applyWindowMode();
    ReportPreferences();
    return true;
  }

  // Full screen on the desktop, or a resizable window of the player's size. The device stays
  // as it is: the next frame fills the new drawable.
  void applyWindowMode() {
    SDL_Window* w = state_.window;
    if (preferences_.fullscreen) {
      SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
      SDL_ShowCursor(SDL_DISABLE);
    } else {
      fullScreenAskedAt_ = 0;
      if (std::exchange(placedByHand_, false)) sdl::placeByHand(w, nullptr);
      SDL_SetWindowFullscreen(w, 0);
      SDL_SetWindowResizable(w, SDL_TRUE);
      int width, height;
      windowSize(&width, &height);
      SDL_SetWindowSize(w, width, height);
      SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      SDL_ShowCursor(SDL_ENABLE);
    }
    state_.fullscreen = preferences_.fullscreen;
    sizeChangedAt_ = 0;
    ourSizeAt_ = std::max<uint32_t>(SDL_GetTicks(), 1);
    if (state_.fullscreen) askedFullScreen();
    refreshDrawableSize();
  }

  // Full screen was asked for. Without a window manager nobody will honour it: the window is
  // placed over the display at once. A manager is given a moment (some take one), then the
  // window is checked all the same.
  void askedFullScreen() {
    if (sdl::windowManagerRuns(state_.window)) {
      fullScreenAskedAt_ = std::max<uint32_t>(SDL_GetTicks(), 1);
    } else {
      coverDisplay();
    }
  }

  // Full screen that the window system did not give: the window over the whole display,
  // without decorations, placed by hand.
  void coverDisplay() {
    if (!state_.fullscreen || !state_.window) return;
    SDL_Rect display, window;
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(state_.window), 0), &display) != 0) return;
    if (!sdl::windowBounds(state_.window, &window)) return;
    if (window.x == display.x && window.y == display.y && window.w == display.w && window.h == display.h) return;
    placedByHand_ = sdl::placeByHand(state_.window, &display);
    refreshDrawableSize();
  }

  // A window the player resized (not a full-screen or maximised one) keeps its new size,
  // once it has stayed for a moment.
  void windowResized(int width, int height) {
    if (state_.fullscreen || (SDL_GetWindowFlags(state_.window) & SDL_WINDOW_MAXIMIZED) != 0) return;
    // Sizes the window passes through while full screen is switched (the full screen's own
    // among them) are the game's, not the player's.
    if (ourSizeAt_ != 0 && SDL_GetTicks() - ourSizeAt_ < kSizeSettlesMs) return;
    if (width < kSmallestWindowWidth || height < kSmallestWindowHeight) return;
    if (width == preferences_.windowWidth && height == preferences_.windowHeight) return;
    preferences_.windowWidth = width;
    preferences_.windowHeight = height;
    sizeChangedAt_ = std::max<uint32_t>(SDL_GetTicks(), 1);
  }

  void refreshDrawableSize() {
    sdl::drawableSize(state_.window, &state_.drawableWidth, &state_.drawableHeight);
  }

  std::string folder_;
  WindowState state_;
  std::shared_ptr<sdl::GameControllers> pads_;
  KeyPresses presses_;
  std::shared_ptr<sdl::SoundLevels> levels_ = std::make_shared<sdl::SoundLevels>();
  bool textInput_ = false;
  uint32_t sizeChangedAt_ = 0;  // when the window last took a size the player gave it
  uint32_t ourSizeAt_ = 0;      // when the game last switched full screen
  uint32_t fullScreenAskedAt_ = 0;  // a full-screen request the window manager has yet to honour
  bool placedByHand_ = false;       // full screen placed by hand (decorations taken away)
};

}  // namespace

std::unique_ptr<Platform> CreateSdlPlatform(const char* argv0) {
  return std::make_unique<SdlPlatform>(argv0);
}

int RunMessageBoxProcess(int argc, char** argv) {
  boxProcessKnown = true;
  if (argc != 5 || std::strcmp(argv[1], kMessageBoxArgument) != 0) return -1;
  const Uint32 kind = std::strcmp(argv[2], "error") == 0 ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  if (SDL_ShowSimpleMessageBox(kind, argv[3], argv[4], nullptr) != 0) {
    std::fprintf(stderr, "vantor: no message box (%s)\n", SDL_GetError());
  }
  std::fflush(stderr);
  _exit(0);  // nothing of the game's to release
}

}  // namespace plat
