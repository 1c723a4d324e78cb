#pragma once

#include "base/Time.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// One record the system keeps of something that counted as user activity: an input event from
// a device, an event posted by software, or a program declaring activity without input.
//
// Input records follow one naming scheme, "input.tickle" followed by "key: value" fields:
// events from a device are named "input.tickle product: NAME service: NAME eventType: N"
// (each field optional), events posted by software "input.tickle.synthetic process: NAME".
// Anything else is a program's declaration, named as the program named it.
struct ActivityRecord {
    std::string name;
    std::string processName;
    // -1 when unknown.
    int pid = -1;
    std::optional<Instant> start;
    // When the record was last renewed.
    std::optional<Instant> updated;
};

// The system's record of user activity, and the way to declare some.
class UserActivity {
  public:
    struct Records {
        // 0 for success, else the platform's status (the list is then empty).
        int status = 0;
        std::vector<ActivityRecord> records;
    };

    virtual ~UserActivity() = default;
    // What the platform calls to read the records, for log lines about it.
    virtual std::string_view recordSourceName() const = 0;
    virtual Records currentRecords() = 0;
    // Declares that the user is active, which wakes the displays. `reason` is shown to whoever
    // inspects the declaration. Returns 0 on success, else the platform's status.
    virtual int declareUserActivity(std::string_view reason) = 0;
};

}  // namespace ambleguard
