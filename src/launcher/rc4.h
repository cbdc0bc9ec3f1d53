// RC4: the embedded settings' cipher, for systems that offer no cryptographic
// provider. The same call enciphers and deciphers.
#pragma once

#include <cstddef>

namespace zorv {

class Rc4 {
public:
    // A key of 1 to 256 bytes.
    Rc4(const unsigned char* key, std::size_t size);
    // Combines the data with the next bytes of the key stream, in place.
    void Apply(unsigned char* data, std::size_t size);

private:
    unsigned char state_[256];
    unsigned char i_ = 0;
    unsigned char j_ = 0;
};

}  // namespace zorv
