#pragma once

#include "ArchiverApi.h"

#include <cstdint>
#include <memory>
#include <string>

namespace archiver
{

// A progress window owned by the caller's window while an archiver works. It is shown only
// when enabled and a display is there; otherwise every call does nothing. The user may
// cancel it; the archiver then stops between members.
//
// The archiver may run on a worker thread: the window then lives on the windows' thread,
// the worker's updates are posted to it (the latest one wins, the worker never waits for a
// paint) and its cancel button sets a flag the worker reads. Called on the windows' thread,
// each update also lets the window answer.
class ProgressWindow
{
public:
    ProgressWindow(ArchiverWindow owner, const std::string& title, bool enabled, bool asBar);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void setMember(const std::string& name, uint64_t done, uint64_t total);
    bool cancelled() const;

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace archiver
