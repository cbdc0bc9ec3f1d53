// MD5 (RFC 1321): the hash the embedded settings' key comes from, for systems
// that offer no cryptographic provider.
#pragma once

#include <array>
#include <cstddef>

namespace zorv {

using Md5Digest = std::array<unsigned char, 16>;

Md5Digest Md5(const void* data, std::size_t size);

}  // namespace zorv
