#include "launcher/rc4.h"

#include <utility>

namespace zorv {

Rc4::Rc4(const unsigned char* key, std::size_t size) {
    for (unsigned i = 0; i < 256; ++i) state_[i] = static_cast<unsigned char>(i);
    unsigned char j = 0;
    for (unsigned i = 0; i < 256; ++i) {
        j = static_cast<unsigned char>(j + state_[i] + key[i % size]);
        std::swap(state_[i], state_[j]);
    }
}

void Rc4::Apply(unsigned char* data, std::size_t size) {
    for (std::size_t n = 0; n < size; ++n) {
        i_ = static_cast<unsigned char>(i_ + 1);
        j_ = static_cast<unsigned char>(j_ + state_[i_]);
        std::swap(state_[i_], state_[j_]);
        data[n] ^= state_[static_cast<unsigned char>(state_[i_] + state_[j_])];
    }
}

}  // namespace zorv
