// What a picture file's own bytes say of its size and orientation.
#include "webclient/PictureHeader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace vorlane {

namespace {

using Bytes = std::span<const uint8_t>;

bool has(Bytes bytes, uint64_t at, uint64_t count) { return at <= bytes.size() && count <= bytes.size() - at; }

bool startsWith(Bytes bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// count (at most 4) bytes from at, which the caller has checked are there.
uint32_t bigEndian(Bytes bytes, uint64_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
    return value;
}

uint32_t littleEndian(Bytes bytes, uint64_t at, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
    return value;
}

// --- JPEG ---

// The orientation tag (0x0112, one SHORT) of the first image directory of an
// EXIF block's TIFF structure. Only that directory is read, so no chain of
// directories can loop.
int exifOrientation(Bytes tiff) {
    if (tiff.size() < 8) return 1;
    const bool little = startsWith(tiff, "II");
    if (!little && !startsWith(tiff, "MM")) return 1;
    const auto read = [&](uint64_t at, int count) {
        return little ? littleEndian(tiff, at, count) : bigEndian(tiff, at, count);
    };
    if (read(2, 2) != 42) return 1;
    const uint64_t directory = read(4, 4);
    if (!has(tiff, directory, 2)) return 1;
    const uint32_t entries = read(directory, 2);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = directory + 2 + uint64_t(i) * 12;
        if (!has(tiff, entry, 12)) return 1;
        if (read(entry, 2) != 0x0112) continue;
        const bool oneShort = read(entry + 2, 2) == 3 && read(entry + 4, 4) == 1;
        const uint32_t value = read(entry + 8, 2);
        return oneShort && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

bool isStartOfFrame(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Where the code byte of the next marker from at on lies, past what decoders
// step over between segments: stray bytes, runs of fill (0xFF) and stuffed
// zeros (0xFF 0x00); the file's size when no marker follows.
uint64_t nextMarker(Bytes file, uint64_t at) {
    while (at < file.size()) {
        at = std::find(file.begin() + at, file.end(), 0xFF) - file.begin();
        while (at < file.size() && file[at] == 0xFF) ++at;
        if (at < file.size() && file[at] != 0x00) return at;
        ++at;
    }
    return file.size();
}

// Walks the marker segments up to the first scan: the frame's size, and the
// orientation in the first EXIF block. Every step moves on, so it ends.
void readJpeg(Bytes file, PictureHeader& header) {
    bool exifSeen = false;
    for (uint64_t at = nextMarker(file, 2); at < file.size();) {  // past the start of the image
        const uint8_t marker = file[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a segment
            at = nextMarker(file, at);
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA || !has(file, at, 2)) return;  // the end, or the first scan
        const uint32_t length = bigEndian(file, at, 2);
        if (length < 2 || !has(file, at, length)) return;
        const Bytes segment = file.subspan(at + 2, length - 2);
        if (isStartOfFrame(marker) && segment.size() >= 5) {
            const uint64_t area = uint64_t(bigEndian(segment, 1, 2)) * bigEndian(segment, 3, 2);
            header.decodedArea = std::max(header.decodedArea, area);
        } else if (marker == 0xE1 && !exifSeen && startsWith(segment, std::string_view("Exif\0\0", 6))) {
            exifSeen = true;
            header.orientation = exifOrientation(segment.subspan(6));
        }
        at = nextMarker(file, at + length);
    }
}

// --- PNG, GIF, BMP ---

void readPng(Bytes file, PictureHeader& header) {
    // The first chunk is the header; width and height follow its length and type.
    if (has(file, 8, 16) && std::memcmp(file.data() + 12, "IHDR", 4) == 0)
        header.decodedArea = uint64_t(bigEndian(file, 16, 4)) * bigEndian(file, 20, 4);
}

uint64_t gifColourTableBytes(uint8_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

// Past a run of data sub-blocks and the empty one that ends it.
uint64_t skipSubBlocks(Bytes file, uint64_t at) {
    while (has(file, at, 1)) {
        const uint8_t size = file[at];
        at += 1 + size;
        if (size == 0) return at;
    }
    return file.size();
}

// The logical screen, or the first image where it is larger: the one frame
// that is shown. The images after it are never read.
void readGif(Bytes file, PictureHeader& header) {
    if (!has(file, 6, 7)) return;
    header.gifScreen.width = littleEndian(file, 6, 2);
    header.gifScreen.height = littleEndian(file, 8, 2);
    const uint64_t screen = uint64_t(header.gifScreen.width) * header.gifScreen.height;
    header.decodedArea = screen;
    uint64_t at = 13 + gifColourTableBytes(file[10]);
    while (has(file, at, 1) && file[at] == 0x21) at = skipSubBlocks(file, at + 2);  // extensions: label, data
    if (has(file, at, 10) && file[at] == 0x2C) {  // the image: place, size, colours, code size, data
        header.gifScreen.imageLeft = littleEndian(file, at + 1, 2);
        header.gifScreen.imageTop = littleEndian(file, at + 3, 2);
        const uint64_t image = uint64_t(littleEndian(file, at + 5, 2)) * littleEndian(file, at + 7, 2);
        header.decodedArea = std::max(screen, image);
        at = skipSubBlocks(file, at + 10 + gifColourTableBytes(file[at + 9]) + 1);
    }
    header.shownBytes = std::min<uint64_t>(at, file.size());
}

void readBmp(Bytes file, PictureHeader& header) {
    if (!has(file, 14, 4)) return;
    const uint32_t infoSize = littleEndian(file, 14, 4);
    if (infoSize == 12 && has(file, 18, 4)) {
        header.decodedArea = uint64_t(littleEndian(file, 18, 2)) * littleEndian(file, 20, 2);
    } else if (infoSize >= 40 && has(file, 18, 8)) {
        const int64_t width = static_cast<int32_t>(littleEndian(file, 18, 4));
        const int64_t height = static_cast<int32_t>(littleEndian(file, 22, 4));  // negative: top-down
        header.decodedArea = uint64_t(std::llabs(width)) * uint64_t(std::llabs(height));
    }
}

}  // namespace

PictureHeader readPictureHeader(std::span<const uint8_t> file) {
    PictureHeader header;
    if (startsWith(file, "\xFF\xD8"))
        readJpeg(file, header);
    else if (startsWith(file, "\x89PNG\r\n\x1A\n"))
        readPng(file, header);
    else if (startsWith(file, "GIF87a") || startsWith(file, "GIF89a"))
        readGif(file, header);
    else if (startsWith(file, "BM"))
        readBmp(file, header);
    return header;
}

}  // namespace vorlane
