#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform {

// The requests to end the program that the system sends (SIGTERM at log-off
// or a service stop, SIGHUP when its terminal goes away, SIGINT for Ctrl+C),
// delivered as a call on the user-interface thread.
//
// The signal handler itself only writes the signal's number to a pipe, which
// is safe inside a handler; a notifier on the pipe runs `onSignal` from the
// event loop, where the program may do anything. The handler also gives the
// three signals back to the system's default, so that a second signal ends a
// program that no longer answers. One object at a time; the destructor
// restores the handlers it found.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal,
                                QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up.
    bool Installed() const { return installed_; }

private:
    void OnReadable();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    bool installed_ = false;
};

}  // namespace platform
