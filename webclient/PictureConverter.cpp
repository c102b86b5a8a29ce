// Turning a downloaded picture into the wallpaper bitmap and setting it.
#include "webclient/PictureConverter.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/ComPtr.h"
#include "core/Handles.h"
#include "core/RuntimeError.h"
#include "webclient/PictureHeader.h"
#include "webclient/PictureOrientation.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kSource = L"PictureConverter";
// The most pixels a picture may have (of an animated GIF, the one frame that
// is shown): two 8K screens side by side (15360 by 4320, 66 million). The
// largest screens in use are 8K (7680 by 4320) and the service is asked for
// one screen's size; wide desktops of three 4K or 5K screens stay below it
// too. Its bitmap is at most about 200 MB; a picture beyond it is refused
// before anything decodes it.
constexpr uint64_t kLargestArea = uint64_t(15360) * 4320;
constexpr uint32_t kBitmapHeaderBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
// Padded 24-bit rows of the largest picture, however thin, fit the file's 32-bit sizes.
static_assert(kLargestArea * 6 + kBitmapHeaderBytes < UINT32_MAX);
// Decoded rows are fetched this many bytes at a time (one row at least).
constexpr uint64_t kBandBytes = 1u << 20;

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

// The picture as the decoder is to see it: what the file's own bytes say,
// and of a GIF the part up to its first image alone, closed with the
// trailer. Some decoders read every frame of a GIF in as they open it.
struct SourcePicture {
    PictureHeader header;
    std::vector<uint8_t> shownGif;  // empty: the file as it stands
};

// Read through a view of the file. Some decoders decode a whole picture as
// they open it: its size must be known before.
SourcePicture readSourcePicture(const std::wstring& path) {
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raiseFileError(GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart == 0 || uint64_t(size.QuadPart) > SIZE_MAX) return {};
    KernelHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return {};
    const std::unique_ptr<const void, decltype(&UnmapViewOfFile)> view(
        MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0), &UnmapViewOfFile);
    if (!view) return {};
    const auto* bytes = static_cast<const uint8_t*>(view.get());
    SourcePicture picture{readPictureHeader({bytes, static_cast<size_t>(size.QuadPart)}), {}};
    if (picture.header.shownBytes > 0) {
        picture.shownGif.assign(bytes, bytes + picture.header.shownBytes);
        picture.shownGif.push_back(0x3B);  // the trailer
    }
    return picture;
}

