#include "tool/pe_image.h"

#include <algorithm>
#include <tuple>

#include "launcher/byte_order.h"
#include "tool/byte_range.h"

namespace zorv::tool {
namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// Entries of the optional header's data directory.
enum DataDirectory : std::size_t { kResourceDirectory = 2, kCertificateDirectory = 4 };
constexpr std::uint32_t kResourceCharacteristics = 0x40000040;  // initialised data, readable

// The loader's limits, and the most any real image uses.
constexpr std::uint64_t kLargestAlignment = 0x10000;
constexpr std::uint64_t kLargestImage = 0xFFFFFFFF;
constexpr std::size_t kMostSections = 0xFFFF;

}  // namespace

std::uint32_t PeChecksum(const Bytes& file, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + file.size());
}

std::uint32_t PeImage::Field32(std::size_t offset) const { return Get32(&file_[offset]); }

PeImage::Section PeImage::SectionAt(std::size_t index) const {
    const std::size_t header = SectionHeader(index);
    return {Field32(header + 8), Field32(header + 12), Field32(header + 16), Field32(header + 20)};
}

bool PeImage::Load(Bytes file, std::string& problem, Purpose purpose) {
    file_ = std::move(file);
    if (file_.size() < 0x40 || file_[0] != 'M' || file_[1] != 'Z') {
        problem = "is not a PE image (no \"MZ\" header)";
        return false;
    }
    const std::size_t peHeader = Field32(0x3C);
    if (!Fits(peHeader, 24, file_.size())) {
        problem = "has truncated headers";
        return false;
    }
    if (file_[peHeader] != 'P' || file_[peHeader + 1] != 'E' || file_[peHeader + 2] != 0 || file_[peHeader + 3] != 0) {
        problem = "is not a PE image (no \"PE\" signature)";
        return false;
    }
    fileHeader_ = peHeader + 4;
    sectionCount_ = Get16(&file_[fileHeader_ + 2]);
    const std::size_t optionalSize = Get16(&file_[fileHeader_ + 16]);
    optionalHeader_ = fileHeader_ + 20;
    sectionTable_ = optionalHeader_ + optionalSize;
    if (!Fits(optionalHeader_, optionalSize, file_.size()) || optionalSize < 2 ||
        !Fits(sectionTable_, 40 * sectionCount_, file_.size())) {
        problem = "has truncated headers";
        return false;
    }
    const std::uint16_t magic = Get16(&file_[optionalHeader_]);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
        problem = "has an optional header that is neither PE32 nor PE32+";
        return false;
    }
    is64Bit_ = magic == kMagicPe32Plus;
    const std::size_t fixedPart = is64Bit_ ? 112 : 96;
    if (optionalSize < fixedPart) {
        problem = "has truncated headers";
        return false;
    }
    directoryCount_ = std::min<std::uint32_t>(Field32(optionalHeader_ + fixedPart - 4),
                                              static_cast<std::uint32_t>((optionalSize - fixedPart) / 8));
    if (purpose == kRewriting && directoryCount_ > kCertificateDirectory && Field32(DataDirectory(kCertificateDirectory) + 4) != 0) {
        problem = "is signed, and a change would break its signature: brand first, sign last";
        return false;
    }
    if (directoryCount_ <= kResourceDirectory || Field32(optionalHeader_ + 32) == 0 || Field32(optionalHeader_ + 36) == 0) {
        problem = "has headers zorvtool does not understand (no resource directory or no alignment)";
        return false;
    }
    return CheckLayout(problem);
}

// Every figure a rewrite computes with: alignments, the headers' extent and
// each section's place in the file and in memory.
bool PeImage::CheckLayout(std::string& problem) const {
    const std::uint64_t sectionAlignment = Field32(optionalHeader_ + 32);
    const std::uint64_t fileAlignment = Field32(optionalHeader_ + 36);
    if (!IsPowerOfTwo(sectionAlignment) || !IsPowerOfTwo(fileAlignment) || sectionAlignment > kLargestAlignment ||
        fileAlignment > kLargestAlignment) {
        problem = "has a section or file alignment that is not a power of two up to 64 KiB";
        return false;
    }
    const std::uint64_t headersSize = Field32(optionalHeader_ + 60);
    if (headersSize < SectionHeader(sectionCount_) || headersSize > file_.size()) {
        problem = "has a header size (SizeOfHeaders) that leaves out its section table or runs past its end";
        return false;
    }
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section section = SectionAt(i);
        if (section.rawSize != 0 && !Fits(section.rawOffset, section.rawSize, file_.size())) {
            problem = "is truncated: a section runs past its end";
            return false;
        }
        if ((section.rawSize != 0 && section.rawOffset < headersSize) || section.virtualAddress < headersSize) {
            problem = "has a section that overlaps its headers";
            return false;
        }
        if (VirtualEnd(section) > kLargestImage) {
            problem = "has a section that ends past 4 GiB";
            return false;
        }
    }
    return true;
}

