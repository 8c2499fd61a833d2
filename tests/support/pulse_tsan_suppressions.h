#pragma once

// Included by exactly one source file of each test program that talks to a
// PulseAudio server.
// PulseAudio's client library passes its buffers between its own threads
// through lock-free lists that ThreadSanitizer cannot see into (the library
// is not instrumented): races reported inside it are not ours.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libpulsecommon\n"
         "called_from_lib:libpulse.so\n"
         "race:libpulsecommon\n"
         "race:libpulse.so\n";
}
