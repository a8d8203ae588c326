// HandleMessage: the host's window messages and requests.
#include "module/entry_points.h"
#include "module/tavoren_gif.h"

INT32 HandleMessage(TavorenGif* /*viewer*/, UINT32 message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    // No message is acted on yet: an unhandled key answers 0, any other message 1.
    return message == WM_KEYDOWN ? 0 : 1;
}
