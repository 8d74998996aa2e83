// Where the program's libraries come from, closed to the folders a planted
// file can reach.
#pragma once

namespace wd::win32 {

// The first thing wWinMain does: from here on, a library loaded by name (by
// us or by a system library on our behalf) comes from System32 only, never
// from the program's own folder or the current one.
void restrictLibrarySearch() noexcept;

}  // namespace wd::win32
