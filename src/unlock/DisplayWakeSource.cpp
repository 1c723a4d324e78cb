#include "unlock/DisplayWakeSource.h"

#include <charconv>
#include <regex>

#include <fmt/format.h>

namespace ambleguard {

namespace {

// Input records of devices and of software share all but the suffix of their prefix, so the
// longer one is tested first.
constexpr std::string_view kSyntheticPrefix = "input.tickle.synthetic";
constexpr std::string_view kHumanPrefix = "input.tickle ";

std::string_view trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::optional<int> decimal(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return std::nullopt;
        }
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string describe(const DisplayWakeSource& source) {
    if (const auto* human = std::get_if<HumanInput>(&source)) {
        return human->eventType ? fmt::format("human input from {} (eventType {})", human->device,
                                              *human->eventType)
                                : "human input from " + human->device;
    }
    if (const auto* synthetic = std::get_if<SyntheticInput>(&source)) {
        return "synthetic input posted by " + synthetic->process;
    }
    const auto& declared = std::get<DeclaredActivity>(source);
    return "activity declared by " + declared.process + ": " + declared.name;
}

std::optional<std::string> recordField(std::string_view name, std::string_view key) {
    static const std::regex fieldStart(R"((?:^|\s)([A-Za-z]+):)");
    const std::string text(name);
    auto it = std::sregex_iterator(text.begin(), text.end(), fieldStart);
    const auto end = std::sregex_iterator();
    for (; it != end; ++it) {
        if ((*it)[1].str() != key) {
            continue;
        }
        const auto valueStart = static_cast<std::size_t>(it->position(0) + it->length(0));
        auto next = it;
        ++next;
        const auto valueEnd =
            next == end ? text.size() : static_cast<std::size_t>(next->position(0));
        const auto value = trim(std::string_view(text).substr(valueStart, valueEnd - valueStart));
        if (value.empty()) {
            return std::nullopt;
        }
        return std::string(value);
    }
    return std::nullopt;
}

DisplayWakeSource classify(const ActivityRecord& record) {
    const std::string_view name = record.name;
    if (name.starts_with(kSyntheticPrefix)) {
        return SyntheticInput{recordField(name, "process").value_or(record.processName)};
    }
    if (name.starts_with(kHumanPrefix)) {
        auto device = recordField(name, "product");
        if (!device) {
            device = recordField(name, "service");
        }
        const auto eventType = recordField(name, "eventType");
        return HumanInput{device.value_or("unknown device"),
                          eventType ? decimal(*eventType) : std::nullopt};
    }
    return DeclaredActivity{record.processName, record.name};
}

std::optional<Instant> effectiveTime(const ActivityRecord& record) {
    if (record.start && record.updated) {
        return std::max(*record.start, *record.updated);
    }
    return record.start ? record.start : record.updated;
}

DisplayWakeClassifier::DisplayWakeClassifier(UserActivity& activity, const Clock& clock,
                                             LogSink& logSink)
    : activity_(activity), clock_(clock), log_(logSink, "DisplayWake") {}

std::optional<DisplayWakeSource> DisplayWakeClassifier::humanInputSince(Instant since) {
    const auto read = activity_.currentRecords();
    if (read.status != 0) {
        log_.error("{} failed: 0x{:08x}", activity_.recordSourceName(),
                   static_cast<std::uint32_t>(read.status));
        return std::nullopt;
    }
    const auto now = clock_.now();
    for (const auto& record : read.records) {
        const auto at = effectiveTime(record);
        const auto age = at ? fmt::format("{:.1f}s ago", secondsBetween(*at, now)) : "undated";
        log_.info("UserIsActive [{} pid {}, {}]: {}", record.processName, record.pid, age,
                  describe(classify(record)));
    }
    for (const auto& record : read.records) {
        auto source = classify(record);
        const auto at = effectiveTime(record);
        if (std::holds_alternative<HumanInput>(source) && at && *at >= since) {
            return source;
        }
    }
    return std::nullopt;
}

}  // namespace ambleguard
