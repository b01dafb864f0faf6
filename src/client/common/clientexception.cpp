#include "clientexception.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <string>

#include "formatstring.h"
#include "platform.h"
#include "trace.h"

namespace {

constexpr size_t kMessageBuffer = 1024;
constexpr size_t kCaptionBuffer = 1024;
constexpr size_t kBaseNameLimit = 259;

template <class Ch>
Ch* CopyText(const Ch* text) {
  if (!text) return nullptr;
  size_t n = std::char_traits<Ch>::length(text);
  Ch* copy = new Ch[n + 1];
  std::char_traits<Ch>::copy(copy, text, n + 1);
  return copy;
}

const char* RcFormat(char) { return "\nGetLastErrorRC=%d (%s)"; }
// The Windows runtime reads %s in a wide format as a wide string; elsewhere %ls is needed.
#ifdef _WIN32
const wchar_t* RcFormat(wchar_t) { return L"\nGetLastErrorRC=%d (%s)"; }
const wchar_t* CaptionFormat(wchar_t) { return L"%s-%d : %s"; }
#else
const wchar_t* RcFormat(wchar_t) { return L"\nGetLastErrorRC=%d (%ls)"; }
const wchar_t* CaptionFormat(wchar_t) { return L"%ls-%d : %ls"; }
#endif
const char* CaptionFormat(char) { return "%s-%d : %s"; }

}  // namespace

template <class Ch>
BasicClientException<Ch>::BasicClientException(const Ch* format, ...) {
  errorCode_ = client_platform::LastError();
  std::basic_string<Ch> systemText = client_platform::ErrorText(errorCode_, Ch());

  Ch message[kMessageBuffer];
  va_list args;
  va_start(args, format);
  int r = client_platform::FormatBounded(message, kMessageBuffer - 1, format, args);
  va_end(args);
  (void)r;
  message[kMessageBuffer - 1] = 0;

  std::basic_string<Ch> text(message);
  if (errorCode_ != 0) {
    text += FormatToString(RcFormat(Ch()), static_cast<int>(errorCode_), systemText.c_str());
  }
  text_ = CopyText(text.c_str());
  TraceEchoText(text_);
}

template <class Ch>
BasicClientException<Ch>::~BasicClientException() {
  delete[] sourceFile_;
  delete[] context_;
  delete[] text_;
}

template <class Ch>
void BasicClientException<Ch>::SetLocation(const Ch* file, int line, const Ch* context) {
  delete[] sourceFile_;
  delete[] context_;
  sourceFile_ = CopyText(file);
  context_ = CopyText(context);
  sourceLine_ = line;
}

template <class Ch>
std::basic_string<Ch> BasicClientException<Ch>::Caption() const {
  static const Ch empty[1] = {0};
  const Ch* context = context_ ? context_ : empty;
  std::basic_string<Ch> caption;
  if (sourceFile_) {
    // Base name: a separator starts it afresh, a dot ends it.
    std::basic_string<Ch> base;
    bool ended = false;
    for (const Ch* p = sourceFile_; *p; ++p) {
      if (*p == '/' || *p == ':' || *p == '\\') {
        base.clear();
        ended = false;
      } else if (*p == '.') {
        ended = true;
      } else if (!ended && base.size() < kBaseNameLimit) {
        base.push_back(*p);
      }
    }
    caption = FormatToString(CaptionFormat(Ch()), base.c_str(), sourceLine_, context);
  } else {
    caption = context;
  }
  if (caption.size() > kCaptionBuffer - 1) caption.resize(kCaptionBuffer - 1);
  return caption;
}

template <class Ch>
void BasicClientException<Ch>::Show(unsigned style) {
  std::basic_string<Ch> caption = Caption();
  client_platform::ShowMessageBox(text_, caption.c_str(), style | kMbIconWarning);
  TraceEchoBox(caption.c_str(), text_);
}

template class BasicClientException<char>;
template class BasicClientException<wchar_t>;
