#pragma once

#include "platform/ProgramInfo.h"

namespace ambleguard::linuxdesktop {

// The running program's build number, version service and download page, as this build was
// configured (AMBLEGUARD_BUILD_NUMBER, AMBLEGUARD_UPDATE_ENDPOINT, AMBLEGUARD_DOWNLOAD_PAGE).
ProgramInfo buildProgramInfo();

}  // namespace ambleguard::linuxdesktop
