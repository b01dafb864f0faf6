#include "services/gunzip.h"

#include "services/kitformat.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace {
constexpr size_t kOutputBlock = 64 * 1024;
constexpr int kGzipWindowBits = 15 + 16;  // gzip header and trailer checked by zlib
}  // namespace

struct GunzipFilter::State {
  z_stream stream;
  bool open = false;
  // The first byte of a possible signature, held until the next byte says what it begins.
  bool held = false;
  uint8_t heldByte = 0;
  std::vector<uint8_t> out = std::vector<uint8_t>(kOutputBlock);
};

GunzipFilter::GunzipFilter(Sink sink) : state_(new State), sink_(std::move(sink)) {
  std::memset(&state_->stream, 0, sizeof state_->stream);
}

GunzipFilter::~GunzipFilter() {
  if (state_->open) inflateEnd(&state_->stream);
  delete state_;
}

bool GunzipFilter::Fail(const char* reason) {
  error_ = reason;
  return false;
}

bool GunzipFilter::Inflate(const uint8_t* data, size_t size, size_t& used) {
  z_stream& s = state_->stream;
  s.next_in = const_cast<Bytef*>(data);
  s.avail_in = static_cast<uInt>(size);
  for (;;) {
    s.next_out = state_->out.data();
    s.avail_out = static_cast<uInt>(state_->out.size());
    int rc = inflate(&s, Z_NO_FLUSH);
    if (rc == Z_STREAM_ERROR || rc == Z_NEED_DICT) {
      return Fail("internal error: inflate stream corrupt");
    }
    if (rc == Z_MEM_ERROR) return Fail("out of memory");
    if (rc == Z_DATA_ERROR) return Fail(s.msg ? s.msg : "compressed data error");
    size_t produced = state_->out.size() - s.avail_out;
    if (produced && !sink_(state_->out.data(), produced)) {
      sinkFailed_ = true;
      return false;
    }
    if (rc == Z_STREAM_END) {
      mode_ = Mode::kBetween;
      break;
    }
    if (s.avail_in == 0 && s.avail_out != 0) break;
  }
  used = size - s.avail_in;
  return true;
}

bool GunzipFilter::Feed(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (mode_ == Mode::kPlain) {
      if (!sink_(data, size)) {
        sinkFailed_ = true;
        return false;
      }
      return true;
    }
    if (mode_ == Mode::kIgnoring) return true;
    if (mode_ == Mode::kMember) {
      size_t used = 0;
      if (!Inflate(data, size, used)) return false;
      data += used;
      size -= used;
      continue;
    }
    // Undecided, or between members: two bytes tell whether a member begins.
    if (!state_->held) {
      state_->held = true;
      state_->heldByte = *data++;
      --size;
      continue;
    }
    bool member = state_->heldByte == kitformat::kGzipMagic0 && *data == kitformat::kGzipMagic1;
    state_->held = false;
    if (!member) {
      if (mode_ == Mode::kBetween) {  // trailing garbage after a member: ignored
        mode_ = Mode::kIgnoring;
        return true;
      }
      mode_ = Mode::kPlain;
      if (!sink_(&state_->heldByte, 1)) {
        sinkFailed_ = true;
        return false;
      }
      continue;
    }
    if (!state_->open) {
      if (inflateInit2(&state_->stream, kGzipWindowBits) != Z_OK) return Fail("out of memory");
      state_->open = true;
    } else {
      inflateReset(&state_->stream);
    }
    mode_ = Mode::kMember;
    size_t used = 0;
    if (!Inflate(&state_->heldByte, 1, used)) return false;
  }
  return true;
}

bool GunzipFilter::Finish() {
  if (mode_ == Mode::kMember) return Fail("unexpected end of file");
  // A single byte left over: plain data of one byte, or one byte after the last member.
  if (state_->held && mode_ == Mode::kUndecided) {
    state_->held = false;
    if (!sink_(&state_->heldByte, 1)) {
      sinkFailed_ = true;
      return false;
    }
  }
  return true;
}
