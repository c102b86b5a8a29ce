// Tests of the picture conversion to the wallpaper bitmap and of setting it.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>
#include <tuple>

#include "core/ComApartment.h"
#include "core/Handles.h"
#include "core/RuntimeError.h"
#include "tests/support/TestFiles.h"
#include "webclient/PictureConverter.h"

using namespace vorlane;
using vorlane::test::TempDir;

namespace {

std::wstring fixture(const char* name) {
    return vorlane::test::hostPath(std::string(PICTURE_FIXTURES_DIR) + "/" + name);
}

struct Bitmap {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    std::string bytes;

    explicit Bitmap(const std::wstring& path) : bytes(vorlane::test::readFile(path)) {
        if (bytes.size() < sizeof file + sizeof info) throw std::runtime_error("short bitmap");
        std::memcpy(&file, bytes.data(), sizeof file);
        std::memcpy(&info, bytes.data() + sizeof file, sizeof info);
    }
    // Blue, green, red of a pixel counted from the picture's top row.
    RGBTRIPLE pixel(int x, int yFromTop) const {
        const int stride = (info.biWidth * 3 + 3) & ~3;
        const size_t at = file.bfOffBits + size_t(info.biHeight - 1 - yFromTop) * stride + size_t(x) * 3;
        RGBTRIPLE p;
        std::memcpy(&p, bytes.data() + at, sizeof p);
        return p;
    }
};

void expectColour(const RGBTRIPLE& pixel, int red, int green, int blue) {
    EXPECT_NEAR(pixel.rgbtRed, red, 40);
    EXPECT_NEAR(pixel.rgbtGreen, green, 40);
    EXPECT_NEAR(pixel.rgbtBlue, blue, 40);
}

// Makes path a link to the host's null device, through the host's own ln:
// writing to it succeeds, flushing it fails. Wine starts a host program
// without a handle to wait on, so the link is waited for.
void linkToNullDevice(const std::wstring& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    ASSERT_NE(unixFileName, nullptr) << "runs under Wine only";
    char* unixPath = unixFileName(path.c_str());
    ASSERT_NE(unixPath, nullptr);
    std::wstring commandLine = L"Z:\\bin\\ln -s /dev/null \"";
    for (const char* c = unixPath; *c; ++c) commandLine += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    commandLine += L"\"";
    HeapFree(GetProcessHeap(), 0, unixPath);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started));
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    // The device's attributes cannot be read: "not found" is the link's absence.
    const auto linked = [&] {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!linked() && std::chrono::steady_clock::now() < deadline) Sleep(20);
    ASSERT_TRUE(linked());
}

int32_t errorNumberOf(auto&& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

class PictureConverterTest : public ::testing::Test {
protected:
    ComApartment apartment;
    TempDir dir;
};

}  // namespace

TEST_F(PictureConverterTest, EveryFormatBecomesABottomUp24BitBitmap) {
    for (const char* name : {"halves.png", "halves.jpg", "halves-progressive.jpg", "halves-between-segments.jpg",
                             "halves.gif", "halves.bmp", "halves-v5.bmp", "halves-os2.bmp"}) {
        SCOPED_TRACE(name);
        const std::wstring out = dir.file(L"Vorlane.bmp");
        convertPictureToBitmap(fixture(name), out);
        const Bitmap bitmap(out);
        EXPECT_EQ(bitmap.file.bfType, 0x4D42);
        EXPECT_EQ(bitmap.file.bfSize, bitmap.bytes.size());
        EXPECT_EQ(bitmap.info.biWidth, 64);
        EXPECT_EQ(bitmap.info.biHeight, 48);  // positive: bottom-up
        EXPECT_EQ(bitmap.info.biBitCount, 24);
        EXPECT_EQ(bitmap.info.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(bitmap.bytes.size(), bitmap.file.bfOffBits + size_t(64 * 3) * 48);

        const RGBTRIPLE top = bitmap.pixel(10, 5);
        const RGBTRIPLE bottom = bitmap.pixel(10, 40);
        EXPECT_GT(top.rgbtRed, 200);
        EXPECT_LT(top.rgbtBlue, 60);
        EXPECT_GT(bottom.rgbtBlue, 200);
        EXPECT_LT(bottom.rgbtRed, 60);
    }
}

TEST_F(PictureConverterTest, RowsArePaddedToFourBytes) {
    const std::wstring out = dir.file(L"odd.bmp");
    convertPictureToBitmap(fixture("odd.png"), out);
    const Bitmap bitmap(out);
    EXPECT_EQ(bitmap.info.biWidth, 63);
    EXPECT_EQ(bitmap.bytes.size(), bitmap.file.bfOffBits + size_t(192) * 47);  // 189 bytes a row, padded to 192
    EXPECT_GT(bitmap.pixel(62, 46).rgbtGreen, 100);
}

TEST_F(PictureConverterTest, NotAPictureLeavesThePreviousBitmapAlone) {
    const std::wstring out = dir.file(L"Vorlane.bmp");
    convertPictureToBitmap(fixture("halves.png"), out);
    const std::string before = vorlane::test::readFile(out);

    EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(fixture("not-a-picture.jpg"), out); }), errnum::InvalidPicture);
    EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(fixture("empty.jpg"), out); }), errnum::InvalidPicture);
    EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(dir.file(L"missing.jpg"), out); }), errnum::FileNotFound);
    EXPECT_EQ(vorlane::test::readFile(out), before);
    EXPECT_EQ(GetFileAttributesW((out + L".partial").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PictureConverterTest, UnwritableDestinationIsAFileError) {
    EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(fixture("halves.png"), dir.file(L"no\\such\\folder.bmp")); }),
              errnum::PathNotFound);
}

