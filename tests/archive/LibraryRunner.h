#pragma once

#include "archive/CommandRunner.h"

#include <memory>

// The real libraries from the program folder, called directly.
std::unique_ptr<archive::CommandRunner> makeLibraryRunner();
