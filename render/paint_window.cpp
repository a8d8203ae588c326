// Render: paints the composed picture into the host window.
#include "module/entry_points.h"
#include "module/tavoren_gif.h"

INT32 Render(TavorenGif* /*viewer*/, UINT_PTR /*unused*/, const RECT* /*sourceRect*/,
             const RECT* /*destRect*/, BYTE /*interpolation*/) {
    // Without a window surface nothing is drawn and the answer is 0; no surface exists yet.
    return 0;
}
