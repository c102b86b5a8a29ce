// The typed values a socket object sends and receives, and the names of its
// state and protocol codes. Plain C++: nothing here needs the platform.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vorlane {

using ByteArray = std::vector<uint8_t>;

// A currency amount: a whole number of ten-thousandths.
struct Currency {
    int64_t tenThousandths = 0;
    friend bool operator==(const Currency&, const Currency&) = default;
};

// A date as its day number: days since 30 December 1899, the time of day as
// the fraction.
struct OleDate {
    double days = 0;
    friend bool operator==(const OleDate&, const OleDate&) = default;
};

// Type codes of the values that SendData accepts and GetData/PeekData produce.
enum class VarType : int32_t {
    Empty = 0,
    Integer = 2,   // int16_t
    Long = 3,      // int32_t
    Single = 4,    // float
    Double = 5,    // double
    Currency = 6,  // Currency
    Date = 7,      // OleDate
    String = 8,    // std::wstring, as ANSI bytes on the wire
    Boolean = 11,  // bool
    Byte = 17,     // uint8_t
    Bytes = 8209   // ByteArray
};

// A value of any of those types; monostate is the empty value, whose type the
// reader chooses (GetData's varType).
using SocketValue = std::variant<std::monostate, std::wstring, ByteArray, bool, uint8_t, int16_t, int32_t,
                                 float, double, Currency, OleDate>;

// State codes of a socket object (its State property). Code 3 is never used.
enum SocketState : int32_t {
    StateClosed = 0,
    StateOpen = 1,
    StateListening = 2,
    StateResolvingHost = 4,
    StateHostResolved = 5,
    StateConnecting = 6,
    StateConnected = 7,
    StateClosing = 8,
    StateError = 9
};

enum SocketProtocol : int32_t { ProtocolTCP = 0, ProtocolUDP = 1 };

}  // namespace vorlane
