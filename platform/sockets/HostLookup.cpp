// Asynchronous host look-ups: each look-up runs on its own detached worker
// thread (a resolver may block for many seconds on an unreachable name
// server) and posts its outcome to a hub object on the user-interface
// thread, which runs the handler unless the look-up was cancelled.
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/sockets/AsyncSelect.h"

namespace platform {

namespace {

// The hub lives on the user-interface thread. Workers reach it only through
// the mutex-guarded pointer, which the hub clears when it goes, so a worker
// that outlives the application posts nothing. The mutex and the pointer are
// never destroyed: a worker may still run while statics are torn down.
struct Shared {
    std::mutex mutex;
    QObject* hub = nullptr;
};
Shared& SharedState() {
    static auto* state = new Shared();
    return *state;
}

class LookupHub final : public QObject {
public:
    LookupHub() {
        std::lock_guard<std::mutex> lock(SharedState().mutex);
        SharedState().hub = this;
    }
    ~LookupHub() override {
        std::lock_guard<std::mutex> lock(SharedState().mutex);
        SharedState().hub = nullptr;
    }

    int Start(const QString& name, HostLookupHandler handler) {
        const int handle = nextHandle_++;
        if (nextHandle_ <= 0)
            nextHandle_ = 1;
        pending_.emplace(handle, std::move(handler));
        try {
            std::thread([handle, name] {
                uint32_t address = 0;
                const int error = ResolveHostName(name, &address);
                std::lock_guard<std::mutex> lock(SharedState().mutex);
                if (QObject* hub = SharedState().hub) {
                    QMetaObject::invokeMethod(
                        hub,
                        [hub, handle, error, address] {
                            static_cast<LookupHub*>(hub)->Complete(handle, error, address);
                        },
                        Qt::QueuedConnection);
                }
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the look-up could not be started.
            pending_.erase(handle);
            return 0;
        }
        return handle;
    }

    int Cancel(int handle) { return pending_.erase(handle) ? 0 : wsa::kInvalidArgument; }

private:
    void Complete(int handle, int error, uint32_t address) {
        const auto it = pending_.find(handle);
        if (it == pending_.end())
            return;
        const HostLookupHandler handler = std::move(it->second);
        pending_.erase(it);
        handler(handle, error, address);
    }

    int nextHandle_ = 1;
    std::map<int, HostLookupHandler> pending_;
};

LookupHub* Hub() {
    static QPointer<LookupHub> hub;
    if (!hub) {
        hub = new LookupHub();
        // Gone with the application, before statics are destroyed.
        if (QCoreApplication* app = QCoreApplication::instance())
            hub->setParent(app);
    }
    return hub;
}

}  // namespace

int StartHostLookup(const QString& name, HostLookupHandler handler) {
    return Hub()->Start(name, std::move(handler));
}

int CancelHostLookup(int handle) {
    return Hub()->Cancel(handle);
}

}  // namespace platform
