#pragma once

namespace zentaro::platform {

// Ends the process with `status`, for the end of main, once everything the
// program opened has been closed and saved. What waits in the standard output
// and error buffers is written first.
//
// On Windows the runtimes' own exit-time clean-up is skipped: the MinGW thread
// library can leave a lock of its thread keys taken when threads with
// thread-local data end at the same moment (the update check's thread and the
// one Qt watches it with), and the C++ runtime then waits for that lock forever
// when it unloads. Nothing of the program's depends on that clean-up.
[[noreturn]] void EndProcess(int status);

} // namespace zentaro::platform
