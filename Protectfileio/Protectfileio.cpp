#include "Protectfileio/Protectfileio.h"

#include "app/Texts.h"
#include "platform/MessageBox.h"

#include <cstdio>
#include <string>
#include <utility>

namespace {

std::string ProtectionFilePath(char driveLetter) {
    char path[16];
    std::snprintf(path, sizeof path, "%c:\\MPlay.sys", driveLetter);
    return path;
}

void ShowRefusal(const char* text, const char* title) {
    platform::ShowMessageBox({.text = text, .title = title});
}

} // namespace

std::optional<WriteResult> CheckProtectionFileWrite(std::int32_t folderCount,
                                                    std::span<const WriterNameSlot> names) {
    if (folderCount > static_cast<std::int32_t>(kMaxPrivateFolders)) {
        ShowRefusal(kWriterLimitText, kUtilityTitle);
        return WriteResult{WriteOutcome::Refused, {}};
    }
    if (folderCount < 0 || names.size() < static_cast<std::size_t>(folderCount))
        return WriteResult{WriteOutcome::Failed, {}};
    for (const WriterNameSlot& name : names.first(static_cast<std::size_t>(folderCount))) {
        if (WriterNameLength(name) > kMaxFolderNameUnits) {
            ShowRefusal(kWriterNameLengthText, kNameLengthTitle);
            return WriteResult{WriteOutcome::Refused, {}};
        }
    }
    return std::nullopt;
}

WriteResult WriteProtectionFile(char driveLetter, std::int32_t folderCount, std::uint16_t password,
                                std::span<const WriterNameSlot> names, std::uint8_t waitState) {
    if (auto refused = CheckProtectionFileWrite(folderCount, names))
        return *refused;
    const auto given = names.first(static_cast<std::size_t>(folderCount));
    const ProtectionFile file = EncodeProtectionFile(given, password, waitState);
    auto replaced = platform::ReplaceFile(ProtectionFilePath(driveLetter), file);
    if (!replaced) {
        return {WriteOutcome::Failed, std::move(replaced.error)};
    }
    return {WriteOutcome::Written, {}};
}

ProtectionFileReading InspectProtectionFile(char driveLetter) {
    const auto start =
        platform::ReadFileStart(ProtectionFilePath(driveLetter), kProtectionFileSize);
    if (!start)
        return {};
    // A short file and a short read alike give fewer than 2048 bytes: a Size fault, so bytes
    // that were not read are never taken as file content.
    return {.present = true,
            .fault = CheckProtectionFile(start->bytes),
            .settings = DecodeProtectionFile(start->bytes)};
}

void ReadProtectionFile(char driveLetter, std::int32_t& folderCount, std::uint16_t& password,
                        std::span<ReaderNameSlot, kMaxPrivateFolders> names,
                        std::uint8_t& waitState) {
    folderCount = 0;
    password = 0;
    const auto settings = InspectProtectionFile(driveLetter).settings;
    if (!settings)
        return;
    folderCount = settings->folderCount;
    password = settings->password;
    waitState = settings->waitState;
    std::copy_n(settings->names.begin(), settings->folderCount, names.begin());
}
