// What the VM is handed: the option tokeniser and quote removal, size
// numbers and the percentage rewrite, and the "-Xss" stack size.
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
    for (std::wstring option : zorv::TokeniseVmOptions(text)) {
        option = zorv::RemoveQuotes(option);
        zorv::ScanSizeNumbers(option);
        if (zorv::IsPercentMemoryOption(option)) zorv::RewritePercentMemoryOption(option, memory);
        zorv::StackSizeFromOption(option);
    }
    for (std::size_t pos = 0; pos < text.size(); pos += 7) zorv::FindOptionSeparator(text, pos);
    zorv::ScanSizeNumbers(text);
    return 0;
}
