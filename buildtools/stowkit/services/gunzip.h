// Decompressing what a kit stores, as zlib's gzip file reader reads it: data that starts with the
// gzip signature is one or more gzip members (anything after the last member that is not another
// member is ignored), any other data passes through unchanged. The data arrives in pieces of any
// size and leaves through a sink, so no file stream is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class GunzipFilter {
 public:
  // Receives the decompressed bytes in order; false stops the filter (the write failed).
  using Sink = std::function<bool(const uint8_t* data, size_t size)>;

  explicit GunzipFilter(Sink sink);
  ~GunzipFilter();
  GunzipFilter(const GunzipFilter&) = delete;
  GunzipFilter& operator=(const GunzipFilter&) = delete;

  // The next piece of the stored data. False when the data is damaged (error() says how, in
  // zlib's words) or the sink refused (sinkFailed()).
  bool Feed(const uint8_t* data, size_t size);
  // After the last piece: false when a gzip member ends early ("unexpected end of file").
  bool Finish();

  const std::string& error() const { return error_; }
  bool sinkFailed() const { return sinkFailed_; }

 private:
  bool Inflate(const uint8_t* data, size_t size, size_t& used);
  bool Fail(const char* reason);

  enum class Mode { kUndecided, kPlain, kMember, kBetween, kIgnoring };
  struct State;
  State* state_;
  Sink sink_;
  Mode mode_ = Mode::kUndecided;
  bool sinkFailed_ = false;
  std::string error_;
};
