#include "platform/Files.h"

#include "platform/AsciiCase.h"
#include "platform/LockWait.h"
#include "platform/windows/ErrorText.h"
#include "platform/windows/UniqueHandle.h"

#include <atomic>
#include <string>

namespace platform {
namespace {

using windows_detail::Owned;
using windows_detail::UniqueFile;

// -1: no step fails; else the ReplaceStep's value, failing with injectedError.
std::atomic<int> failingStep{-1};
std::atomic<DWORD> injectedError{ERROR_IO_DEVICE};

// The error the step is made to fail with, if it is.
std::optional<DWORD> Injected(ReplaceStep step) {
    if (failingStep.load() != static_cast<int>(step)) {
        return std::nullopt;
    }
    return injectedError.load();
}

FileFault FaultOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileFault::DiskFull;
    case ERROR_WRITE_PROTECT:
        return FileFault::ReadOnly;
    case ERROR_ACCESS_DENIED:
        return FileFault::AccessDenied;
    // A pulled USB disk answers with these until Windows has let go of it.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_IO_DEVICE:
    case ERROR_GEN_FAILURE:
        return FileFault::Gone;
    case ERROR_DIRECTORY:
        return FileFault::NotAFile;
    default:
        return FileFault::Other;
    }
}

ReplaceResult Failure(ReplaceStep step, DWORD error) {
    return {ReplaceError{step, FaultOf(error), windows_detail::ErrorText(error)}};
}

// The error of a system call made as the given step: the injected one, else the system's
// when the call failed; 0 on success.
template <typename Call> DWORD StepError(ReplaceStep step, Call call) {
    if (const auto injected = Injected(step)) {
        return *injected;
    }
    return call() ? 0 : ::GetLastError();
}

// Only "<letter>:\..." names a file on a drive: a relative or network path would reach
// somewhere else.
bool IsDrivePath(std::string_view path) {
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/') ||
        path.find('\0') != std::string_view::npos) {
        return false;
    }
    const char letter = AsciiUpper(path[0]);
    return letter >= 'A' && letter <= 'Z';
}

// 0 when all was written, else the error that stopped it.
DWORD WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return ::GetLastError();
        }
        if (written == 0) {
            return ERROR_IO_DEVICE;
        }
        bytes = bytes.subspan(written);
    }
    return 0;
}

void ReleaseAndClose(HANDLE mutex) {
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
}
using SaveLock = windows_detail::UniqueHandle<&ReleaseAndClose>;

struct SaveLockResult {
    SaveLock lock; // null when there is no lock to be had
    bool busy = false;
};

// Replacements on one drive in this session take turns, so that the fixed temporary name
// below belongs to one of them at a time. The system releases the lock of a killed save, but
// a stopped one keeps it, so the wait is bounded.
SaveLockResult LockSaves(char letter) {
    const std::wstring name = L"Local\\PrivateFolderSetup.Replace." + std::wstring(1, letter);
    SaveLock mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex) {
        return {};
    }
    const auto waited =
        detail::WaitForLock([&mutex](std::chrono::milliseconds slice) -> std::optional<bool> {
            switch (::WaitForSingleObject(mutex.get(), static_cast<DWORD>(slice.count()))) {
            case WAIT_OBJECT_0:
            case WAIT_ABANDONED:
                return true;
            case WAIT_TIMEOUT:
                return false;
            default:
                return std::nullopt;
            }
        });
    if (waited != detail::LockWait::Taken) {
        // Not owned: closed without a release.
        ::CloseHandle(mutex.release());
        return {nullptr, waited == detail::LockWait::Busy};
    }
    return {std::move(mutex)};
}

struct Temporary {
    std::string path;
    UniqueFile file;
};

// A new file beside target with the given attributes. With the lock held,
// "<folder>\.<name>.saving" is this replacement's alone, so whatever an interrupted one left
// under that name is overwritten. Without the lock, or when that name cannot be taken, a name
// of this process's own is. On failure error holds why.
std::optional<Temporary> CreateTemporary(const std::string& target, DWORD attributes, bool locked,
                                         DWORD& error) {
    const std::size_t slash = target.find_last_of("\\/") + 1;
    const std::string fixed = target.substr(0, slash) + "." + target.substr(slash) + ".saving";
    if (locked) {
        auto file = Owned<&::CloseHandle>(::CreateFileA(fixed.c_str(), GENERIC_WRITE, 0, nullptr,
                                                        CREATE_ALWAYS, attributes, nullptr));
        if (file) {
            return Temporary{fixed, std::move(file)};
        }
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string path = fixed + "." + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(counter.fetch_add(1));
        auto file = Owned<&::CloseHandle>(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                        CREATE_NEW, attributes, nullptr));
        if (file) {
            return Temporary{std::move(path), std::move(file)};
        }
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return std::nullopt;
}

