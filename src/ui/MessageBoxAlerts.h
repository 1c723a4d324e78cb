#pragma once

#include "platform/Alerts.h"

namespace ambleguard::ui {

// Questions to the user as message boxes of their own, which do not block the rest of the
// program while they wait for an answer.
class MessageBoxAlerts final : public Alerts {
  public:
    void show(AlertRequest request, std::function<void(std::size_t button)> answer) override;
};

}  // namespace ambleguard::ui
