#include "tool/inflate.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zorv::tool {
namespace {

constexpr int kLongestCode = 15;
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                            193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the code lengths of its code-length code.
constexpr std::uint8_t kLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code: how many codes each length has, and the symbols in code order.
struct Code {
    std::array<int, kLongestCode + 1> count{};
    std::vector<int> symbols;
};

// False for an over-subscribed set of lengths; an incomplete one is taken,
// and a code it lacks fails when it is met.
bool Build(Code& code, const std::uint8_t* lengths, int n) {
    code.count.fill(0);
    for (int symbol = 0; symbol < n; ++symbol) ++code.count[lengths[symbol]];
    int left = 1;
    for (int length = 1; length <= kLongestCode; ++length) {
        left = (left << 1) - code.count[length];
        if (left < 0) return false;
    }
    std::array<int, kLongestCode + 2> offsets{};
    for (int length = 1; length <= kLongestCode; ++length) offsets[length + 1] = offsets[length] + code.count[length];
    code.symbols.assign(static_cast<std::size_t>(n), 0);
    for (int symbol = 0; symbol < n; ++symbol) {
        if (lengths[symbol] != 0) code.symbols[static_cast<std::size_t>(offsets[lengths[symbol]]++)] = symbol;
    }
    return true;
}

class Decoder {
public:
    Decoder(const unsigned char* data, std::size_t size, std::size_t limit, std::string& out)
        : data_(data), size_(size), limit_(limit), out_(out) {}

    bool Run() {
        for (int last = 0; last == 0;) {
            int type = 0;
            if (!Bits(1, last) || !Bits(2, type)) return false;
            const bool done = type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 ? Dynamic() : false;
            if (!done) return false;
        }
        return true;
    }

private:
    bool Bits(int need, int& value) {
        value = 0;
        for (int i = 0; i < need; ++i) {
            if (held_ == 0) {
                if (at_ >= size_) return false;
                buffer_ = data_[at_++];
                held_ = 8;
            }
            value |= (buffer_ & 1) << i;
            buffer_ >>= 1;
            --held_;
        }
        return true;
    }

    // The next symbol, or -1.
    int Decode(const Code& code) {
        int value = 0, first = 0, index = 0;
        for (int length = 1; length <= kLongestCode; ++length) {
            int bit = 0;
            if (!Bits(1, bit)) return -1;
            value |= bit;
            const int count = code.count[length];
            if (value - first < count) return code.symbols[static_cast<std::size_t>(index + value - first)];
            index += count;
            first = (first + count) << 1;
            value <<= 1;
        }
        return -1;
    }

    bool Stored() {
        held_ = 0;
        if (size_ - at_ < 4) return false;
        const std::size_t length = data_[at_] | data_[at_ + 1] << 8;
        const std::size_t complement = data_[at_ + 2] | data_[at_ + 3] << 8;
        at_ += 4;
        if (length != (~complement & 0xFFFF) || length > size_ - at_ || length > limit_ - out_.size()) return false;
        out_.append(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return true;
    }

    bool Codes(const Code& literals, const Code& distances) {
        for (;;) {
            int symbol = Decode(literals);
            if (symbol < 0) return false;
            if (symbol == 256) return true;
            if (symbol < 256) {
                if (out_.size() >= limit_) return false;
                out_ += static_cast<char>(symbol);
                continue;
            }
            symbol -= 257;
            int extra = 0, distanceSymbol = 0;
            if (symbol >= 29 || !Bits(kLengthExtra[symbol], extra)) return false;
            const std::size_t length = kLengthBase[symbol] + static_cast<std::size_t>(extra);
            distanceSymbol = Decode(distances);
            if (distanceSymbol < 0 || distanceSymbol >= 30 || !Bits(kDistanceExtra[distanceSymbol], extra)) return false;
            const std::size_t distance = kDistanceBase[distanceSymbol] + static_cast<std::size_t>(extra);
            if (distance > out_.size() || length > limit_ - out_.size()) return false;
            for (std::size_t i = 0; i < length; ++i) out_ += out_[out_.size() - distance];
        }
    }

    bool Fixed() {
        std::uint8_t lengths[288 + 30];
        for (int symbol = 0; symbol < 288; ++symbol) {
            lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
        }
        for (int symbol = 288; symbol < 288 + 30; ++symbol) lengths[symbol] = 5;
        Code literals, distances;
        return Build(literals, lengths, 288) && Build(distances, lengths + 288, 30) && Codes(literals, distances);
    }

    bool Dynamic() {
        int literalCount = 0, distanceCount = 0, lengthCount = 0;
        if (!Bits(5, literalCount) || !Bits(5, distanceCount) || !Bits(4, lengthCount)) return false;
        literalCount += 257;
        distanceCount += 1;
        lengthCount += 4;
        if (literalCount > 286 || distanceCount > 30) return false;
        std::uint8_t lengths[286 + 30] = {};
        for (int i = 0; i < lengthCount; ++i) {
            int length = 0;
            if (!Bits(3, length)) return false;
            lengths[kLengthOrder[i]] = static_cast<std::uint8_t>(length);
        }
        Code lengthCode;
        if (!Build(lengthCode, lengths, 19)) return false;
        const int total = literalCount + distanceCount;
        for (int index = 0; index < total;) {
            const int symbol = Decode(lengthCode);
            if (symbol < 0) return false;
            if (symbol < 16) {
                lengths[index++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            int repeat = 0;
            std::uint8_t length = 0;
            if (symbol == 16) {
                if (index == 0 || !Bits(2, repeat)) return false;
                length = lengths[index - 1];
                repeat += 3;
            } else if (symbol == 17) {
                if (!Bits(3, repeat)) return false;
                repeat += 3;
            } else {
                if (!Bits(7, repeat)) return false;
                repeat += 11;
            }
            if (repeat > total - index) return false;
            while (repeat-- > 0) lengths[index++] = length;
        }
        if (lengths[256] == 0) return false;
        Code literals, distances;
        return Build(literals, lengths, literalCount) && Build(distances, lengths + literalCount, distanceCount) &&
               Codes(literals, distances);
    }

    const unsigned char* data_;
    std::size_t size_;
    std::size_t limit_;
    std::string& out_;
    std::size_t at_ = 0;
    int buffer_ = 0;
    int held_ = 0;
};

}  // namespace

bool Inflate(const unsigned char* data, std::size_t size, std::size_t limit, std::string& out) {
    out.clear();
    return Decoder(data, size, limit, out).Run();
}

}  // namespace zorv::tool
