#include "threadstate.h"

#include <cstdlib>
#include <new>

#include "platform.h"

bool UseTlsSlots = false;

ClientThreadState* CurrentThreadState() {
  if (!UseTlsSlots) {
    static thread_local ClientThreadState state;
    return &state;
  }
  static long slot = client_platform::AllocTlsSlot();
  if (slot < 0) return nullptr;
  auto* state = static_cast<ClientThreadState*>(client_platform::GetTlsValue(slot));
  if (!state) {
    // Never released: the block lives as long as its thread may still format or trace.
    void* block = std::calloc(1, sizeof(ClientThreadState));
    if (!block) return nullptr;
    state = new (block) ClientThreadState();
    if (!client_platform::SetTlsValue(slot, state)) {
      std::free(block);
      return nullptr;
    }
  }
  return state;
}
