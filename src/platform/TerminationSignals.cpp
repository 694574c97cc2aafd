#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform
{

namespace
{
int g_pipe[2] = {-1, -1};
std::atomic<bool> g_endRequested{false};

extern "C" void writeToPipe(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}
} // namespace

void onTerminationRequest(QObject* context, std::function<void()> handler)
{
    if (g_pipe[0] < 0) {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(handler)] {
                         char buffer[16];
                         while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
                         }
                         handler();
                     });
    struct sigaction action {
    };
    action.sa_handler = writeToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void markEndRequested()
{
    g_endRequested.store(true);
}

bool endRequested()
{
    return g_endRequested.load();
}

} // namespace platform
