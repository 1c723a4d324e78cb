#pragma once

#include "app/Application.h"
#include "app/ShortcutTestRun.h"
#include "base/Signal.h"
#include "ui/OverlayPage.h"

#include <memory>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace ambleguard::ui {

class ToneLabel;

// The shortcuts overlay: the shortcut run when the device goes away and the one run when it
// returns, each with a "Test" button and its "Prevent running when screen locked" switch. Names
// can be typed or picked from the shortcuts there are; where shortcuts are files in a folder,
// a button opens that folder (creating it first).
class ShortcutsOverlay final : public OverlayPage {
    Q_OBJECT
  public:
    explicit ShortcutsOverlay(Application& app, QWidget* parent = nullptr);
    ~ShortcutsOverlay() override;

    // What the away (0) or return (1) block shows beside its "Test" button.
    QString testStatus(int block) const;
    QComboBox* nameField(int block) const;
    QPushButton* testButton(int block) const;
    QPushButton* openFolderButton() const { return openFolder_; }

  public Q_SLOTS:
    // Lists the shortcuts again (they may have been added since).
    void reloadNames();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Block;

    void buildBlock(const QString& title, std::string_view nameKey, std::string_view preventKey);
    void buildFolder();
    void openFolder();
    void refresh();

    Application& app_;
    std::vector<std::unique_ptr<Block>> blocks_;
    QPushButton* openFolder_ = nullptr;
    bool refreshing_ = false;
    Connection settingsChanged_;
};

}  // namespace ambleguard::ui