std::uint64_t PeImage::VirtualEnd(const Section& section) {
    return std::uint64_t{section.virtualAddress} + std::max(section.virtualSize, section.rawSize);
}

const unsigned char* PeImage::AtRva(std::uint32_t rva, std::uint32_t size) const {
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section section = SectionAt(i);
        if (section.rawSize == 0 || rva < section.virtualAddress) continue;
        const std::uint32_t into = rva - section.virtualAddress;
        // Pointer arithmetic rather than indexing: a range that ends with the
        // file is valid, and an empty one may start there.
        if (Fits(into, size, section.rawSize)) return file_.data() + section.rawOffset + into;
    }
    return nullptr;
}

bool PeImage::ReadResources(std::vector<Resource>& resources, std::string& problem) const {
    resources.clear();
    const std::uint32_t root = Field32(DataDirectory(kResourceDirectory));
    if (root == 0) return true;
    RvaReader read = [this](std::uint32_t rva, std::uint32_t size) { return AtRva(rva, size); };
    if (ParseResourceDirectory(read, root, resources, problem)) return true;
    problem = "has a resource directory zorvtool does not understand: " + problem;
    return false;
}

std::size_t PeImage::RebuildableResourceSection() const {
    const std::uint32_t root = Field32(DataDirectory(kResourceDirectory));
    std::size_t found = sectionCount_;
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        if (root != 0 && SectionAt(i).virtualAddress == root && SectionAt(i).rawSize != 0) found = i;
    }
    if (found == sectionCount_) return found;
    // Last means that no other section reaches past its start, in memory or
    // in the file: it can then grow without overlapping anything.
    const Section candidate = SectionAt(found);
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section other = SectionAt(i);
        if (i != found && (VirtualEnd(other) > candidate.virtualAddress ||
                           (other.rawSize != 0 && std::uint64_t{other.rawOffset} + other.rawSize > candidate.rawOffset))) {
            return sectionCount_;
        }
    }
    return found;
}

