#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard::test {

enum class TestBus { system, session };

// A mock service for TestBuses::startMock: either a python3-dbusmock template (by name, such as
// "bluez5" or "logind", or the path of a template file) or a plain mock object that tests fill
// with AddMethod.
struct MockService {
    // Template name or path; empty for a plain mock object.
    std::string templateName;
    // The bus name the mock owns (needed for a plain object and for custom templates, so the
    // harness knows what to wait for; taken from the table of known templates otherwise).
    std::string busName;
    // Plain object only: its path and main interface.
    std::string objectPath;
    std::string interface;
    TestBus bus = TestBus::system;
    // JSON dictionary handed to the template (-p), empty for none.
    std::string parametersJson;
};

// One mock object on a test bus, with python3-dbusmock's control methods.
class MockObject {
  public:
    MockObject(QDBusConnection connection, QString service, QString path);

    // Calls any method of the object; the reply (or error) is returned.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) const;
    // Calls and expects success; a D-Bus error is reported as a test failure.
    QDBusMessage callOk(const QString& interface, const QString& method,
                        const QVariantList& args = {}) const;

    void addMethod(const QString& interface, const QString& name, const QString& inSignature,
                   const QString& outSignature, const QString& pythonCode) const;
    // `args` are converted by QtDBus; wrap values in QDBusVariant or QDBusArgument where the
    // signature needs containers.
    void emitSignal(const QString& interface, const QString& name, const QString& signature,
                    const QVariantList& args) const;
    void updateProperties(const QString& interface, const QVariantMap& properties) const;
    void addProperty(const QString& interface, const QString& name, const QVariant& value) const;
    // org.freedesktop.DBus.Properties.Set: the way to change dict-valued properties.
    void setProperty(const QString& interface, const QString& name, const QVariant& value) const;
    void addObject(const QString& path, const QString& interface, const QVariantMap& properties,
                   const QString& methodsSignature = "a(ssss)",
                   const QVariantList& methods = {}) const;
    void removeObject(const QString& path) const;
    // Names of the methods called on this object so far, oldest first.
    std::vector<QString> calledMethods() const;
    // The arguments of each call of `method`, oldest first.
    std::vector<QVariantList> callsOf(const QString& method) const;
    void clearCalls() const;

    const QDBusConnection& connection() const { return connection_; }

  private:
    QDBusConnection connection_;
    QString service_;
    QString path_;
};

// A private system bus and session bus, each a dbus-daemon of its own under a temporary folder,
// with python3-dbusmock services on them. While it lives, DBUS_SYSTEM_BUS_ADDRESS,
// DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR and XDG_CONFIG_HOME point at it (and are restored
// afterwards), so child processes and the default connections find the private buses. Every
// process it started is stopped when it is destroyed, and also dies if the test process does.
// Needs a QCoreApplication.
class TestBuses {
  public:
    TestBuses();
    TestBuses(const TestBuses&) = delete;
    TestBuses& operator=(const TestBuses&) = delete;
    ~TestBuses();

    // True when both buses came up.
    bool ok() const { return ok_; }

    // Starts a mock and waits until it owns its bus name. False (with a log of the mock's output
    // as a test failure) when it did not come up.
    bool startMock(const MockService& service);
    bool startTemplate(const std::string& templateName, const std::string& parametersJson = "");

    // Stops the mock that owns `busName` (the service vanishing from the bus).
    void stopMock(const std::string& busName);

    // A fresh connection of its own to a bus (each call gives a new one), for the code under
    // test.
    QDBusConnection connect(TestBus bus) const;
    std::string address(TestBus bus) const;
    // A mock object, reached through one control connection per bus.
    MockObject mock(TestBus bus, const QString& service, const QString& path) const;

    const std::filesystem::path& directory() const { return dir_; }
    // The folder XDG_CONFIG_HOME points at.
    std::filesystem::path configHome() const { return dir_ / "config"; }
    std::filesystem::path runtimeDir() const { return dir_ / "runtime"; }

  private:
    struct Child {
        pid_t pid = -1;
        std::string busName;
        std::filesystem::path log;
    };

    pid_t spawn(const std::vector<std::string>& argv, const std::filesystem::path& logFile,
                int readyFd);
    bool startDaemon(TestBus bus);
    void stop(Child& child);

    std::filesystem::path dir_;
    std::string systemAddress_;
    std::string sessionAddress_;
    std::vector<Child> daemons_;
    std::vector<Child> mocks_;
    std::map<std::string, std::optional<std::string>> savedEnvironment_;
    mutable std::vector<QString> connectionNames_;
    mutable std::map<TestBus, QDBusConnection> controlConnections_;
    bool ok_ = false;
};

// Records the D-Bus signals it listens to, for tests of what a component sends.
class SignalRecorder : public QObject {
    Q_OBJECT
  public:
    bool listen(QDBusConnection connection, const QString& service, const QString& path,
                const QString& interface, const QString& name);
    const std::vector<QDBusMessage>& messages() const { return messages_; }

  public Q_SLOTS:
    void record(const QDBusMessage& message);

  private:
    std::vector<QDBusMessage> messages_;
};

// Runs the Qt event loop until `condition` holds or `timeout` passes; true when it held. For
// answers that travel through a real bus daemon.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs the Qt event loop for `duration` (to show that something does NOT arrive).
void processEventsFor(std::chrono::milliseconds duration);

}  // namespace ambleguard::test
