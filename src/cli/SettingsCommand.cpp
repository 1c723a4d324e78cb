#include "cli/SettingsCommand.h"

#include "base/TextEscaping.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsReset.h"

#include <fmt/format.h>
#include <unistd.h>

#include <set>

namespace ambleguard::cli {

void printSettingsHelp(std::FILE* out) {
    fmt::print(out,
               "Usage: ambleguard settings COMMAND [ARGS]\n"
               "\n"
               "See and change the stored settings (the same store the program uses).\n"
               "\n"
               "Commands:\n"
               "  list                 every known key with its type and its stored value or\n"
               "                       default; stored keys the program does not know follow\n"
               "  get KEY              print the stored value; exit 1 when nothing is stored\n"
               "  set KEY VALUE        store VALUE, read by the key's type:\n"
               "                         bool     true or false (also yes/no, 1/0)\n"
               "                         integer  whole number, e.g. 6\n"
               "                         double   number, e.g. -70 or 0.4\n"
               "                         string   the text as given\n"
               "                         date     ISO 8601, e.g. 2026-12-06T08:17:23.125Z or\n"
               "                                  2026-12-06T09:17:23+01:00 (no zone: UTC)\n"
               "                       a value that does not fit, or an unknown key, exits 2\n"
               "  delete KEY           remove the stored value; exit 1 when there was none\n"
               "  reset-detection      detection and timing settings back to their defaults\n"
               "  reset-all            every setting the reset-everything command clears\n"
               "                       (onboarding runs again at the next start)\n"
               "  path                 print where the settings are stored\n"
               "\n"
               "Exit status: 0 done, 1 nothing stored, 2 bad arguments or value, 3 the change\n"
               "could not be saved (the folder is not writable).\n"
               "Dates are printed in UTC. Settings live in $XDG_CONFIG_HOME/ambleguard/\n"
               "settings.json (default ~/.config/ambleguard/settings.json).\n");
}

namespace {

int list(SettingsStore& store, const Streams& io) {
    const auto stored = store.storedValues();
    std::set<std::string, std::less<>> known;
    for (const auto& entry : settingKeyTable()) {
        known.insert(std::string(entry.name));
        std::string shown;
        if (auto value = store.storedValue(entry.name)) {
            shown = formatSettingValue(*value);
            if (typeOf(*value) != entry.type &&
                !(entry.type == SettingType::real && typeOf(*value) == SettingType::integer)) {
                shown += fmt::format("  (stored as {}, reads as absent)", typeName(typeOf(*value)));
            }
        } else if (entry.boundDefault) {
            shown = fmt::format("{} (default)", formatSettingValue(*entry.boundDefault));
            if (std::holds_alternative<std::string>(*entry.boundDefault) &&
                std::get<std::string>(*entry.boundDefault).empty()) {
                shown = "\"\" (default)";
            }
        } else {
            shown = fmt::format("(not set; direct readers: {})", entry.directRead);
        }
        fmt::print(io.out, "{:<34} {:<8} {}\n", entry.name, typeName(entry.type), printable(shown));
    }
    bool header = false;
    for (const auto& [key, value] : stored) {
        if (known.count(key) != 0)
            continue;
        if (!header) {
            fmt::print(io.out, "\nOther stored keys:\n");
            header = true;
        }
        fmt::print(io.out, "{:<34} {:<8} {}\n", printable(key), typeName(typeOf(value)),
                   printable(formatSettingValue(value)));
    }
    return kExitOk;
}

int get(SettingsStore& store, const std::string& key, const Streams& io) {
    auto value = store.storedValue(key);
    if (!value) {
        fmt::print(io.err, "ambleguard: {} has never been written", printable(key));
        if (const auto* entry = findSettingKey(key); entry && entry->boundDefault) {
            fmt::print(io.err, " (default: {})", formatSettingValue(*entry->boundDefault));
        } else if (!findSettingKey(key)) {
            fmt::print(io.err, " (not a known key)");
        }
        fmt::print(io.err, "\n");
        return kExitNotFound;
    }
    // Scripts read the value exactly; a person at a terminal sees it escaped.
    const std::string shown = formatSettingValue(*value);
    fmt::print(io.out, "{}\n", ::isatty(::fileno(io.out)) ? printable(shown) : shown);
    return kExitOk;
}

int set(SettingsStore& store, const std::string& key, const std::string& text, const Streams& io) {
    const auto* entry = findSettingKey(key);
    if (entry == nullptr) {
        fmt::print(io.err,
                   "ambleguard: unknown key \"{}\"; `ambleguard settings list` shows every key\n",
                   printable(key));
        return kExitUsage;
    }
    auto value = parseSettingValue(entry->type, text);
    if (!value) {
        fmt::print(io.err, "ambleguard: \"{}\" is not a valid {} for {}\n", printable(text),
                   typeName(entry->type), key);
        return kExitUsage;
    }
    store.set(key, std::move(*value));
    return kExitOk;
}

int remove(SettingsStore& store, const std::string& key, const Streams& io) {
    if (!store.storedValue(key)) {
        fmt::print(io.err, "ambleguard: nothing is stored under {}\n", printable(key));
        return kExitNotFound;
    }
    store.removeObject(key);
    return kExitOk;
}

int usage(const Streams& io, const std::string& message) {
    fmt::print(io.err, "ambleguard settings: {}\n", printable(message));
    fmt::print(io.err, "Run `ambleguard settings --help` for usage.\n");
    return kExitUsage;
}

}  // namespace

int runSettingsCommand(const Arguments& args, SettingsStore& store, const std::string& location,
                       const Streams& io) {
    if (args.empty()) {
        return usage(io, "a command is required");
    }
    const std::string& command = args[0];
    if (isHelpFlag(command)) {
        printSettingsHelp(io.out);
        return kExitOk;
    }
    auto expect = [&](std::size_t count, const char* shape) -> bool {
        if (args.size() != count + 1) {
            usage(io, fmt::format("usage: ambleguard settings {}", shape));
            return false;
        }
        return true;
    };
    int status = kExitUsage;
    if (command == "list") {
        if (!expect(0, "list"))
            return kExitUsage;
        status = list(store, io);
    } else if (command == "get") {
        if (!expect(1, "get KEY"))
            return kExitUsage;
        status = get(store, args[1], io);
    } else if (command == "set") {
        if (!expect(2, "set KEY VALUE"))
            return kExitUsage;
        status = set(store, args[1], args[2], io);
    } else if (command == "delete") {
        if (!expect(1, "delete KEY"))
            return kExitUsage;
        status = remove(store, args[1], io);
    } else if (command == "reset-detection") {
        if (!expect(0, "reset-detection"))
            return kExitUsage;
        resetDetectionSettings(store);
        status = kExitOk;
    } else if (command == "reset-all") {
        if (!expect(0, "reset-all"))
            return kExitUsage;
        resetEverythingKeys(store);
        status = kExitOk;
    } else if (command == "path") {
        if (!expect(0, "path"))
            return kExitUsage;
        fmt::print(io.out, "{}\n", ::isatty(::fileno(io.out)) ? printable(location) : location);
        status = kExitOk;
    } else {
        return usage(io, fmt::format("unknown command \"{}\"", command));
    }
    if (status == kExitOk && store.isMemoryOnly()) {
        fmt::print(io.err, "ambleguard: warning: the change could not be saved to {}\n",
                   printable(location));
        return kExitUnsaved;
    }
    return status;
}

}  // namespace ambleguard::cli
