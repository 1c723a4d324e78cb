#pragma once

#include "app/SliderScale.h"
#include "settings/SettingsStore.h"

#include <QWidget>

#include <functional>
#include <string_view>

class QLabel;
class QSlider;

namespace ambleguard::ui {

// One slider row bound to a number setting: the title, the value as the user reads it, the
// slider, and a line of help. Moving the slider writes the key at once, always a value of the
// scale's range on one of its steps; refresh() shows what the store holds (an out-of-range value
// at the nearest end) without writing anything.
class SettingSlider final : public QWidget {
    Q_OBJECT
  public:
    using Format = std::function<QString(double)>;

    SettingSlider(SettingsStore& settings, std::string_view key, SliderScale scale,
                  const QString& title, const QString& help, Format format,
                  QWidget* parent = nullptr);

    void refresh();
    QSlider* slider() const { return slider_; }
    QString valueText() const;

  private:
    void moved(int position);

    SettingsStore& settings_;
    std::string_view key_;
    SliderScale scale_;
    Format format_;
    QSlider* slider_;
    QLabel* value_;
};

}  // namespace ambleguard::ui
