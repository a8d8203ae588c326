// UTF-16 to UTF-8 conversion, as WideCharToMultiByte gives it for CP_UTF8.
#include <windows.h>

namespace {

// Appends the UTF-8 form of one code point, or counts its length when `out` is null.
int EncodeUtf8(char32_t c, char* out) {
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (out) {
        static const unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        for (int i = length - 1; i > 0; --i) {
            out[i] = static_cast<char>(0x80 | (c & 0x3F));
            c >>= 6;
        }
        out[0] = static_cast<char>(kLead[length] | c);
    }
    return length;
}

}  // namespace

// Only CP_UTF8 is implemented; an unpaired surrogate becomes U+FFFD, as Windows writes it.
extern "C" int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR wide, int wideLength,
                                   LPSTR out, int outSize, LPCSTR /*defaultChar*/,
                                   BOOL* /*usedDefaultChar*/) {
    if (codePage != CP_UTF8 || !wide || outSize < 0 || (outSize > 0 && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = 0;
    if (wideLength < 0) {
        while (wide[count]) ++count;
        ++count;  // the terminator is converted too
    } else {
        count = static_cast<size_t>(wideLength);
    }
    int written = 0;
    for (size_t i = 0; i < count; ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        const int length = EncodeUtf8(c, nullptr);
        if (outSize > 0) {
            if (written + length > outSize) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            EncodeUtf8(c, out + written);
        }
        written += length;
    }
    return written;
}
