#include "platform/sim/SimKeychain.h"

namespace ambleguard::sim {

namespace {
// The status a real keychain gives for an item that already exists.
constexpr int kDuplicateItem = -25299;
}  // namespace

int SimKeychain::addItem(std::string_view service, std::string_view label, std::string_view data) {
    if (failure_ != 0) {
        return failure_;
    }
    if (items_.contains(service)) {
        return kDuplicateItem;
    }
    place({std::string(service), std::string(label), std::string(data)});
    return 0;
}

Keychain::ReadResult SimKeychain::readItem(std::string_view service) {
    if (failure_ != 0) {
        return {failure_, std::nullopt};
    }
    const auto it = items_.find(service);
    if (it == items_.end()) {
        return {Keychain::itemNotFound, std::nullopt};
    }
    return {0, it->second.data};
}

int SimKeychain::deleteItem(std::string_view service) {
    if (failure_ != 0) {
        return failure_;
    }
    const auto it = items_.find(service);
    if (it == items_.end()) {
        return Keychain::itemNotFound;
    }
    items_.erase(it);
    return 0;
}

void SimKeychain::place(Item item) {
    auto service = item.service;
    items_.insert_or_assign(std::move(service), std::move(item));
}

const SimKeychain::Item* SimKeychain::find(std::string_view service) const {
    const auto it = items_.find(service);
    return it == items_.end() ? nullptr : &it->second;
}

}  // namespace ambleguard::sim