// Refuses what the replacement must leave alone: a folder or link of target's name, a file
// with the read-only attribute, and a file this user may not open for writing.
std::optional<ReplaceResult> RefuseExisting(const std::string& target, DWORD attributes) {
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        return ReplaceResult{ReplaceError{ReplaceStep::Create, FileFault::NotAFile, {}}};
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        return Failure(ReplaceStep::Create, ERROR_ACCESS_DENIED);
    }
    const auto old = Owned<&::CloseHandle>(
        ::CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!old) {
        return Failure(ReplaceStep::Create, ::GetLastError());
    }
    // A device name (CON, NUL, COM1 ...) opens in any folder.
    if (::GetFileType(old.get()) != FILE_TYPE_DISK) {
        return ReplaceResult{ReplaceError{ReplaceStep::Create, FileFault::NotAFile, {}}};
    }
    return std::nullopt;
}

} // namespace

std::optional<FileStart> ReadFileStart(std::string_view drivePath, std::size_t maxBytes) {
    if (!IsDrivePath(drivePath)) {
        return std::nullopt;
    }
    const std::string path(drivePath);
    auto file =
        Owned<&::CloseHandle>(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
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

ReplaceResult ReplaceFile(std::string_view drivePath, std::span<const std::uint8_t> bytes) {
    if (!IsDrivePath(drivePath)) {
        return Failure(ReplaceStep::Create, ERROR_PATH_NOT_FOUND);
    }
    const std::string target(drivePath);
    if (target.ends_with('\\') || target.ends_with('/')) {
        return Failure(ReplaceStep::Create, ERROR_DIRECTORY);
    }
    const DWORD old = ::GetFileAttributesA(target.c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        return Failure(ReplaceStep::Create, ::GetLastError());
    }
    if (exists) {
        if (auto refused = RefuseExisting(target, old)) {
            return *refused;
        }
    }
    const SaveLockResult saves = LockSaves(AsciiUpper(target[0]));
    if (saves.busy) {
        return ReplaceResult{ReplaceError{ReplaceStep::Create, FileFault::Busy, {}}};
    }
    const SaveLock& lock = saves.lock;
    if (const auto injected = Injected(ReplaceStep::Create)) {
        return Failure(ReplaceStep::Create, *injected);
    }
    // The new file takes the old one's hidden, system and archive attributes.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    const DWORD attributes = exists && (old & kKept) != 0 ? old & kKept : FILE_ATTRIBUTE_NORMAL;
    DWORD error = 0;
    auto temporary = CreateTemporary(target, attributes, lock != nullptr, error);
    if (!temporary) {
        return Failure(ReplaceStep::Create, error);
    }
    // A failing write stops halfway, as a full medium would.
    const auto failWrite = Injected(ReplaceStep::Write);
    HANDLE file = temporary->file.get();
    ReplaceStep step = ReplaceStep::Write;
    error = WriteAll(file, failWrite ? bytes.first(bytes.size() / 2) : bytes);
    if (error == 0) {
        error = failWrite.value_or(0);
    }
    if (error == 0) {
        step = ReplaceStep::Flush;
        error = StepError(step, [file] { return ::FlushFileBuffers(file); });
    }
    if (!::CloseHandle(temporary->file.release()) && error == 0) {
        error = ::GetLastError();
    }
    if (error == 0) {
        step = ReplaceStep::Replace;
        error = StepError(step, [&] {
            return ::MoveFileExA(temporary->path.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        });
    }
    if (error != 0) {
        ::DeleteFileA(temporary->path.c_str());
        return Failure(step, error);
    }
    return {};
}

void FailReplaceStepForTesting(std::optional<ReplaceStep> step, int systemError) {
    injectedError.store(systemError != 0 ? static_cast<DWORD>(systemError) : ERROR_IO_DEVICE);
    failingStep.store(step ? static_cast<int>(*step) : -1);
}

} // namespace platform
