#include "win32/ansi.h"

#include "platform.h"

namespace secpick {

std::wstring AnsiCodePage::ToWide(const std::string& text) { return client_platform::AnsiToWide(text); }

std::string AnsiCodePage::ToNarrow(const std::wstring& text) {
  return client_platform::WideToAnsi(text);
}

}  // namespace secpick
