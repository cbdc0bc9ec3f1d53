// What the VM is handed: the option tokeniser and quote removal, the space
// forms joined, size numbers and the percentage rewrite, and the "-Xss" stack
// size.
#include <cstdlib>

#include "fuzz_input.h"
#include "vm/memory_options.h"
#include "vm/vm_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorv::fuzz::Input input(data, size);
    zorv::MemoryStatus memory;
    memory.totalPhysical = input.Number(8);
    memory.availableVirtual = input.Number(8);
    std::wstring text = input.Text();
    const std::vector<std::wstring> tokens = zorv::TokeniseVmOptions(text);
    for (const zorv::VmParameter& parameter : zorv::ReadVmParameters(tokens)) {
        const bool refused = parameter.fate == zorv::VmParameter::Fate::refused;
        if (parameter.firstToken >= tokens.size() || refused != (parameter.useInstead != nullptr)) std::abort();
    }
    for (std::wstring option : tokens) {
        option = zorv::RemoveQuotes(option);
        zorv::ScanSizeNumbers(option);
        if (zorv::IsPercentMemoryOption(option)) zorv::RewritePercentMemoryOption(option, memory);
        zorv::StackSizeFromOption(option);
    }
    for (std::size_t pos = 0; pos < text.size(); pos += 7) zorv::FindOptionSeparator(text, pos);
    zorv::ScanSizeNumbers(text);
    return 0;
}
