#pragma once

namespace tw::app {

// Ending the process with an exit code, raised where the program must stop at once (a failed
// start-up, no package queries) and turned into the exit code by main(). Deliberately not a
// std::exception, so that error guards catching std::exception or tw::Error let it through.
struct ProcessExit {
    int exitCode = 1;
};

} // namespace tw::app
