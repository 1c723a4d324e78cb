#pragma once

#include <optional>
#include <string>

namespace ambleguard {

// What the running program knows about itself: its build and where newer builds are announced.
struct ProgramInfo {
    // The running build number as text; absent when the program does not know it.
    std::optional<std::string> build;
    // Scheme, host and optional port of the version service (its path is fixed). Empty when this
    // build does not look for updates at all (a distribution's package manager does that).
    std::string updateEndpoint;
    // The page where a newer build can be downloaded.
    std::string downloadPage;
};

}  // namespace ambleguard