TEST_F(PictureConverterTest, WallpaperIsSetAndRecorded) {
    const std::wstring out = dir.file(L"Vorlane.bmp");
    convertPictureToBitmap(fixture("halves.jpg"), out);
    setDesktopWallpaper(out);

    wchar_t current[MAX_PATH] = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, current, 0));
    EXPECT_EQ(std::wstring(current), out);

    wchar_t stored[MAX_PATH] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", RRF_RT_REG_SZ, nullptr, stored,
                           &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(stored), out);
}

TEST_F(PictureConverterTest, PhotosAreTurnedAsTheirOrientationSays) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (const char* byteOrder : {"II", "MM"}) {
            const std::string name = "oriented-" + std::to_string(orientation) + "-" + byteOrder + ".jpg";
            SCOPED_TRACE(name);
            const std::wstring out = dir.file(L"Vorlane.bmp");
            convertPictureToBitmap(fixture(name.c_str()), out);
            const Bitmap bitmap(out);
            ASSERT_EQ(bitmap.info.biWidth, 64);
            ASSERT_EQ(bitmap.info.biHeight, 48);
            ASSERT_EQ(bitmap.bytes.size(), bitmap.file.bfOffBits + size_t(64 * 3) * 48);
            expectColour(bitmap.pixel(16, 12), 255, 0, 0);      // red at the top left
            expectColour(bitmap.pixel(48, 12), 0, 255, 0);      // lime at the top right
            expectColour(bitmap.pixel(16, 36), 0, 0, 255);      // blue at the bottom left
            expectColour(bitmap.pixel(48, 36), 255, 255, 255);  // white at the bottom right
        }
    }
}

TEST_F(PictureConverterTest, ThePictureShownKeepsItsSizeAndTheAreaDecidesWhatIsTooLarge) {
    const std::wstring out = dir.file(L"Vorlane.bmp");
    struct Shown {
        const char* name;
        int width, height;
        COLORREF middle, corner;
    };
    // A 4K animation of nine frames shows its first, red, whatever follows
    // it; a GIF's image lies in the middle of its screen, the rest black.
    for (const Shown& one : {Shown{"nine-frames-4k.gif", 3840, 2160, RGB(255, 0, 0), RGB(255, 0, 0)},
                             Shown{"nine-frames-4k-cut.gif", 3840, 2160, RGB(255, 0, 0), RGB(255, 0, 0)},
                             Shown{"red-inside-its-screen.gif", 64, 48, RGB(255, 0, 0), RGB(0, 0, 0)},
                             Shown{"panorama.png", 20000, 100, RGB(0, 255, 0), RGB(0, 255, 0)}}) {
        SCOPED_TRACE(one.name);
        convertPictureToBitmap(fixture(one.name), out);
        const Bitmap bitmap(out);
        EXPECT_EQ(bitmap.info.biWidth, one.width);
        EXPECT_EQ(bitmap.info.biHeight, one.height);
        for (const auto& [x, y, colour] : {std::tuple(one.width / 2, one.height / 2, one.middle),
                                           std::tuple(0, 0, one.corner)})
            expectColour(bitmap.pixel(x, y), GetRValue(colour), GetGValue(colour), GetBValue(colour));
    }
    const Bitmap panorama(out);

    // 16384 by 16384: refused, and the bitmap before it stays.
    for (const char* name : {"huge.jpg", "huge-behind-a-stray-byte.jpg"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(fixture(name), out); }), errnum::InvalidPicture);
        EXPECT_EQ(Bitmap(out).bytes, panorama.bytes);
        EXPECT_EQ(GetFileAttributesW((out + L".partial").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(PictureConverterTest, APictureWhoseSizeIsNotReadBeforeDecodingIsRefused) {
    const std::wstring out = dir.file(L"Vorlane.bmp");
    EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(fixture("halves.ico"), out); }), errnum::InvalidPicture);
    EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PictureConverterTest, ABitmapThatCannotBeFlushedReplacesNothing) {
    const std::wstring out = dir.file(L"Vorlane.bmp");
    convertPictureToBitmap(fixture("halves.png"), out);
    const std::string before = vorlane::test::readFile(out);
    ASSERT_NO_FATAL_FAILURE(linkToNullDevice(out + L".partial"));

    EXPECT_EQ(errorNumberOf([&] { convertPictureToBitmap(fixture("halves.jpg"), out); }), errnum::DeviceIOError);
    EXPECT_EQ(vorlane::test::readFile(out), before);
    EXPECT_EQ(GetFileAttributesW((out + L".partial").c_str()), INVALID_FILE_ATTRIBUTES);
}
