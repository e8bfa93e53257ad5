// Wake-ups for a thread that waits on a deadline others may bring forward (the timer scheduler).
#pragma once

namespace shared {

// From now on every wait ends at once and reports that it was abandoned (a
// headless harness winding a session up); false restores normal waiting.
void AbandonWaits(bool abandon);

}  // namespace shared
