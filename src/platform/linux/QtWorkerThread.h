#pragma once

#include "base/Executor.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <mutex>

namespace ambleguard::linuxdesktop {

// A serial executor on a thread of its own running a Qt event loop, so QObjects that live there
// (the BlueZ client) receive their D-Bus signals and timers on it. The program's Bluetooth
// queue and peripheral queue are one such thread.
//
// stop() (also run by the destructor) shuts it down in order: the objects living on the thread
// are deleted on the thread, then its loop quits and the thread is joined. Work posted after
// that is dropped.
class QtWorkerThread final : public SerialExecutor {
  public:
    explicit QtWorkerThread(const QString& name);
    QtWorkerThread(const QtWorkerThread&) = delete;
    QtWorkerThread& operator=(const QtWorkerThread&) = delete;
    ~QtWorkerThread() override;

    void post(Task task) override;
    // Runs `task` on the thread and waits for it. Called on the thread itself it runs the task
    // at once (waiting for itself would never end).
    void runSync(const Task& task) override;

    // True when called from this executor's thread.
    bool isCurrent() const;
    // An object living on the thread: parent objects to it, or use it as a connection context,
    // so they are deleted on the thread at stop().
    QObject* context() const { return context_; }

    void stop();

  private:
    QThread thread_;
    QObject* context_;
    mutable std::mutex mutex_;
    bool stopped_ = false;
};

}  // namespace ambleguard::linuxdesktop
