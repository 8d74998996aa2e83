// The program's rights over Win32: its token, the consent prompt ("runas")
// and the debug privilege.
#pragma once

#include "platform/rights.h"

namespace wd::win32 {

class Rights final : public platform::Rights {
public:
    platform::Elevation elevation() override;
    bool startedByElevationRequest() override;
    bool restartElevated(const platform::ElevationRequest& request) override;
    bool enableDebugPrivilege() override;
};

}  // namespace wd::win32
