#pragma once

#include "cli/Command.h"
#include "settings/SettingsStore.h"

namespace ambleguard::cli {

// `ambleguard settings ...`: list, read, change and reset the stored settings.
int runSettingsCommand(const Arguments& args, SettingsStore& store, const std::string& location,
                       const Streams& io);

void printSettingsHelp(std::FILE* out);

}  // namespace ambleguard::cli
