#include "base/SettingsCodec.h"

#include "base/JsonNesting.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace ambleguard {

using nlohmann::json;

std::string encodeSettings(const SettingValues& values, const std::string& preservedJson) {
    json root = json::parse(preservedJson, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) {
        root = json::object();
    }
    for (const auto& [key, value] : values) {
        struct Visitor {
            json operator()(bool b) const { return b; }
            json operator()(std::int64_t i) const { return i; }
            json operator()(double d) const { return d; }
            json operator()(const std::string& s) const { return s; }
            json operator()(Instant t) const { return json{{"date", formatIso8601(t)}}; }
        };
        root[key] = std::visit(Visitor{}, value);
    }
    // Invalid UTF-8 in a stored text is replaced rather than making the whole file unwritable.
    return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Result<DecodedSettings> decodeSettings(const std::string& text) {
    if (!jsonNestingWithin(text)) {
        return failure(fmt::format("nested more than {} levels deep", kMaxJsonNesting));
    }
    json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) {
        return failure("not valid JSON");
    }
    if (!root.is_object()) {
        return failure("not a JSON object");
    }
    DecodedSettings out;
    json preserved = json::object();
    for (const auto& [key, value] : root.items()) {
        if (value.is_boolean()) {
            out.values.emplace(key, value.get<bool>());
        } else if (value.is_number_integer()) {
            if (value.is_number_unsigned() &&
                value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
                out.values.emplace(key, static_cast<double>(value.get<std::uint64_t>()));
            } else {
                out.values.emplace(key, value.get<std::int64_t>());
            }
        } else if (value.is_number_float()) {
            out.values.emplace(key, value.get<double>());
        } else if (value.is_string()) {
            out.values.emplace(key, value.get<std::string>());
        } else if (value.is_object() && value.size() == 1 && value.contains("date") &&
                   value["date"].is_string()) {
            if (auto at = parseIso8601(value["date"].get<std::string>())) {
                out.values.emplace(key, *at);
            } else {
                out.skippedKeys.push_back(key);
                preserved[key] = value;
            }
        } else {
            out.skippedKeys.push_back(key);
            preserved[key] = value;
        }
    }
    out.preservedJson = preserved.dump(-1, ' ', false, json::error_handler_t::replace);
    return out;
}

}  // namespace ambleguard
