// Bytes from outside the launcher: the PE header of a JVM library, the
// registry's link colours, the single-instance argument block, and the
// embedded settings' cipher.
#include <cstdlib>

#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "instance/single_instance_block.h"
#include "launcher/embedded_settings.h"
#include "launcher/md5.h"
#include "launcher/rc4.h"
#include "runtime/jvm_library.h"
#include "ui/hyperlink_colour.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorv::PeImageMachine(data, size);

    zorv::fuzz::Input input(data, size);
    std::uint32_t type = static_cast<std::uint32_t>(input.Number(1) % 4);
    zorv::RgbColour colour;
    zorv::LinkColourFromRegistry(type, input.Rest(), input.RestSize(), colour);

    // A block as another program may have left it, and a round trip of what
    // it held.
    std::vector<unsigned char> block(zorv::kInstanceBlockSize, 0);
    std::memcpy(block.data(), data, size < block.size() ? size : block.size());
    std::vector<std::wstring> arguments = zorv::ReadArgumentBlock(block.data());
    zorv::HeaderComplete(block.data());
    std::vector<unsigned char> written(zorv::kInstanceBlockSize, 0);
    if (zorv::WriteArgumentBlock(written.data(), arguments)) {
        std::vector<std::wstring> readBack = zorv::ReadArgumentBlock(written.data());
        // Empty arguments are where the format cannot tell the end, and a
        // request without arguments reads as one empty string; all others
        // come back as they were.
        bool anyEmpty = false;
        for (const std::wstring& argument : arguments) anyEmpty = anyEmpty || argument.empty();
        bool expected = arguments.empty() ? readBack == std::vector<std::wstring>{L""} : readBack == arguments;
        if (!expected && !anyEmpty) std::abort();
    }

    zorv::Md5(data, size);
    std::vector<unsigned char> bytes(data, data + size);
    std::string phrase(reinterpret_cast<const char*>(data), size < 16 ? size : 16);
    zorv::DecipherPortably(phrase, bytes);
    zorv::DecipherPortably(phrase, bytes);  // RC4 undoes itself
    if (size > 0 && std::memcmp(bytes.data(), data, size) != 0) std::abort();
    return 0;
}
