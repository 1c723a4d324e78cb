#pragma once

#include "base/Log.h"
#include "base/Time.h"
#include "platform/Clock.h"
#include "platform/UserActivity.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ambleguard {

// What made the displays wake, as read from one activity record.
struct HumanInput {
    std::string device;
    std::optional<int> eventType;
    bool operator==(const HumanInput&) const = default;
};
struct SyntheticInput {
    std::string process;
    bool operator==(const SyntheticInput&) const = default;
};
struct DeclaredActivity {
    std::string process;
    std::string name;
    bool operator==(const DeclaredActivity&) const = default;
};
using DisplayWakeSource = std::variant<HumanInput, SyntheticInput, DeclaredActivity>;

std::string describe(const DisplayWakeSource& source);

// The value of field `key` in a record name made of "key: value" fields; nothing when the key
// is missing or its value is blank.
std::optional<std::string> recordField(std::string_view name, std::string_view key);

// Human input, synthetic input or a program's declaration.
DisplayWakeSource classify(const ActivityRecord& record);

// The later of a record's start and renewal, whichever exist.
std::optional<Instant> effectiveTime(const ActivityRecord& record);

// Tells a person touching the keyboard or pointer apart from programs that keep the computer
// awake or post events, from the platform's activity records.
class DisplayWakeClassifier {
  public:
    DisplayWakeClassifier(UserActivity& activity, const Clock& clock, LogSink& logSink);

    // The first human input recorded at or after `since`, after logging every record; nothing
    // when there is none or the records cannot be read. Synthetic input and declared activity
    // never count, however recent.
    std::optional<DisplayWakeSource> humanInputSince(Instant since);

  private:
    UserActivity& activity_;
    const Clock& clock_;
    Logger log_;
};

}  // namespace ambleguard
