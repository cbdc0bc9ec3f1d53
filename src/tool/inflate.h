// Raw DEFLATE decoding (RFC 1951), enough for zorvtool to read a class out
// of a jar. The input comes from others: every code, length and distance is
// checked, and the output never grows past its limit.
#pragma once

#include <cstddef>
#include <string>

namespace zorv::tool {

// Decodes the stream; false on any malformed data, on input that ends early,
// or when the output would pass limit bytes.
bool Inflate(const unsigned char* data, std::size_t size, std::size_t limit, std::string& out);

}  // namespace zorv::tool
