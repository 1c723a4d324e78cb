#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ambleguard {

enum class AlertStyle { informational, warning, critical };

struct AlertRequest {
    AlertStyle style = AlertStyle::informational;
    std::string title;
    std::string message;
    std::vector<std::string> buttons;  // the first is the default button
};

// Modal questions to the user. `answer` receives the index of the chosen button on the main
// queue.
class Alerts {
  public:
    virtual ~Alerts() = default;
    virtual void show(AlertRequest request, std::function<void(std::size_t button)> answer) = 0;
};

}  // namespace ambleguard
