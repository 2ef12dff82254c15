#include "platform/SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
void (*g_inHandler)(int) = nullptr;

void onSignal(int sig)
{
    const int savedErrno = errno;
    const char b = static_cast<char>(sig);
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &b, 1);
    if (g_inHandler)
        g_inHandler(sig);
    errno = savedErrno;
}

} // namespace

namespace signalpipe {

bool install(std::initializer_list<int> signalNumbers, void (*inHandler)(int))
{
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return false;
    g_inHandler = inHandler;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : signalNumbers)
        ::sigaction(sig, &action, nullptr);
    return true;
}

void deliver(QObject* context, std::function<void(int)> onSignal)
{
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onSignal = std::move(onSignal)]() {
        char b = 0;
        if (::read(g_pipe[0], &b, 1) == 1)
            onSignal(b);
    });
}

} // namespace signalpipe
