#pragma once

#include "app/Application.h"
#include "app/SliderScale.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "feedback/EventSounds.h"
#include "ui/Icons.h"
#include "ui/OverlayPage.h"

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QMessageBox;
class QPushButton;
class QRadioButton;

namespace ambleguard::ui {

class SettingSlider;
class ToneLabel;

// The advanced settings overlay: the PIN, notifications, auto-unlock options, sounds, the
// signal filter, the dead band, sudden loss, passive listening, cooldowns, activity monitoring
// and the two resets, in that order. Every control writes its key as it changes and follows the
// store when something else writes it (a reset, the menu, another panel).
class SettingsOverlay final : public OverlayPage {
    Q_OBJECT
  public:
    static constexpr const char* kResetDetectionTitle = "Reset detection settings to defaults?";
    static constexpr const char* kResetEverythingTitle = "Reset everything and start over?";

    explicit SettingsOverlay(Application& app, QWidget* parent = nullptr);

    // The line under the idle threshold, e.g. "Last input: 3s ago"; empty when the idle time
    // cannot be read.
    QString lastInputText() const;

  Q_SIGNALS:
    // "Set PIN" or "Change PIN": the main panel shows the PIN entry for a new PIN.
    void pinSetupRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paletteChanged() override;

  private:
    QCheckBox* boundSwitch(QVBoxLayout* layout, const QString& text, std::string_view key,
                           const QString& description = {});
    SettingSlider* boundSlider(QVBoxLayout* layout, std::string_view key, SliderScale scale,
                               const QString& title, const QString& help, const char* unit);
    void buildPin(QVBoxLayout* block);
    void buildNotifications(QVBoxLayout* block);
    void buildSounds(QVBoxLayout* block);
    void buildSoundRow(QVBoxLayout* block, const QString& title, SoundEvent event,
                       std::string_view key);
    void buildDetectionModes(QVBoxLayout* block);
    void buildActivity(QVBoxLayout* block);
    void buildResets(QVBoxLayout* block);
    void pinSwitched(bool on);
    void notificationsSwitched(bool on);
    void confirmReset(const QString& title, const QString& message, const QString& confirmText,
                      std::function<void()> reset);
    void refresh();
    void updateLastInput();

    Application& app_;
    Logger log_;
    std::vector<std::function<void()>> refreshers_;
    std::vector<std::pair<QPushButton*, Glyph>> glyphButtons_;
    QLabel* lastInput_ = nullptr;
    Connection settingsChanged_;
    ScopedTimer lastInputTimer_;
};

}  // namespace ambleguard::ui
