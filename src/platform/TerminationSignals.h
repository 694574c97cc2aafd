#pragma once

#include <QObject>

#include <functional>

namespace platform
{

// Runs the handler in the event loop when the process is asked to end (SIGTERM, as at logout,
// SIGINT, SIGHUP), so that the program can close its window the orderly way: settings saved,
// work folder removed.
void onTerminationRequest(QObject* context, std::function<void()> handler);

} // namespace platform
