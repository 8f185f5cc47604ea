// Small synthesis kit shared by the sound effects and the music: oscillators, filters,
// a noise source and the 16-bit PCM WAV writer.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

constexpr int kRate = 44100;
constexpr double kTwoPi = 6.283185307179586;

inline double MidiHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12); }

// Deterministic white noise in [-1, 1].
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed ? seed : 1) {}
  float Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return static_cast<float>(s_) / 2147483648.0f - 1.0f;
  }
  // Uniform in [0, 1).
  double Uniform() { return (Next() + 1.0) / 2.0; }

 private:
  uint32_t s_;
};

// Band-limited (PolyBLEP) oscillators; `phase` in [0, 1), `dt` = frequency / rate.
inline double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}
inline double Saw(double phase, double dt) { return 2 * phase - 1 - PolyBlep(phase, dt); }
inline double Pulse(double phase, double dt, double duty) {
  double v = phase < duty ? 1 : -1;
  v += PolyBlep(phase, dt);
  v -= PolyBlep(std::fmod(phase + 1 - duty, 1.0), dt);
  return v;
}

// One-pole low-pass with the cutoff set per sample.
struct OnePole {
  double y = 0;
  double Low(double x, double cutoffHz) {
    double a = 1 - std::exp(-kTwoPi * cutoffHz / kRate);
    y += a * (x - y);
    return y;
  }
};

// Scales to the given peak (a fraction of full scale) and writes 16-bit mono PCM.
void WriteWav(const std::string& path, std::vector<float> samples, float peak);

void MakeMusic(const std::string& dir);

}  // namespace assetgen
