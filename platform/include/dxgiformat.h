// DXGI pixel formats, the two the drawing surfaces use.
#pragma once

enum DXGI_FORMAT {
    DXGI_FORMAT_UNKNOWN = 0,
    DXGI_FORMAT_B8G8R8A8_UNORM = 87,
};
