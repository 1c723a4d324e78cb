#include "cli/Command.h"

namespace ambleguard::cli {

bool isHelpFlag(std::string_view arg) {
    return arg == "--help" || arg == "-h" || arg == "help";
}

}  // namespace ambleguard::cli
