#pragma once
// The player's message mode: a package that cannot start its map shows the reason with the
// player it brought, while that player's runtime works.

namespace mw {

// The option that asks for the message mode: runner.dll --failure REASON.
inline constexpr const char* kFailureOption = "--failure";

// Shows a window with the reason until the person closes it; returns 0. With the start
// report variable set, writes "failure=REASON" to the report as soon as the window is shown
// and ends.
int ShowFailureWindow(int argc, char** argv, const char* reason);

}  // namespace mw
