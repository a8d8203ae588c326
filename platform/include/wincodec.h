// Windows Imaging Component: the subset of the imaging factory, decoders, frames, palettes
// and metadata readers that the module calls.
#pragma once

#include "objbase.h"
#include "objidl.h"

typedef UINT32 WICColor;
typedef GUID WICPixelFormatGUID;
typedef REFGUID REFWICPixelFormatGUID;

enum WICDecodeOptions {
    WICDecodeMetadataCacheOnLoad = 1,
};

enum WICBitmapDitherType {
    WICBitmapDitherTypeNone = 0,
};

enum WICBitmapPaletteType {
    WICBitmapPaletteTypeCustom = 0,
};

#define WINCODEC_ERR_WRONGSTATE _HRESULT_TYPEDEF_(0x88982f04)
#define WINCODEC_ERR_NOTINITIALIZED _HRESULT_TYPEDEF_(0x88982f0c)
#define WINCODEC_ERR_PROPERTYNOTFOUND _HRESULT_TYPEDEF_(0x88982f40)
#define WINCODEC_ERR_PALETTEUNAVAILABLE _HRESULT_TYPEDEF_(0x88982f45)
#define WINCODEC_ERR_COMPONENTNOTFOUND _HRESULT_TYPEDEF_(0x88982f50)
#define WINCODEC_ERR_IMAGESIZEOUTOFRANGE _HRESULT_TYPEDEF_(0x88982f51)
#define WINCODEC_ERR_BADIMAGE _HRESULT_TYPEDEF_(0x88982f60)
#define WINCODEC_ERR_STREAMREAD _HRESULT_TYPEDEF_(0x88982f72)
#define WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT _HRESULT_TYPEDEF_(0x88982f80)
#define WINCODEC_ERR_UNSUPPORTEDOPERATION _HRESULT_TYPEDEF_(0x88982f81)
#define WINCODEC_ERR_INSUFFICIENTBUFFER _HRESULT_TYPEDEF_(0x88982f8c)

EXTERN_GUID(CLSID_WICImagingFactory);
EXTERN_GUID(CLSID_WICImagingFactory2);
EXTERN_GUID(IID_IWICImagingFactory);
EXTERN_GUID(IID_IWICBitmapDecoder);
EXTERN_GUID(IID_IWICBitmapSource);
EXTERN_GUID(IID_IWICBitmapFrameDecode);
EXTERN_GUID(IID_IWICMetadataQueryReader);
EXTERN_GUID(IID_IWICPalette);
EXTERN_GUID(IID_IWICFormatConverter);
EXTERN_GUID(GUID_ContainerFormatGif);
EXTERN_GUID(GUID_ContainerFormatWebp);
EXTERN_GUID(GUID_ContainerFormatPng);
EXTERN_GUID(GUID_ContainerFormatJpeg);
EXTERN_GUID(GUID_ContainerFormatBmp);
EXTERN_GUID(GUID_WICPixelFormat32bppPBGRA);
EXTERN_GUID(GUID_WICPixelFormat32bppBGRA);
EXTERN_GUID(GUID_WICPixelFormat32bppRGBA);
EXTERN_GUID(GUID_WICPixelFormat8bppIndexed);

typedef struct WICRect {
    INT X;
    INT Y;
    INT Width;
    INT Height;
} WICRect;

struct IWICPalette : public IUnknown {
    STDMETHOD(InitializeCustom)(WICColor* pColors, UINT cCount) PURE;
    STDMETHOD(GetColors)(UINT cCount, WICColor* pColors, UINT* pcActualColors) PURE;
};

struct IWICMetadataQueryReader : public IUnknown {
    STDMETHOD(GetContainerFormat)(GUID* pguidContainerFormat) PURE;
    STDMETHOD(GetMetadataByName)(LPCWSTR wzName, PROPVARIANT* pvarValue) PURE;
};

struct IWICBitmapSource : public IUnknown {
    STDMETHOD(GetSize)(UINT* puiWidth, UINT* puiHeight) PURE;
    STDMETHOD(GetPixelFormat)(WICPixelFormatGUID* pPixelFormat) PURE;
    STDMETHOD(CopyPalette)(IWICPalette* pIPalette) PURE;
    STDMETHOD(CopyPixels)
    (const WICRect* prc, UINT cbStride, UINT cbBufferSize, BYTE* pbBuffer) PURE;
};

struct IWICBitmapFrameDecode : public IWICBitmapSource {
    STDMETHOD(GetMetadataQueryReader)(IWICMetadataQueryReader** ppIMetadataQueryReader) PURE;
};

struct IWICFormatConverter : public IWICBitmapSource {
    STDMETHOD(Initialize)
    (IWICBitmapSource* pISource, REFWICPixelFormatGUID dstFormat, WICBitmapDitherType dither,
     IWICPalette* pIPalette, double alphaThresholdPercent,
     WICBitmapPaletteType paletteTranslate) PURE;
};

struct IWICBitmapDecoder : public IUnknown {
    STDMETHOD(GetContainerFormat)(GUID* pguidContainerFormat) PURE;
    STDMETHOD(CopyPalette)(IWICPalette* pIPalette) PURE;
    STDMETHOD(GetMetadataQueryReader)(IWICMetadataQueryReader** ppIMetadataQueryReader) PURE;
    STDMETHOD(GetFrameCount)(UINT* pCount) PURE;
    STDMETHOD(GetFrame)(UINT index, IWICBitmapFrameDecode** ppIBitmapFrame) PURE;
};

struct IWICImagingFactory : public IUnknown {
    STDMETHOD(CreateDecoderFromStream)
    (IStream* pIStream, const GUID* pguidVendor, WICDecodeOptions metadataOptions,
     IWICBitmapDecoder** ppIDecoder) PURE;
    STDMETHOD(CreatePalette)(IWICPalette** ppIPalette) PURE;
    STDMETHOD(CreateFormatConverter)(IWICFormatConverter** ppIFormatConverter) PURE;
};
DECLARE_UUIDOF(IWICImagingFactory, IID_IWICImagingFactory)