// A decoder of the file, or of a GIF's shown part held in memory.
ComPtr<IWICBitmapDecoder> openDecoder(IWICImagingFactory* factory, const std::wstring& path,
                                      const std::vector<uint8_t>& shownGif) {
    ComPtr<IWICBitmapDecoder> decoder;
    if (shownGif.empty()) {
        if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnDemand, decoder.put())))
            raiseError(errnum::InvalidPicture, kSource);
        return decoder;
    }
    ComPtr<IWICStream> stream;
    if (shownGif.size() > MAXDWORD || FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(shownGif.data()), static_cast<DWORD>(shownGif.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
        raiseError(errnum::InvalidPicture, kSource);
    return decoder;
}

// The first frame of the picture as 32-bit BGRA, the one target every codec
// here converts to. A GIF's bytes must outlive what this returns.
ComPtr<IWICBitmapSource> decodeAsBgra32(IWICImagingFactory* factory, const std::wstring& path,
                                        const std::vector<uint8_t>& shownGif) {
    const ComPtr<IWICBitmapDecoder> decoder = openDecoder(factory, path, shownGif);
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

// A row of BGRA pixels to BGR, each colour weighted by its opacity, one pixel
// every step bytes from offset on.
void packRow(const uint8_t* bgra, uint8_t* file, int64_t offset, int64_t step, UINT width) {
    for (UINT x = 0; x < width; ++x, bgra += 4, offset += step) {
        uint8_t* bgr = file + offset;
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

// The bitmap's size, and where the top left of the shown picture lies in it.
struct Canvas {
    uint32_t width, height;
    uint32_t left = 0, top = 0;
};

// The picture as shown; a GIF's first image on the whole logical screen that
// holds it, the rest black as transparent parts are.
Canvas canvasFor(const PictureOrientation& shown, const PictureHeader::GifScreen& screen) {
    if (uint64_t(screen.imageLeft) + shown.shownWidth() <= screen.width &&
        uint64_t(screen.imageTop) + shown.shownHeight() <= screen.height)
        return {screen.width, screen.height, screen.imageLeft, screen.imageTop};
    return {shown.shownWidth(), shown.shownHeight()};
}

// A whole bottom-up 24-bit bitmap file in memory, the picture turned as its
// orientation says: headers, then the rows from the bottom one up, each
// padded to four bytes.
std::vector<uint8_t> encodeBitmapFile(IWICBitmapSource* source, const PictureHeader& header) {
    UINT width = 0, height = 0;
    if (FAILED(source->GetSize(&width, &height)) || width == 0 || height == 0)
        raiseError(errnum::InvalidPicture, kSource);
    const PictureOrientation shown(header.orientation, width, height);
    const Canvas canvas = canvasFor(shown, header.gifScreen);
    if (uint64_t(width) * height > kLargestArea || uint64_t(canvas.width) * canvas.height > kLargestArea)
        raiseError(errnum::InvalidPicture, kSource);

    const uint64_t stride = (uint64_t(canvas.width) * 3 + 3) & ~uint64_t(3);
    const uint64_t imageBytes = stride * canvas.height;

    std::vector<uint8_t> file(kBitmapHeaderBytes + imageBytes);
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfSize = static_cast<DWORD>(file.size());
    fileHeader.bfOffBits = kBitmapHeaderBytes;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = static_cast<LONG>(canvas.width);
    info.biHeight = static_cast<LONG>(canvas.height);  // positive: bottom-up, which every desktop shows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageBytes);
    std::memcpy(file.data(), &fileHeader, sizeof fileHeader);
    std::memcpy(file.data() + sizeof fileHeader, &info, sizeof info);

    // Where a shown pixel lies in the file.
    const auto offsetOf = [&](PictureOrientation::Place place) {
        const uint64_t y = canvas.top + place.y, x = canvas.left + place.x;
        return int64_t(kBitmapHeaderBytes + (canvas.height - 1 - y) * stride + x * 3);
    };
    // Decode a band of rows at a time and pack each stored row where it is
    // shown; the rest of the canvas stays black. Transparent parts come out
    // black too.
    const uint64_t sourceStride = uint64_t(width) * 4;
    const UINT bandRows = static_cast<UINT>(std::clamp<uint64_t>(kBandBytes / sourceStride, 1, height));
    std::vector<uint8_t> band(sourceStride * bandRows);
    for (UINT top = 0; top < height; top += bandRows) {
        const UINT rows = std::min(bandRows, height - top);
        const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
        if (FAILED(source->CopyPixels(&rect, static_cast<UINT>(sourceStride), static_cast<UINT>(sourceStride * rows),
                                      band.data())))
            raiseError(errnum::InvalidPicture, kSource);
        for (UINT r = 0; r < rows; ++r) {
            const UINT y = top + r;
            const int64_t first = offsetOf(shown.shownAt(0, y));
            const int64_t step = width > 1 ? offsetOf(shown.shownAt(1, y)) - first : 3;
            packRow(band.data() + r * sourceStride, file.data(), first, step, width);
        }
    }
    return file;
}

// Written, then flushed to the disk: the file is about to replace the bitmap
// the desktop shows, so it must be whole there first. Nothing is left of it
// when either fails; a failed flush is the disk's own fault.
void writeWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raiseFileError(GetLastError());
    const auto discard = [&] {
        const DWORD error = GetLastError();
        file.reset();
        DeleteFileW(path.c_str());
        return error;
    };
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 8u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, piece, &written, nullptr) || written == 0)
            raiseFileError(discard());
        done += written;
    }
    if (!FlushFileBuffers(file.get())) {
        const DWORD error = discard();
        raiseError(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? errnum::DiskFull : errnum::DeviceIOError,
                   kSource);
    }
}

}  // namespace

void convertPictureToBitmap(const std::wstring& source, const std::wstring& destination) {
    // A decoder may hold the whole picture as it opens it: one whose size its
    // own header does not tell first (another format) is never opened.
    const SourcePicture picture = readSourcePicture(source);
    const PictureHeader& header = picture.header;
    if (header.decodedArea == 0 || header.decodedArea > kLargestArea) raiseError(errnum::InvalidPicture, kSource);
    const ComPtr<IWICImagingFactory> factory = createFactory();
    const std::vector<uint8_t> bitmap =
        encodeBitmapFile(decodeAsBgra32(factory.get(), source, picture.shownGif).get(), header);

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
