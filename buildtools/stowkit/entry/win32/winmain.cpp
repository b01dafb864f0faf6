// Entry of stowkitwin: one program, two modes. Argument 1 alone decides: a -create switch
// packs a kit, anything else runs the kit this executable is.
#include <windows.h>

#include <exception>
#include <string>

#include "clientexception.h"
#include "commandline.h"
#include "entry/dispatch.h"
#include "pack/win32/packkit.h"
#include "platform.h"
#include "run/win32/runkit.h"
#include "services/fatalend.h"
#include "services/win32/services.h"
#include "services/win32/win32util.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  client_platform::RestrictDllSearchToSystem();
  std::string moduleBaseName = ModuleBaseName(ModuleFileName(instance));
  try {
    CommandLineCursor cursor;
    if (IsPackModeRequest(cursor)) return pack::PackKit(instance, cursor, moduleBaseName.c_str());
    return run::RunKit(instance, moduleBaseName.c_str());
  } catch (const FatalEnd& end) {
    // The modes report their own fatal ends; this is only the last line of defence.
    ReportText(end.text);
    return end.status;
  } catch (CClientException*) {
    // Already shown where it was raised; end without a second message.
    return kUnhandledClientExceptionStatus;
  } catch (const std::exception&) {
    // Out of memory and the like: end with the same failure status rather than through the
    // runtime's abort box, which would block an unattended installation.
    return kUnhandledClientExceptionStatus;
  }
}
