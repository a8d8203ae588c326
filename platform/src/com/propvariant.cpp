// PropVariantClear for the value types that the platform's metadata readers produce.
#include <objbase.h>

extern "C" HRESULT PropVariantClear(PROPVARIANT* pvar) {
    if (!pvar) return S_OK;
    switch (pvar->vt) {
        case VT_EMPTY:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_BOOL:
            break;
        case VT_LPSTR:
            CoTaskMemFree(pvar->pszVal);
            break;
        case VT_LPWSTR:
            CoTaskMemFree(pvar->pwszVal);
            break;
        case VT_BLOB:
            CoTaskMemFree(pvar->blob.pBlobData);
            break;
        case VT_VECTOR | VT_UI1:
            CoTaskMemFree(pvar->caub.pElems);
            break;
        default:
            return DISP_E_BADVARTYPE;
    }
    PropVariantInit(pvar);
    return S_OK;
}
