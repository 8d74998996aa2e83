// The rights the program takes at start, before its window is made.
#pragma once

#include "platform/platform.h"
#include "platform/rights.h"

namespace wd::app {

// The verb that asks for an administrator's rights, and the machine's class
// of programs it is taken from.
inline constexpr char kElevationVerb[] = "runas";
inline constexpr char kProgramClass[] = "Software\\Classes\\exefile";

enum class StartRights {
    Run,   // go on with this process
    Quit,  // an elevated copy has been started in its place: end at once
};

// An interactive start (no `watch` argument) by an administrator whose rights
// are filtered asks once for the full rights: the program starts again
// elevated, with the same argument, and this copy ends. Declined or failed, it
// goes on with the rights it has. The `watch` start (the Run value at log-on)
// never asks. A program that goes on enables the debug privilege if its token
// holds it, so that it can read and end the processes of other users and of
// services.
StartRights takeRights(platform::Rights& rights, const StartInfo& start);

}  // namespace wd::app
