#include "app/UpdateCheck.h"

#include "base/Uuid.h"
#include "settings/SettingsKeys.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <random>

namespace ambleguard {

namespace {

// White space and line breaks around the number are ignored.
std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\n\r\v\f";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t point = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            point = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            point = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            point = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point are not UTF-8.
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// "scheme://host[:port]" with an http or https scheme and nothing after the authority but an
// optional slash; the fixed path is appended to it.
std::optional<std::string> endpointBase(std::string_view endpoint) {
    std::string_view rest;
    if (endpoint.starts_with("https://")) {
        rest = endpoint.substr(8);
    } else if (endpoint.starts_with("http://")) {
        rest = endpoint.substr(7);
    } else {
        return std::nullopt;
    }
    if (rest.ends_with('/')) {
        rest.remove_suffix(1);
    }
    std::string_view host = rest;
    std::string_view port;
    if (host.starts_with('[')) {
        const auto close = host.find(']');
        if (close == std::string_view::npos || close == 1) {
            return std::nullopt;
        }
        for (char c : host.substr(1, close - 1)) {
            if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.')) {
                return std::nullopt;
            }
        }
        port = host.substr(close + 1);
        host = host.substr(0, close + 1);
        if (!port.empty() && !port.starts_with(':')) {
            return std::nullopt;
        }
    } else {
        const auto colon = host.find(':');
        if (colon != std::string_view::npos) {
            port = host.substr(colon);
            host = host.substr(0, colon);
        }
        if (host.empty()) {
            return std::nullopt;
        }
        for (char c : host) {
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.')) {
                return std::nullopt;
            }
        }
    }
    if (!port.empty()) {
        port.remove_prefix(1);
        unsigned number = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (port.empty() || error != std::errc() || end != port.data() + port.size() ||
            number == 0 || number > 65535) {
            return std::nullopt;
        }
    }
    return std::string(endpoint.substr(0, endpoint.size() - (endpoint.ends_with('/') ? 1 : 0)));
}

Uuid randomUuid() {
    std::random_device device;
    std::uint64_t halves[2] = {0, 0};
    for (auto& half : halves) {
        half = (static_cast<std::uint64_t>(device()) << 32) | device();
    }
    Uuid::Bytes bytes = Uuid::fromHalves(halves[0], halves[1]).bytes();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Uuid(bytes);
}

}  // namespace

std::optional<std::int64_t> parseBuildNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(INT64_MAX);
    if (magnitude > kMax + (negative ? 1 : 0)) {
        return std::nullopt;
    }
    if (negative) {
        return magnitude == kMax + 1 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    }
    return static_cast<std::int64_t>(magnitude);
}

UpdateCheck::UpdateCheck(HttpClient& http, MainQueue& mainQueue, SettingsStore& settings,
                         LogSink& logSink, ProgramInfo program)
    : http_(http),
      mainQueue_(mainQueue),
      settings_(settings),
      log_(logSink, "Delegate"),
      program_(std::move(program)) {}

std::string_view UpdateCheck::menuTitle() const {
    return hasAvailableUpdate_.get() ? kUpdateAvailableTitle : kCheckForUpdatesTitle;
}

std::optional<std::string> UpdateCheck::menuEntryChosen() {
    if (hasAvailableUpdate_.get()) {
        return program_.downloadPage;
    }
    checkForUpdates();
    return std::nullopt;
}

std::string UpdateCheck::clientIdentifier() {
    // Kept only while it is what this code would have made, so that nothing else (a name, a
    // mail address typed into the settings file) is ever sent in its place.
    if (auto stored = settings_.stringForKey(keys::updateClientIdentifier)) {
        if (Uuid::parse(*stored)) {
            return *stored;
        }
    }
    std::string made = randomUuid().toString();
    settings_.setString(keys::updateClientIdentifier, made);
    return made;
}

std::optional<std::string> UpdateCheck::requestAddress() {
    const auto base = endpointBase(program_.updateEndpoint);
    if (!base) {
        return std::nullopt;
    }
    // The identifier is hex digits and hyphens, which need no escaping in a query.
    return *base + std::string(kVersionPath) + "?client=" + clientIdentifier();
}

void UpdateCheck::checkForUpdates() {
    if (!isEnabled()) {
        return;
    }
    const auto address = requestAddress();
    if (!address) {
        log_.error("Invalid update check URL");
        return;
    }
    // The answer may come on another thread: it only hops to the main queue, where this object
    // is looked at again only if it still exists.
    auto finish = liveness_.guarded([this](const HttpResult& result) { complete(result); });
    http_.get(*address, [&mainQueue = mainQueue_, finish](HttpResult result) {
        mainQueue.post([finish, result = std::move(result)]() mutable { finish(result); });
    });
}

void UpdateCheck::complete(const HttpResult& result) {
    if (!result) {
        log_.error("Update check failed: {}", result.error());
        return;
    }
    const auto& response = result.value();
    if (!response.statusCode) {
        log_.error("Invalid response type during update check");
        return;
    }
    if (*response.statusCode != 200) {
        log_.error("Update check failed with status code: {}", *response.statusCode);
        return;
    }
    const std::string_view remoteText =
        response.body && isValidUtf8(*response.body) ? trimmed(*response.body) : "";
    if (remoteText.empty()) {
        log_.error("Invalid or empty build number received");
        return;
    }
    if (!program_.build) {
        log_.error("Could not determine current build number");
        return;
    }
    const auto current = parseBuildNumber(*program_.build);
    const auto remote = parseBuildNumber(remoteText);
    if (!current || !remote) {
        log_.error("Invalid build number format");
        return;
    }
    const bool available = *remote > *current;
    log_.debug("Update check completed - Current Build: {}, Remote Build: {}, Update Available: {}",
               *program_.build, remoteText, boolText(available));
    hasAvailableUpdate_.set(available);
}

}  // namespace ambleguard
