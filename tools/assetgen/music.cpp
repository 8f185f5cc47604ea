// The menu music and the eight match tracks: one small arcade band (drums, pumping bass,
// pulse-wave lead with echo, chip arpeggio, saw pad) playing generated tunes. Every
// track is a whole number of bars rendered around a ring, so notes that ring past the
// end come back in at the start and the file loops without a seam.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "synth.h"

namespace assetgen {
namespace {

using Scale = std::array<int, 7>;
constexpr Scale kMinor = {0, 2, 3, 5, 7, 8, 10};
constexpr Scale kDorian = {0, 2, 3, 5, 7, 9, 10};
constexpr Scale kMixolydian = {0, 2, 4, 5, 7, 9, 10};
constexpr Scale kMajor = {0, 2, 4, 5, 7, 9, 11};

struct Song {
  const char* file;
  int bpm;
  int root;  // MIDI note of the tonic in the bass register
  Scale scale;
  std::array<int, 4> chords;  // scale degrees of the bar chords
  int drums, bass, arp;       // pattern styles
  uint32_t seed;
  bool calm;
};

const Song kSongs[] = {
    {"menu", 112, 50, kDorian, {0, 3, 6, 4}, 0, 0, 1, 101, true},
    {"bck1", 140, 45, kMinor, {0, 5, 2, 6}, 0, 0, 0, 11, false},
    {"bck2", 146, 52, kMinor, {0, 6, 5, 6}, 1, 2, 2, 12, false},
    {"bck3", 132, 48, kDorian, {0, 3, 0, 6}, 2, 1, 1, 13, false},
    {"bck4", 150, 43, kMinor, {0, 3, 5, 4}, 1, 1, 0, 14, false},
    {"bck5", 138, 50, kMixolydian, {0, 6, 3, 0}, 0, 2, 2, 15, false},
    {"bck6", 144, 46, kMinor, {5, 6, 0, 0}, 2, 0, 1, 16, false},
    {"bck7", 136, 47, kMinor, {0, 2, 6, 5}, 1, 0, 2, 17, false},
    {"bck8", 152, 44, kMajor, {0, 4, 5, 3}, 0, 1, 0, 18, false},
};

enum Bus { kDrums, kLead, kBacking, kBusCount };  // the backing (bass, arp, pad) is ducked

// A ring of samples per bus; writes wrap around the end.
class Ring {
 public:
  explicit Ring(size_t n) : n_(n) {
    for (auto& b : bus_) b.assign(n, 0.f);
  }
  // Writes consecutive samples from `at` on, wrapping round the ring.
  class Cursor {
   public:
    Cursor(std::vector<float>& b, size_t at) : b_(b), i_(at % b.size()) {}
    void Add(double v) {
      b_[i_] += static_cast<float>(v);
      if (++i_ == b_.size()) i_ = 0;
    }

   private:
    std::vector<float>& b_;
    size_t i_;
  };
  Cursor At(Bus bus, size_t at) { return Cursor(bus_[bus], at); }
  std::vector<float>& operator[](Bus bus) { return bus_[bus]; }
  size_t size() const { return n_; }

 private:
  size_t n_;
  std::array<std::vector<float>, kBusCount> bus_;
};

struct Lowpass {
  double a, y = 0;
  explicit Lowpass(double hz) : a(1 - std::exp(-kTwoPi * hz / kRate)) {}
  double operator()(double x) { return y += a * (x - y); }
};

// Attack-decay-sustain envelope with a release after `length` seconds, sample by sample.
class Envelope {
 public:
  Envelope(double length, double attack, double decay, double sustain, double release)
      : length_(length),
        attack_(attack),
        sustain_(sustain),
        release_(release),
        k_(std::exp(-1.0 / (decay * kRate))) {}
  double Next() {
    double t = static_cast<double>(n_++) / kRate, e;
    if (t < attack_) {
      e = t / attack_;
    } else {
      e = sustain_ + (1 - sustain_) * fall_;
      fall_ *= k_;
    }
    if (t > length_) e *= std::max(0.0, 1 - (t - length_) / release_);
    return e;
  }

