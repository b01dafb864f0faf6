// Trace facility: one process-wide current sink per character width, to which code sends
// printf-style messages that come out with a time and thread prefix on every line
// ("HH:MM:SS.mmm : 0A1C : "), and scope objects that write indented entry and exit lines.
//
// Sinks: DebugTraceSink (debugger output, "DEBUG"), FileTraceSink (a file with an optional size
// limit at which writing starts again at the file's beginning, "FILE {path} mode") and
// NullTraceSink ("NONE", the start-up sink, writes nothing). Error reporting copies its texts
// into the trace when the current sink's echo flag is set. Neither program switches anything on.
//
// SetTraceSink, Enable/DisableTraceEcho and TraceScopesEnabled are for start-up and shutdown
// only; they take no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "clientchar.h"

namespace client_platform {
struct Mutex;
}

template <class Ch>
class BasicTraceSink {
 public:
  BasicTraceSink() = default;
  virtual ~BasicTraceSink();
  BasicTraceSink(const BasicTraceSink&) = delete;
  BasicTraceSink& operator=(const BasicTraceSink&) = delete;

  virtual const Ch* Name() = 0;
  // Prepares the sink; true when it can be written.
  virtual bool Open();
  virtual void Close();
  // False only when the lock was not obtained in time.
  virtual bool Lock();
  virtual void Unlock();
  // Emits finished text; returns the number of characters written.
  virtual int Write(const Ch* text);
  // Formats the message and writes it with the time/thread prefix before every line. Returns
  // the text written (valid until the next Trace call in the process), or null when nothing
  // was written (the sink could not be opened or locked).
  virtual const Ch* Trace(const Ch* format, ...);
  // "<file left-justified in 20> L<line left-justified in 4> - ", no newline.
  virtual const Ch* TraceLocation(const Ch* fileName, int line);
  // Forms with a format and two values, or one value, passed on to Trace unchanged.
  virtual const Ch* TracePair(const Ch* format, const Ch* first, const Ch* second);
  virtual const Ch* TracePair(const Ch* format, long first, long second);
  virtual const Ch* TraceValue(const Ch* format, const Ch* value);
  virtual const Ch* TraceValue(const Ch* format, long value);
  // The text as it is ("%" included).
  virtual const Ch* TraceText(const Ch* text);

  bool EchoEnabled() const { return echo_; }
  void SetEcho(bool on) { echo_ = on; }

 private:
  bool echo_ = false;
};

template <class Ch>
class BasicDebugTraceSink : public BasicTraceSink<Ch> {
 public:
  ~BasicDebugTraceSink() override;
  const Ch* Name() override;
  bool Open() override;
  void Close() override;
  bool Lock() override;
  void Unlock() override;
  int Write(const Ch* text) override;

 private:
  client_platform::Mutex* mutex_ = nullptr;
};

template <class Ch>
class BasicFileTraceSink;

// Told when a FileTraceSink has passed its size limit and gone back to the file's start.
template <class Ch>
class BasicTraceWrapHandler {
 public:
  virtual ~BasicTraceWrapHandler() = default;
  virtual void OnWrap(BasicFileTraceSink<Ch>& sink) = 0;
};

template <class Ch>
class BasicFileTraceSink : public BasicTraceSink<Ch> {
 public:
  // mode as for fopen ("a", "w"); sizeLimit 0 means no limit; the wrap handler (or null) is
  // not owned by the sink. Nothing is opened before the first trace.
  BasicFileTraceSink(const Ch* path, const Ch* mode, uint32_t sizeLimit,
                     BasicTraceWrapHandler<Ch>* wrapHandler);
  ~BasicFileTraceSink() override;
  const Ch* Name() override;
  // Creates the mutex and opens the file if not yet done; false when the file cannot be
  // opened (tried again on the next trace).
  bool Open() override;
  void Close() override;
  bool Lock() override;
  void Unlock() override;
  // Copies the text to the debugger output, then appends it to the file. When the count
  // written since the last wrap passes the limit, writing goes back to the file's start (the
  // file is not cut) and the wrap handler is told.
  int Write(const Ch* text) override;

  // Characters written since the last wrap.
  uint32_t WrittenCount() const { return written_; }

 private:
  client_platform::Mutex* mutex_ = nullptr;
  std::FILE* file_ = nullptr;
  std::basic_string<Ch> path_;
  std::basic_string<Ch> mode_;
  std::basic_string<Ch> name_;
  uint32_t written_ = 0;
  uint32_t sizeLimit_;
  BasicTraceWrapHandler<Ch>* wrapHandler_;
};

template <class Ch>
class BasicNullTraceSink : public BasicTraceSink<Ch> {
 public:
  const Ch* Name() override;
  // Writes nothing and returns null, without formatting.
  const Ch* Trace(const Ch* format, ...) override;
};

// Writes ">>" on entry and "<<" on exit, indented by the thread's scope depth, while
// TraceScopesEnabled is on and a sink is current.
template <class Ch>
class BasicTraceScope {
 public:
  explicit BasicTraceScope(const Ch* scopeName);
  ~BasicTraceScope();
  BasicTraceScope(const BasicTraceScope&) = delete;
  BasicTraceScope& operator=(const BasicTraceScope&) = delete;

 private:
  Ch* name_ = nullptr;
};

// Scope tracing switch (off; neither program sets it).
extern bool TraceScopesEnabled;

// The current sink of a width, or null.
template <class Ch>
BasicTraceSink<Ch>* CurrentTraceSink();
// Destroys the current sink, if any, and makes sink (or none) current; the facility owns it.
template <class Ch>
void SetTraceSink(BasicTraceSink<Ch>* sink);
inline void SetTraceSink(std::nullptr_t) { SetTraceSink<ClientChar>(nullptr); }
// Set or clear the current sink's echo flag; nothing happens without a current sink.
template <class Ch = ClientChar>
void EnableTraceEcho();
template <class Ch = ClientChar>
void DisableTraceEcho();
// The part of path after its last '\' or '/' (all of it when there is none).
template <class Ch>
const Ch* TraceFileName(const Ch* path);

// Echo hooks of error reporting: write only when a current sink exists and its echo flag is
// set (never, with the programs' start-up state). The text goes out as plain text.
void TraceEchoText(const char* text);
void TraceEchoText(const wchar_t* text);
// Traces "caption\ntext" after a message box.
void TraceEchoBox(const char* caption, const char* text);
void TraceEchoBox(const wchar_t* caption, const wchar_t* text);

using TraceSink = BasicTraceSink<ClientChar>;
using DebugTraceSink = BasicDebugTraceSink<ClientChar>;
using FileTraceSink = BasicFileTraceSink<ClientChar>;
using NullTraceSink = BasicNullTraceSink<ClientChar>;
using TraceWrapHandler = BasicTraceWrapHandler<ClientChar>;
using TraceScope = BasicTraceScope<ClientChar>;
