#include "support/linux/TestBuses.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct MockMethodSpec {
    QString name;
    QString inSignature;
    QString outSignature;
    QString code;
};

}  // namespace

Q_DECLARE_METATYPE(MockMethodSpec)

namespace {

QDBusArgument& operator<<(QDBusArgument& out, const MockMethodSpec& method) {
    out.beginStructure();
    out << method.name << method.inSignature << method.outSignature << method.code;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, MockMethodSpec& method) {
    in.beginStructure();
    in >> method.name >> method.inSignature >> method.outSignature >> method.code;
    in.endStructure();
    return in;
}

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<MockMethodSpec>();
        qDBusRegisterMetaType<QList<MockMethodSpec>>();
        return true;
    }();
    (void)registered;
}

const char* const kMockInterface = "org.freedesktop.DBus.Mock";

struct KnownTemplate {
    const char* name;
    const char* busName;
    ambleguard::test::TestBus bus;
};

// The templates the tests use, with the bus name each claims and the bus it belongs on.
const KnownTemplate kKnownTemplates[] = {
    {"bluez5", "org.bluez", ambleguard::test::TestBus::system},
    {"logind", "org.freedesktop.login1", ambleguard::test::TestBus::system},
    {"networkmanager", "org.freedesktop.NetworkManager", ambleguard::test::TestBus::system},
    {"upower", "org.freedesktop.UPower", ambleguard::test::TestBus::system},
    {"notification_daemon", "org.freedesktop.Notifications", ambleguard::test::TestBus::session},
    {"gnome_screensaver", "org.gnome.ScreenSaver", ambleguard::test::TestBus::session},
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string busConfig(const std::filesystem::path& socket) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>custom</type><listen>unix:path=" +
           socket.string() +
           "</listen><auth>EXTERNAL</auth>\n"
           "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
           "<allow send_type=\"method_call\"/><allow send_type=\"signal\"/>"
           "<allow send_requested_reply=\"true\"/><allow receive_type=\"method_call\"/>"
           "<allow receive_type=\"signal\"/><allow receive_requested_reply=\"true\"/>"
           "</policy></busconfig>\n";
}

std::filesystem::path makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ambleguard-bus-XXXXXX");
    char* made = ::mkdtemp(pattern.data());
    return made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
}

// Reads one line from `fd` within `timeout`.
std::string readLine(int fd, std::chrono::milliseconds timeout) {
    std::string line;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeout.count()) {
        pollfd poller{fd, POLLIN, 0};
        const int remaining = static_cast<int>(timeout.count() - timer.elapsed());
        if (::poll(&poller, 1, remaining > 0 ? remaining : 0) <= 0) {
            break;
        }
        char c = 0;
        if (::read(fd, &c, 1) != 1) {
            break;
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
    return line;
}

std::atomic<int> connectionCounter{0};

}  // namespace

namespace ambleguard::test {

// --- MockObject ---

MockObject::MockObject(QDBusConnection connection, QString service, QString path)
    : connection_(std::move(connection)), service_(std::move(service)), path_(std::move(path)) {
    registerTypes();
}

QDBusMessage MockObject::call(const QString& interface, const QString& method,
                              const QVariantList& args) const {
    auto message = QDBusMessage::createMethodCall(service_, path_, interface, method);
    message.setArguments(args);
    return connection_.call(message, QDBus::Block, 10000);
}

QDBusMessage MockObject::callOk(const QString& interface, const QString& method,
                                const QVariantList& args) const {
    auto reply = call(interface, method, args);
    EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage)
        << method.toStdString() << " on " << path_.toStdString() << ": "
        << reply.errorName().toStdString() << " " << reply.errorMessage().toStdString();
    return reply;
}

void MockObject::addMethod(const QString& interface, const QString& name,
                           const QString& inSignature, const QString& outSignature,
                           const QString& pythonCode) const {
    callOk(kMockInterface, "AddMethod", {interface, name, inSignature, outSignature, pythonCode});
}

void MockObject::emitSignal(const QString& interface, const QString& name, const QString& signature,
                            const QVariantList& args) const {
    QVariantList wrapped;
    for (const auto& arg : args) {
        wrapped.append(QVariant::fromValue(QDBusVariant(arg)));
    }
    callOk(kMockInterface, "EmitSignal", {interface, name, signature, wrapped});
}

void MockObject::updateProperties(const QString& interface, const QVariantMap& properties) const {
    callOk(kMockInterface, "UpdateProperties", {interface, properties});
}

void MockObject::addProperty(const QString& interface, const QString& name,
                             const QVariant& value) const {
    callOk(kMockInterface, "AddProperty",
           {interface, name, QVariant::fromValue(QDBusVariant(value))});
}

