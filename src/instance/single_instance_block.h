// The shared block through which a second start of an executable hands its
// arguments to the running first instance: its layout, the names derived from
// the executable's path, and the argument block's reader and writer. Pure
// byte work; the mapping itself is the platform's.
//
// Layout (2092 bytes, little-endian, all zero when created):
//   0  listener thread id   4  first instance's process id   8  message id
//   12 argument block (1040 bytes)   1052 reserved (1040 bytes, stays zero)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorv {

constexpr std::size_t kInstanceBlockSize = 2092;
constexpr std::size_t kListenerThreadIdOffset = 0;
constexpr std::size_t kPrimaryProcessIdOffset = 4;
constexpr std::size_t kMessageIdOffset = 8;
constexpr std::size_t kArgumentsOffset = 12;
constexpr std::size_t kArgumentsSize = 1040;
// In the listener field of a block whose first instance is ending and has
// started the application again: a later start takes the block over as the
// first instance instead of handing that one its arguments. No thread has
// this id (Windows' are multiples of 4).
constexpr std::uint32_t kWithdrawnListenerThreadId = 0xFFFFFFFFu;

// The longest base name: the registered message's name must stay under 256
// characters, and the objects' names with their endings under 260.
constexpr std::size_t kLongestBaseName = 240;

// The executable's path with every "\" made "_": the name of the block and of
// the registered message. Letter case is kept, so paths spelled differently
// name different channels. A path that holds a "_" of its own, or whose name
// would be too long, gets the hash of the whole path after (the start of) its
// name, so that "a\b" and "a_b" stay apart and the name fits its limits.
std::wstring InstanceBaseName(const std::wstring& modulePath);
// 16 hex digits: a short, stable name for text of any length (FNV-1a, 64
// bits, over its UTF-16LE bytes, so both systems name a path alike).
std::string NameHash(const std::wstring& text);
std::wstring StartEventName(const std::wstring& baseName);
// The lock second instances take around their use of the argument block.
std::wstring RequestLockName(const std::wstring& baseName);

// Bytes the arguments take in the argument block, the closing NUL included.
std::size_t ArgumentBlockBytes(const std::vector<std::wstring>& arguments);
// Zeroes the argument block and writes each argument's UTF-16 units and a NUL,
// then one more NUL. False, with nothing written, when they need more than
// kArgumentsSize bytes.
bool WriteArgumentBlock(unsigned char* block, const std::vector<std::wstring>& arguments);
// The arguments up to the first double NUL. Reading stops short of the
// block's last unit, so a block with no double NUL in it (written by
// something else) yields what was complete by then.
std::vector<std::wstring> ReadArgumentBlock(const unsigned char* block);

std::uint32_t ReadBlockField(const unsigned char* block, std::size_t offset);
void WriteBlockField(unsigned char* block, std::size_t offset, std::uint32_t value);
// The listener's id is the header's last field: written after the others, and
// read first, so that a second instance which sees it sees them too.
void PublishListenerThreadId(unsigned char* block, std::uint32_t threadId);
bool HeaderComplete(const unsigned char* block);

}  // namespace zorv
