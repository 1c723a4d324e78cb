#include "platform/linux/QtHttpClient.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace ambleguard::linuxdesktop {

namespace {

// Errors below 200 are the network's and the proxy's (refused, timed out, host not found...);
// above are answers from the server, which still carry a status code.
bool isTransportError(QNetworkReply::NetworkError error) {
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

HttpResult resultOf(QNetworkReply& reply) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportError(reply.error()) ||
        (!status.isValid() && reply.error() != QNetworkReply::NoError)) {
        return failure(reply.errorString().toStdString());
    }
    HttpResponse response;
    if (status.isValid()) {
        response.statusCode = status.toInt();
    }
    const QByteArray body = reply.readAll();
    response.body = std::string(body.constData(), static_cast<std::size_t>(body.size()));
    return response;
}

}  // namespace

QtHttpClient::QtHttpClient(int timeoutMs)
    : timeoutMs_(timeoutMs), manager_(std::make_unique<QNetworkAccessManager>()) {}

// Destroying the manager first drops the connections made with it as context, then deletes
// the replies, so no completion runs for a client that is gone.
QtHttpClient::~QtHttpClient() = default;

void QtHttpClient::get(std::string url, Completion completion) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    if (!address.isValid() || address.isRelative()) {
        // Never inside the call, as for every other outcome.
        QMetaObject::invokeMethod(
            manager_.get(),
            [completion = std::move(completion), url] {
                completion(failure("not a valid address: " + url));
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(address);
    request.setTransferTimeout(timeoutMs_);
    QNetworkReply* reply = manager_->get(request);
    QObject::connect(reply, &QNetworkReply::finished, manager_.get(),
                     [reply, completion = std::move(completion)] {
                         reply->deleteLater();
                         completion(resultOf(*reply));
                     });
}

}  // namespace ambleguard::linuxdesktop