bool PeImage::WriteResources(const std::vector<Resource>& resources, std::string& problem) {
    const std::uint64_t sectionAlignment = Field32(optionalHeader_ + 32);
    const std::uint64_t fileAlignment = Field32(optionalHeader_ + 36);
    const std::uint64_t headersSize = Field32(optionalHeader_ + 60);
    std::uint64_t rawEnd = headersSize;
    std::uint64_t virtualEnd = headersSize;
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section section = SectionAt(i);
        if (section.rawSize != 0) rawEnd = std::max<std::uint64_t>(rawEnd, std::uint64_t{section.rawOffset} + section.rawSize);
        virtualEnd = std::max(virtualEnd, VirtualEnd(section));
    }

    const std::size_t target = RebuildableResourceSection();
    const bool append = target == sectionCount_;
    if (append && (sectionCount_ == kMostSections || SectionHeader(sectionCount_) + 40 > headersSize)) {
        problem = "has no room for another section header";
        return false;
    }
    std::uint64_t rva = RoundUp(virtualEnd, sectionAlignment);
    std::uint64_t rawOffset = RoundUp(rawEnd, fileAlignment);
    std::uint32_t oldRawSize = 0;
    if (!append) {
        const Section old = SectionAt(target);
        rva = old.virtualAddress;
        rawOffset = old.rawOffset;
        oldRawSize = old.rawSize;
    }
    Bytes section;
    if (rva > kLargestImage) {
        problem = "has no room for another section below 4 GiB";
        return false;
    }
    if (!BuildResourceSection(resources, static_cast<std::uint32_t>(rva), section, problem)) return false;
    const std::uint64_t rawSize = RoundUp(section.size(), fileAlignment);
    const std::uint64_t tail = file_.size() - rawEnd;
    if (RoundUp(rva + section.size(), sectionAlignment) > kLargestImage || rawOffset + rawSize + tail > kLargestImage) {
        problem = "would grow past 4 GiB";
        return false;
    }

    // Bytes past the last section (a symbol table, say) follow the new one.
    Bytes out(file_.begin(), file_.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(rawOffset, file_.size())));
    out.resize(rawOffset, 0);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(rawOffset + rawSize, 0);
    out.insert(out.end(), file_.begin() + static_cast<std::ptrdiff_t>(rawEnd), file_.end());

    const std::size_t header = SectionHeader(append ? sectionCount_ : target);
    if (append) {
        std::fill(out.begin() + header, out.begin() + header + 40, 0);
        static const char kName[] = ".rsrc";
        std::copy(kName, kName + 5, out.begin() + header);
        Set32(&out[header + 36], kResourceCharacteristics);
        Set16(&out[fileHeader_ + 2], static_cast<std::uint32_t>(sectionCount_ + 1));
    }
    const auto field = [](std::uint64_t value) { return static_cast<std::uint32_t>(value); };
    Set32(&out[header + 8], field(section.size()));
    Set32(&out[header + 12], field(rva));
    Set32(&out[header + 16], field(rawSize));
    Set32(&out[header + 20], field(rawOffset));
    const std::uint32_t symbols = Field32(fileHeader_ + 8);
    if (symbols != 0 && symbols >= rawEnd) Set32(&out[fileHeader_ + 8], field(symbols - rawEnd + rawOffset + rawSize));
    Set32(&out[optionalHeader_ + 8], Field32(optionalHeader_ + 8) - oldRawSize + field(rawSize));
    Set32(&out[optionalHeader_ + 56], field(RoundUp(rva + section.size(), sectionAlignment)));
    Set32(&out[DataDirectory(kResourceDirectory)], field(rva));
    Set32(&out[DataDirectory(kResourceDirectory) + 4], field(section.size()));
    Set32(&out[ChecksumOffset()], PeChecksum(out, ChecksumOffset()));
    if (!ReadsBackAs(out, resources, append ? sectionCount_ : target, problem)) return false;
    file_ = std::move(out);
    if (append) ++sectionCount_;
    return true;
}

void PeImage::SetSubsystem(std::uint16_t subsystem) {
    Set16(&file_[optionalHeader_ + 68], subsystem);
    Set32(&file_[ChecksumOffset()], PeChecksum(file_, ChecksumOffset()));
}

// The rewritten image must load, hold exactly the resources it was given and
// keep every other section's bytes: anything less is refused rather than
// written.
bool PeImage::ReadsBackAs(const Bytes& out, const std::vector<Resource>& resources, std::size_t resourceSection,
                          std::string& problem) const {
    PeImage written;
    std::vector<Resource> found;
    std::string why;
    const auto refuse = [&problem](const std::string& reason) {
        problem = "cannot be rewritten faithfully: the result " + reason;
        return false;
    };
    if (!written.Load(out, why) || !written.ReadResources(found, why)) return refuse(why);
    if (!SameResources(found, resources)) return refuse("does not read back the resources written");
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section before = SectionAt(i), after = written.SectionAt(i);
        if (i == resourceSection || before.rawSize == 0) continue;
        if (before.rawSize != after.rawSize ||
            !std::equal(file_.begin() + before.rawOffset, file_.begin() + before.rawOffset + before.rawSize,
                        out.begin() + after.rawOffset)) {
            return refuse("changes the bytes of another section");
        }
    }
    return true;
}

bool SameResources(std::vector<Resource> left, std::vector<Resource> right) {
    const auto order = [](const Resource& a, const Resource& b) {
        return std::tie(a.type, a.name, a.language, a.codePage, a.data) < std::tie(b.type, b.name, b.language, b.codePage, b.data);
    };
    std::sort(left.begin(), left.end(), order);
    std::sort(right.begin(), right.end(), order);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](const Resource& a, const Resource& b) {
        return a.type == b.type && a.name == b.name && a.language == b.language && a.codePage == b.codePage &&
               a.data == b.data;
    });
}

}  // namespace zorv::tool
