// pelm-view without a display: writes what the window would show for each of the first
// frames, stepping the module one frame at a time.
#pragma once

#include "hosts/pelm-view/options.h"

// 0 when every frame asked for was written; 1 on a failure during the run; 3 when the module
// cannot open the image.
int RunHeadless(const Options& options);
