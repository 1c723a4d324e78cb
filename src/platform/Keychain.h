#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// The current user's secret store (the login keychain, the desktop's secret service). Items are
// generic passwords keyed by a service name; the account is always the user's own login name,
// which the store fills in. Statuses are 0 for success and a platform code otherwise.
class Keychain {
  public:
    // The status of a read that found no item.
    static constexpr int itemNotFound = -25300;

    struct ReadResult {
        int status = 0;
        // The item's bytes when status is 0 (nothing when the item carried no data).
        std::optional<std::string> data;
    };

    virtual ~Keychain() = default;
    // Adds an item; an item of the same service must have been deleted first.
    virtual int addItem(std::string_view service, std::string_view label,
                        std::string_view data) = 0;
    virtual ReadResult readItem(std::string_view service) = 0;
    virtual int deleteItem(std::string_view service) = 0;
};

}  // namespace ambleguard