void MockObject::setProperty(const QString& interface, const QString& name,
                             const QVariant& value) const {
    callOk("org.freedesktop.DBus.Properties", "Set",
           {interface, name, QVariant::fromValue(QDBusVariant(value))});
}

void MockObject::addObject(const QString& path, const QString& interface,
                           const QVariantMap& properties, const QString& methodsSignature,
                           const QVariantList& methods) const {
    QList<MockMethodSpec> specs;
    EXPECT_EQ(methodsSignature, "a(ssss)");
    for (const auto& method : methods) {
        const auto fields = method.toStringList();
        if (fields.size() == 4) {
            specs.append({fields[0], fields[1], fields[2], fields[3]});
        }
    }
    callOk(kMockInterface, "AddObject", {path, interface, properties, QVariant::fromValue(specs)});
}

void MockObject::removeObject(const QString& path) const {
    callOk(kMockInterface, "RemoveObject", {path});
}

std::vector<QString> MockObject::calledMethods() const {
    std::vector<QString> names;
    const auto reply = callOk(kMockInterface, "GetCalls");
    if (reply.arguments().isEmpty()) {
        return names;
    }
    const auto calls = reply.arguments().first().value<QDBusArgument>();
    calls.beginArray();
    while (!calls.atEnd()) {
        qulonglong time = 0;
        QString name;
        QVariantList args;
        calls.beginStructure();
        calls >> time >> name >> args;
        calls.endStructure();
        names.push_back(name);
    }
    calls.endArray();
    return names;
}

std::vector<QVariantList> MockObject::callsOf(const QString& method) const {
    std::vector<QVariantList> result;
    const auto reply = callOk(kMockInterface, "GetMethodCalls", {method});
    if (reply.arguments().isEmpty()) {
        return result;
    }
    const auto calls = reply.arguments().first().value<QDBusArgument>();
    calls.beginArray();
    while (!calls.atEnd()) {
        qulonglong time = 0;
        QVariantList args;
        calls.beginStructure();
        calls >> time >> args;
        calls.endStructure();
        for (auto& arg : args) {
            if (arg.canConvert<QDBusVariant>()) {
                arg = arg.value<QDBusVariant>().variant();
            }
        }
        result.push_back(args);
    }
    calls.endArray();
    return result;
}

void MockObject::clearCalls() const {
    callOk(kMockInterface, "ClearCalls");
}

// --- TestBuses ---

TestBuses::TestBuses() : dir_(makeTempDir()) {
    registerTypes();
    if (dir_.empty()) {
        ADD_FAILURE() << "cannot make a temporary folder";
        return;
    }
    std::filesystem::create_directories(configHome());
    std::filesystem::create_directories(runtimeDir());
    std::filesystem::permissions(runtimeDir(), std::filesystem::perms::owner_all);
    ok_ = startDaemon(TestBus::system) && startDaemon(TestBus::session);

    const std::map<std::string, std::string> environment = {
        {"DBUS_SYSTEM_BUS_ADDRESS", systemAddress_},
        {"DBUS_SESSION_BUS_ADDRESS", sessionAddress_},
        {"XDG_RUNTIME_DIR", runtimeDir().string()},
        {"XDG_CONFIG_HOME", configHome().string()},
    };
    for (const auto& [name, value] : environment) {
        const char* old = std::getenv(name.c_str());
        savedEnvironment_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv(name.c_str(), value.c_str(), 1);
    }
}

