#include "pack/memberstream.h"

#include <deque>
#include <memory>

#include "formatstring.h"
#include "pack/gzipmember.h"
#include "services/bytewriter.h"
#include "services/kitformat.h"

namespace pack {

namespace {

// One part of a member's data: bytes in memory, or a range of a spill file.
struct Piece {
  ByteVector bytes;
  SpillFile* spill = nullptr;
  uint64_t offset = 0;
  size_t size = 0;
};

struct MemberState {
  std::deque<Piece> pieces;
  size_t memory = 0;  // bytes of the pieces held in memory
  bool done = false;
  std::string error;
};

struct Shared {
  Shared(KitPlatform& p, const std::vector<MemberSource>& m, const StreamLimits& l)
      : platform(p), members(m), limits(l), states(m.size()) {}
  KitPlatform& platform;
  const std::vector<MemberSource>& members;
  const StreamLimits& limits;
  std::unique_ptr<Monitor> monitor;
  // Everything below is guarded by the monitor.
  std::vector<MemberState> states;
  size_t next = 0;           // next member a worker takes
  size_t turn = 0;           // member the sink receives now
  size_t waitingMemory = 0;  // memory held by members other than the turn's
  size_t failedAt = SIZE_MAX;  // first member known to fail
  bool abort = false;
};

class Worker {
 public:
  Worker(Shared& shared, std::unique_ptr<SpillFile>& spill) : s_(shared), spill_(spill) {}
  void Run();

 private:
  // Reads and encodes one member; the failure text when it fails.
  std::string Process(size_t index);
  // Hands a piece of the member on; false when the run was stopped or the spill failed.
  bool Publish(size_t index, ByteVector& bytes, std::string& error);
  void Finish(size_t index, const std::string& error);

