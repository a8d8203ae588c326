// What the stand-in's threads take from its module references.
#pragma once

namespace platform {

// Releases the module that FreeLibraryAndExitThread named on this thread, if any. Called by
// the thread's own start, after the thread's routine has been left.
void ReleaseModuleOfExitingThread();

}  // namespace platform
