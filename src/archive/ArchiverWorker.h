#pragma once

#include "archive/ArchiverCall.h"
#include "desktop/InputBlocker.h"

#include <memory>

namespace archive
{

// Runs each call of another ArchiverCall on a thread of its own. The calling thread, when it
// is the one the windows live on, keeps answering (painting, the archivers' questions and
// progress window, timers) in a local event loop until the call has ended, while the
// InputBlocker keeps the user from starting anything else in the windows that were open. A
// call made on any other thread runs there directly.
class ThreadedArchiverCall final : public ArchiverCall
{
public:
    explicit ThreadedArchiverCall(std::unique_ptr<ArchiverCall> inner);
    // Wraps a call that the caller keeps alive.
    explicit ThreadedArchiverCall(ArchiverCall& inner);
    ~ThreadedArchiverCall() override;

    CallResult run(Family family, quintptr ownerWindow, const QString& commandLine,
                   int reportBufferSize) override;

    // True while a call runs on a worker.
    bool busy() const { return m_running > 0; }

private:
    std::unique_ptr<ArchiverCall> m_own;
    ArchiverCall& m_inner;
    int m_running = 0;
};

} // namespace archive
