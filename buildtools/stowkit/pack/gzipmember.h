// gzip members as pack mode writes them, produced without a gzip file stream: the same deflate
// settings as zlib's gzip writer opened with "wb6 " (level 6, default strategy, 15-bit window,
// memory level 8) and the header that the Windows build of zlib writes (no name, no time,
// operating system 0x0A). The deflate data depends on the bytes only, never on how they are
// handed in, so a member compressed on any thread and in any chunks comes out the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "services/bytewriter.h"

namespace pack {

// The 10-byte header of every compressed member and control file.
constexpr uint8_t kGzipOsByte = 0x0A;

class GzipEncoder {
 public:
  // Receives the compressed bytes in order; false stops the encoder (the write failed).
  using Sink = std::function<bool(const uint8_t* data, size_t size)>;

  explicit GzipEncoder(Sink sink);
  ~GzipEncoder();
  GzipEncoder(const GzipEncoder&) = delete;
  GzipEncoder& operator=(const GzipEncoder&) = delete;

  // False when zlib or the sink failed; error() then says why.
  bool Write(const uint8_t* data, size_t size);
  // Ends the stream with its CRC-32 and length; the encoder is done afterwards.
  bool Finish();
  const std::string& error() const { return error_; }

 private:
  bool Deflate(const uint8_t* data, size_t size, int flush);

  struct State;
  State* state_;
  Sink sink_;
  std::string error_;
};

// The whole gzip member for bytes held in memory.
bool GzipBytes(const uint8_t* data, size_t size, ByteVector& out, std::string& error);

}  // namespace pack
