// Mode dispatch of stowkitwin: argument 1 alone decides between packing and running.
#pragma once

#include <string>

#include "commandline.h"

// Moves the cursor to argument 1 and tells whether it asks for pack mode: a switch whose name
// abbreviates "create" with at least 3 characters (-cre, -CREAT, /create=x.exe). Anything
// else (no argument, a non-switch, another switch, -cr, -created) means run mode.
bool IsPackModeRequest(BasicCommandLineCursor<char>& cursor);

// The module base name: the file name of a path without its directory and last extension
// (C:\dir\my.setup.exe gives my.setup; a name without extension is kept whole).
std::string ModuleBaseName(const std::string& modulePath);
