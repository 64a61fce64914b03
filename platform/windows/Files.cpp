#include "platform/Files.h"

#include "platform/AsciiCase.h"
#include "platform/windows/UniqueHandle.h"

#include <atomic>
#include <random>
#include <string>

namespace platform {
namespace {

using windows_detail::Owned;
using windows_detail::UniqueFile;

// -1: no step fails; else the ReplaceStep's value.
std::atomic<int> failingStep{-1};

bool Fails(ReplaceStep step) {
    return failingStep.load() == static_cast<int>(step);
}

// Only "<letter>:\..." names a file on a drive: a relative or network path would reach
// somewhere else.
std::optional<std::string> DriveFile(std::string_view drivePath) {
    if (drivePath.size() < 4 || drivePath[1] != ':' ||
        (drivePath[2] != '\\' && drivePath[2] != '/') ||
        drivePath.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const char letter = AsciiUpper(drivePath[0]);
    if (letter < 'A' || letter > 'Z') {
        return std::nullopt;
    }
    return std::string(drivePath);
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

// A new file beside target, named after it with a random suffix, created exclusively with
// the given attributes.
std::optional<std::pair<std::string, UniqueFile>> CreateSibling(const std::string& target,
                                                                DWORD attributes) {
    const std::size_t slash = target.find_last_of("\\/");
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string sibling = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + "." +
                              std::to_string(random() % 1000000);
        auto file = Owned<&::CloseHandle>(::CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr,
                                                        CREATE_NEW, attributes, nullptr));
        if (file) {
            return std::pair{std::move(sibling), std::move(file)};
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<FileStart> ReadFileStart(std::string_view drivePath, std::size_t maxBytes) {
    const auto path = DriveFile(drivePath);
    if (!path) {
        return std::nullopt;
    }
    auto file =
        Owned<&::CloseHandle>(::CreateFileA(path->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A device name (CON, NUL, COM1 ...) opens too, in any folder; only a disk file counts.
    LARGE_INTEGER size{};
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileSizeEx(file.get(), &size)) {
        return std::nullopt;
    }
    FileStart start;
    start.size = static_cast<std::uint64_t>(size.QuadPart);
    start.bytes.resize(std::min<std::uint64_t>(maxBytes, start.size));
    std::size_t filled = 0;
    while (filled < start.bytes.size()) {
        DWORD got = 0;
        const auto want =
            static_cast<DWORD>(std::min<std::size_t>(start.bytes.size() - filled, 1u << 20));
        if (!::ReadFile(file.get(), start.bytes.data() + filled, want, &got, nullptr) || got == 0) {
            break;
        }
        filled += got;
    }
    start.bytes.resize(filled);
    return start;
}

bool ReplaceFile(std::string_view drivePath, std::span<const std::uint8_t> bytes) {
    const auto target = DriveFile(drivePath);
    if (!target || target->ends_with('\\') || target->ends_with('/')) {
        return false;
    }
    // Only a plain file is replaced: a folder or a link of that name stays as it is, and so
    // does a file with the read-only attribute.
    const DWORD old = ::GetFileAttributesA(target->c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    constexpr DWORD kRefused =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    if (exists ? (old & kRefused) != 0 : ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    if (Fails(ReplaceStep::Create)) {
        return false;
    }
    // The new file takes the old one's hidden, system and archive attributes.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    const DWORD attributes = exists && (old & kKept) != 0 ? old & kKept : FILE_ATTRIBUTE_NORMAL;
    auto created = CreateSibling(*target, attributes);
    if (!created) {
        return false;
    }
    auto& [temporary, file] = *created;
    // A failing write stops halfway, as a full medium would.
    const bool failWrite = Fails(ReplaceStep::Write);
    const bool written =
        WriteAll(file.get(), failWrite ? bytes.first(bytes.size() / 2) : bytes) && !failWrite;
    const bool flushed = written && !Fails(ReplaceStep::Flush) && ::FlushFileBuffers(file.get());
    const bool closed = ::CloseHandle(file.release());
    if (!flushed || !closed || Fails(ReplaceStep::Replace) ||
        !::MoveFileExA(temporary.c_str(), target->c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

void FailReplaceStepForTesting(std::optional<ReplaceStep> step) {
    failingStep.store(step ? static_cast<int>(*step) : -1);
}

} // namespace platform
