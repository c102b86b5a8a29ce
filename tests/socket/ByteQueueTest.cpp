// Tests of the byte queue: order, cost of draining and clearing.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "socket/ByteQueue.h"

using namespace vorlane;

namespace {

std::vector<uint8_t> sequence(size_t count, uint8_t start = 0) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

std::vector<uint8_t> frontOf(const ByteQueue& queue, size_t count) {
    const auto front = queue.front(count);
    return {front.begin(), front.end()};
}

}  // namespace

TEST(ByteQueue, KeepsOrderAcrossAppendsDropsAndInPlaceFills) {
    ByteQueue queue;
    queue.append(sequence(10));
    queue.drop(3);
    auto room = queue.prepareAppend(8);
    std::fill(room.begin(), room.end(), uint8_t{0xEE});
    queue.commitAppend(2);  // only two of the eight were filled
    queue.append(sequence(2, 100));
    EXPECT_EQ(queue.size(), 11u);
    EXPECT_EQ(frontOf(queue, 11), (std::vector<uint8_t>{3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 100, 101}));
    queue.drop(11);
    EXPECT_TRUE(queue.empty());
}

// Draining a large buffer a little at a time, with more arriving meanwhile,
// must move each byte a bounded number of times: a transfer of many megabytes
// costs time in proportion to its length, not to its square.
TEST(ByteQueue, DrainingInSmallStepsCostsLinearTime) {
    ByteQueue queue;
    const size_t total = 8 * 1024 * 1024;
    const std::vector<uint8_t> piece = sequence(4096);
    size_t appended = 0;
    uint8_t expected = 0;
    bool inOrder = true;
    while (appended < total || !queue.empty()) {
        if (appended < total) {
            queue.append(piece);
            appended += piece.size();
        }
        // Take less than arrives until the input ends: the buffer stays large.
        const size_t take = std::min<size_t>(queue.size(), appended < total ? 1500 : 4096);
        for (uint8_t byte : queue.front(take)) inOrder = inOrder && byte == expected++;
        queue.drop(take);
    }
    EXPECT_TRUE(inOrder);
    EXPECT_LE(queue.bytesCompacted(), 2 * total);
}

TEST(ByteQueue, ClearForgetsEverything) {
    ByteQueue queue;
    queue.append(sequence(5));
    queue.drop(2);
    queue.clear();
    EXPECT_TRUE(queue.empty());
    queue.append(sequence(3, 7));
    EXPECT_EQ(frontOf(queue, 3), (std::vector<uint8_t>{7, 8, 9}));
}
