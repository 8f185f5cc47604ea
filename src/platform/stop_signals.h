// SIGTERM and SIGINT (a session ending, a launcher closing the game, Ctrl+C) ask the program
// to end as the window's close button does, once main() has called CatchStopSignals. The handler only notes the request and writes a
// byte to a pipe; the event pump and the message box see it and end the program cleanly. A
// second signal, while the first is still being served, ends the program at once.
#pragma once

namespace plat {

// Installs the handlers (once; later calls do nothing).
void CatchStopSignals();
// True once a stop signal came.
bool StopRequested();
// Readable once a stop signal came (for poll()); -1 before CatchStopSignals.
int StopSignalFd();

}  // namespace plat
