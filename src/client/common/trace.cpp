#include "trace.h"

void TraceEchoText(const char*) {}
void TraceEchoText(const wchar_t*) {}
void TraceEchoBox(const char*, const char*) {}
void TraceEchoBox(const wchar_t*, const wchar_t*) {}
