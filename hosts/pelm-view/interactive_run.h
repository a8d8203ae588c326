// pelm-view with a window: the module plays the image until the window is closed.
#pragma once

#include "hosts/pelm-view/options.h"

int RunInteractive(int argc, char** argv, const Options& options);
