#include "feedback/SoundChoice.h"

namespace ambleguard {

namespace {
constexpr std::string_view kBundledPrefix = "bundled:";
constexpr std::string_view kSystemPrefix = "system:";
constexpr std::string_view kNone = "none";
}  // namespace

std::optional<SoundChoice> SoundChoice::parse(std::string_view stored) {
    if (stored == kNone) {
        return none();
    }
    if (stored.starts_with(kBundledPrefix) && stored.size() > kBundledPrefix.size()) {
        return bundled(std::string(stored.substr(kBundledPrefix.size())));
    }
    if (stored.starts_with(kSystemPrefix) && stored.size() > kSystemPrefix.size()) {
        return system(std::string(stored.substr(kSystemPrefix.size())));
    }
    return std::nullopt;
}

std::string SoundChoice::storageForm() const {
    switch (kind_) {
        case Kind::bundled:
            return std::string(kBundledPrefix) + name_;
        case Kind::system:
            return std::string(kSystemPrefix) + name_;
        case Kind::none:
            break;
    }
    return std::string(kNone);
}

}  // namespace ambleguard
