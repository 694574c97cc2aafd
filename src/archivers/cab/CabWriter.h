#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace archiver
{

// Writes an MSZIP cabinet with libgcab into an existing (empty) file.
class CabWriter
{
public:
    struct Input {
        std::string path; // file on disk
        std::string name; // stored name, "\" between folders
        uint64_t size = 0;
    };

    // progress: files written so far and their count; false cancels.
    bool write(const std::vector<Input>& inputs, const std::string& output,
               const std::function<bool(uint64_t, uint64_t)>& progress, std::string& error);
};

} // namespace archiver
