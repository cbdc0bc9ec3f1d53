#include "tool/pe_image.h"

#include <algorithm>

#include "launcher/byte_order.h"

namespace zorv::tool {
namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// Entries of the optional header's data directory.
enum DataDirectory : std::size_t { kResourceDirectory = 2, kCertificateDirectory = 4 };
constexpr std::uint32_t kResourceCharacteristics = 0x40000040;  // initialised data, readable

bool Fits(std::size_t offset, std::size_t size, std::size_t total) { return offset <= total && size <= total - offset; }

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
        problem = "is signed; brand it before signing";
        return false;
    }
    if (directoryCount_ <= kResourceDirectory || Field32(optionalHeader_ + 32) == 0 || Field32(optionalHeader_ + 36) == 0) {
        problem = "has headers zorvtool does not understand (no resource directory or no alignment)";
        return false;
    }
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section section = SectionAt(i);
        if (section.rawSize != 0 && !Fits(section.rawOffset, section.rawSize, file_.size())) {
            problem = "is truncated: a section runs past its end";
            return false;
        }
    }
    return true;
}

const unsigned char* PeImage::AtRva(std::uint32_t rva, std::uint32_t size) const {
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section section = SectionAt(i);
        if (rva < section.virtualAddress) continue;
        const std::uint32_t into = rva - section.virtualAddress;
        if (Fits(into, size, section.rawSize)) return &file_[section.rawOffset + into];
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
        if (root != 0 && SectionAt(i).virtualAddress == root) found = i;
    }
    if (found == sectionCount_) return found;
    const Section candidate = SectionAt(found);
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section other = SectionAt(i);
        if (i != found && (other.virtualAddress > candidate.virtualAddress ||
                           (other.rawSize != 0 && other.rawOffset > candidate.rawOffset))) {
            return sectionCount_;
        }
    }
    return found;
}

bool PeImage::WriteResources(const std::vector<Resource>& resources, std::string& problem) {
    const std::uint32_t sectionAlignment = Field32(optionalHeader_ + 32);
    const std::uint32_t fileAlignment = Field32(optionalHeader_ + 36);
    const std::uint32_t headersSize = Field32(optionalHeader_ + 60);
    std::uint32_t rawEnd = 0;
    std::uint32_t virtualEnd = 0;
    std::uint32_t firstRaw = headersSize;
    for (std::size_t i = 0; i < sectionCount_; ++i) {
        const Section section = SectionAt(i);
        if (section.rawSize != 0) {
            rawEnd = std::max(rawEnd, section.rawOffset + section.rawSize);
            firstRaw = std::min(firstRaw, section.rawOffset);
        }
        virtualEnd = std::max(virtualEnd, section.virtualAddress + std::max(section.virtualSize, section.rawSize));
    }
    rawEnd = std::max(rawEnd, headersSize);

    const std::size_t target = RebuildableResourceSection();
    const bool append = target == sectionCount_;
    if (append && SectionHeader(sectionCount_) + 40 > firstRaw) {
        problem = "has no room for another section header";
        return false;
    }
    std::uint32_t rva = AlignUp(virtualEnd, sectionAlignment);
    std::uint32_t rawOffset = AlignUp(rawEnd, fileAlignment);
    std::uint32_t oldRawSize = 0;
    if (!append) {
        const Section old = SectionAt(target);
        rva = old.virtualAddress;
        rawOffset = old.rawOffset;
        oldRawSize = old.rawSize;
    }
    const Bytes section = BuildResourceSection(resources, rva);
    const std::uint32_t rawSize = AlignUp(static_cast<std::uint32_t>(section.size()), fileAlignment);

    // Bytes past the last section (a symbol table, say) follow the new one.
    Bytes out(file_.begin(), file_.begin() + std::min<std::size_t>(rawOffset, file_.size()));
    out.resize(rawOffset, 0);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(rawOffset + rawSize, 0);
    if (rawEnd < file_.size()) out.insert(out.end(), file_.begin() + rawEnd, file_.end());

    const std::size_t header = SectionHeader(append ? sectionCount_ : target);
    if (append) {
        std::fill(out.begin() + header, out.begin() + header + 40, 0);
        static const char kName[] = ".rsrc";
        std::copy(kName, kName + 5, out.begin() + header);
        Set32(&out[header + 36], kResourceCharacteristics);
        Set16(&out[fileHeader_ + 2], static_cast<std::uint32_t>(sectionCount_ + 1));
    }
    Set32(&out[header + 8], static_cast<std::uint32_t>(section.size()));
    Set32(&out[header + 12], rva);
    Set32(&out[header + 16], rawSize);
    Set32(&out[header + 20], rawOffset);
    const std::uint32_t symbols = Field32(fileHeader_ + 8);
    if (symbols != 0 && symbols >= rawEnd) Set32(&out[fileHeader_ + 8], symbols - rawEnd + rawOffset + rawSize);
    Set32(&out[optionalHeader_ + 8], Field32(optionalHeader_ + 8) - oldRawSize + rawSize);
    Set32(&out[optionalHeader_ + 56], AlignUp(rva + static_cast<std::uint32_t>(section.size()), sectionAlignment));
    Set32(&out[DataDirectory(kResourceDirectory)], rva);
    Set32(&out[DataDirectory(kResourceDirectory) + 4], static_cast<std::uint32_t>(section.size()));
    Set32(&out[ChecksumOffset()], PeChecksum(out, ChecksumOffset()));
    file_ = std::move(out);
    if (append) ++sectionCount_;
    return true;
}

void PeImage::SetSubsystem(std::uint16_t subsystem) {
    Set16(&file_[optionalHeader_ + 68], subsystem);
    Set32(&file_[ChecksumOffset()], PeChecksum(file_, ChecksumOffset()));
}

}  // namespace zorv::tool
