// Shell light-weight utilities: streams over a file and over a copy of memory.
#pragma once

#include "objidl.h"

// Opens the file for reading; with STGM_SHARE_EXCLUSIVE a second open of the same file is
// refused while the first stream lives, as Windows refuses it.
extern "C" HRESULT SHCreateStreamOnFileW(LPCWSTR pszFile, DWORD grfMode, IStream** ppstm);

// A stream over its own copy of the bytes; null when the copy cannot be made.
extern "C" IStream* SHCreateMemStream(const BYTE* pInit, UINT cbInit);
