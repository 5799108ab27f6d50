#pragma once
// The movie library (libmpv) is not linked into the programs: it and its many libraries are
// loaded at the first movie, so a map of photos alone starts without them and a package of
// photos alone need not carry them.

#include <string>

namespace mw {

// Loads libmpv (once per process) and finds every function the movie back-end calls. False
// when it cannot be loaded; then the movie back-end reports that it cannot start.
bool LoadMovieLibrary();

// Whether libmpv has been loaded into this process.
bool MovieLibraryLoaded();

// The loader's reason when loading libmpv was tried and failed (a library it needs is
// missing or too old); empty when it loaded or was not tried yet. A movie that cannot be
// opened for this reason is not at fault itself.
std::string MovieLibraryProblem();

}  // namespace mw
