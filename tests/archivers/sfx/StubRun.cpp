#include "StubRun.h"

namespace sfxtest
{

using namespace testsupport;

int runStub(const TempFolder& dir, const std::string& program, const std::string& arguments,
            std::string* output)
{
    return runStubWith(dir,
                       "XDG_DATA_HOME=" + quote(dir / "xdg-data") +
                           " XDG_CONFIG_HOME=" + quote(dir / "xdg-config"),
                       program, arguments, output);
}

int runStubWith(const TempFolder& dir, const std::string& environment, const std::string& program,
                const std::string& arguments, std::string* output)
{
    const std::string log = dir / "stub.log";
    const int status = shell("env " + environment + " " + quote(program) + " " + arguments +
                             " </dev/null >" + quote(log) + " 2>&1");
    if (output)
        *output = readFile(log);
    return status;
}

} // namespace sfxtest
