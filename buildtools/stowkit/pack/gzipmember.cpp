#include "pack/gzipmember.h"

#include "services/kitformat.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace pack {

namespace {
constexpr int kLevel = 6;
constexpr int kRawWindowBits = -15;  // raw deflate: the header and trailer are ours
constexpr int kMemLevel = 8;
constexpr size_t kOutputBlock = 64 * 1024;
// deflate takes 32-bit lengths; larger writes are fed in parts.
constexpr size_t kMaxFeed = 1u << 30;
}  // namespace

struct GzipEncoder::State {
  z_stream stream;
  bool open = false;
  bool finished = false;
  uint32_t crc = 0;
  uint32_t length = 0;  // modulo 2^32, as the trailer holds it
  std::vector<uint8_t> out = std::vector<uint8_t>(kOutputBlock);
};

GzipEncoder::GzipEncoder(Sink sink) : state_(new State), sink_(std::move(sink)) {
  std::memset(&state_->stream, 0, sizeof state_->stream);
  if (deflateInit2(&state_->stream, kLevel, Z_DEFLATED, kRawWindowBits, kMemLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    error_ = "cannot start the compressor (out of memory)";
    return;
  }
  state_->open = true;
  state_->crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  const uint8_t header[10] = {kitformat::kGzipMagic0, kitformat::kGzipMagic1, 8, 0, 0, 0, 0, 0, 0, kGzipOsByte};
  if (!sink_(header, sizeof header)) error_ = "write failed";
}

GzipEncoder::~GzipEncoder() {
  if (state_->open) deflateEnd(&state_->stream);
  delete state_;
}

bool GzipEncoder::Deflate(const uint8_t* data, size_t size, int flush) {
  z_stream& s = state_->stream;
  s.next_in = const_cast<Bytef*>(data);
  s.avail_in = static_cast<uInt>(size);
  for (;;) {
    s.next_out = state_->out.data();
    s.avail_out = static_cast<uInt>(state_->out.size());
    int rc = deflate(&s, flush);
    if (rc == Z_STREAM_ERROR) {
      error_ = "compressor failure";
      return false;
    }
    size_t produced = state_->out.size() - s.avail_out;
    if (produced && !sink_(state_->out.data(), produced)) {
      error_ = "write failed";
      return false;
    }
    if (flush == Z_FINISH ? rc == Z_STREAM_END : (s.avail_in == 0 && s.avail_out != 0)) return true;
  }
}

bool GzipEncoder::Write(const uint8_t* data, size_t size) {
  if (!error_.empty() || state_->finished) return false;
  while (size > 0) {
    size_t part = size < kMaxFeed ? size : kMaxFeed;
    state_->crc = static_cast<uint32_t>(crc32(state_->crc, data, static_cast<uInt>(part)));
    state_->length += static_cast<uint32_t>(part);
    if (!Deflate(data, part, Z_NO_FLUSH)) return false;
    data += part;
    size -= part;
  }
  return true;
}

bool GzipEncoder::Finish() {
  if (!error_.empty() || state_->finished) return false;
  state_->finished = true;
  if (!Deflate(nullptr, 0, Z_FINISH)) return false;
  ByteVector trailer;
  Put32(trailer, state_->crc);
  Put32(trailer, state_->length);
  if (!sink_(trailer.data(), trailer.size())) {
    error_ = "write failed";
    return false;
  }
  return true;
}

bool GzipBytes(const uint8_t* data, size_t size, ByteVector& out, std::string& error) {
  out.clear();
  GzipEncoder encoder([&out](const uint8_t* p, size_t n) {
    out.insert(out.end(), p, p + n);
    return true;
  });
  bool ok = encoder.Write(data, size) && encoder.Finish();
  if (!ok) error = encoder.error();
  return ok;
}

}  // namespace pack
