#include "analysis/metadata_query.h"

#include <cstring>

QueryResult QueryMetadata(IWICMetadataQueryReader* reader, LPCWSTR path, VARTYPE expected,
                          UINT32* value) {
    PROPVARIANT item;
    PropVariantInit(&item);
    if (FAILED(reader->GetMetadataByName(path, &item))) {
        PropVariantClear(&item);
        return QueryResult::Failed;
    }
    QueryResult result = item.vt == expected ? QueryResult::Found : QueryResult::OtherType;
    if (result == QueryResult::Found) {
        switch (expected) {
            case VT_BOOL:
                *value = item.boolVal != 0;
                break;
            case VT_UI1:
                *value = item.bVal;
                break;
            case VT_UI2:
                *value = item.uiVal;
                break;
            case VT_UI4:
                *value = item.ulVal;
                break;
            default:
                result = QueryResult::OtherType;
        }
    }
    PropVariantClear(&item);
    return result;
}
