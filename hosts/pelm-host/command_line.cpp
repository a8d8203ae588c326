#include "hosts/pelm-host/command_line.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "hosts/core/colour.h"

const wchar_t kUsage[] =
    L"usage: pelm-host [--module PATH] [--background COLOUR] [--topmost] [FILE... | FOLDER]\n"
    L"       pelm-host --version\n"
    L"  FILE                 a GIF or WebP image, browsed with the others of its folder;\n"
    L"                       several: just those\n"
    L"  FOLDER               the GIF and WebP images of a folder; without either, the demo\n"
    L"  --module PATH        the module to load (default: Pelm_TavorenGif beside pelm-host)\n"
    L"  --background COLOUR  the colour around the picture: RRGGBB in hexadecimal, or a name\n"
    L"                       such as black, white, grey, navy (default 303030)\n"
    L"  --topmost            keep the window above all others";

namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::optional<HostOptions> ParseCommandLine(const wchar_t* commandLine, std::wstring& error) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &count);
    if (!argv) {
        error = L"cannot read the command line";
        return std::nullopt;
    }
    std::vector<std::wstring> args(argv + 1, argv + count);
    LocalFree(argv);

    HostOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == L"--module" && hasValue) {
            options.modulePath = args[++i];
        } else if (arg == L"--background" && hasValue) {
            const std::optional<uint32_t> colour = ParseColour(Narrow(args[++i]));
            if (!colour) {
                error =
                    L"--background takes six hexadecimal digits, such as 303030 or #303030, "
                    L"or a colour's name";
                return std::nullopt;
            }
            options.background = *colour;
        } else if (arg == L"--topmost") {
            options.topmost = true;
        } else if (arg == L"--version") {
            options.versionAsked = true;
        } else if (arg.rfind(L"--", 0) == 0) {
            error = L"unexpected argument: " + arg;
            return std::nullopt;
        } else {
            options.imagePaths.push_back(arg);
        }
    }
    return options;
}
