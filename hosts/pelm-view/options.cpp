// The command line: a handful of options, parsed by hand so that a headless run never needs
// a QCoreApplication (which would want a display for the widgets it might create).
#include "hosts/pelm-view/options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "hosts/core/colour.h"
#include "hosts/core/host_commands.h"

namespace {

constexpr const char* kUsage =
    "usage: pelm-view [--module PATH] [--background COLOUR] [FILE... | FOLDER]\n"
    "       pelm-view --help | --version\n"
    "       pelm-view --headless --out DIR [--frames N] [--size WxH] [--background RRGGBB]\n"
    "                 [--keys LETTERS] [--rotate DEGREES] [--module PATH] [FILE]\n"
    "\n"
    "Plays FILE (GIF or WebP) and browses the others of its folder, or the files of FOLDER,\n"
    "or just the FILEs given when there are several, or the built-in demo animation without\n"
    "any, through the Pelm_TavorenGif module.\n"
    "\n"
    "  --module PATH        the module to load (default: Pelm_TavorenGif.so beside pelm-view)\n"
    "  --background COLOUR  the host's background colour: RRGGBB (# allowed) or a name such\n"
    "                       as black, white, grey, navy (default 303030)\n"
    "  --version            the version\n"
    "  --headless           no window: write the first N frames as DIR/frame-0000.png, ...\n"
    "  --out DIR            where the frames go (headless)\n"
    "  --frames N           how many frames (headless; default and most: all of them)\n"
    "  --size WxH           the client area (headless; default the picture's size, 1:1)\n"
    "  --keys LETTERS       G (background) and I (timing), pressed before the first frame\n"
    "                       (headless)\n"
    "  --rotate DEGREES     one rotation step before the first frame (headless)\n";

bool ParseUnsigned(std::string_view text, unsigned long max, unsigned long* value) {
    if (text.empty() || text.size() > 9) return false;
    unsigned long result = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        result = result * 10 + static_cast<unsigned long>(c - '0');
    }
    if (result > max) return false;
    *value = result;
    return true;
}

// WxH, each 1 to 16384; a WM_SIZE carries each in 16 bits.
bool ParseSize(std::string_view text, int* width, int* height) {
    const size_t x = text.find('x');
    unsigned long w = 0, h = 0;
    if (x == std::string_view::npos || !ParseUnsigned(text.substr(0, x), 16384, &w) ||
        !ParseUnsigned(text.substr(x + 1), 16384, &h) || w == 0 || h == 0) {
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

bool ParseDegrees(std::string_view text, int* degrees) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    unsigned long value = 0;
    if (!ParseUnsigned(text, 360, &value)) return false;
    *degrees = negative ? -static_cast<int>(value) : static_cast<int>(value);
    return true;
}

std::optional<Options> Fail(const char* message, std::string_view detail) {
    std::fprintf(stderr, "pelm-view: %s%.*s\n%s", message, static_cast<int>(detail.size()),
                 detail.data(), kUsage);
    return std::nullopt;
}

}  // namespace

std::optional<Options> ParseOptions(int argc, char** argv, bool* helpAsked) {
    *helpAsked = false;
    Options options;
    bool headlessOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            *helpAsked = true;
            std::fputs(kUsage, stdout);
            std::fputs("\nKeys and mouse:\n", stdout);
            std::string keys = HelpText();
            for (size_t tab; (tab = keys.find('\t')) != std::string::npos;) {
                // Columns: the keys padded to one width.
                const size_t start =
                    keys.rfind('\n', tab) == std::string::npos ? 0 : keys.rfind('\n', tab) + 1;
                keys.replace(tab, 1, std::string(std::max<size_t>(2, 32 - (tab - start)), ' '));
            }
            std::fputs(keys.c_str(), stdout);
            return std::nullopt;
        } else if (arg == "--version") {
            *helpAsked = true;
            std::puts(VersionText("pelm-view").c_str());
            return std::nullopt;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--module") {
            const char* v = value();
            if (!v) return Fail("--module needs a path", "");
            options.module = v;
        } else if (arg == "--background") {
            const char* v = value();
            const std::optional<uint32_t> colour = v ? ParseColour(v) : std::nullopt;
            if (!colour) {
                return Fail("--background needs RRGGBB, #RRGGBB or a colour's name, not ",
                            v ? v : "");
            }
            options.background = *colour;
        } else if (arg == "--out") {
            const char* v = value();
            if (!v) return Fail("--out needs a folder", "");
            options.outDir = v;
            headlessOnly = true;
        } else if (arg == "--frames") {
            const char* v = value();
            unsigned long n = 0;
            if (!v || !ParseUnsigned(v, 1000000, &n) || n == 0) {
                return Fail("--frames needs a count from 1, not ", v ? v : "");
            }
            options.frames = static_cast<uint32_t>(n);
            headlessOnly = true;
        } else if (arg == "--size") {
            const char* v = value();
            if (!v || !ParseSize(v, &options.width, &options.height)) {
                return Fail("--size needs WxH, not ", v ? v : "");
            }
            headlessOnly = true;
        } else if (arg == "--keys") {
            // The display options only: a transport key would start or stop the worker that
            // the run steps.
            const char* v = value();
            if (!v) return Fail("--keys needs letters", "");
            for (const char* c = v; *c; ++c) {
                const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
                if (key != 'G' && key != 'I') return Fail("--keys takes G and I only, not ", v);
                options.keys += key;
            }
            headlessOnly = true;
        } else if (arg == "--rotate") {
            const char* v = value();
            if (!v || !ParseDegrees(v, &options.rotate)) {
                return Fail("--rotate needs degrees from -360 to 360, not ", v ? v : "");
            }
            headlessOnly = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option ", arg);
        } else {
            options.files.emplace_back(arg);
        }
    }
    if (headlessOnly && !options.headless) {
        return Fail("--out, --frames, --size, --keys and --rotate need --headless", "");
    }
    if (options.headless && options.files.size() > 1) {
        return Fail("--headless takes one file; also given ", options.files[1]);
    }
    if (options.headless && options.outDir.empty()) {
        return Fail("--headless needs --out DIR", "");
    }
    return options;
}
