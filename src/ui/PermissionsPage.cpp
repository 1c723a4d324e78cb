#include "ui/PermissionsPage.h"

#include "app/Application.h"
#include "ui/OnboardingGlyph.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ambleguard::ui {

namespace {

constexpr double kBluetoothPollInterval = 1.0;

enum class PermissionStatus { notDetermined, granted, denied };

}  // namespace

// One permission: what it is, why it is needed, and where it stands, in words and as a symbol.
class PermissionCard final : public QFrame {
  public:
    // Without an icon of its own (none fits), the card keeps the icon's room so the texts of
    // all cards line up.
    PermissionCard(const QString& title, const QString& description, std::optional<Glyph> icon,
                   bool isRequired, QWidget* parent)
        : QFrame(parent), status_(new OnboardingGlyph(Glyph::undetermined, 20, this)) {
        setFrameShape(QFrame::StyledPanel);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(12, 12, 12, 12);
        row->setSpacing(12);
        if (icon) {
            auto* symbol = new OnboardingGlyph(*icon, 32, this);
            symbol->setAccessibleName(title);
            row->addWidget(symbol, 0, Qt::AlignTop);
        } else {
            row->addSpacing(32 + row->spacing());
        }

        auto* texts = new QVBoxLayout;
        texts->setSpacing(6);
        auto* heading = new QHBoxLayout;
        heading->setSpacing(6);
        auto* titleLabel = new QLabel(title, this);
        QFont bold = titleLabel->font();
        bold.setBold(true);
        titleLabel->setFont(bold);
        heading->addWidget(titleLabel);
        if (isRequired) {
            required_ = new QLabel(PermissionsPage::tr("Required"), this);
            required_->setFont(bold);
            heading->addWidget(required_);
            colourRequired();
        }
        heading->addStretch(1);
        texts->addLayout(heading);
        auto* descriptionLabel = new QLabel(description, this);
        descriptionLabel->setWordWrap(true);
        texts->addWidget(descriptionLabel);
        caption_ = new QLabel(this);
        caption_->setWordWrap(true);
        texts->addWidget(caption_);
        row->addLayout(texts, 1);
        row->addWidget(status_, 0, Qt::AlignTop);
        setAccessibleName(title);
    }

    void setStatus(PermissionStatus status, const QString& caption) {
        switch (status) {
            case PermissionStatus::granted:
                status_->setGlyph(Glyph::ok);
                status_->setColour(StatusColour::green);
                status_->setAccessibleName(PermissionsPage::tr("Granted"));
                break;
            case PermissionStatus::denied:
                status_->setGlyph(Glyph::error);
                status_->setColour(StatusColour::red);
                status_->setAccessibleName(PermissionsPage::tr("Not granted"));
                break;
            case PermissionStatus::notDetermined:
                status_->setGlyph(Glyph::undetermined);
                status_->setColour(std::nullopt);
                status_->setAccessibleName(PermissionsPage::tr("Not determined"));
                break;
        }
        caption_->setText(caption);
        setAccessibleDescription(caption);
    }

  protected:
    void changeEvent(QEvent* event) override {
        QFrame::changeEvent(event);
        if (event->type() == QEvent::PaletteChange) {
            colourRequired();
        }
    }

  private:
    void colourRequired() {
        if (required_) {
            QPalette palette = required_->palette();
            palette.setColor(QPalette::WindowText,
                             statusColour(StatusColour::orange, this->palette()));
            required_->setPalette(palette);
        }
    }

    QLabel* required_ = nullptr;
    OnboardingGlyph* status_;
    QLabel* caption_ = nullptr;
};

PermissionsPage::PermissionsPage(Application& app, BluetoothSettingsLink settingsLink,
                                 QWidget* parent)
    : OnboardingPage(tr("Required Permissions"), parent),
      app_(app),
      settingsLink_(std::move(settingsLink)) {
    addParagraph(tr("Ambleguard needs the following permissions to function properly:"));
    addParagraph(tr("This desktop doesn't ask for permissions one by one, so this screen checks "
                    "what Ambleguard relies on instead: Bluetooth must be present and on, and "
                    "notifications need a notification service."),
                 true);

    bluetoothCard_ =
        new PermissionCard(tr("Bluetooth Access"),
                           tr("Required to detect your BLuetooth devices and monitor proximity"),
                           Glyph::bluetooth, true, this);
    content()->addWidget(bluetoothCard_);

    notificationsCard_ = new PermissionCard(
        tr("Notifications"),
        tr("Lets Ambleguard tell you when your device goes out of range. You can turn them on "
           "later in the settings."),
        std::nullopt, false, this);
    notificationsCard_->setStatus(PermissionStatus::notDetermined, tr("Checking\u2026"));
    content()->addWidget(notificationsCard_);

    // Builds that look for updates use the network for that alone; there is nothing to allow.
    if (!app_.ports().program.updateEndpoint.empty()) {
        auto* network = new PermissionCard(tr("Network Access"),
                                           tr("Used only to check for new versions of Ambleguard."),
                                           std::nullopt, false, this);
        network->setStatus(PermissionStatus::granted,
                           tr("No permission is needed for this on Linux."));
        content()->addWidget(network);
    }

    guidanceRow_ = new QWidget(this);
    auto* guidanceLayout = new QHBoxLayout(guidanceRow_);
    guidanceLayout->setContentsMargins(0, 0, 0, 0);
    auto* guidanceGlyph = new OnboardingGlyph(Glyph::warning, 16, guidanceRow_);
    guidanceGlyph->setColour(StatusColour::orange);
    guidanceGlyph->setAccessibleName(tr("Warning"));
    guidanceLayout->addWidget(guidanceGlyph, 0, Qt::AlignTop);
    guidance_ = new QLabel(guidanceRow_);
    guidance_->setWordWrap(true);
    guidance_->setTextFormat(Qt::PlainText);
    guidanceLayout->addWidget(guidance_, 1);
    guidanceRow_->hide();
    content()->addWidget(guidanceRow_);

    openSettings_ =
        buttons()->addButton(tr("Open Bluetooth Settings"), QDialogButtonBox::ActionRole);
    openSettings_->setAccessibleName(tr("Open Bluetooth Settings"));
    openSettings_->hide();
    connect(openSettings_, &QPushButton::clicked, this, [this] { settingsLink_.open(); });

    auto* again = buttons()->addButton(tr("Check Again"), QDialogButtonBox::ActionRole);
    again->setAccessibleName(tr("Check Again"));
    connect(again, &QPushButton::clicked, this, [this] { checkAgain(); });

    QPushButton* next = addPrimaryButton(tr("Continue"));
    connect(next, &QPushButton::clicked, this, &OnboardingPage::stepDone);

    errorObserver_ = app_.scanner.error().observe([this](const auto&) { refreshBluetooth(); });
    authorizationObserver_ =
        app_.scanner.bluetoothPermissionStatus().observe([this](auto) { refreshBluetooth(); });
    poll_ = app_.ports().mainQueue.scheduleRepeating(kBluetoothPollInterval, 0.0,
                                                     [this] { refreshBluetooth(); });
    checkAgain();
}

