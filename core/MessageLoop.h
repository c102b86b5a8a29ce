// Letting the program's window messages and events run from inside a handler,
// as a nested message loop does.
#pragma once

namespace vorlane {

// Dispatches the messages waiting now and returns. False when the program is
// quitting: the quit message is posted again for the main loop to end on.
bool doEvents();

// Waits up to waitMilliseconds for a message to arrive, then doEvents.
bool waitThenDoEvents(unsigned long waitMilliseconds);

}  // namespace vorlane
