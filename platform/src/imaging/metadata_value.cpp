// Scalar metadata values as the Windows query readers hand them out.
#include "imaging/container.h"

namespace platform::imaging {

HRESULT StoreValue(const MetadataValue& value, PROPVARIANT* out) {
    if (!out) return E_INVALIDARG;
    PropVariantInit(out);
    out->vt = value.type;
    switch (value.type) {
        case VT_BOOL:
            out->boolVal = value.value ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_UI1:
            out->bVal = static_cast<UCHAR>(value.value);
            break;
        case VT_UI2:
            out->uiVal = static_cast<USHORT>(value.value);
            break;
        case VT_UI4:
            out->ulVal = value.value;
            break;
        default:
            out->vt = VT_EMPTY;
            return E_INVALIDARG;
    }
    return S_OK;
}

// Query paths are matched without regard to ASCII case, as Windows matches them.
bool PathIs(LPCWSTR path, const char* name) {
    if (!path) return false;
    auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (; *name; ++path, ++name) {
        if (lower(*path) != lower(static_cast<unsigned char>(*name))) return false;
    }
    return *path == 0;
}

HRESULT AnswerQuery(std::initializer_list<MetadataItem> items, LPCWSTR path, PROPVARIANT* value) {
    for (const MetadataItem& item : items) {
        if (PathIs(path, item.path)) return StoreValue(item.value, value);
    }
    return WINCODEC_ERR_PROPERTYNOTFOUND;
}

}  // namespace platform::imaging
