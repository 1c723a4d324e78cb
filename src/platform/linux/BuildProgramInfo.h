#pragma once

#include "platform/ProgramInfo.h"

namespace ambleguard::linux_desktop {

// The running program's build number, version service and download page, as this build was
// configured (AMBLEGUARD_BUILD_NUMBER, AMBLEGUARD_UPDATE_ENDPOINT, AMBLEGUARD_DOWNLOAD_PAGE).
ProgramInfo buildProgramInfo();

}  // namespace ambleguard::linux_desktop
