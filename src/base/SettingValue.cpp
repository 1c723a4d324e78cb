#include "base/SettingValue.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace ambleguard {

std::string_view typeName(SettingType type) {
    switch (type) {
        case SettingType::boolean:
            return "bool";
        case SettingType::integer:
            return "integer";
        case SettingType::real:
            return "double";
        case SettingType::text:
            return "string";
        case SettingType::date:
            return "date";
    }
    return "?";
}

SettingType typeOf(const SettingValue& value) {
    return static_cast<SettingType>(value.index());
}

std::string formatSettingValue(const SettingValue& value) {
    struct Visitor {
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(std::int64_t i) const { return fmt::format("{}", i); }
        std::string operator()(double d) const { return fmt::format("{}", d); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(Instant t) const { return formatIso8601(t); }
    };
    return std::visit(Visitor{}, value);
}

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

std::optional<SettingValue> parseSettingValue(SettingType type, std::string_view text) {
    switch (type) {
        case SettingType::boolean: {
            const std::string t = lowered(text);
            if (t == "true" || t == "yes" || t == "1")
                return SettingValue(true);
            if (t == "false" || t == "no" || t == "0")
                return SettingValue(false);
            return std::nullopt;
        }
        case SettingType::integer: {
            std::int64_t v = 0;
            const char* begin = text.data();
            const char* end = text.data() + text.size();
            if (begin != end && *begin == '+')
                ++begin;
            auto [ptr, ec] = std::from_chars(begin, end, v);
            if (begin == end || ec != std::errc() || ptr != end)
                return std::nullopt;
            return SettingValue(v);
        }
        case SettingType::real: {
            double v = 0;
            const char* begin = text.data();
            const char* end = text.data() + text.size();
            if (begin != end && *begin == '+')
                ++begin;
            auto [ptr, ec] = std::from_chars(begin, end, v);
            if (begin == end || ec != std::errc() || ptr != end || !std::isfinite(v)) {
                return std::nullopt;
            }
            return SettingValue(v);
        }
        case SettingType::text:
            return SettingValue(std::string(text));
        case SettingType::date: {
            auto at = parseIso8601(text);
            if (!at)
                return std::nullopt;
            return SettingValue(*at);
        }
    }
    return std::nullopt;
}

}  // namespace ambleguard
