// The module's name for people, shared by the descriptor record and the version resource so
// that a host's plug-in list and Explorer's Details tab say the same. Plain string literals:
// the resource compiler's preprocessor reads this file too.
#pragma once

#define TAVOREN_MODULE_DESCRIPTION "GifAnimation Viewer Module ver. 0.2"
#define TAVOREN_MODULE_COPYRIGHT "Copyright (C) 2026 The Pelm_TavorenGif developers"
#define TAVOREN_PRODUCT_NAME "Pelm_TavorenGif"
