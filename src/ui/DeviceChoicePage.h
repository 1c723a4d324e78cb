#pragma once

#include "app/DeviceSelection.h"
#include "base/Signal.h"
#include "platform/BleCentral.h"
#include "ui/OnboardingPage.h"

#include <string>
#include <vector>

class QButtonGroup;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

class OnboardingGlyph;

// Choosing the device to track. The scanner runs its onboarding scan while the screen is up,
// listing every device around, paired ones first; choosing a row stores the device as a row of
// the main panel's list does, and an unpaired phone gets the advice to pair it first. Continue,
// once a device is chosen, turns monitoring on and switches the scanner to following it.
class DeviceChoicePage final : public OnboardingPage {
    Q_OBJECT

  public:
    explicit DeviceChoicePage(Application& app, QWidget* parent = nullptr);

    void leave() override;

    // A row's text for `peripheral`: its own name, else the label discovery gave it.
    std::string displayName(const Peripheral& peripheral);
    // Restarts discovery with an empty list.
    void refresh();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    struct Row {
        Uuid identifier;
        std::string name;
        bool paired = false;
        bool operator==(const Row&) const = default;
    };

    void showDevices(const std::vector<PeripheralRef>& peripherals);
    void rebuildRows();
    void choose(const PeripheralRef& peripheral);
    void updateChoice();
    void updateEmptyState();
    void finish();

    Application& app_;
    DeviceSelection selection_;
    std::vector<Row> rows_;
    std::vector<PeripheralRef> peripherals_;
    QVBoxLayout* list_;
    QWidget* listHost_;
    QButtonGroup* group_;
    QWidget* emptyState_;
    QLabel* emptyText_;
    OnboardingGlyph* choiceGlyph_;
    QLabel* choiceText_;
    OnboardingGlyph* warningGlyph_;
    QLabel* warning_;
    QWidget* warningRow_;
    QPushButton* continue_;
    QToolButton* refreshButton_;
    Connection peripheralsObserver_;
    Connection scanningObserver_;
    Connection errorObserver_;
};

}  // namespace ambleguard::ui
