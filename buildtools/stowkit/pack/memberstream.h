// Kit members compressed on several threads and handed on in key order as they are ready.
// Each worker takes the next member, reads it in blocks and compresses it (or passes it as it
// is) into pieces of memory; the member whose turn it is goes straight to the sink, the
// others keep their pieces in memory up to a shared budget and put the rest into the worker's
// spill file. Memory therefore stays bounded whatever the members' sizes, and the bytes the
// sink receives depend on the members alone, never on the number of threads or their timing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pack/kitplatform.h"

namespace pack {

struct MemberSource {
  std::string path;
  bool compress = true;
};

// Receives the members in order.
class MemberSink {
 public:
  virtual ~MemberSink() = default;
  virtual bool Begin(size_t index, std::string& errorText) = 0;
  virtual bool Write(const uint8_t* data, size_t size, std::string& errorText) = 0;
  virtual bool End(size_t index, uint64_t size, std::string& errorText) = 0;
};

struct StreamLimits {
  size_t readBlock = 1u << 20;        // bytes read from a source at a time
  size_t piece = 1u << 20;            // bytes gathered before a piece is handed on
  size_t turnBudget = 8u << 20;       // memory of the member whose turn it is
  size_t waitingBudget = 32u << 20;   // memory of all members still waiting for their turn
};

// Streams every member into the sink. False after the first failing member in order (its
// message appended to errorText in pack mode's wording) or a failing sink; the members after
// it are not handed on.
bool StreamMembers(KitPlatform& platform, const std::vector<MemberSource>& members, unsigned jobs,
                   const StreamLimits& limits, MemberSink& sink, std::string& errorText);

}  // namespace pack
