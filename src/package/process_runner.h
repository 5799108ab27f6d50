#pragma once
// Runs a program as a process of its own, with an argument list and no shell, and
// waits for it.

#include <functional>
#include <string>
#include <vector>

namespace mw {

// The result of a run that could not start the program.
inline constexpr int kNotStarted = -1;

// Starts `program` with `arguments` in `workingFolder` and waits without a time limit
// until it ends. Calls `whileWaiting` every few tenths of a second meanwhile (may be
// empty). Gives the program's exit code, or kNotStarted. What the program writes to
// its error output still reaches ours; its last line that is not empty is put into
// `lastErrorLine` when one is given.
int RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::function<void()>& whileWaiting,
                      std::string* lastErrorLine = nullptr);

}  // namespace mw
