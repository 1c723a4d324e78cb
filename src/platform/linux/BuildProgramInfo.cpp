#include "platform/linux/BuildProgramInfo.h"

namespace ambleguard::linuxdesktop {

ProgramInfo buildProgramInfo() {
    ProgramInfo info;
    const std::string build = AMBLEGUARD_BUILD_NUMBER;
    if (!build.empty()) {
        info.build = build;
    }
    info.updateEndpoint = AMBLEGUARD_UPDATE_ENDPOINT;
    info.downloadPage = AMBLEGUARD_DOWNLOAD_PAGE;
    return info;
}

}  // namespace ambleguard::linuxdesktop
