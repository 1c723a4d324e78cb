#include "ui/ShortcutsOverlay.h"

#include "app/PanelSettings.h"
#include "settings/SettingsKeys.h"
#include "ui/ToneLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

namespace ambleguard::ui {

struct ShortcutsOverlay::Block {
    std::string_view nameKey;
    std::string_view preventKey;
    QComboBox* name = nullptr;
    QPushButton* test = nullptr;
    ToneLabel* status = nullptr;
    QCheckBox* prevent = nullptr;
    std::unique_ptr<ShortcutTestRun> run;
    Connection stateChanged;
};

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

ShortcutsOverlay::ShortcutsOverlay(Application& app, QWidget* parent)
    : OverlayPage(QStringLiteral("Shortcuts"), QStringLiteral("Done"), parent), app_(app) {
    buildBlock(QStringLiteral("When device goes away"), keys::shortcutNameOnLock,
               keys::preventAwayShortcutWhenLocked);
    buildBlock(QStringLiteral("When device returns (optional)"), keys::shortcutNameOnReturn,
               keys::preventReturnShortcutWhenLocked);
    buildFolder();
    column()->addStretch(1);
    reloadNames();
    settingsChanged_ = app_.settings.onChange([this] { refresh(); });
    refresh();
}

ShortcutsOverlay::~ShortcutsOverlay() = default;

void ShortcutsOverlay::buildBlock(const QString& title, std::string_view nameKey,
                                  std::string_view preventKey) {
    auto block = std::make_unique<Block>();
    Block* b = block.get();
    b->nameKey = nameKey;
    b->preventKey = preventKey;
    b->run = std::make_unique<ShortcutTestRun>(app_.shortcuts);

    QVBoxLayout* layout = addBlock(column());
    addHeading(title, layout);
    auto* row = new QHBoxLayout();
    b->name = new QComboBox();
    b->name->setEditable(true);
    b->name->setInsertPolicy(QComboBox::NoInsert);
    b->name->lineEdit()->setPlaceholderText(QStringLiteral("Enter shortcut name"));
    b->name->setAccessibleName(title + QStringLiteral(": shortcut name"));
    b->name->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    b->name->setMinimumContentsLength(12);
    row->addWidget(b->name, 1);
    b->test = new QPushButton(QStringLiteral("Test"));
    b->test->setAccessibleName(title + QStringLiteral(": test shortcut"));
    row->addWidget(b->test);
    layout->addLayout(row);
    b->status = new ToneLabel();
    b->status->setAccessibleName(title + QStringLiteral(": test result"));
    b->status->hide();
    layout->addWidget(b->status);
    b->prevent = new QCheckBox(QStringLiteral("Prevent running when screen locked"));
    b->prevent->setAccessibleName(title + QStringLiteral(": prevent running when screen locked"));
    layout->addWidget(b->prevent);

    connect(b->name, &QComboBox::currentTextChanged, this, [this, b](const QString& text) {
        if (!refreshing_) {
            app_.settings.setString(b->nameKey, text.toStdString());
        }
    });
    connect(b->test, &QPushButton::clicked, this,
            [b] { b->run->start(b->name->currentText().toStdString()); });
    connect(b->prevent, &QCheckBox::toggled, this,
            [this, b](bool on) { app_.settings.setBool(b->preventKey, on); });
    b->stateChanged = b->run->state().observe([b](ShortcutTestState state) {
        const auto text = ShortcutTestRun::statusText(state);
        b->status->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        b->status->setVisible(!text.empty());
        if (state == ShortcutTestState::success) {
            b->status->setTone(StatusColour::green);
        } else if (state == ShortcutTestState::failure) {
            b->status->setTone(StatusColour::red);
        } else {
            b->status->setTone(std::nullopt);
        }
    });
    blocks_.push_back(std::move(block));
}

void ShortcutsOverlay::buildFolder() {
    const QString folder = qs(app_.ports().shortcutCommands.folder());
    if (folder.isEmpty()) {
        return;
    }
    QVBoxLayout* layout = addBlock(column());
    addNote(QStringLiteral("A shortcut is an executable file in the shortcut folder, run by its "
                           "name:"),
            layout);
    auto* path = new QLabel();
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    path->setToolTip(folder);
    path->setAccessibleName(QStringLiteral("Shortcut folder"));
    path->setAccessibleDescription(folder);
    // Elided in the middle: the end of the path is the part that tells folders apart.
    path->setText(path->fontMetrics().elidedText(folder, Qt::ElideMiddle, 360));
    layout->addWidget(path);
    auto* row = new QHBoxLayout();
    openFolder_ = new QPushButton(QStringLiteral("Open Shortcut Folder"));
    openFolder_->setAccessibleName(QStringLiteral("Open Shortcut Folder"));
    row->addWidget(openFolder_);
    row->addStretch(1);
    layout->addLayout(row);
    connect(openFolder_, &QPushButton::clicked, this, &ShortcutsOverlay::openFolder);
}

void ShortcutsOverlay::openFolder() {
    const QString folder = qs(app_.ports().shortcutCommands.folder());
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void ShortcutsOverlay::reloadNames() {
    const auto names = app_.ports().shortcutCommands.availableNames();
    refreshing_ = true;
    for (const auto& block : blocks_) {
        const QString typed = block->name->currentText();
        block->name->clear();
        for (const std::string& name : names) {
            block->name->addItem(qs(name));
        }
        block->name->setEditText(typed);
    }
    refreshing_ = false;
}

void ShortcutsOverlay::refresh() {
    refreshing_ = true;
    for (const auto& block : blocks_) {
        const QString stored = qs(panelString(app_.settings, block->nameKey));
        if (block->name->currentText() != stored) {
            block->name->setEditText(stored);
        }
        const QSignalBlocker blockPrevent(block->prevent);
        block->prevent->setChecked(panelBool(app_.settings, block->preventKey));
    }
    refreshing_ = false;
}

QString ShortcutsOverlay::testStatus(int block) const {
    const ToneLabel* status = blocks_.at(static_cast<std::size_t>(block))->status;
    return status->isHidden() ? QString() : status->text();
}

QComboBox* ShortcutsOverlay::nameField(int block) const {
    return blocks_.at(static_cast<std::size_t>(block))->name;
}

QPushButton* ShortcutsOverlay::testButton(int block) const {
    return blocks_.at(static_cast<std::size_t>(block))->test;
}

void ShortcutsOverlay::showEvent(QShowEvent* event) {
    OverlayPage::showEvent(event);
    reloadNames();
}

}  // namespace ambleguard::ui