TestBuses::~TestBuses() {
    controlConnections_.clear();
    for (const auto& name : connectionNames_) {
        QDBusConnection::disconnectFromBus(name);
    }
    for (auto it = mocks_.rbegin(); it != mocks_.rend(); ++it) {
        stop(*it);
    }
    for (auto it = daemons_.rbegin(); it != daemons_.rend(); ++it) {
        stop(*it);
    }
    for (const auto& [name, value] : savedEnvironment_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

pid_t TestBuses::spawn(const std::vector<std::string>& argv, const std::filesystem::path& logFile,
                       int readyFd) {
    // Everything the child needs is prepared before fork: only async-signal-safe calls after it.
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The child dies with the test process, even when the test crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        if (readyFd >= 0) {
            ::dup2(readyFd, 3);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (log >= 0) {
        ::close(log);
    }
    return pid;
}

bool TestBuses::startDaemon(TestBus bus) {
    const std::string tag = bus == TestBus::system ? "system" : "session";
    const auto socket = dir_ / (tag + "_bus_socket");
    const auto config = dir_ / (tag + "-bus.conf");
    std::ofstream(config) << busConfig(socket);

    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return false;
    }
    // dbus-daemon prints its address on fd 3 once it accepts connections.
    const pid_t pid = spawn({"dbus-daemon", "--config-file=" + config.string(), "--nofork",
                             "--nosyslog", "--print-address=3"},
                            dir_ / (tag + "-bus.log"), ready[1]);
    ::close(ready[1]);
    const std::string address = pid > 0 ? readLine(ready[0], std::chrono::seconds(10)) : "";
    ::close(ready[0]);
    if (pid > 0) {
        daemons_.push_back({pid, tag, dir_ / (tag + "-bus.log")});
    }
    if (address.empty()) {
        ADD_FAILURE() << "the " << tag
                      << " bus did not start: " << readFile(dir_ / (tag + "-bus.log"));
        return false;
    }
    (bus == TestBus::system ? systemAddress_ : sessionAddress_) = address;
    return true;
}

bool TestBuses::startTemplate(const std::string& templateName, const std::string& parametersJson) {
    for (const auto& known : kKnownTemplates) {
        if (templateName == known.name) {
            return startMock({templateName, known.busName, {}, {}, known.bus, parametersJson});
        }
    }
    ADD_FAILURE() << "unknown template " << templateName << ": use startMock with its bus name";
    return false;
}

bool TestBuses::startMock(const MockService& service) {
    if (!ok_ || service.busName.empty()) {
        ADD_FAILURE() << "cannot start a mock without buses or without a bus name";
        return false;
    }
    std::vector<std::string> argv = {"/usr/bin/python3", "-m", "dbusmock",
                                     service.bus == TestBus::system ? "--system" : "--session"};
    if (!service.templateName.empty()) {
        argv.insert(argv.end(), {"--template", service.templateName});
        if (!service.parametersJson.empty()) {
            argv.insert(argv.end(), {"--parameters", service.parametersJson});
        }
    } else {
        argv.insert(argv.end(), {service.busName, service.objectPath, service.interface});
    }
    const auto log = dir_ / ("mock-" + std::to_string(mocks_.size()) + ".log");
    const pid_t pid = spawn(argv, log, -1);
    if (pid <= 0) {
        ADD_FAILURE() << "cannot start python3-dbusmock";
        return false;
    }
    mocks_.push_back({pid, service.busName, log});

    // Polling NameHasOwner never activates anything, unlike calling the name.
    auto connection = connect(service.bus);
    const QString name = QString::fromStdString(service.busName);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000) {
        const auto owned = connection.interface()->isServiceRegistered(name);
        if (owned.isValid() && owned.value()) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            mocks_.back().pid = -1;
            break;
        }
        QThread::msleep(20);
    }
    ADD_FAILURE() << "mock " << service.busName << " did not come up: " << readFile(log);
    return false;
}

void TestBuses::stopMock(const std::string& busName) {
    for (auto& child : mocks_) {
        if (child.busName == busName) {
            stop(child);
        }
    }
}

void TestBuses::stop(Child& child) {
    if (child.pid <= 0) {
        return;
    }
    ::kill(child.pid, SIGTERM);
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    while (::waitpid(child.pid, &status, WNOHANG) == 0) {
        if (timer.elapsed() > 3000) {
            ::kill(child.pid, SIGKILL);
            ::waitpid(child.pid, &status, 0);
            break;
        }
        QThread::msleep(5);
    }
    child.pid = -1;
}

QDBusConnection TestBuses::connect(TestBus bus) const {
    const QString name = QStringLiteral("ambleguard-test-%1").arg(++connectionCounter);
    auto connection = QDBusConnection::connectToBus(QString::fromStdString(address(bus)), name);
    connectionNames_.push_back(name);
    EXPECT_TRUE(connection.isConnected()) << "cannot connect to the test bus";
    return connection;
}

std::string TestBuses::address(TestBus bus) const {
    return bus == TestBus::system ? systemAddress_ : sessionAddress_;
}

MockObject TestBuses::mock(TestBus bus, const QString& service, const QString& path) const {
    auto it = controlConnections_.find(bus);
    if (it == controlConnections_.end()) {
        it = controlConnections_.emplace(bus, connect(bus)).first;
    }
    return MockObject(it->second, service, path);
}

bool SignalRecorder::listen(QDBusConnection connection, const QString& service, const QString& path,
                            const QString& interface, const QString& name) {
    return connection.connect(service, path, interface, name, this, SLOT(record(QDBusMessage)));
}

void SignalRecorder::record(const QDBusMessage& message) {
    messages_.push_back(message);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void processEventsFor(std::chrono::milliseconds duration) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

}  // namespace ambleguard::test