  Shared& s_;
  std::unique_ptr<SpillFile>& spill_;
};

void Worker::Run() {
  for (;;) {
    size_t index;
    {
      MonitorLock lock(*s_.monitor);
      if (s_.abort || s_.next >= s_.members.size() || s_.next > s_.failedAt) return;
      index = s_.next++;
    }
    Finish(index, Process(index));
  }
}

void Worker::Finish(size_t index, const std::string& error) {
  MonitorLock lock(*s_.monitor);
  MemberState& state = s_.states[index];
  state.done = true;
  state.error = error;
  if (!error.empty() && index < s_.failedAt) s_.failedAt = index;
  s_.monitor->NotifyAll();
}

bool Worker::Publish(size_t index, ByteVector& bytes, std::string& error) {
  if (bytes.empty()) return true;
  size_t size = bytes.size();
  MonitorLock lock(*s_.monitor);
  MemberState& state = s_.states[index];
  if (index == s_.turn) {
    // The sink is taking this member: wait for it to drain rather than grow.
    while (!s_.abort && state.memory > 0 && state.memory + size > s_.limits.turnBudget) s_.monitor->Wait();
  } else if (s_.waitingMemory + size > s_.limits.waitingBudget) {
    Piece piece;
    piece.size = size;
    s_.monitor->Unlock();
    SystemError failure;
    if (!spill_) spill_ = s_.platform.CreateSpill(failure);
    bool spilled = spill_ && spill_->Append(bytes.data(), size, piece.offset, failure);
    s_.monitor->Lock();
    if (!spilled) {
      error = "\n-- cannot write the temporary spill file \n " + CodeAndText(failure);
      return false;
    }
    piece.spill = spill_.get();
    bytes.clear();
    state.pieces.push_back(std::move(piece));
    s_.monitor->NotifyAll();
    return !s_.abort;
  } else {
    s_.waitingMemory += size;
  }
  if (s_.abort) return false;
  Piece piece;
  piece.size = size;
  piece.bytes.swap(bytes);
  state.memory += size;
  state.pieces.push_back(std::move(piece));
  s_.monitor->NotifyAll();
  return true;
}

std::string Worker::Process(size_t index) {
  const MemberSource& member = s_.members[index];
  SystemError failure;
  std::unique_ptr<InputFile> input = s_.platform.OpenInput(member.path, failure);
  if (!input) {
    return FormatToString(member.compress ? "\n--- open failure on '%s' \n %s"
                                          : "\n-- file open error in installer input file '%s' \n %s",
                          member.path.c_str(), CodeAndText(failure).c_str());
  }
  auto readFailure = [&]() {
    return FormatToString("\n-- file open error in installer input file '%s' \n %s",
                          member.path.c_str(), CodeAndText(failure).c_str());
  };
  ByteVector block(s_.limits.readBlock);
  size_t got = 0;
  if (!input->Read(block.data(), block.size(), got, failure)) return readFailure();
  // Every reader decompresses data that starts with the gzip magic, and an empty resource
  // cannot be recorded: such a stored member is wrapped in gzip of its own.
  bool gzip = member.compress || got == 0 ||
              (got >= 2 && block[0] == kitformat::kGzipMagic0 && block[1] == kitformat::kGzipMagic1);
  ByteVector piece;
  piece.reserve(s_.limits.piece);
  std::string error;
  bool stopped = false;
  auto emit = [&](const uint8_t* data, size_t size) {
    while (size > 0) {
      size_t take = std::min(size, s_.limits.piece - piece.size());
      piece.insert(piece.end(), data, data + take);
      data += take;
      size -= take;
      if (piece.size() >= s_.limits.piece) {
        if (!Publish(index, piece, error)) {
          stopped = true;
          return false;
        }
        piece.clear();
        piece.reserve(s_.limits.piece);
      }
    }
    return true;
  };
  if (gzip) {
    GzipEncoder encoder([&](const uint8_t* data, size_t size) { return emit(data, size); });
    for (;;) {
      if (got > 0 && !encoder.Write(block.data(), got)) break;
      if (got == 0) {
        encoder.Finish();
        break;
      }
      if (!input->Read(block.data(), block.size(), got, failure)) return readFailure();
    }
    if (!stopped && !encoder.error().empty()) {
      return FormatToString("\n-- compression of '%s' failed: %s", member.path.c_str(), encoder.error().c_str());
    }
  } else {
    while (got > 0) {
      if (!emit(block.data(), got)) break;
      if (!input->Read(block.data(), block.size(), got, failure)) return readFailure();
    }
  }
  if (stopped) return error;
  if (!Publish(index, piece, error)) return error;
  return std::string();
}

// The sink's side: takes the members' pieces in order.
bool Deliver(Shared& s, MemberSink& sink, std::string& errorText) {
  ByteVector buffer;
  for (size_t index = 0; index < s.members.size(); ++index) {
    {
      MonitorLock lock(*s.monitor);
      s.turn = index;
      s.waitingMemory -= s.states[index].memory;
      s.monitor->NotifyAll();
    }
    if (!sink.Begin(index, errorText)) return false;
    uint64_t total = 0;
    for (;;) {
      Piece piece;
      {
        MonitorLock lock(*s.monitor);
        MemberState& state = s.states[index];
        while (state.pieces.empty() && !state.done) s.monitor->Wait();
        if (state.pieces.empty()) {
          if (!state.error.empty()) {
            errorText += state.error;
            return false;
          }
          break;
        }
        piece = std::move(state.pieces.front());
        state.pieces.pop_front();
        if (!piece.spill) state.memory -= piece.size;
        s.monitor->NotifyAll();
      }
      if (piece.spill) {
        buffer.resize(s.limits.piece);
        for (size_t done = 0; done < piece.size;) {
          size_t part = std::min(buffer.size(), piece.size - done);
          SystemError failure;
          if (!piece.spill->ReadAt(piece.offset + done, buffer.data(), part, failure)) {
            errorText += "\n-- cannot read the temporary spill file \n " + CodeAndText(failure);
            return false;
          }
          if (!sink.Write(buffer.data(), part, errorText)) return false;
          done += part;
        }
      } else if (!sink.Write(piece.bytes.data(), piece.size, errorText)) {
        return false;
      }
      total += piece.size;
    }
    if (!sink.End(index, total, errorText)) return false;
  }
  return true;
}

}  // namespace

bool StreamMembers(KitPlatform& platform, const std::vector<MemberSource>& members, unsigned jobs,
                   const StreamLimits& limits, MemberSink& sink, std::string& errorText) {
  if (members.empty()) return true;
  Shared shared(platform, members, limits);
  shared.monitor = platform.NewMonitor();
  if (jobs == 0) jobs = 1;
  if (jobs > members.size()) jobs = static_cast<unsigned>(members.size());
  std::vector<std::unique_ptr<SpillFile>> spills(jobs);
  std::vector<std::unique_ptr<Worker>> workers;
  bool started = true;
  for (unsigned w = 0; w < jobs; ++w) {
    workers.push_back(std::make_unique<Worker>(shared, spills[w]));
    Worker* worker = workers.back().get();
    SystemError failure;
    if (!platform.StartThread([worker] { worker->Run(); }, failure)) {
      errorText += "\n-- cannot start a compression thread \n " + CodeAndText(failure);
      started = false;
      break;
    }
  }
  bool ok = started && Deliver(shared, sink, errorText);
  {
    MonitorLock lock(*shared.monitor);
    shared.abort = !ok;
    shared.monitor->NotifyAll();
  }
  platform.JoinThreads();
  return ok;
}

}  // namespace pack
