// Trace facility (to be completed): echo hooks used by error reporting.
#pragma once

// Echo hooks of error reporting: write only when a current trace sink exists and its echo
// flag is set (never, with the programs' start-up state).
void TraceEchoText(const char* text);
void TraceEchoText(const wchar_t* text);
void TraceEchoBox(const char* caption, const char* text);
void TraceEchoBox(const wchar_t* caption, const wchar_t* text);
