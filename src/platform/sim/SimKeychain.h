#pragma once

#include "platform/Keychain.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard::sim {

// The current user's keychain, in memory. Items can be placed before launch; every operation
// can be made to fail with a status.
class SimKeychain final : public Keychain {
  public:
    struct Item {
        std::string service;
        std::string label;
        std::string data;
    };

    int addItem(std::string_view service, std::string_view label, std::string_view data) override;
    ReadResult readItem(std::string_view service) override;
    int deleteItem(std::string_view service) override;

    // Places an item as an earlier run would have left it.
    void place(Item item);
    // From now on every operation fails with `status` (0 restores normal work).
    void failWith(int status) { failure_ = status; }
    std::size_t itemCount() const { return items_.size(); }
    const Item* find(std::string_view service) const;

  private:
    std::map<std::string, Item, std::less<>> items_;
    int failure_ = 0;
};

}  // namespace ambleguard::sim
