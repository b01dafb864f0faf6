// The system's ANSI code page, the 8-bit encoding secpick reads and writes.
#pragma once

#include "section.h"

namespace secpick {

class AnsiCodePage : public CodePage {
 public:
  std::wstring ToWide(const std::string& text) override;
  std::string ToNarrow(const std::wstring& text) override;
};

}  // namespace secpick
