#include "platform/linux/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace ambleguard::linuxdesktop {

SingleInstance::SingleInstance(QDBusConnection sessionBus, LogSink& logSink,
                               std::function<bool()> show)
    : bus_(std::move(sessionBus)), log_(logSink, "App"), show_(std::move(show)) {}

SingleInstance::~SingleInstance() {
    if (owned_) {
        bus_.unregisterObject(kObjectPath);
        bus_.unregisterService(kServiceName);
    }
}

SingleInstance::Claim SingleInstance::claim() {
    if (!bus_.isConnected() || bus_.interface() == nullptr) {
        log_.notice("No session bus: cannot make sure only one instance runs");
        return Claim::unchecked;
    }
    bus_.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots);
    const auto reply =
        bus_.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        owned_ = true;
        return Claim::first;
    }
    bus_.unregisterObject(kObjectPath);
    auto show = QDBusMessage::createMethodCall(kServiceName, kObjectPath,
                                               "com.quillon.Ambleguard.Instance", "Show");
    const auto answer = bus_.call(show, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        log_.error("Another instance holds {} but did not answer: {}", kServiceName,
                   answer.errorMessage().toStdString());
        return Claim::another;
    }
    const auto arguments = answer.arguments();
    if (!arguments.isEmpty() && arguments.first().typeId() == QMetaType::Bool &&
        !arguments.first().toBool()) {
        return Claim::anotherHeadless;
    }
    return Claim::another;
}

bool SingleInstance::Show() {
    log_.info("Another start of the program asked this instance to show itself");
    return show_ && show_();
}

}  // namespace ambleguard::linuxdesktop
