// Per-thread state of the shared client library (formatting scratch buffers, trace scope
// depth). It lives in compiler thread-local variables, or, when UseTlsSlots is switched on
// before first use, in one platform TLS slot whose zero-filled block is made on a thread's
// first use. Neither program switches it on.
#pragma once

struct ClientThreadState {
  int scratchSizeNarrow = 0;
  char* scratchNarrow = nullptr;
  int scratchSizeWide = 0;
  wchar_t* scratchWide = nullptr;
  // The scratch buffers above belong to this round of the formatting registry; once the
  // registry has freed every buffer at process exit, a stale round means "no buffer".
  int scratchEpoch = 0;
  int traceScopeDepth = 0;
};

// Where per-thread state lives: false (default) compiler thread-locals, true a TLS slot.
extern bool UseTlsSlots;

// The calling thread's state, or null when the TLS slot or its block cannot be obtained.
ClientThreadState* CurrentThreadState();
