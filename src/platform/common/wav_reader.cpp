#include "platform/common/wav_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d8.h"

namespace plat {
namespace {

// The rates the game takes: a damaged rate of a few hertz would resample to gigabytes.
constexpr int kLowestRate = 4000;
constexpr int kHighestRate = 384000;
// About this much of the file's sound data is decoded at a time.
constexpr uint64_t kPieceBytes = 64 << 10;
// A format chunk is 16 to 40 bytes, with ADPCM's coefficients a few dozen more.
constexpr uint64_t kLongestFormat = 4096;

uint32_t Le32(const Uint8* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void PutLe32(std::vector<Uint8>& out, uint64_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<Uint8>(v >> (8 * i)));
}

// Four bytes of a tag or of a little-endian length, at `at`; returns what follows them.
Uint8* Put(Uint8* at, const char (&tag)[5]) { return static_cast<Uint8*>(std::memcpy(at, tag, 4)) + 4; }
Uint8* Put(Uint8* at, uint64_t v) {
  for (int i = 0; i < 4; ++i) *at++ = static_cast<Uint8>(v >> (8 * i));
  return at;
}

}  // namespace

WavReader::WavReader(SDL_RWops* file, std::string name) : file_(file), name_(std::move(name)) {
  try {
    findChunks();
    // Every piece decodes (the first, empty or not, checks the format), and their frames
    // add up to the file's length.
    std::vector<Uint8> pcm;
    decode(0, std::min(dataBytes_, pieceBytes_), pcm);
    if (audio_.freq < kLowestRate || audio_.freq > kHighestRate)
      throw LoadError(name_, "sample rate of " + std::to_string(audio_.freq) + " Hz");
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, audio_.format, audio_.channels, audio_.freq, AUDIO_S16SYS, 2, 44100) < 0)
      throw LoadError(name_, std::string("cannot convert sound: ") + SDL_GetError());
    uint64_t bytes = pcm.size();
    for (at_ = pieceBytes_; at_ < dataBytes_; at_ += pieceBytes_) {
      pcm.clear();
      decode(at_, std::min(dataBytes_ - at_, pieceBytes_), pcm);
      bytes += pcm.size();
    }
    frames_ = bytes / frameBytes();
    at_ = 0;
  } catch (...) {
    SDL_RWclose(file_);
    throw;
  }
}

WavReader::WavReader(SDL_RWops* file, std::string name, const WavReader& checked)
    : file_(file),
      name_(std::move(name)),
      format_(checked.format_),
      dataOffset_(checked.dataOffset_),
      dataBytes_(checked.dataBytes_),
      pieceBytes_(checked.pieceBytes_),
      frames_(checked.frames_),
      audio_(checked.audio_) {}

WavReader::~WavReader() { SDL_RWclose(file_); }

std::unique_ptr<WavReader> WavReader::Open(const std::string& path) {
  SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
  if (file == nullptr) throw LoadError(path, SDL_GetError());
  return std::make_unique<WavReader>(file, path);
}

std::unique_ptr<WavReader> WavReader::Reopen() const {
  SDL_RWops* file = SDL_RWFromFile(name_.c_str(), "rb");
  if (file == nullptr) throw LoadError(name_, SDL_GetError());
  return std::unique_ptr<WavReader>(new WavReader(file, name_, *this));
}

// The chunks follow the RIFF header, or the bare "WAVE" some writers start with (SDL takes
// both). Each chunk's length is cut to what the file holds; an odd length is followed by a
// byte of padding.
void WavReader::findChunks() {
  const Sint64 size = SDL_RWsize(file_);
  if (size < 0) throw LoadError(name_, SDL_GetError());
  const auto fileSize = static_cast<uint64_t>(size);
  Uint8 head[12] = {};
  const size_t got = SDL_RWread(file_, head, 1, sizeof head);
  uint64_t at;
  if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
    at = 12;
  } else if (got >= 4 && std::memcmp(head, "WAVE", 4) == 0) {
    at = 4;
  } else {
    throw LoadError(name_, fileSize == 0 ? "file is empty" : "not a RIFF WAVE file");
  }
  bool haveData = false;
  while (at + 8 <= fileSize && !haveData) {
    Uint8 chunk[8];
    if (SDL_RWseek(file_, static_cast<Sint64>(at), RW_SEEK_SET) < 0 || SDL_RWread(file_, chunk, 8, 1) != 1)
      throw LoadError(name_, "cannot read file");
    const uint64_t length = std::min<uint64_t>(Le32(chunk + 4), fileSize - at - 8);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && format_.empty()) {
      if (length < 16 || length > kLongestFormat)
        throw LoadError(name_, "a format chunk of " + std::to_string(length) + " bytes");
      format_.assign(chunk, chunk + 4);
      PutLe32(format_, length);
      format_.resize(8 + length);
      if (SDL_RWread(file_, format_.data() + 8, length, 1) != 1) throw LoadError(name_, "cannot read file");
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (format_.empty()) throw LoadError(name_, "sound data before its format chunk");
      dataOffset_ = at + 8;
      dataBytes_ = length;
      haveData = true;
    }
    at += 8 + length + (length & 1);
  }
  if (format_.empty()) throw LoadError(name_, "no format chunk");
  if (!haveData) throw LoadError(name_, "no sound data");
  // Pieces of whole blocks (the format's block alignment, bytes 12 and 13 of its body).
  const uint64_t block = std::max(1, format_[20] | format_[21] << 8);
  pieceBytes_ = std::max<uint64_t>(1, kPieceBytes / block) * block;
}

void WavReader::decode(uint64_t offset, uint64_t length, std::vector<Uint8>& out) {
  // A whole WAV file of the piece: the RIFF header, the format chunk as read, the data chunk.
  const size_t header = 12 + format_.size() + 8;
  piece_.resize(header + length);
  Uint8* at = Put(Put(Put(piece_.data(), "RIFF"), 4 + format_.size() + 8 + length), "WAVE");
  at = std::copy(format_.begin(), format_.end(), at);
  Put(Put(at, "data"), length);
  if (length > 0 && (SDL_RWseek(file_, static_cast<Sint64>(dataOffset_ + offset), RW_SEEK_SET) < 0 ||
                     SDL_RWread(file_, piece_.data() + header, length, 1) != 1))
    throw LoadError(name_, "cannot read file");
  SDL_RWops* rw = SDL_RWFromConstMem(piece_.data(), static_cast<int>(piece_.size()));
  Uint8* pcm = nullptr;
  Uint32 pcmBytes = 0;
  if (rw == nullptr || SDL_LoadWAV_RW(rw, 1, &audio_, &pcm, &pcmBytes) == nullptr)
    throw LoadError(name_, std::string("cannot decode sound: ") + SDL_GetError());
  out.insert(out.end(), pcm, pcm + pcmBytes);
  SDL_FreeWAV(pcm);
}

bool WavReader::read(std::vector<Uint8>& out) {
  if (at_ >= dataBytes_) return false;
  const uint64_t length = std::min(dataBytes_ - at_, pieceBytes_);
  decode(at_, length, out);
  at_ += length;
  return true;
}

}  // namespace plat
