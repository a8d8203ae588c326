// Reads one metadata value by query path and checks its type tag against the one expected.
#pragma once

#include <windows.h>
#include <wincodec.h>

enum class QueryResult {
    Failed,     // the query itself failed: no such item
    OtherType,  // an item with a type other than the one expected: counts as absent
    Found,
};

// On Found, `value` holds the value (a VT_BOOL as 0 or 1). The PROPVARIANT is cleared
// before returning in every case.
QueryResult QueryMetadata(IWICMetadataQueryReader* reader, LPCWSTR path, VARTYPE expected,
                          UINT32* value);
