#pragma once

#include "app/Application.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimPlatform.h"
#include "settings/SettingsKeys.h"
#include "support/AppWorld.h"
#include "ui/SettingSlider.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QSlider>
#include <QWidget>

#include <optional>
#include <ostream>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace ambleguard::test {

// The open confirmation or alert of `owner`, if any.
inline QMessageBox* openMessageBox(QWidget* owner) {
    for (QMessageBox* box : owner->findChildren<QMessageBox*>()) {
        if (box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// The texts of its buttons, sorted: the order on screen is the desktop's button box order.
inline QStringList buttonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* button : box->buttons()) {
        texts << button->text();
    }
    texts.sort();
    return texts;
}

// Clicks the button of that text and lets the box go away as it would on screen.
inline bool clickButton(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text) {
            button->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return true;
        }
    }
    return false;
}

inline ui::SettingSlider* sliderNamed(QWidget* owner, const QString& name) {
    for (ui::SettingSlider* slider : owner->findChildren<ui::SettingSlider*>()) {
        if (slider->slider()->accessibleName() == name) {
            return slider;
        }
    }
    return nullptr;
}

template <typename W>
W* widgetNamed(QWidget* owner, const QString& accessibleName) {
    for (W* widget : owner->findChildren<W*>()) {
        if (widget->accessibleName() == accessibleName) {
            return widget;
        }
    }
    return nullptr;
}

// The whole program on the simulated platform where the login session unlocks itself (the
// Linux default), instead of the typed password of AppWorld.
class SessionUnlockWorld {
  public:
    SessionUnlockWorld() : platform(options(), log, console) { app.emplace(platform.ports()); }

    sim::RecordingLogSink log;
    sim::RecordingConsole console;
    sim::SimPlatform platform;
    std::optional<Application> app;

  private:
    static sim::SimPlatformOptions options() {
        sim::SimPlatformOptions o;
        o.settings = AppWorld::onboarded();
        o.unlockMethod = UnlockMethod::sessionRequest;
        return o;
    }
};

}  // namespace ambleguard::test
