#include "platform/linux/QtWorkerThread.h"

#include "base/Sequence.h"

namespace ambleguard::linuxdesktop {

QtWorkerThread::QtWorkerThread(const QString& name) : context_(new QObject) {
    thread_.setObjectName(name);
    context_->moveToThread(&thread_);
    thread_.start();
}

QtWorkerThread::~QtWorkerThread() {
    stop();
}

void QtWorkerThread::post(Task task) {
    std::lock_guard lock(mutex_);
    if (stopped_) {
        return;
    }
    QMetaObject::invokeMethod(
        context_,
        [this, task = std::move(task)] {
            ScopedSequence sequence(this);
            task();
        },
        Qt::QueuedConnection);
}

void QtWorkerThread::runSync(const Task& task) {
    if (isCurrent()) {
        task();
        return;
    }
    const auto marked = [this, &task] {
        ScopedSequence sequence(this);
        task();
    };
    {
        std::lock_guard lock(mutex_);
        if (stopped_) {
            return;
        }
    }
    // The lock is not held while waiting: the task may post to this executor.
    QMetaObject::invokeMethod(context_, marked, Qt::BlockingQueuedConnection);
}

bool QtWorkerThread::isCurrent() const {
    return QThread::currentThread() == &thread_;
}

void QtWorkerThread::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_) {
            return;
        }
        stopped_ = true;
    }
    // Work posted before stop() runs first (queued events keep their order), then the objects
    // living on the thread go, on the thread.
    QObject* context = context_;
    QMetaObject::invokeMethod(
        context, [context] { delete context; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

}  // namespace ambleguard::linuxdesktop
