// Sound effects: the puck on a wall, a racket strike, a hard straight strike, the puck
// dropping into a pocket, and the goal fanfare.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "assets.h"
#include "synth.h"

namespace assetgen {

void WriteWav(const std::string& path, std::vector<float> samples, float peak) {
  float maxAbs = 0;
  for (float s : samples) maxAbs = std::max(maxAbs, std::fabs(s));
  const float gain = maxAbs > 0 ? peak / maxAbs : 0;
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 255));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF");
  u32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  tag("data");
  u32(dataBytes);
  for (float s : samples) {
    long v = std::lround(s * gain * 32767.0f);
    u16(static_cast<uint16_t>(static_cast<int16_t>(std::clamp(v, -32767L, 32767L))));
  }
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

namespace {

std::vector<float> Buffer(double seconds) {
  return std::vector<float>(static_cast<size_t>(seconds * kRate), 0.f);
}

double Attack(double t, double seconds) { return std::min(1.0, t / seconds); }

// A struck hard plastic body: a few inharmonic partials over a noise click.
void Strike(std::vector<float>& buf, double at, double gain, const std::vector<double>& partials,
            double decay, double clickGain, uint32_t seed) {
  Noise noise(seed);
  OnePole hp;
  size_t start = static_cast<size_t>(at * kRate);
  for (size_t i = start; i < buf.size(); ++i) {
    double t = static_cast<double>(i - start) / kRate;
    if (t > decay * 8) break;
    double s = 0;
    for (size_t k = 0; k < partials.size(); ++k) {
      s += std::sin(kTwoPi * partials[k] * t) * std::exp(-t / (decay / (1 + 0.6 * k))) / (1 + k);
    }
    double n = noise.Next();
    double click = (n - hp.Low(n, 2500)) * std::exp(-t / 0.004) * clickGain;
    buf[i] += static_cast<float>(gain * Attack(t, 0.0006) * (s + click));
  }
}

// A falling-pitch body thump.
void Thump(std::vector<float>& buf, double at, double gain, double f0, double f1, double decay) {
  size_t start = static_cast<size_t>(at * kRate);
  double phase = 0;
  for (size_t i = start; i < buf.size(); ++i) {
    double t = static_cast<double>(i - start) / kRate;
    if (t > decay * 8) break;
    phase += (f1 + (f0 - f1) * std::exp(-t / 0.03)) / kRate;
    buf[i] += static_cast<float>(gain * Attack(t, 0.001) * std::exp(-t / decay) * std::sin(kTwoPi * phase));
  }
}

std::vector<float> WallHit() {
  auto b = Buffer(0.16);
  Strike(b, 0, 1.0, {830, 1985, 3170}, 0.022, 0.6, 5);
  Thump(b, 0, 0.35, 320, 210, 0.02);
  return b;
}

std::vector<float> RacketHit() {
  auto b = Buffer(0.22);
  Strike(b, 0, 0.9, {1240, 2870, 4410}, 0.03, 0.9, 7);
  Thump(b, 0, 0.8, 260, 150, 0.045);
  return b;
}

std::vector<float> SpringHit() {
  auto b = Buffer(0.55);
  Strike(b, 0, 1.0, {1480, 3320}, 0.03, 1.2, 9);
  Thump(b, 0, 0.9, 300, 120, 0.05);
  // The spring: a bright twang bending down, wobbling as it settles.
  double phase = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double f =
        520 * (1 + 0.35 * std::exp(-t / 0.04)) * (1 + 0.025 * std::sin(kTwoPi * 24 * t) * std::exp(-t / 0.2));
    phase += f / kRate;
    double tw = std::sin(kTwoPi * phase) + 0.35 * std::sin(kTwoPi * 2.76 * phase);
    b[i] += static_cast<float>(0.45 * Attack(t, 0.002) * std::exp(-t / 0.12) * tw);
  }
  return b;
}

std::vector<float> PocketDrop() {
  auto b = Buffer(0.75);
  Thump(b, 0, 1.0, 190, 85, 0.11);
  const double rattles[] = {0.1, 0.19, 0.255, 0.3, 0.33};
  for (int k = 0; k < 5; ++k)
    Strike(b, rattles[k], 0.55 * std::pow(0.72, k), {1390, 2310}, 0.012, 0.7, 20 + k);
  // The hollow of the pocket: low filtered rumble.
  Noise noise(31);
  OnePole lp;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    b[i] += static_cast<float>(0.5 * lp.Low(noise.Next(), 300) * Attack(t, 0.01) * std::exp(-t / 0.18));
  }
  return b;
}

std::vector<float> GoalFanfare() {
  auto b = Buffer(2.1);
  // A rising arpeggio into a held major chord, in the music's pulse-wave voice.
  const double notes[] = {72, 76, 79, 84};
  for (int k = 0; k < 4; ++k) {
    double start = k * 0.085, length = k == 3 ? 1.5 : 1.35 - start;
    double phase = 0, phase2 = 0;
    OnePole lp;
    for (size_t i = static_cast<size_t>(start * kRate); i < b.size(); ++i) {
      double t = static_cast<double>(i) / kRate - start;
      if (t > length + 0.25) break;
      double vib = 1 + 0.006 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.3);
      double f = MidiHz(notes[k]) * vib, dt = f / kRate;
      phase = std::fmod(phase + dt, 1.0);
      phase2 = std::fmod(phase2 + dt * 1.004, 1.0);
      double v = 0.6 * Pulse(phase, dt, 0.3) + 0.4 * Saw(phase2, dt * 1.004);
      double env = Attack(t, 0.004) *
                   (t < length ? std::exp(-t / 1.8) : std::exp(-length / 1.8) * (1 - (t - length) / 0.25));
      b[i] += static_cast<float>(0.3 * lp.Low(v, 5000) * env);
    }
  }
  // A brass-like horn under it and a swell of noise like a crowd.
  double hp1 = 0, hp2 = 0;
  Noise noise(41);
  OnePole lp, lp2;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double d1 = MidiHz(48) / kRate, d2 = MidiHz(55) / kRate;
    hp1 = std::fmod(hp1 + d1, 1.0);
    hp2 = std::fmod(hp2 + d2, 1.0);
    double horn = (Saw(hp1, d1) + Saw(hp2, d2)) * 0.5;
    double henv = Attack(t, 0.03) * std::exp(-t / 0.9) * (1 + 0.15 * std::sin(kTwoPi * 7 * t));
    double crowd = lp2.Low(noise.Next(), 1800) * std::sin(3.14159 * std::min(1.0, t / 2.1));
    b[i] += static_cast<float>(0.28 * lp.Low(horn, 1400) * henv + 0.5 * crowd);
  }
  return b;
}

}  // namespace

void MakeSounds(const std::string& dir) {
  // Effects end in silence: a short fade takes off whatever tail is left.
  auto faded = [](std::vector<float> b) {
    const size_t n = std::min<size_t>(b.size(), kRate / 50);
    for (size_t i = 0; i < n; ++i) b[b.size() - 1 - i] *= static_cast<float>(i) / n;
    return b;
  };
  WriteWav(dir + "/Sounds/tcoll.wav", faded(WallHit()), 0.7f);
  WriteWav(dir + "/Sounds/rcoll.wav", faded(RacketHit()), 0.8f);
  WriteWav(dir + "/Sounds/spring.wav", faded(SpringHit()), 0.85f);
  WriteWav(dir + "/Sounds/pocket.wav", faded(PocketDrop()), 0.8f);
  WriteWav(dir + "/Sounds/goal.wav", faded(GoalFanfare()), 0.85f);
  MakeMusic(dir);
}

}  // namespace assetgen