void PermissionsPage::leave() {
    poll_.cancel();
    errorObserver_.reset();
    authorizationObserver_.reset();
}

void PermissionsPage::checkAgain() {
    // Creating the central is what reaches the Bluetooth service; its state follows shortly.
    app_.scanner.checkBluetoothPermission();
    app_.scanner.setupCentralManager();
    refreshBluetooth();
    askNotifications();
}

void PermissionsPage::refreshBluetooth() {
    const BleAuthorization authorization = app_.scanner.bluetoothPermissionStatus().get();
    const BleCentral* central = app_.scanner.lifecycle().centralManager();
    if (authorization == BleAuthorization::denied ||
        authorization == BleAuthorization::restricted) {
        bluetooth_ = Bluetooth::refused;
    } else if (!central) {
        bluetooth_ = Bluetooth::checking;
    } else {
        switch (central->state()) {
            case BleManagerState::poweredOn:
                bluetooth_ = Bluetooth::on;
                break;
            case BleManagerState::poweredOff:
                bluetooth_ = Bluetooth::off;
                break;
            case BleManagerState::unauthorized:
                bluetooth_ = Bluetooth::refused;
                break;
            case BleManagerState::unsupported:
                bluetooth_ = Bluetooth::unavailable;
                break;
            case BleManagerState::unknown:
            case BleManagerState::resetting:
                bluetooth_ = Bluetooth::checking;
                break;
        }
    }

    QString guidance;
    switch (bluetooth_) {
        case Bluetooth::checking:
            bluetoothCard_->setStatus(PermissionStatus::notDetermined,
                                      tr("Checking Bluetooth\u2026"));
            break;
        case Bluetooth::on:
            bluetoothCard_->setStatus(PermissionStatus::granted, tr("Bluetooth is on."));
            break;
        case Bluetooth::off:
            bluetoothCard_->setStatus(PermissionStatus::denied, tr("Bluetooth is off."));
            guidance =
                tr("Please turn Bluetooth on in your Bluetooth settings, then return to "
                   "continue setup.");
            break;
        case Bluetooth::refused:
            bluetoothCard_->setStatus(PermissionStatus::denied,
                                      tr("The Bluetooth service refused access."));
            guidance =
                tr("Please turn Bluetooth on in your Bluetooth settings, then return to "
                   "continue setup.");
            break;
        case Bluetooth::unavailable:
            bluetoothCard_->setStatus(PermissionStatus::denied,
                                      tr("No Bluetooth adapter was found."));
            guidance =
                tr("Ambleguard needs a Bluetooth adapter and the Bluetooth service "
                   "(bluetoothd). Plug in an adapter or start the service, then return to "
                   "continue setup.");
            break;
    }
    guidance_->setText(guidance);
    guidanceRow_->setVisible(!guidance.isEmpty());
    openSettings_->setVisible(!guidance.isEmpty() && bluetooth_ != Bluetooth::unavailable &&
                              settingsLink_.isAvailable());
}

void PermissionsPage::askNotifications() {
    // The answer may come on any thread; the card is updated on the main queue.
    MainQueue& mainQueue = app_.ports().mainQueue;
    app_.ports().notificationPermission.getAuthorization(
        [&mainQueue, show = liveness_.guarded([this](NotificationAuthorization status) {
            switch (status) {
                case NotificationAuthorization::authorized:
                case NotificationAuthorization::provisional:
                case NotificationAuthorization::ephemeral:
                    notificationsCard_->setStatus(PermissionStatus::granted,
                                                  tr("A notification service is running."));
                    return;
                case NotificationAuthorization::denied:
                    notificationsCard_->setStatus(
                        PermissionStatus::denied,
                        tr("No notification service is running, so notifications can't be "
                           "shown."));
                    return;
                case NotificationAuthorization::notDetermined:
                    notificationsCard_->setStatus(
                        PermissionStatus::notDetermined,
                        tr("You'll be asked when you turn notifications on."));
                    return;
            }
        })](NotificationAuthorization status) mutable {
            mainQueue.post([show, status]() mutable { show(status); });
        });
}

}  // namespace ambleguard::ui
