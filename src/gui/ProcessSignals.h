// The signals the window's process takes care of. A write to a port whose device has gone must
// fail, not end the program; and the requests to quit that come as signals (Ctrl-C, Ctrl-\, a
// polite kill, the terminal closing) close the window properly. Windows has neither: a write
// fails by itself, and a window program has no terminal; the end of a session reaches it
// through Qt's session manager, as on Linux. ProcessSignalsPosix.cpp, ProcessSignalsWin32.cpp.
#pragma once

namespace vorna::gui {

// A write to a broken pipe or a gone terminal fails with an error instead of a signal.
void IgnoreBrokenPipes();

// `onSignal` is called, as a signal handler, for each request to quit.
void CatchQuitSignals(void (*onSignal)(int));

}  // namespace vorna::gui
