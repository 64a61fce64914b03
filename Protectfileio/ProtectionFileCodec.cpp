#include "Protectfileio/Protectfileio.h"
#include "platform/TerminatedText.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::string_view kMagic = "Zembar KR512 Protect:MPlay.sys";
static_assert(kMagic.size() == 30);

// Named offsets of the file's layout.
constexpr std::size_t kMagicTerminatorAt = 30;
constexpr std::size_t kHeaderWord32At = 32;
constexpr std::size_t kWaitStateAt = 34;
constexpr std::size_t kFolderCountAt = 35;
constexpr std::size_t kHeaderWord36At = 36;
constexpr std::size_t kHeaderWord38At = 38;
constexpr std::size_t kPasswordAt = 40;
constexpr std::size_t kEntriesAt = 1024;
constexpr std::size_t kEntrySize = 64;
constexpr std::size_t kEntryNameAt = 2;
// A stored name's units, its terminator included.
constexpr std::size_t kEntryNameUnits = (kEntrySize - kEntryNameAt) / 2;
static_assert(kEntriesAt + kEntrySize * kMaxPrivateFolders == kProtectionFileSize);
static_assert(kEntryNameUnits == kMaxFolderNameUnits + 1 && kEntryNameUnits < kReadNameUnits);

void StoreLe16(ProtectionFile& file, std::size_t at, std::uint16_t value) {
    file[at] = static_cast<std::uint8_t>(value & 0xFF);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void StoreBe16(ProtectionFile& file, std::size_t at, std::uint16_t value) {
    file[at] = static_cast<std::uint8_t>(value >> 8);
    file[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t LoadLe16(std::span<const std::uint8_t> content, std::size_t at) {
    return static_cast<std::uint16_t>(content[at] | (content[at + 1] << 8));
}

std::uint16_t LoadBe16(std::span<const std::uint8_t> content, std::size_t at) {
    return static_cast<std::uint16_t>((content[at] << 8) | content[at + 1]);
}

} // namespace

ProtectionFileFault CheckProtectionFile(std::span<const std::uint8_t> content) {
    if (content.size() < kProtectionFileSize)
        return ProtectionFileFault::Size;
    if (!std::equal(kMagic.begin(), kMagic.end(), content.begin(),
                    [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; }) ||
        content[kMagicTerminatorAt] != 0)
        return ProtectionFileFault::Magic;
    // The writer never stores more than 16. Keeping the first 16 of a larger count would mark
    // folders private (or public) that the television treats otherwise, so the file is invalid.
    if (content[kFolderCountAt] > kMaxPrivateFolders)
        return ProtectionFileFault::FolderCount;
    return ProtectionFileFault::None;
}

std::optional<ProtectionSettings> DecodeProtectionFile(std::span<const std::uint8_t> content) {
    if (CheckProtectionFile(content) != ProtectionFileFault::None)
        return std::nullopt;
    const std::uint8_t count = content[kFolderCountAt];

    ProtectionSettings settings;
    settings.folderCount = count;
    settings.password = LoadBe16(content, kPasswordAt);
    settings.waitState = content[kWaitStateAt];
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t nameAt = kEntriesAt + kEntrySize * k + kEntryNameAt;
        ReaderNameSlot& slot = settings.names[k];
        // A name without a terminator in its 31 units is cut there; the slot stays terminated.
        for (std::size_t i = 0; i < kEntryNameUnits; ++i) {
            slot[i] = static_cast<char16_t>(LoadLe16(content, nameAt + 2 * i));
            if (slot[i] == u'\0')
                break;
        }
    }
    return settings;
}

std::size_t WriterNameLength(const WriterNameSlot& slot) {
    return platform::TerminatedText(slot).size();
}

ProtectionFile EncodeProtectionFile(std::span<const WriterNameSlot> names, std::uint16_t password,
                                    std::uint8_t waitState) {
    ProtectionFile file{};
    std::copy(kMagic.begin(), kMagic.end(), file.begin());
    StoreLe16(file, kHeaderWord32At, 1);
    file[kWaitStateAt] = waitState;
    file[kFolderCountAt] = static_cast<std::uint8_t>(names.size());
    StoreLe16(file, kHeaderWord36At, 4);
    StoreLe16(file, kHeaderWord38At, 4);
    StoreBe16(file, kPasswordAt, password);
    const std::size_t count = std::min(names.size(), kMaxPrivateFolders);
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t entryAt = kEntriesAt + kEntrySize * k;
        StoreLe16(file, entryAt, 0xFFFF);
        const std::size_t length = std::min(WriterNameLength(names[k]), kMaxFolderNameUnits);
        for (std::size_t i = 0; i < length; ++i)
            StoreLe16(file, entryAt + kEntryNameAt + 2 * i, names[k][i]);
    }
    return file;
}
