#include "app/elevation.h"

#include "app/command_line.h"

namespace wd::app {

StartRights takeRights(platform::Rights& rights, const StartInfo& start) {
    // Read in every case: the mark is cleared as it is read, so that no
    // program this one starts later takes it over.
    const bool askedBefore = rights.startedByElevationRequest();
    const bool interactive = !parseWatchArgument(start.argument).watch;
    // A copy that was started elevated and still came up filtered (a system
    // that ignores the request) must not ask again, or it would start copies
    // without end.
    if (interactive && !askedBefore && !start.exePath.empty() &&
        rights.elevation() == platform::Elevation::Limited &&
        rights.restartElevated({start.exePath, start.argument, kElevationVerb, kProgramClass})) {
        return StartRights::Quit;
    }
    rights.enableDebugPrivilege();
    return StartRights::Run;
}

}  // namespace wd::app
