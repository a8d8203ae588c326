// PROPVARIANT: the tagged value that metadata queries answer with.
#pragma once

#include "windef.h"
#include "winerror.h"

typedef uint16_t VARTYPE;
typedef SHORT VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

enum VARENUM {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BOOL = 11,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_BLOB = 65,
    VT_VECTOR = 0x1000,
};

typedef struct tagBLOB {
    ULONG cbSize;
    BYTE* pBlobData;
} BLOB;

typedef struct tagCAUB {
    ULONG cElems;
    UCHAR* pElems;
} CAUB;

typedef struct tagPROPVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        CHAR cVal;
        UCHAR bVal;
        SHORT iVal;
        USHORT uiVal;
        LONG lVal;
        ULONG ulVal;
        LONGLONG hVal;
        ULONGLONG uhVal;
        VARIANT_BOOL boolVal;
        char* pszVal;
        LPWSTR pwszVal;
        BLOB blob;
        CAUB caub;
    };
} PROPVARIANT;

#define DISP_E_BADVARTYPE _HRESULT_TYPEDEF_(0x80020008L)

#define PropVariantInit(pvar) memset((pvar), 0, sizeof(PROPVARIANT))

// Frees what the value owns (strings, blobs, vectors, all from CoTaskMemAlloc) and leaves
// VT_EMPTY; a type it does not know gives DISP_E_BADVARTYPE and is left as it was.
extern "C" HRESULT PropVariantClear(PROPVARIANT* pvar);
