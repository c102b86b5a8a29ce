// What the picture files say about themselves, read from bytes made to hurt as
// well as from sound ones; a read past their end faults.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <new>
#include <string>

#include "webclient/PictureHeader.h"

using namespace vorlane;

namespace {

std::string bigEndian(uint32_t value, int count) {
    std::string bytes;
    for (int i = count - 1; i >= 0; --i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string littleEndian(uint32_t value, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string segment(uint8_t marker, const std::string& payload) {
    return std::string("\xFF") + static_cast<char>(marker) + bigEndian(uint32_t(payload.size() + 2), 2) + payload;
}

std::string frame(uint32_t width, uint32_t height) {
    return segment(0xC0, std::string(1, '\x08') + bigEndian(height, 2) + bigEndian(width, 2) + std::string("\x01\x01\x11\x00", 4));
}

// A TIFF structure whose first directory holds one entry; the directory at offset.
std::string tiff(bool little, uint16_t tag, uint16_t type, uint32_t count, uint16_t value, uint32_t offset = 8,
                 uint16_t entries = 1) {
    const auto put = [&](uint32_t v, int n) { return little ? littleEndian(v, n) : bigEndian(v, n); };
    std::string bytes = std::string(little ? "II" : "MM") + put(42, 2) + put(offset, 4);
    bytes += put(entries, 2) + put(tag, 2) + put(type, 2) + put(count, 4) + put(value, 2) + put(0, 2) + put(0, 4);
    return bytes;
}

std::string exif(const std::string& tiffBytes) { return segment(0xE1, std::string("Exif\0\0", 6) + tiffBytes); }

std::string jpeg(const std::string& segments) {
    return "\xFF\xD8" + segments + "\xFF\xDA" + std::string("\x00\x02scan", 6) + "\xFF\xD9";
}

// Reads the bytes placed right before a page that cannot be read: a read
// past their end faults.
PictureHeader read(const std::string& bytes) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    const size_t readable = (bytes.size() + page - 1) / page * page + page;  // and one page more at least
    auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) throw std::bad_alloc();
    DWORD previous = 0;
    VirtualProtect(base + readable, page, PAGE_NOACCESS, &previous);
    uint8_t* start = base + readable - bytes.size();
    std::copy(bytes.begin(), bytes.end(), start);
    const PictureHeader header = readPictureHeader({start, bytes.size()});
    VirtualFree(base, 0, MEM_RELEASE);
    return header;
}

struct HeaderCase {
    const char* name;
    std::string bytes;
    uint64_t area;
    int orientation;
};

}  // namespace

TEST(PictureHeader, SizeAndOrientationFromTheFilesOwnBytes) {
    const std::string gif89 = std::string("GIF89a") + littleEndian(10, 2) + littleEndian(10, 2) + std::string("\x80\x00\x00", 3) +
                              std::string(6, '\0');  // two colours
    const auto imageOf = [](uint32_t width, uint32_t height) {
        return std::string(1, '\x2C') + littleEndian(0, 4) + littleEndian(width, 2) + littleEndian(height, 2) +
               std::string("\x00\x02\x02\x4C\x01\x00", 6);
    };
    const std::string image = imageOf(20000, 20000);
    std::string notFortyTwo = tiff(true, 0x0112, 3, 1, 6);
    notFortyTwo[2] = 43;
    const HeaderCase cases[] = {
        {"plain JPEG", jpeg(frame(640, 480)), 640 * 480, 1},
        {"little-endian EXIF", jpeg(exif(tiff(true, 0x0112, 3, 1, 6)) + frame(48, 64)), 48 * 64, 6},
        {"big-endian EXIF", jpeg(exif(tiff(false, 0x0112, 3, 1, 8)) + frame(48, 64)), 48 * 64, 8},
        {"fill bytes", "\xFF\xD8\xFF\xFF" + exif(tiff(true, 0x0112, 3, 1, 3)).substr(1) + frame(2, 2), 4, 3},
        {"stray bytes and a stuffed zero",
         jpeg(std::string(1, '\x13') + exif(tiff(true, 0x0112, 3, 1, 6)) + std::string("\xFF\x00\x55", 3) +
              frame(2, 2)), 4, 6},
        {"stray bytes alone", "\xFF\xD8" + std::string(300, '\0'), 0, 1},
        {"XMP before EXIF", jpeg(segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29)) +
                                 exif(tiff(false, 0x0112, 3, 1, 5)) + frame(2, 2)), 4, 5},
        {"the first EXIF counts", jpeg(exif(tiff(true, 0x0112, 3, 1, 2)) + exif(tiff(true, 0x0112, 3, 1, 7))), 0, 2},
        {"another tag", jpeg(exif(tiff(true, 0x0110, 3, 1, 6)) + frame(2, 2)), 4, 1},
        {"orientation 0", jpeg(exif(tiff(true, 0x0112, 3, 1, 0))), 0, 1},
        {"orientation 9", jpeg(exif(tiff(false, 0x0112, 3, 1, 9))), 0, 1},
        {"not a SHORT", jpeg(exif(tiff(true, 0x0112, 4, 1, 6))), 0, 1},
        {"two values", jpeg(exif(tiff(true, 0x0112, 3, 2, 6))), 0, 1},
        {"unknown byte order", jpeg(exif("IM" + tiff(true, 0x0112, 3, 1, 6).substr(2))), 0, 1},
        {"not 42", jpeg(exif(notFortyTwo)), 0, 1},
        {"directory past the end", jpeg(exif(tiff(true, 0x0112, 3, 1, 6, 0xFFFFFFF0))), 0, 1},
        {"more entries than bytes", jpeg(exif(tiff(false, 0x0110, 3, 1, 6, 8, 0xFFFF))), 0, 1},
        {"EXIF without its TIFF", jpeg(segment(0xE1, std::string("Exif\0\0II", 8))), 0, 1},
        {"segment past the end", "\xFF\xD8" + exif(tiff(true, 0x0112, 3, 1, 6)).substr(0, 20), 0, 1},
        {"segment length below 2", std::string("\xFF\xD8\xFF\xE1\x00\x01", 6) + frame(2, 2), 0, 1},
        {"frame after the scan", "\xFF\xD8\xFF\xDA" + std::string("\x00\x02", 2) + frame(9, 9), 0, 1},
        {"huge frame", jpeg(frame(16384, 16384)), 16384ull * 16384, 1},
        {"PNG", "\x89PNG\r\n\x1A\n" + bigEndian(13, 4) + "IHDR" + bigEndian(20000, 4) + bigEndian(100, 4), 2'000'000,
         1},
        {"short PNG", "\x89PNG\r\n\x1A\n" + bigEndian(13, 4) + "IHDR" + bigEndian(20000, 4), 0, 1},
        {"GIF image beyond its screen", gif89 + "\x21\xF9\x04" + std::string(4, '\0') + '\0' + image + "\x3B",
         20000ull * 20000, 1},
        {"GIF of many images: the first is shown", gif89 + imageOf(5000, 5000) + imageOf(5000, 5000) +
                                                      imageOf(5000, 5000) + "\x3B", 25'000'000, 1},
        {"GIF screen beyond any desktop", "GIF87a" + littleEndian(20000, 2) + littleEndian(20000, 2) +
                                              std::string(3, '\0') + imageOf(1, 1), 20000ull * 20000, 1},
        {"GIF cut in its data", gif89 + image.substr(0, 12), 400'000'000, 1},
        {"GIF block of nothing known", gif89 + "\x99" + image, 100, 1},
        {"BMP", "BM" + std::string(12, '\0') + littleEndian(40, 4) + littleEndian(640, 4) + littleEndian(-480, 4),
         640 * 480, 1},
        {"old BMP", "BM" + std::string(12, '\0') + littleEndian(12, 4) + littleEndian(30, 2) + littleEndian(20, 2),
         600, 1},
        {"nothing", "", 0, 1},
        {"no picture", "this is not a picture", 0, 1},
    };
    for (const HeaderCase& one : cases) {
        SCOPED_TRACE(one.name);
        const PictureHeader header = read(one.bytes);
        EXPECT_EQ(header.decodedArea, one.area);
        EXPECT_EQ(header.orientation, one.orientation);
    }
}

TEST(PictureHeader, EveryCutOfAPhotoIsReadSafely) {
    const std::string photo = jpeg(exif(tiff(false, 0x0112, 3, 1, 6)) + frame(48, 64));
    for (size_t size = 0; size < photo.size(); ++size) {
        SCOPED_TRACE(size);
        const PictureHeader header = read(photo.substr(0, size));
        EXPECT_TRUE(header.orientation == 1 || header.orientation == 6);
        EXPECT_TRUE(header.decodedArea == 0 || header.decodedArea == 48 * 64);
    }
}
