#include "ui/PinPrompt.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <utility>

namespace ambleguard::ui {

PinPrompt::PinPrompt(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), entry_(new PinEntryView(false, this)) {
    setWindowTitle(tr("Ambleguard PIN"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(entry_);
    connect(entry_, &PinEntryView::submitted, this, [this](const QString& pin) {
        auto answered = std::exchange(answered_, nullptr);
        dismissed_ = nullptr;
        hide();
        if (answered) {
            answered(pin);
        }
    });
}

void PinPrompt::ask(bool isSettingNewPin, const QPoint* anchor,
                    std::function<void(QString)> answered, std::function<void()> dismissed) {
    if (dismissed_) {
        std::exchange(dismissed_, nullptr)();
    }
    answered_ = std::move(answered);
    dismissed_ = std::move(dismissed);
    entry_->reset(isSettingNewPin);
    // Where the compositor places windows itself, a titled window is easier to find.
    const bool canPlace = QGuiApplication::platformName() != QLatin1String("wayland");
    setWindowFlags(canPlace ? (Qt::Tool | Qt::FramelessWindowHint) : Qt::Dialog);
    resize(300, isSettingNewPin ? 200 : 100);
    if (anchor != nullptr && canPlace) {
        move(*anchor - QPoint(150, 0));
    }
    show();
    raise();
    activateWindow();
    entry_->reset(isSettingNewPin);
}

void PinPrompt::dismiss() {
    answered_ = nullptr;
    hide();
    if (dismissed_) {
        std::exchange(dismissed_, nullptr)();
    }
}

bool PinPrompt::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && isVisible()) {
        dismiss();
    }
    return QWidget::event(event);
}

void PinPrompt::closeEvent(QCloseEvent* event) {
    // Closed by the window manager: the same as walking away from it.
    dismiss();
    QWidget::closeEvent(event);
}

void PinPrompt::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace ambleguard::ui
