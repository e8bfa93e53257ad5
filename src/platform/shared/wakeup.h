// Wake-ups for a thread that waits on a deadline others may bring forward (the timer scheduler).
#pragma once

namespace shared {

// From now on every wait ends at once and reports that it was abandoned (a
// headless harness winding a session up); false restores normal waiting.
void AbandonWaits(bool abandon);

// Told +1 when a thread starts waiting and -1 when its wait ends or a Wake
// ends it (from the waking thread, before the waiter runs again): a harness
// counts its blocked threads with it. Null: nobody counts.
void ObserveWaits(void (*observer)(int change));

}  // namespace shared
