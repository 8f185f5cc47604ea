#include "platform/controls.h"

#include <cmath>

#include "platform/dsound.h"

namespace plat {

void Timer::SetEnabled(bool on, uint32_t now) {
  if (on && !enabled_) start_ = now;  // enabling a running timer changes nothing
  enabled_ = on;
}

void Timer::SetInterval(uint32_t interval, uint32_t now) {
  start_ = now;  // a new interval starts counting now
  interval_ = interval;
}

bool Timer::Due(uint32_t now) {
  if (!enabled_ || interval_ == 0) return false;
  if (now - start_ < interval_) return false;
  start_ = now;
  return true;
}

void TextBox::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  if (onChange) onChange();
}

void TextBox::Type(const char* utf8) {
  if (!enabled_) return;
  std::string text = text_;
  for (const char* p = utf8; *p != '\0';) {
    // One whole UTF-8 character at a time.
    const auto lead = static_cast<unsigned char>(*p);
    // A continuation byte starts no character: dropped on its own (kept, it would count as
    // no character at all and pass the length limit).
    const bool stray = lead >= 0x80 && lead < 0xC0;
    const size_t len = lead < 0x80 || stray ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    size_t have = 0;
    while (have < len && p[have] != '\0') ++have;
    if (lead >= 0x20 && lead != 0x7F && !stray && have == len) {
      size_t chars = 0;
      for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
      if (maxLength_ == 0 || chars < maxLength_) text.append(p, len);
    }
    p += have;
  }
  SetText(text);
}

void TextBox::Backspace() {
  if (!enabled_ || text_.empty()) return;
  std::string text = text_;
  size_t cut = text.size() - 1;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.erase(cut);
  SetText(text);
}

double VolumeToGain(int32_t hundredthsOfDb) {
  if (hundredthsOfDb >= 0) return 1.0;
  if (hundredthsOfDb <= -10000) return 0.0;
  return std::pow(10.0, hundredthsOfDb / 2000.0);
}

}  // namespace plat
