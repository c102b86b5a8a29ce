#include "webclient/PictureConverter.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/ComPtr.h"
#include "core/Handles.h"
#include "core/RuntimeError.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kSource = L"PictureConverter";
constexpr UINT kLargestSide = 16384;  // far beyond any screen; refuses absurd headers

ComPtr<IWICImagingFactory> createFactory() {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.putVoid())))
        raiseError(errnum::CannotCreateObject, kSource);
    return factory;
}

[[noreturn]] void raiseFileError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: raiseError(errnum::FileNotFound, kSource);
        case ERROR_PATH_NOT_FOUND: raiseError(errnum::PathNotFound, kSource);
        case ERROR_ACCESS_DENIED: raiseError(errnum::PermissionDenied, kSource);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: raiseError(errnum::DiskFull, kSource);
        default: raiseError(errnum::PathFileAccessError, kSource);
    }
}

// The first frame of the picture as 32-bit BGRA, the one target every codec
// here converts to.
ComPtr<IWICBitmapSource> decodeAsBgra32(IWICImagingFactory* factory, const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) raiseFileError(GetLastError());

    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.put())))
        raiseError(errnum::InvalidPicture, kSource);
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put()))) raiseError(errnum::InvalidPicture, kSource);

    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        raiseError(errnum::InvalidPicture, kSource);

    ComPtr<IWICBitmapSource> source;
    converter->QueryInterface(IID_IWICBitmapSource, source.putVoid());
    if (!source) raiseError(errnum::InvalidPicture, kSource);
    return source;
}

// BGRA to BGR, each colour weighted by its opacity.
void packRow(const uint8_t* bgra, uint8_t* bgr, UINT width) {
    for (UINT x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned alpha = bgra[3];
        if (alpha == 255) {
            bgr[0] = bgra[0];
            bgr[1] = bgra[1];
            bgr[2] = bgra[2];
        } else {
            for (int c = 0; c < 3; ++c) bgr[c] = static_cast<uint8_t>((bgra[c] * alpha + 127) / 255);
        }
    }
}

// A whole bottom-up 24-bit bitmap file in memory: headers, then the rows from
// the bottom one up, each padded to four bytes.
std::vector<uint8_t> encodeBitmapFile(IWICBitmapSource* source) {
    UINT width = 0, height = 0;
    if (FAILED(source->GetSize(&width, &height)) || width == 0 || height == 0 || width > kLargestSide ||
        height > kLargestSide)
        raiseError(errnum::InvalidPicture, kSource);

    const UINT rowBytes = width * 3;
    const UINT stride = (rowBytes + 3) & ~3u;
    const uint64_t imageBytes = uint64_t(stride) * height;
    const uint32_t headerBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);

    std::vector<uint8_t> file(headerBytes + imageBytes);
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfSize = static_cast<DWORD>(file.size());
    fileHeader.bfOffBits = headerBytes;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = static_cast<LONG>(width);
    info.biHeight = static_cast<LONG>(height);  // positive: bottom-up, which every desktop shows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageBytes);
    std::memcpy(file.data(), &fileHeader, sizeof fileHeader);
    std::memcpy(file.data() + sizeof fileHeader, &info, sizeof info);

    // Decode a band of rows at a time and pack each row into its place, the
    // bottom row first in the file. Transparent parts come out black.
    constexpr UINT kBandRows = 64;
    const UINT sourceStride = width * 4;
    std::vector<uint8_t> band(size_t(sourceStride) * kBandRows);
    for (UINT top = 0; top < height; top += kBandRows) {
        const UINT rows = std::min(kBandRows, height - top);
        const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
        if (FAILED(source->CopyPixels(&rect, sourceStride, sourceStride * rows, band.data())))
            raiseError(errnum::InvalidPicture, kSource);
        for (UINT r = 0; r < rows; ++r) {
            const uint8_t* from = band.data() + size_t(r) * sourceStride;
            uint8_t* to = file.data() + headerBytes + uint64_t(height - 1 - (top + r)) * stride;
            packRow(from, to, width);
        }
    }
    return file;
}

void writeWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raiseFileError(GetLastError());
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 8u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, piece, &written, nullptr) || written == 0) {
            const DWORD error = GetLastError();
            file.reset();
            DeleteFileW(path.c_str());
            raiseFileError(error);
        }
        done += written;
    }
}

}  // namespace

void convertPictureToBitmap(const std::wstring& source, const std::wstring& destination) {
    const ComPtr<IWICImagingFactory> factory = createFactory();
    const std::vector<uint8_t> bitmap = encodeBitmapFile(decodeAsBgra32(factory.get(), source).get());

    const std::wstring partial = destination + L".partial";
    writeWholeFile(partial, bitmap);
    if (!MoveFileExW(partial.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        raiseFileError(error);
    }
}

void setDesktopWallpaper(const std::wstring& bitmapPath) {
    std::wstring path = bitmapPath;  // the call takes a writable buffer
    SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
}

}  // namespace vorlane
