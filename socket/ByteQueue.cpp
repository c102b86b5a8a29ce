// The byte queue of the socket object's send and receive buffers.
#include "socket/ByteQueue.h"

#include <cstring>

namespace vorlane {

void ByteQueue::reclaimFront() {
    const size_t live = size();
    if (head_ == 0 || head_ < live) return;
    if (live > 0) std::memmove(bytes_.data(), bytes_.data() + head_, live);
    compacted_ += live;
    bytes_.resize(live);
    head_ = 0;
}

void ByteQueue::append(std::span<const uint8_t> data) {
    if (data.empty()) return;
    reclaimFront();
    bytes_.insert(bytes_.end(), data.begin(), data.end());
}

std::span<uint8_t> ByteQueue::prepareAppend(size_t count) {
    reclaimFront();
    const size_t start = bytes_.size();
    bytes_.resize(start + count);
    prepared_ = count;
    return {bytes_.data() + start, count};
}

void ByteQueue::commitAppend(size_t written) noexcept {
    if (written > prepared_) written = prepared_;
    bytes_.resize(bytes_.size() - (prepared_ - written));
    prepared_ = 0;
}

void ByteQueue::drop(size_t count) noexcept {
    head_ += count;
    if (head_ >= bytes_.size()) clear();
}

void ByteQueue::clear() noexcept {
    bytes_.clear();
    head_ = 0;
    prepared_ = 0;
}

}  // namespace vorlane
