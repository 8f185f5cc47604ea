#pragma once
// WAV files for both faces of the sound layer: one reader, one set of checks and limits, so
// that a file is accepted or refused alike whichever face plays it.
//
// SDL's own WAV reader decodes (PCM of 8 to 32 bits, float, A-law, µ-law, IMA and Microsoft
// ADPCM, extensible), but it decodes a whole file at once and allocates the length a chunk
// declares before reading it. This reader finds the chunks itself, each length cut to what
// the file holds (so the 0xFFFFFFFF a recorder that cannot seek leaves there reads to the end
// of the file), and hands SDL's reader the sound data a piece of whole blocks at a time: a
// long track is decoded as it plays, never held whole. Every piece is decoded once when the
// file is opened, so a file that would fail half-way is refused at once.

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class WavReader {
 public:
  // Reads and checks `file` (taken, and closed with the reader): RIFF WAVE chunks, a format
  // chunk before the sound data, a format SDL's reader decodes and SDL can convert to what the
  // mixer plays (44.1 kHz stereo), at 4 kHz to 384 kHz, and sound data that decodes to the
  // end. Throws LoadError naming `name`.
  WavReader(SDL_RWops* file, std::string name);
  static std::unique_ptr<WavReader> Open(const std::string& path);
  ~WavReader();
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // The same file opened again, at its start, without the checks (throws LoadError when it
  // is gone). Only for a reader made by Open.
  std::unique_ptr<WavReader> Reopen() const;

  const std::string& name() const { return name_; }
  // What SDL decodes the file to.
  const SDL_AudioSpec& audio() const { return audio_; }
  uint64_t frames() const { return frames_; }
  uint64_t decodedBytes() const { return frames_ * frameBytes(); }
  uint32_t lengthMs() const { return static_cast<uint32_t>(frames_ * 1000 / static_cast<uint64_t>(audio_.freq)); }
  uint32_t frameBytes() const { return SDL_AUDIO_BITSIZE(audio_.format) / 8 * audio_.channels; }

  // Appends the next piece of decoded sound to `out`; false, adding nothing, at the end.
  bool read(std::vector<Uint8>& out);
  void rewind() { at_ = 0; }

 private:
  WavReader(SDL_RWops* file, std::string name, const WavReader& checked);
  void findChunks();
  // Decodes `length` bytes of sound data from `offset` into `out` (appended).
  void decode(uint64_t offset, uint64_t length, std::vector<Uint8>& out);

  SDL_RWops* file_;
  std::string name_;
  std::vector<Uint8> format_;  // the format chunk, header and all
  uint64_t dataOffset_ = 0, dataBytes_ = 0, pieceBytes_ = 0;
  uint64_t at_ = 0;  // into the sound data
  uint64_t frames_ = 0;
  SDL_AudioSpec audio_{};
  std::vector<Uint8> piece_;  // a small WAV file of one piece, for SDL's reader
};

}  // namespace plat
