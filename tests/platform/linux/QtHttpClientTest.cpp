#include "platform/linux/QtHttpClient.h"

#include "app/UpdateCheck.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ambleguard {
namespace {

// The main queue on Qt's event loop, as much of it as these tests need.
class QtTestQueue final : public MainQueue {
  public:
    void post(Task task) override {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    }
    TimerHandle postAfter(double seconds, Task task) override {
        QTimer::singleShot(static_cast<int>(seconds * 1000), QCoreApplication::instance(),
                           std::move(task));
        return {};
    }
    TimerHandle scheduleRepeating(double, double, Task) override { return {}; }
};

// A one-answer HTTP server on the loopback address: every request gets `status` and `body`,
// then the connection closes. Keeps the request lines it saw.
class LoopbackServer {
  public:
    LoopbackServer() {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
        listening_ = server_.listen(QHostAddress::LocalHost, 0);
    }

    void answer(int status, std::string body) {
        status_ = status;
        body_ = std::move(body);
    }
    bool listening() const { return listening_; }
    std::string address() const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort());
    }
    const std::vector<std::string>& requestLines() const { return requestLines_; }

  private:
    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                received_ += socket->readAll().toStdString();
                const auto end = received_.find("\r\n\r\n");
                if (end == std::string::npos) {
                    return;
                }
                requestLines_.push_back(received_.substr(0, received_.find("\r\n")));
                received_.clear();
                const std::string reply =
                    "HTTP/1.1 " + std::to_string(status_) +
                    " Whatever\r\nContent-Length: " + std::to_string(body_.size()) +
                    "\r\nConnection: close\r\n\r\n" + body_;
                socket->write(reply.data(), static_cast<qint64>(reply.size()));
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QTcpServer server_;
    bool listening_ = false;
    int status_ = 200;
    std::string body_;
    std::string received_;
    std::vector<std::string> requestLines_;
};

// The update check as the program runs it, on Qt's loop and network stack, against the server.
class UpdateCheckOverHttpTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.listening()); }

    UpdateCheck& check(std::optional<std::string> build, std::string endpoint = {}) {
        ProgramInfo program{std::move(build), endpoint.empty() ? server.address() : endpoint,
                            "https://example.invalid/download"};
        current.emplace(http, queue, settings, log, program);
        return *current;
    }

    // Runs one check and Qt's loop until its outcome is logged (or ten seconds pass, which
    // only a broken client takes).
    void runCheck() {
        const std::size_t before = log.entries().size();
        current->checkForUpdates();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (std::size_t i = before; i < log.entries().size(); ++i) {
                if (log.entries()[i].category == "Delegate") {
                    loop.quit();
                }
            }
        });
        poll.start(5);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }

    LoopbackServer server;
    QtTestQueue queue;
    linuxdesktop::QtHttpClient http;
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    std::optional<UpdateCheck> current;
};

TEST_F(UpdateCheckOverHttpTest, ANewerBuildIsFoundAndAnEqualOrOlderOneClearsIt) {
    auto& updates = check("57");
    server.answer(200, " 58 \n");
    runCheck();
    EXPECT_TRUE(updates.hasAvailableUpdate().get());
    EXPECT_EQ(updates.menuTitle(), "Update Available! \u2B06\uFE0F");
    EXPECT_TRUE(log.contains(
        "Update check completed - Current Build: 57, Remote Build: 58, Update Available: true"));
    ASSERT_EQ(server.requestLines().size(), 1u);
    EXPECT_EQ(server.requestLines()[0],
              "GET /api/version?client=" + *settings.stringForKey(keys::updateClientIdentifier) +
                  " HTTP/1.1");

    server.answer(200, "57");
    runCheck();
    EXPECT_FALSE(updates.hasAvailableUpdate().get());
    EXPECT_EQ(updates.menuTitle(), "Check for Updates");

    server.answer(200, "+12\r\n");
    runCheck();
    EXPECT_FALSE(updates.hasAvailableUpdate().get());
    EXPECT_TRUE(log.contains(
        "Update check completed - Current Build: 57, Remote Build: +12, Update Available: false"));
}

TEST_F(UpdateCheckOverHttpTest, FailuresAreLoggedAndKeepThePreviousAnswer) {
    auto& updates = check("57");
    server.answer(200, "58");
    runCheck();
    ASSERT_TRUE(updates.hasAvailableUpdate().get());

    server.answer(200, "1.2.3");
    runCheck();
    EXPECT_TRUE(log.contains("Invalid build number format"));

    server.answer(404, "Not here");
    runCheck();
    EXPECT_TRUE(log.contains("Update check failed with status code: 404"));

    server.answer(200, " \n ");
    runCheck();
    EXPECT_TRUE(log.contains("Invalid or empty build number received"));

    server.answer(200, "");
    const auto emptyBefore = log.count("Invalid or empty build number received");
    runCheck();
    EXPECT_EQ(log.count("Invalid or empty build number received"), emptyBefore + 1);

    EXPECT_TRUE(updates.hasAvailableUpdate().get());
    EXPECT_EQ(server.requestLines().size(), 5u);
}

TEST_F(UpdateCheckOverHttpTest, ARefusedConnectionIsATransportFailure) {
    // A port that was free a moment ago and has nobody listening now.
    std::string closedAddress;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedAddress = "http://127.0.0.1:" + std::to_string(probe.serverPort());
    }
    auto& updates = check("57", closedAddress);
    runCheck();
    EXPECT_TRUE(log.contains("Update check failed: Connection refused"));
    EXPECT_FALSE(updates.hasAvailableUpdate().get());
}

}  // namespace
}  // namespace ambleguard

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
