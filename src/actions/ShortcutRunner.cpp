#include "actions/ShortcutRunner.h"

#include <array>
#include <cstdint>

namespace ambleguard {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Output that is not
// text is not logged.
bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        std::uint32_t minimum = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            minimum = 0x80;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            minimum = 0x800;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            minimum = 0x10000;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// White space and line breaks a name typed or pasted into a text field may carry at its ends:
// the ASCII ones and the Unicode spaces and separators, in UTF-8.
constexpr std::array<std::string_view, 25> kBlanks = {
    " ",
    "\t",
    "\n",
    "\v",
    "\f",
    "\r",
    "\xC2\x85",      // next line
    "\xC2\xA0",      // no-break space
    "\xE1\x9A\x80",  // ogham space mark
    "\xE2\x80\x80",  // en quad ... hair space
    "\xE2\x80\x81",
    "\xE2\x80\x82",
    "\xE2\x80\x83",
    "\xE2\x80\x84",
    "\xE2\x80\x85",
    "\xE2\x80\x86",
    "\xE2\x80\x87",
    "\xE2\x80\x88",
    "\xE2\x80\x89",
    "\xE2\x80\x8A",
    "\xE2\x80\xA8",  // line separator
    "\xE2\x80\xA9",  // paragraph separator
    "\xE2\x80\xAF",  // narrow no-break space
    "\xE2\x81\x9F",  // medium mathematical space
    "\xE3\x80\x80",  // ideographic space
};

std::string_view trimBlanks(std::string_view text) {
    bool trimmed = true;
    while (trimmed && !text.empty()) {
        trimmed = false;
        for (std::string_view blank : kBlanks) {
            if (text.starts_with(blank)) {
                text.remove_prefix(blank.size());
                trimmed = true;
            }
            if (text.ends_with(blank)) {
                text.remove_suffix(blank.size());
                trimmed = true;
            }
        }
    }
    return text;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string lowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = asciiLower(c);
    }
    return out;
}

// "away" -> "Away": first letter upper case, the rest lower case.
std::string capitalized(std::string_view text) {
    std::string out = lowercased(text);
    if (!out.empty()) {
        out[0] = asciiUpper(out[0]);
    }
    return out;
}

}  // namespace

ShortcutRunner::ShortcutRunner(const ShortcutCommands& commands, ProcessLauncher& launcher,
                               MainQueue& mainQueue, LogSink& logSink)
    : commands_(commands), launcher_(launcher), mainQueue_(mainQueue), log_(logSink, "Shortcuts") {}

void ShortcutRunner::runShortcut(const std::string& name, std::string_view kind,
                                 Completion completion) {
    log_.info("Executing {} shortcut: {}", kind, name);
    auto resolution = commands_.commandFor(name);
    if (!resolution) {
        // Reported like a program that could not be started, and just as asynchronously.
        mainQueue_.post(
            liveness_.guarded([this, name, kind = std::string(kind), refusal = resolution.error(),
                               completion = std::move(completion)]() mutable {
                finish(name, kind, failure(std::move(refusal)), completion);
            }));
        return;
    }
    auto& command = resolution.value();
    launcher_.run(std::move(command.executable), std::move(command.arguments),
                  liveness_.guarded([this, name, kind = std::string(kind),
                                     completion = std::move(completion)](ProcessResult result) {
                      finish(name, kind, std::move(result), completion);
                  }));
}

void ShortcutRunner::finish(const std::string& name, const std::string& kind, ProcessResult result,
                            const Completion& completion) const {
    bool succeeded = false;
    if (!result) {
        log_.error("Failed to execute {} shortcut: {}", lowercased(kind), result.error());
    } else {
        const auto& exit = result.value();
        if (exit.status == 0) {
            succeeded = true;
            log_.info("{} shortcut '{}' executed successfully", capitalized(kind), name);
            if (!exit.standardOutput.empty() && isValidUtf8(exit.standardOutput)) {
                log_.debug("Output: {}", exit.standardOutput);
            }
        } else {
            log_.error("{} shortcut '{}' failed with exit code: {}", capitalized(kind), name,
                       exit.status);
            if (!exit.standardError.empty() && isValidUtf8(exit.standardError)) {
                log_.error("Error: {}", exit.standardError);
            }
        }
    }
    if (completion) {
        completion(succeeded);
    }
}

void ShortcutRunner::testShortcut(std::string_view name, Completion completion) {
    const std::string_view trimmed = trimBlanks(name);
    if (trimmed.empty()) {
        mainQueue_.post([completion = std::move(completion)] {
            if (completion) {
                completion(false);
            }
        });
        return;
    }
    runShortcut(std::string(trimmed), "test", std::move(completion));
}

}  // namespace ambleguard
