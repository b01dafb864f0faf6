// Unpacking: the control file and the members out of the kit's own resources, through
// temporary copies and zlib's gzip reader, into the working directory.
#pragma once

#include <string>

#include "run/controlfile.h"

namespace run {

// The control file's text (UTF-8). False after showing why it cannot be read. A damaged
// control file, or no temporary name, throws FatalEnd; nothing of the step is left then.
bool ReadControlFile(std::string& text);

// Unpacks one member below workDir. A member that cannot be written safely or at all is shown
// and skipped. Damaged member data and a failed write of the target throw FatalEnd, after the
// partial target and the temporary copy are gone.
void ExtractMember(const Member& member, const std::wstring& workDir);

}  // namespace run
