#include "platform/linux/SecretServiceKeychain.h"

#include <qt6keychain/keychain.h>

#include <QMetaObject>
#include <QThread>

#include <pwd.h>
#include <unistd.h>
#include <future>

namespace ambleguard::linuxdesktop {

namespace {

QString loginName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_name) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(::getuid());
}

int statusOf(QKeychain::Error error) {
    switch (error) {
        case QKeychain::NoError:
            return 0;
        case QKeychain::EntryNotFound:
            return Keychain::itemNotFound;
        case QKeychain::NoBackendAvailable:
        case QKeychain::NotImplemented:
            return SecretServiceKeychain::kNoStore;
        case QKeychain::AccessDeniedByUser:
        case QKeychain::AccessDenied:
            return SecretServiceKeychain::kAccessDenied;
        case QKeychain::CouldNotDeleteEntry:
        case QKeychain::OtherError:
            break;
    }
    return SecretServiceKeychain::kFailed;
}

// The one thread every keychain job of the process starts on, and an object living there to
// start them from. Stopped when the process ends.
class KeychainThread {
  public:
    static QObject* context() {
        static KeychainThread shared;
        return shared.context_;
    }

    KeychainThread(const KeychainThread&) = delete;
    KeychainThread& operator=(const KeychainThread&) = delete;

  private:
    KeychainThread() : context_(new QObject) {
        thread_.setObjectName(QStringLiteral("keychain"));
        context_->moveToThread(&thread_);
        thread_.start();
    }
    ~KeychainThread() {
        thread_.quit();
        thread_.wait();
        // Its thread has ended, so it (and any job left) can go from here.
        delete context_;
    }

    QThread thread_;
    QObject* context_;
};

}  // namespace

SecretServiceKeychain::SecretServiceKeychain(LogSink& logSink, std::chrono::milliseconds timeout)
    : log_(logSink, "ScreenUnlock"), timeout_(timeout) {}

Keychain::ReadResult SecretServiceKeychain::run(const char* what,
                                                std::function<QKeychain::Job*()> makeJob) {
    auto answer = std::make_shared<std::promise<ReadResult>>();
    auto future = answer->get_future();
    QObject* context = KeychainThread::context();
    QMetaObject::invokeMethod(
        context,
        [context, answer, makeJob = std::move(makeJob)] {
            QKeychain::Job* job = makeJob();
            job->setParent(context);
            job->setAutoDelete(true);
            QObject::connect(
                job, &QKeychain::Job::finished, context, [answer](QKeychain::Job* finished) {
                    ReadResult result;
                    result.status = statusOf(finished->error());
                    if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished);
                        read != nullptr && result.status == 0) {
                        result.data = read->binaryData().toStdString();
                    }
                    if (result.status != 0 && result.status != itemNotFound) {
                        // Carried out of the thread with the status, for the log.
                        result.data = finished->errorString().toStdString();
                    }
                    answer->set_value(std::move(result));
                });
            job->start();
        },
        Qt::QueuedConnection);

    if (future.wait_for(timeout_) != std::future_status::ready) {
        log_.error("Secret service: no answer to {} within {} s", what,
                   std::chrono::duration_cast<std::chrono::seconds>(timeout_).count());
        return {kTimedOut, std::nullopt};
    }
    ReadResult result = future.get();
    if (result.status != 0 && result.status != itemNotFound) {
        log_.error("Secret service: {} failed: {}", what, result.data.value_or("unknown error"));
        result.data.reset();
    }
    return result;
}

int SecretServiceKeychain::addItem(std::string_view service, std::string_view,
                                   std::string_view data) {
    const QString name = QString::fromUtf8(service.data(), static_cast<qsizetype>(service.size()));
    auto bytes = std::make_shared<QByteArray>(data.data(), static_cast<qsizetype>(data.size()));
    const int status = run("storing the password", [name, bytes] {
                           auto* job = new QKeychain::WritePasswordJob(name);
                           job->setKey(loginName());
                           job->setBinaryData(*bytes);
                           return job;
                       }).status;
    return status;
}

Keychain::ReadResult SecretServiceKeychain::readItem(std::string_view service) {
    const QString name = QString::fromUtf8(service.data(), static_cast<qsizetype>(service.size()));
    return run("reading the password", [name] {
        auto* job = new QKeychain::ReadPasswordJob(name);
        job->setKey(loginName());
        return job;
    });
}

int SecretServiceKeychain::deleteItem(std::string_view service) {
    const QString name = QString::fromUtf8(service.data(), static_cast<qsizetype>(service.size()));
    return run("deleting the password",
               [name] {
                   auto* job = new QKeychain::DeletePasswordJob(name);
                   job->setKey(loginName());
                   return job;
               })
        .status;
}

}  // namespace ambleguard::linuxdesktop
