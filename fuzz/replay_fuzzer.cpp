// The replay reader: a file is refused with a reason, or every record it accepted lies within
// the file, keeps time in order and holds a message the network decoder accepts; a last
// record cut short is said to begin right after them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<net::ReplayRecord> records;
  std::string error;
  net::ReplayCut cut;
  if (!net::ParseReplay(data, size, records, error, &cut)) {
    if (error.empty()) std::abort();
    return 0;
  }
  uint32_t last = 0;
  for (const net::ReplayRecord& r : records) {
    if (r.offset + static_cast<size_t>(r.size) > size || r.tick < last) std::abort();
    last = r.tick;
    net::Message m;
    if (net::Decode(data + r.offset, r.size, m) != net::DecodeError::None) std::abort();
  }
  if (cut.cut) {
    const size_t end = records.empty() ? net::kReplayHeaderSize : records.back().offset + records.back().size;
    if (cut.byte != end || cut.byte >= size || cut.record != records.size() + 1) std::abort();
  }
  return 0;
}
