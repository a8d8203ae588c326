// Windows Imaging Component: the imaging interfaces the viewer holds.
#pragma once

#include "objbase.h"

struct IWICImagingFactory : public IUnknown {};
struct IWICBitmapDecoder : public IUnknown {};
