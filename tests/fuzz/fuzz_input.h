// Turns a fuzzer's bytes into the launcher's inputs: wide text from UTF-16
// units (so NULs, lone surrogates and every other unit reach the parsers),
// and a few leading bytes taken as numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorv::fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint64_t Number(std::size_t bytes) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes && position_ < size_; ++i) value = value << 8 | data_[position_++];
        return value;
    }
    // The rest, two bytes a unit.
    std::wstring Text() {
        std::wstring text;
        for (; position_ + 1 < size_; position_ += 2)
            text += static_cast<wchar_t>(data_[position_] | data_[position_ + 1] << 8);
        position_ = size_;
        return text;
    }
    const std::uint8_t* Rest() const { return data_ + position_; }
    std::size_t RestSize() const { return size_ - position_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace zorv::fuzz