 private:
  double length_, attack_, sustain_, release_, k_, fall_ = 1;
  size_t n_ = 0;
};

// Phase accumulator in [0, 1).
inline double Advance(double& phase, double dt) {
  phase += dt;
  if (phase >= 1) phase -= 1;
  return phase;
}

void Kick(Ring& r, size_t at, double gain) {
  double phase = 0;
  auto out = r.At(kDrums, at);
  for (size_t i = 0; i < static_cast<size_t>(0.32 * kRate); ++i) {
    double t = static_cast<double>(i) / kRate;
    phase += (46 + 120 * std::exp(-t / 0.03)) / kRate;
    double env = std::min(1.0, t / 0.0015) * std::exp(-t / 0.14);
    out.Add(gain * env * std::sin(kTwoPi * phase));
  }
}

void Snare(Ring& r, size_t at, double gain, uint32_t seed) {
  Noise noise(seed);
  Lowpass lp(6500), hp(900);
  auto out = r.At(kDrums, at);
  for (size_t i = 0; i < static_cast<size_t>(0.22 * kRate); ++i) {
    double t = static_cast<double>(i) / kRate;
    double n = lp(noise.Next());
    n -= hp(n);
    double tone = std::sin(kTwoPi * 190 * t) * std::exp(-t / 0.04);
    double env = std::min(1.0, t / 0.001);
    out.Add(gain * env * (0.9 * n * std::exp(-t / 0.07) + 0.5 * tone));
  }
}

void Hat(Ring& r, size_t at, double gain, bool open, uint32_t seed) {
  Noise noise(seed);
  Lowpass lp(7000);
  double decay = open ? 0.11 : 0.022;
  auto out = r.At(kDrums, at);
  for (size_t i = 0; i < static_cast<size_t>(decay * 6 * kRate); ++i) {
    double t = static_cast<double>(i) / kRate;
    double n = noise.Next();
    out.Add(gain * std::min(1.0, t / 0.0008) * std::exp(-t / decay) * (n - lp(n)));
  }
}

void BassNote(Ring& r, size_t at, double seconds, double midi, double gain) {
  double p1 = 0, p2 = 0, f = MidiHz(midi), dt = f / kRate;
  Lowpass lp(1), lp2(1);
  Envelope env(seconds, 0.003, 0.12, 0.7, 0.03);
  auto out = r.At(kBacking, at);
  const size_t n = static_cast<size_t>((seconds + 0.03) * kRate);
  for (size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / kRate;
    if (i % 16 == 0) lp.a = lp2.a = 1 - std::exp(-kTwoPi * (220 + 1400 * std::exp(-t / 0.06)) / kRate);
    double v = 0.7 * Saw(Advance(p1, dt), dt) + 0.5 * Pulse(Advance(p2, dt * 0.5), dt * 0.5, 0.5);
    out.Add(gain * env.Next() * lp2(lp(v)));
  }
}

void LeadNote(Ring& r, size_t at, double seconds, double midi, double gain) {
  double p1 = 0, p2 = 0;
  Lowpass lp(3800);
  Envelope env(seconds, 0.005, 0.25, 0.75, 0.08);
  auto out = r.At(kLead, at);
  const double base = MidiHz(midi) / kRate;
  const size_t n = static_cast<size_t>((seconds + 0.08) * kRate);
  for (size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / kRate;
    double depth = std::min(1.0, std::max(0.0, t - 0.12) / 0.2);
    double dt = base * (depth > 0 ? 1 + 0.005 * std::sin(kTwoPi * 5.8 * t) * depth : 1);
    double v = 0.65 * Pulse(Advance(p1, dt), dt, 0.25) + 0.35 * Saw(Advance(p2, dt * 1.005), dt * 1.005);
    out.Add(gain * env.Next() * lp(v));
  }
}

void ArpNote(Ring& r, size_t at, double seconds, double midi, double gain) {
  double p = 0, dt = MidiHz(midi) / kRate;
  Lowpass lp(5000);
  Envelope env(seconds, 0.002, 0.07, 0.25, 0.02);
  auto out = r.At(kBacking, at);
  const size_t n = static_cast<size_t>((seconds + 0.02) * kRate);
  for (size_t i = 0; i < n; ++i) out.Add(gain * env.Next() * lp(Pulse(Advance(p, dt), dt, 0.5)));
}

void PadChord(Ring& r, size_t at, double seconds, const std::vector<double>& notes, double gain) {
  const double detune[3] = {0.996, 1.0, 1.0045};
  for (double midi : notes) {
    double f = MidiHz(midi);
    double phase[3] = {0.1, 0.4, 0.7};
    const double dt[3] = {f * detune[0] / kRate, f * detune[1] / kRate, f * detune[2] / kRate};
    Lowpass lp(1300), lp2(1300);
    Envelope env(seconds, 0.18, 1.0, 1.0, 0.35);
    auto out = r.At(kBacking, at);
    const size_t n = static_cast<size_t>((seconds + 0.35) * kRate);
    for (size_t i = 0; i < n; ++i) {
      double v = 0;
      for (int k = 0; k < 3; ++k) v += Saw(Advance(phase[k], dt[k]), dt[k]);
      out.Add(gain * env.Next() * lp2(lp(v / 3)));
    }
  }
}

class Composer {
 public:
  explicit Composer(const Song& s)
      : song_(s), rng_(s.seed * 7919u + 17u), step_(static_cast<size_t>(std::lround(kRate * 15.0 / s.bpm))) {
    int bars = static_cast<int>(std::lround(36.0 * s.bpm / 240.0 / 4)) * 4;
    bars_ = std::max(16, bars);
  }
  size_t Length() const { return static_cast<size_t>(bars_) * 16 * step_; }
  std::vector<float> Render();

