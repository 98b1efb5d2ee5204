#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Written by the handler, read on the user-interface thread.
int gPipe[2] = {-1, -1};
struct sigaction gPrevious[std::size(kSignals)];

extern "C" void OnTerminationSignal(int signal) {
    // Only calls that are safe inside a signal handler.
    const int saved = errno;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (const int s : kSignals)
        ::sigaction(s, &fallback, nullptr);
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &number, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (gPipe[0] != -1 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = true;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        installed_ = ::sigaction(kSignals[i], &action, &gPrevious[i]) == 0 && installed_;
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    // The notifier goes before the descriptor it watches.
    delete notifier_;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void TerminationSignals::OnReadable() {
    unsigned char number = 0;
    int first = 0;
    while (::read(gPipe[0], &number, 1) == 1) {
        if (first == 0)
            first = number;
    }
    if (first != 0 && onSignal_)
        onSignal_(first);
}

}  // namespace platform
