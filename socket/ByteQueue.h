// An ordered byte buffer with append at the back and take from the front, as the
// socket object's send and receive buffers need. Taking from the front only moves
// a read position; the bytes still held are moved down only when the space taken
// ahead of them is at least as large as they are, so moving a stream of any
// length through the queue costs time in proportion to its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorlane {

class ByteQueue {
public:
    size_t size() const noexcept { return bytes_.size() - head_; }
    bool empty() const noexcept { return size() == 0; }

    // The first count bytes (count <= size()), valid until the next change.
    std::span<const uint8_t> front(size_t count) const noexcept { return {bytes_.data() + head_, count}; }

    void append(std::span<const uint8_t> data);

    // Room for up to count bytes at the back, to be filled in place and then
    // confirmed with commitAppend(how many were written).
    std::span<uint8_t> prepareAppend(size_t count);
    void commitAppend(size_t written) noexcept;

    void drop(size_t count) noexcept;  // removes the first count bytes (count <= size())
    void clear() noexcept;

    // Bytes moved so far to reclaim space at the front (a measure of the
    // queue's overhead, for its tests).
    uint64_t bytesCompacted() const noexcept { return compacted_; }

private:
    void reclaimFront();

    std::vector<uint8_t> bytes_;
    size_t head_ = 0;
    size_t prepared_ = 0;  // bytes at the back handed out by prepareAppend, not yet confirmed
    uint64_t compacted_ = 0;
};

}  // namespace vorlane
