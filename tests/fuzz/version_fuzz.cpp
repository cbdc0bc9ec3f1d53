// Version parsing, ordering and preference matching.
#include <cstdlib>

#include "fuzz_input.h"
#include "runtime/version_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorv::fuzz::Input input(data, size);
    std::int32_t fill = static_cast<std::int32_t>(input.Number(4));
    std::wstring text = input.Text();
    std::size_t cut = text.find(L';');
    std::wstring first = text.substr(0, cut);
    std::wstring second = cut == std::wstring::npos ? std::wstring() : text.substr(cut + 1);
    zorv::VersionNumber a, b;
    a.Parse(first, fill);
    b.Parse(second, 0);
    a.Format();
    int ab = zorv::CompareVersions(a, b);
    int ba = zorv::CompareVersions(b, a);
    if ((ab > 0) != (ba < 0) || (ab == 0) != (ba == 0)) std::abort();  // an order, both ways
    zorv::MatchesPreference(first, b);
    zorv::MatchesPreference(second, a);
    return 0;
}
