#pragma once

namespace app {
// Starts the program: returns the exit code of the event loop.
int runProgram(int argc, char** argv);
} // namespace app
