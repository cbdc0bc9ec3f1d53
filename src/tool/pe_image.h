// A PE image (PE32 or PE32+) held in memory, read with every offset checked,
// whose resources can be read and replaced: the new resource section is
// rebuilt in place when it is the image's last one, appended otherwise, and
// the headers (section sizes, image size, initialised data size, checksum)
// follow it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/byte_order.h"
#include "tool/resource_tree.h"

namespace zorv::tool {

constexpr std::uint16_t kSubsystemGui = 2;
constexpr std::uint16_t kSubsystemConsole = 3;

class PeImage {
public:
    // Rewriting a signed image would break its signature; reading it is harmless.
    enum Purpose { kRewriting, kReading };

    // False, with the reason as the end of a sentence about the file ("is
    // signed, and a change would break its signature: brand first, sign
    // last"), for what this class does not read, or rewrite, safely.
    bool Load(Bytes file, std::string& problem, Purpose purpose = kRewriting);

    bool ReadResources(std::vector<Resource>& resources, std::string& problem) const;
    // False, with the reason, when the result would not read back as exactly
    // these resources with every other section unchanged; the image is then
    // as it was.
    bool WriteResources(const std::vector<Resource>& resources, std::string& problem);

    // The subsystem the system starts the program in (kSubsystemGui,
    // kSubsystemConsole, ...); setting it fixes the checksum.
    std::uint16_t Subsystem() const { return Get16(&file_[optionalHeader_ + 68]); }
    void SetSubsystem(std::uint16_t subsystem);
    bool IsLibrary() const { return (Get16(&file_[fileHeader_ + 18]) & 0x2000) != 0; }

    const Bytes& File() const { return file_; }
    bool Is64Bit() const { return is64Bit_; }
    std::size_t ChecksumOffset() const { return optionalHeader_ + 64; }

private:
    struct Section {
        std::uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
    };
    Section SectionAt(std::size_t index) const;
    std::size_t SectionHeader(std::size_t index) const { return sectionTable_ + 40 * index; }
    std::size_t DataDirectory(std::size_t index) const { return optionalHeader_ + (is64Bit_ ? 112 : 96) + 8 * index; }
    const unsigned char* AtRva(std::uint32_t rva, std::uint32_t size) const;
    std::uint32_t Field32(std::size_t offset) const;
    // The section holding the resource directory when it starts a section
    // that is last both in memory and in the file, else sectionCount_.
    std::size_t RebuildableResourceSection() const;
    bool CheckLayout(std::string& problem) const;
    static std::uint64_t VirtualEnd(const Section& section);
    bool ReadsBackAs(const Bytes& out, const std::vector<Resource>& resources, std::size_t resourceSection,
                     std::string& problem) const;

    Bytes file_;
    bool is64Bit_ = false;
    std::size_t fileHeader_ = 0;
    std::size_t optionalHeader_ = 0;
    std::size_t sectionTable_ = 0;
    std::size_t sectionCount_ = 0;
    std::uint32_t directoryCount_ = 0;
};

// Whether both lists hold the same resources, in any order.
bool SameResources(std::vector<Resource> left, std::vector<Resource> right);

// The PE checksum: the 16-bit one's-complement sum of the file, with the
// checksum field counted as zero, plus the file's length.
std::uint32_t PeChecksum(const Bytes& file, std::size_t checksumOffset);

}  // namespace zorv::tool
