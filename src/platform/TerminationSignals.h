#pragma once

#include <QObject>

#include <functional>

namespace platform
{

// Runs the handler in the event loop when the process is asked to end (SIGTERM, as at logout,
// SIGINT, SIGHUP), so that the program can close its window the orderly way: settings saved,
// work folder removed.
void onTerminationRequest(QObject* context, std::function<void()> handler);

// Marks that the program has been asked to end. Work running on a worker looks at it at its
// safe points: it asks no more questions and stops as if the user had cancelled.
void markEndRequested();
bool endRequested();

} // namespace platform
