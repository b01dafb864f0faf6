// Entry of secpick (UTF-16 build of the shared client library).
//
// secpick section-name input-file output-file [fallback-section-name]
// The exit code is the result: n >= 0 body lines written, -1 no section found, -2 a file could
// not be opened, read or written, -3 fewer than three arguments. secpick never shows a window.
#include <windows.h>

#include <exception>

#include "clientexception.h"
#include "commandline.h"
#include "fileholder.h"
#include "platform.h"
#include "section.h"
#include "win32/ansi.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // An installer script starts secpick from its unpacked kit folder.
  client_platform::RestrictDllSearchToSystem();
  try {
    CommandLineCursor cursor;
    secpick::SectionRequest request;
    if (!secpick::CollectRequest(cursor, request)) return secpick::kTooFewArguments;
    secpick::StdioSectionFiles files;
    secpick::AnsiCodePage codePage;
    return secpick::ExtractSection(request, files, codePage);
  } catch (CClientException* error) {
    // The input could not be opened at all. An installer script runs secpick without a user
    // to answer a message box, so the exit code alone tells it.
    delete error;
    return secpick::kFileFailure;
  } catch (const std::exception&) {
    return secpick::kFileFailure;
  }
}
