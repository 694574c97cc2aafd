#pragma once

#include "ArchiverTestSupport.h"

#include <string>

namespace sfxtest
{

// Runs NAME.run with the arguments, the data and config folders inside the test folder and
// no terminal; returns its exit status and keeps its output (standard output and errors).
int runStub(const testsupport::TempFolder& dir, const std::string& program,
            const std::string& arguments, std::string* output = nullptr);

// As runStub, with the environment given as "NAME=VALUE …" words for env(1) (already quoted)
// instead of the test folder's data and config folders.
int runStubWith(const testsupport::TempFolder& dir, const std::string& environment,
                const std::string& program, const std::string& arguments,
                std::string* output = nullptr);

} // namespace sfxtest
