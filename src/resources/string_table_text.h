// The launcher's string table where executables carry no resources (Linux):
// the texts come from the same header as the resource script.
#pragma once

#include <string>

#include "resources/string_table.h"

namespace zorv {

inline std::wstring StringTableText(unsigned id) {
    switch (id) {
#define ZORV_STRING(n) \
    case n: return L"" TEXT_##n;
        ZORV_STRING(202) ZORV_STRING(203) ZORV_STRING(204) ZORV_STRING(205) ZORV_STRING(206)
        ZORV_STRING(207) ZORV_STRING(208) ZORV_STRING(209) ZORV_STRING(210) ZORV_STRING(211)
        ZORV_STRING(212) ZORV_STRING(213) ZORV_STRING(214) ZORV_STRING(215) ZORV_STRING(216)
        ZORV_STRING(217) ZORV_STRING(218) ZORV_STRING(219) ZORV_STRING(220) ZORV_STRING(221)
        ZORV_STRING(222) ZORV_STRING(223) ZORV_STRING(224) ZORV_STRING(225) ZORV_STRING(226)
        ZORV_STRING(227) ZORV_STRING(228) ZORV_STRING(229) ZORV_STRING(230)
        ZORV_STRING(232) ZORV_STRING(233)
#undef ZORV_STRING
        default: return std::wstring();
    }
}

}  // namespace zorv
