#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// What the user picked for an event: one of the program's own sounds, one of the system's alert
// sounds, or silence. Stored as "bundled:<name>", "system:<name>" or "none".
class SoundChoice {
  public:
    enum class Kind { bundled, system, none };

    static SoundChoice bundled(std::string name) { return {Kind::bundled, std::move(name)}; }
    static SoundChoice system(std::string name) { return {Kind::system, std::move(name)}; }
    static SoundChoice none() { return {Kind::none, {}}; }

    // Nothing for anything but the stored forms above with a non-empty name; the prefixes are
    // case-sensitive.
    static std::optional<SoundChoice> parse(std::string_view stored);

    Kind kind() const { return kind_; }
    // Empty for `none`.
    const std::string& name() const { return name_; }
    std::string storageForm() const;

    bool operator==(const SoundChoice&) const = default;

  private:
    SoundChoice(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

    Kind kind_;
    std::string name_;
};

}  // namespace ambleguard
