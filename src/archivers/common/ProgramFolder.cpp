#include "ProgramFolder.h"

#include <dlfcn.h>

namespace archiver
{

std::string programFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&programFolder), &info) == 0 || !info.dli_fname)
        return std::string();
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string(".");
    if (slash == 0)
        return std::string("/");
    return path.substr(0, slash);
}

} // namespace archiver