 private:
  // MIDI note of a scale degree counted from the tonic, `octave` octaves above the bass.
  double Note(int degree, int octave) const {
    int d = ((degree % 7) + 7) % 7, o = (degree - d) / 7;
    return song_.root + 12 * (octave + o) + song_.scale[d];
  }
  // The bar's chord root as a degree, the upper chords taken from below the tonic so
  // that every part stays in its register.
  int ChordOf(int bar) const {
    int c = song_.chords[bar % 4];
    return c > 3 ? c - 7 : c;
  }
  size_t At(int bar, double step) const { return static_cast<size_t>((bar * 16 + step) * step_); }
  double Seconds(double steps) const { return steps * step_ / kRate; }

  void Drums(Ring& r, int bar, bool fill, bool light);
  void Bassline(Ring& r, int bar);
  void Arpeggio(Ring& r, int bar, double gain);
  void Melody(Ring& r, int firstBar, int bars, int lift, bool dense);

  const Song& song_;
  Noise rng_;
  size_t step_;
  int bars_;
};

void Composer::Drums(Ring& r, int bar, bool fill, bool light) {
  const double k = song_.calm ? 0.55 : 0.9;
  uint32_t seed = static_cast<uint32_t>(bar * 131 + 7);
  for (int s = 0; s < 16; ++s) {
    bool kick = false, snare = false;
    switch (song_.drums) {
      case 0:
        kick = s == 0 || s == 8 || (s == 10 && bar % 2 == 1);
        snare = s == 4 || s == 12;
        break;
      case 1:
        kick = s % 4 == 0;
        snare = s == 4 || s == 12;
        break;
      default:
        kick = s == 0 || s == 7 || s == 10;
        snare = s == 4 || s == 12;
        break;
    }
    if (song_.calm) snare = s == 12;
    if (light) snare = false;
    if (fill && s >= 12) {
      Snare(r, At(bar, s), 0.25 + 0.08 * (s - 12), seed + s);
      if (s == 14 || s == 15) Snare(r, At(bar, s + 0.5), 0.3, seed + 40 + s);
      if (s == 12) Kick(r, At(bar, s), k);
      continue;
    }
    if (kick) Kick(r, At(bar, s), k);
    if (snare) Snare(r, At(bar, s), song_.calm ? 0.25 : 0.5, seed + s);
    if (song_.drums == 1) {
      if (s % 4 == 2) {
        Hat(r, At(bar, s), 0.22, true, seed + 100 + s);
      } else {
        Hat(r, At(bar, s), 0.08, false, seed + 100 + s);
      }
    } else if (song_.drums == 2 || s % 2 == 0) {
      Hat(r, At(bar, s), (s % 4 == 2 ? 0.2 : 0.12) * (song_.calm ? 0.6 : 1), false, seed + 100 + s);
    }
  }
  if (song_.drums == 2 && !light && !song_.calm && !fill) Snare(r, At(bar, 15), 0.14, seed + 99);
}

void Composer::Bassline(Ring& r, int bar) {
  const int chord = ChordOf(bar);
  const double root = Note(chord, 0);
  const double g = song_.calm ? 0.32 : 0.42;
  switch (song_.bass) {
    case 0:  // eighths, octave on the off-beats
      for (int s = 0; s < 16; s += 2) BassNote(r, At(bar, s), Seconds(1.7), root + (s % 4 == 2 ? 12 : 0), g);
      break;
    case 1:  // gallop
      for (int beat = 0; beat < 4; ++beat) {
        BassNote(r, At(bar, beat * 4), Seconds(1.6), root, g);
        BassNote(r, At(bar, beat * 4 + 2), Seconds(0.8), root, g * 0.8);
        BassNote(r, At(bar, beat * 4 + 3), Seconds(0.8), root + 12, g * 0.8);
      }
      break;
    default: {  // syncopated root and fifth
      const int steps[] = {0, 3, 6, 8, 11, 14};
      for (int i = 0; i < 6; ++i) {
        double n = i == 4 ? Note(chord + 4, 0) : root;
        BassNote(r, At(bar, steps[i]), Seconds(i == 5 ? 1.7 : 2.6), n, g);
      }
    }
  }
}

void Composer::Arpeggio(Ring& r, int bar, double gain) {
  const int c = ChordOf(bar);
  const int up[] = {0, 2, 4, 7}, updown[] = {0, 2, 4, 7, 4, 2}, broken[] = {0, 4, 2, 7};
  for (int s = 0; s < 16; ++s) {
    int deg;
    switch (song_.arp) {
      case 0:
        deg = up[s % 4];
        break;
      case 1:
        deg = updown[s % 6];
        break;
      default:
        deg = broken[s % 4];
    }
    ArpNote(r, At(bar, s), Seconds(0.8), Note(c + deg, 1), gain * (s % 4 == 0 ? 1.0 : 0.75));
  }
}

// A two-bar motif stated over the chords, repeated, and answered with a cadence.
void Composer::Melody(Ring& r, int firstBar, int bars, int lift, bool dense) {
  static const std::vector<std::pair<int, int>> kRhythms[] = {
      {{0, 3}, {3, 3}, {6, 2}, {8, 4}, {12, 4}},  {{0, 2}, {2, 2}, {4, 4}, {8, 2}, {10, 2}, {12, 4}},
      {{0, 4}, {4, 2}, {6, 2}, {8, 6}, {14, 2}},  {{0, 2}, {3, 3}, {6, 2}, {8, 2}, {10, 2}, {12, 2}, {14, 2}},
      {{0, 6}, {6, 2}, {8, 3}, {11, 3}, {14, 2}}, {{2, 2}, {4, 2}, {6, 4}, {10, 2}, {12, 4}},
  };
  const int pick[2] = {static_cast<int>(rng_.Uniform() * 6), static_cast<int>(rng_.Uniform() * 6)};
  // Degrees relative to the bar's chord root; strong beats land on chord tones.
  std::vector<std::vector<int>> motif(2);
  int deg = lift + (rng_.Uniform() < 0.5 ? 7 : 4);
  for (int b = 0; b < 2; ++b) {
    const auto& rh = kRhythms[dense ? (pick[b] == 2 || pick[b] == 4 ? 3 : pick[b]) : pick[b]];
    for (auto [start, len] : rh) {
      (void)len;
      const int moves[] = {-2, -1, -1, 1, 1, 2, 3, -3, 0};
      deg += moves[static_cast<int>(rng_.Uniform() * 9)];
      deg = std::clamp(deg, lift + 2, lift + 11);
      if (start % 8 == 0) {  // snap to the nearest chord tone
        int best = deg, bestD = 99;
        for (int c = lift; c <= lift + 14; ++c) {
          int rel = ((c % 7) + 7) % 7;
          if ((rel == 0 || rel == 2 || rel == 4) && std::abs(c - deg) < bestD)
            best = c, bestD = std::abs(c - deg);
        }
        deg = best;
      }
      motif[b].push_back(deg);
    }
  }
  const double gain = song_.calm ? 0.22 : 0.3;
  for (int b = 0; b < bars; ++b) {
    const int bar = firstBar + b, half = b % 2;
    const int rhythm = dense ? (pick[half] == 2 || pick[half] == 4 ? 3 : pick[half]) : pick[half];
    const auto& rh = kRhythms[rhythm];
    const bool cadence = b == bars - 1;
    if (cadence) {  // land on the chord's root and hold
      LeadNote(r, At(bar, 0), Seconds(12), Note(ChordOf(bar) + lift + 7, 1), gain);
      continue;
    }
    for (size_t i = 0; i < rh.size(); ++i) {
      double n = Note(ChordOf(bar) + motif[half][i], 1);
      LeadNote(r, At(bar, rh[i].first), Seconds(rh[i].second * 0.9), n, gain);
    }
  }
}

std::vector<float> Composer::Render() {
  Ring r(Length());
  const int groove = 4, outro = 4, themeA = std::min(8, bars_ - groove - outro);
  const int themeB = bars_ - groove - outro - themeA;
  for (int bar = 0; bar < bars_; ++bar) {
    bool lastOfFour = bar % 4 == 3;
    Drums(r, bar, lastOfFour && (bar == bars_ - 1 || bar % 8 == 7), bar < 2 && !song_.calm);
    Bassline(r, bar);
    bool inTheme = bar >= groove && bar < bars_ - outro;
    Arpeggio(r, bar, (inTheme ? 0.07 : 0.12) * (song_.calm ? 1.2 : 1));
    const int c = ChordOf(bar);
    PadChord(r, At(bar, 0), Seconds(15.5), {Note(c, 1), Note(c + 2, 1), Note(c + 4, 1)},
             song_.calm ? 0.16 : 0.1);
  }
  Melody(r, groove, themeA, 0, false);
  if (themeB > 0) Melody(r, groove + themeA, themeB, 2, true);

  const size_t n = r.size();
  // Echo on the lead: three sixteenths, run twice round the ring so the feedback
  // coming over the loop point is there from the first sample.
  std::vector<float> echo(n, 0.f);
  const size_t d = 3 * step_;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < n; ++i) echo[i] = r[kLead][(i + n - d) % n] * 0.8f + echo[(i + n - d) % n] * 0.35f;
  }
  // The backing ducks under every beat a little: the arcade pump.
  const size_t beat = 4 * step_;
  std::vector<float> duck(beat);
  for (size_t i = 0; i < beat; ++i) {
    double t = static_cast<double>(i) / kRate;
    duck[i] =
        static_cast<float>(1 - (song_.calm ? 0.15 : 0.3) * std::exp(-t / 0.09) * (1 - std::exp(-t / 0.004)));
  }
  std::vector<float>& mix = r[kDrums];
  for (size_t i = 0; i < n; ++i) mix[i] += r[kLead][i] + 0.3f * echo[i] + duck[i % beat] * r[kBacking][i];
  return std::move(mix);
}

}  // namespace

void MakeMusic(const std::string& dir) {
  for (const Song& s : kSongs) {
    Composer c(s);
    WriteWav(dir + "/Sounds/" + s.file + ".wav", c.Render(), 0.86f);
  }
}

}  // namespace assetgen
