// SPDX-License-Identifier: MIT
// SIGINT, SIGTERM and SIGHUP as a request to quit, handled on the user
// interface thread. A signal handler may do next to nothing, and ending the
// program from it would leave keys down and keycodes remapped on the X
// server; so the handler only notes the signal and writes a byte to a pipe
// that the event loop watches. The loop then stops a running playback,
// which gives the keyboard back, and ends the program as the signal would
// have (exit_for_signal).
#pragma once

namespace tavrino {

// Installs the handlers. Returns the file descriptor that becomes readable
// when one of the signals arrives, or -1 when the pipe cannot be made (the
// signals then keep their default action).
int catch_stop_signals();

// The first of the signals that arrived, 0 while none has. Safe to call at
// any time, from any thread.
int stop_signal_pending();

// Ends the process with `signal`'s default action, so that its parent sees
// it ended by that signal (a shell's status 128 + signal).
[[noreturn]] void exit_for_signal(int signal);

}  // namespace tavrino
