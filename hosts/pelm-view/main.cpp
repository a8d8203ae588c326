// pelm-view: the Linux reference host of the Pelm_TavorenGif module. It plays a GIF or WebP in
// a Qt window, or, headless, writes the frames the window would show as PNG files.
#include <cstdio>

#include "hosts/pelm-view/headless_run.h"
#include "hosts/pelm-view/interactive_run.h"
#include "hosts/pelm-view/options.h"

int main(int argc, char** argv) {
    bool helpAsked = false;
    const auto options = ParseOptions(argc, argv, &helpAsked);
    if (!options) return helpAsked ? 0 : 2;
    return options->headless ? RunHeadless(*options) : RunInteractive(argc, argv, *options);
}
