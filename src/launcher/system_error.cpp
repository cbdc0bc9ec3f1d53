#include "launcher/system_error.h"

namespace zorv {
namespace {

struct KindNumber {
    ErrorKind kind;
    std::uint32_t number;
};

// Windows' numbers.
constexpr KindNumber kNumbers[] = {
    {ErrorKind::notFound, 2},          {ErrorKind::pathNotFound, 3},    {ErrorKind::accessDenied, 5},
    {ErrorKind::failed, 31},           {ErrorKind::notSupported, 50},   {ErrorKind::libraryNotLoaded, 126},
    {ErrorKind::symbolMissing, 127},   {ErrorKind::alreadyExists, 183},
};

}  // namespace

std::uint32_t ErrorNumber(const SystemError& error) {
    if (error.code != 0 || error.kind == ErrorKind::none) return error.code;
    for (const KindNumber& each : kNumbers) {
        if (each.kind == error.kind) return each.number;
    }
    return 0;
}

SystemError FromWin32Code(std::uint32_t code) {
    if (code == 0) return SystemError();
    for (const KindNumber& each : kNumbers) {
        if (each.number == code) return SystemError{each.kind, code};
    }
    return SystemError{ErrorKind::failed, code};
}

}  // namespace zorv
