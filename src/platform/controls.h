// The window's controls: interval timers and the single-line text field. Both are
// driven by the frame loop's yield on the window's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace plat {

// An interval timer with the window system's rules: disabling and enabling again
// restarts the interval; enabling an enabled timer changes nothing; interval 0 stops it.
class Timer {
 public:
  explicit Timer(uint32_t interval = 0) : interval_(interval) {}

  void SetEnabled(bool on, uint32_t now);
  bool Enabled() const { return enabled_; }
  void SetInterval(uint32_t interval, uint32_t now);
  uint32_t Interval() const { return interval_; }
  // True (once) when the timer is due at `now`; the next interval starts at `now`.
  bool Due(uint32_t now);

 private:
  uint32_t interval_;
  bool enabled_ = false;
  uint32_t start_ = 0;
};

// A single-line text field that the game never draws: it collects typed characters
// while enabled and reports every change of its text at once.
class TextBox {
 public:
  std::function<void()> onChange;

  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);  // notifies when the text changes
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  bool Visible() const { return visible_; }
  void SetVisible(bool on) { visible_ = on; }
  size_t MaxLength() const { return maxLength_; }
  void SetMaxLength(size_t n) { maxLength_ = n; }

  // Keyboard input; ignored while disabled. Characters beyond MaxLength are dropped.
  void Type(const char* utf8);
  void Backspace();

 private:
  std::string text_;
  bool enabled_ = true;
  bool visible_ = false;
  size_t maxLength_ = 0;  // 0: no limit
};

}  // namespace plat
