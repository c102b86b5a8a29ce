// The typed socket values turned into bytes and read back from them.
#include "socket/ValueBytes.h"

#include <bit>

#include "core/Ansi.h"

namespace vorlane {

namespace {

template <class Unsigned>
void appendLittleEndian(ByteArray& out, Unsigned bits) {
    for (size_t i = 0; i < sizeof(Unsigned); ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

template <class Unsigned>
Unsigned readLittleEndian(std::span<const uint8_t> bytes) {
    Unsigned bits = 0;
    for (size_t i = 0; i < sizeof(Unsigned); ++i) bits |= static_cast<Unsigned>(bytes[i]) << (8 * i);
    return bits;
}

template <size_t Size>
struct UnsignedOfSize;
template <>
struct UnsignedOfSize<2> {
    using type = uint16_t;
};
template <>
struct UnsignedOfSize<4> {
    using type = uint32_t;
};
template <>
struct UnsignedOfSize<8> {
    using type = uint64_t;
};

template <class T>
ByteArray numberBytes(T value) {
    ByteArray out;
    appendLittleEndian(out, std::bit_cast<typename UnsignedOfSize<sizeof(T)>::type>(value));
    return out;
}

}  // namespace

VarType varTypeOf(const SocketValue& value) {
    constexpr VarType kTypes[] = {VarType::Empty,  VarType::String,   VarType::Bytes, VarType::Boolean,
                                  VarType::Byte,   VarType::Integer,  VarType::Long,  VarType::Single,
                                  VarType::Double, VarType::Currency, VarType::Date};
    static_assert(std::size(kTypes) == std::variant_size_v<SocketValue>);
    return kTypes[value.index()];
}

std::optional<ByteArray> valueBytes(const SocketValue& value) {
    struct Encoder {
        std::optional<ByteArray> operator()(std::monostate) const { return std::nullopt; }
        std::optional<ByteArray> operator()(const std::wstring& text) const {
            const std::string ansi = toAnsi(text);
            return ByteArray(ansi.begin(), ansi.end());
        }
        std::optional<ByteArray> operator()(const ByteArray& bytes) const { return bytes; }
        std::optional<ByteArray> operator()(bool flag) const { return numberBytes<int16_t>(flag ? -1 : 0); }
        std::optional<ByteArray> operator()(uint8_t byte) const { return ByteArray{byte}; }
        std::optional<ByteArray> operator()(int16_t n) const { return numberBytes(n); }
        std::optional<ByteArray> operator()(int32_t n) const { return numberBytes(n); }
        std::optional<ByteArray> operator()(float x) const { return numberBytes(x); }
        std::optional<ByteArray> operator()(double x) const { return numberBytes(x); }
        std::optional<ByteArray> operator()(Currency c) const { return numberBytes(c.tenThousandths); }
        std::optional<ByteArray> operator()(OleDate d) const { return numberBytes(d.days); }
    };
    return std::visit(Encoder{}, value);
}

size_t fixedSizeOf(VarType type) {
    switch (type) {
        case VarType::Byte:
            return 1;
        case VarType::Boolean:
        case VarType::Integer:
            return 2;
        case VarType::Long:
        case VarType::Single:
            return 4;
        case VarType::Double:
        case VarType::Currency:
        case VarType::Date:
            return 8;
        default:
            return 0;
    }
}

SocketValue valueFromBytes(VarType type, std::span<const uint8_t> bytes) {
    switch (type) {
        case VarType::Boolean:
            return readLittleEndian<uint16_t>(bytes) != 0;
        case VarType::Byte:
            return bytes[0];
        case VarType::Integer:
            return std::bit_cast<int16_t>(readLittleEndian<uint16_t>(bytes));
        case VarType::Long:
            return std::bit_cast<int32_t>(readLittleEndian<uint32_t>(bytes));
        case VarType::Single:
            return std::bit_cast<float>(readLittleEndian<uint32_t>(bytes));
        case VarType::Double:
            return std::bit_cast<double>(readLittleEndian<uint64_t>(bytes));
        case VarType::Currency:
            return Currency{std::bit_cast<int64_t>(readLittleEndian<uint64_t>(bytes))};
        case VarType::Date:
            return OleDate{std::bit_cast<double>(readLittleEndian<uint64_t>(bytes))};
        default:
            return std::monostate{};
    }
}

}  // namespace vorlane
