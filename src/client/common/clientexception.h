// The one exception class of both programs, raised by pointer.
//
// The constructor formats the message printf-style and appends the platform's last error code
// with its text ("\nGetLastErrorRC=%d (%s)"); the raiser records the source location, may show
// the message in a message box, and throws the pointer. Nothing in the programs catches it: the
// top level of each program ends the process with a failure status, without a second message.
#pragma once

#include <cstdint>

#include "clientchar.h"

template <class Ch>
class BasicClientException {
 public:
  // Formats the message (cut at 1023 characters) and captures the last error code.
  explicit BasicClientException(const Ch* format, ...);
  virtual ~BasicClientException();

  BasicClientException(const BasicClientException&) = delete;
  BasicClientException& operator=(const BasicClientException&) = delete;

  // Stores copies of file and context (null stays null) and the line.
  virtual void SetLocation(const Ch* file, int line, const Ch* context);
  // Message box: caption "<base name of file>-<line> : <context>" (or just the context when no
  // file is set); MB_ICONWARNING is always added to style.
  virtual void Show(unsigned style);

  const Ch* Text() const { return text_; }
  const Ch* SourceFile() const { return sourceFile_; }
  int SourceLine() const { return sourceLine_; }
  const Ch* Context() const { return context_; }
  uint32_t ErrorCode() const { return errorCode_; }
  void SetErrorCode(uint32_t code) { errorCode_ = code; }
  // The caption Show uses.
  std::basic_string<Ch> Caption() const;

 private:
  Ch* sourceFile_ = nullptr;
  int sourceLine_ = 0;
  Ch* context_ = nullptr;
  Ch* text_ = nullptr;
  uint32_t errorCode_ = 0;
};

using CClientException = BasicClientException<ClientChar>;

// Exit status with which stowkitwin ends when a raised CClientException reaches its top level.
// Nothing below the entry handles the exception; the entry catches the pointer and returns this
// status without showing a second message (the text was shown where it was raised). 255 is none
// of the statuses stowkitwin gives its own failures (1, 2, 32, 64, 66), so a script can tell this
// end apart. secpick, whose only raise is an input it cannot open, ends with its file-failure
// code -2 instead.
constexpr int kUnhandledClientExceptionStatus = 255;

// Message-box styles the programs use.
constexpr unsigned kMbSystemModal = 0x1000;
constexpr unsigned kMbIconWarning = 0x30;
// Every report box of stowkitwin: task-modal (0x2000), warning icon, OK button alone.
constexpr unsigned kReportBoxStyle = 0x2000 | kMbIconWarning;
