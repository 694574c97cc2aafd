#pragma once

#include "ArchiverApi.h"

#include <cstdint>
#include <memory>
#include <string>

class QProgressDialog;

namespace archiver
{

// A progress window owned by the caller's window while an archiver works. It is shown only
// when enabled and a display is there; otherwise every call does nothing. The user may
// cancel it; the archiver then stops between members.
class ProgressWindow
{
public:
    ProgressWindow(ArchiverWindow owner, const std::string& title, bool enabled, bool asBar);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void setMember(const std::string& name, uint64_t done, uint64_t total);
    bool cancelled() const;

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace archiver
