#include "FrmManage/FolderListing.h"

#include "app/Texts.h"
#include "platform/AsciiCase.h"
#include "platform/Drives.h"
#include "platform/TerminatedText.h"

#include <algorithm>
#include <array>
#include <cstdio>

bool VolumeIsFat = false;

namespace {

constexpr std::size_t kMaxShortBase = 8;
constexpr std::size_t kMaxShortExtension = 3;
constexpr std::size_t kNameTooLongUnits = 19;
constexpr std::size_t kSlotPrefixUnits = 3; // "E:\"
constexpr std::size_t kMaxConvertedUnits = kPathUnits - 1;

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <typename Char> bool IsPassedOver(std::basic_string_view<Char> name) {
    constexpr std::array<std::string_view, 4> kPassedOver = {".", "..", "Recycled",
                                                             "System Volume Information"};
    return std::any_of(kPassedOver.begin(), kPassedOver.end(), [name](std::string_view skip) {
        return std::equal(name.begin(), name.end(), skip.begin(), skip.end(),
                          [](Char a, char b) { return a == static_cast<unsigned char>(b); });
    });
}

bool IsShortNameSeparator(char16_t unit) {
    return unit == u'.' || unit == u' ' || unit >= 127;
}

// On FAT a short name written in one case lives as its upper-case 8.3 entry, the name the
// television sees; so such a name is stored upper-case.
void StoreName(std::u16string_view name, std::u16string& stored) {
    stored.assign(name);
    if (!VolumeIsFat || !IsShortName(name))
        return;
    const auto isLower = [](char16_t unit) { return unit >= u'a' && unit <= u'z'; };
    const auto isUpper = [](char16_t unit) { return unit >= u'A' && unit <= u'Z'; };
    const bool hasLower = std::any_of(name.begin(), name.end(), isLower);
    if (hasLower && std::any_of(name.begin(), name.end(), isUpper))
        return;
    for (char16_t& unit : stored) {
        unit = platform::AsciiUpper(unit);
    }
}

// The folder part of a slot ("MUSIC" of "E:\MUSIC"), never read past the slot's end even
// when the slot holds no terminator; empty when the slot is shorter than its prefix.
std::u16string_view SlotFolderName(const PathSlot& slot) {
    const std::u16string_view text = platform::TerminatedText(slot);
    return text.size() > kSlotPrefixUnits ? text.substr(kSlotPrefixUnits) : std::u16string_view{};
}

// The folder parts of the used slots, up to the first empty slot; views into the entry.
class PrivateFolderNames {
public:
    explicit PrivateFolderNames(const DriveProtection& entry) {
        for (const PathSlot& slot : entry.PrivateFolders) {
            if (slot[0] == u'\0')
                break;
            names_[count_++] = SlotFolderName(slot);
        }
    }

    bool Contains(std::u16string_view storedName) const {
        return std::any_of(names_.begin(), names_.begin() + count_, [storedName](auto folder) {
            return !folder.empty() && folder == storedName;
        });
    }

private:
    std::array<std::u16string_view, kMaxPrivateFolders> names_{};
    std::size_t count_ = 0;
};

// Makes the rows of one listing into one row object, so that a listing of many folders
// allocates no text per folder.
class RowMaker {
public:
    RowMaker(const DriveProtection& entry, FolderRowSink& list)
        : privateNames_(entry), list_(list) {}

    void AddW(std::u16string_view name, const std::optional<platform::SystemTime>& lastWrite) {
        if (!IsPassedOver(name))
            Append(name, lastWrite);
    }

    void AddA(std::string_view name, const std::optional<platform::SystemTime>& lastWrite) {
        if (!IsPassedOver(name))
            Append(platform::AnsiToWide(name, kMaxConvertedUnits), lastWrite);
    }

private:
    void Append(std::u16string_view name, const std::optional<platform::SystemTime>& lastWrite) {
        row_.name.assign(name);
        row_.lastWrite = lastWrite.value_or(platform::SystemTime{});
        row_.nameTooLong = name.size() >= kNameTooLongUnits;
        StoreName(name, row_.storedName);
        row_.stateIndex =
            privateNames_.Contains(row_.storedName) ? kPrivateStateIndex : kPublicStateIndex;
        list_.AppendFolderRow(row_);
    }

    PrivateFolderNames privateNames_;
    FolderRowSink& list_;
    FolderRow row_;
};

std::string PasswordText(const DriveProtection& entry) {
    return entry.PrivateFolders[0][0] == u'\0' ? "0000" : PasswordDigits(entry.Password);
}

char LetterOf(const DriveProtection& entry) {
    return static_cast<char>(entry.DriveLetter & 0xFF);
}

} // namespace

std::string PasswordDigits(std::uint16_t password) {
    std::string text(4, '0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned nibble = (password >> (12 - 4 * i)) & 0xFu;
        text[i] = static_cast<char>('0' + nibble);
    }
    return text;
}

bool IsFatFileSystem(std::string_view fileSystemName) {
    if (fileSystemName.size() < 3) {
        return false;
    }
    std::string prefix(fileSystemName.substr(0, 3));
    std::transform(prefix.begin(), prefix.end(), prefix.begin(), platform::AsciiUpper<char>);
    return prefix == "FAT";
}

bool DriveIsFat(char driveLetter) {
    const auto volume = platform::QueryVolumeInformation(platform::DriveRoot(driveLetter));
    return volume && IsFatFileSystem(volume->fileSystem);
}

std::string ModifiedText(const platform::SystemTime& lastWrite) {
    if (lastWrite.year == 0 || lastWrite.month < 1 || lastWrite.month > 12) {
        return kUnknownTimeText;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%s.%d,%d %02d:%02d:%02d", kMonths[lastWrite.month - 1],
                  lastWrite.day, lastWrite.year, lastWrite.hour, lastWrite.minute,
                  lastWrite.second);
    return text;
}

std::string FormatDriveLabel(char driveLetter) {
    const std::string root = platform::DriveRoot(driveLetter);
    const std::optional<platform::VolumeInformation> volume =
        platform::QueryVolumeInformation(root);
    if (volume && !volume->label.empty())
        return volume->label + " (" + root + ")";
    return "Local Drive (" + root + ")";
}

bool IsShortName(std::u16string_view name) {
    const std::size_t separator =
        std::find_if(name.begin(), name.end(), IsShortNameSeparator) - name.begin();
    if (separator > kMaxShortBase)
        return false;
    if (separator == name.size())
        return true;
    const std::u16string_view extension = name.substr(separator + 1);
    return extension.size() <= kMaxShortExtension &&
           std::none_of(extension.begin(), extension.end(), IsShortNameSeparator);
}

void AddFolderRowW(const DriveProtection& entry, FolderRowSink& list, std::u16string_view name,
                   const std::optional<platform::SystemTime>& lastWrite) {
    RowMaker(entry, list).AddW(name, lastWrite);
}

void AddFolderRowA(const DriveProtection& entry, FolderRowSink& list, std::string_view name,
                   const std::optional<platform::SystemTime>& lastWrite) {
    RowMaker(entry, list).AddA(name, lastWrite);
}

// The slots are read once per listing, not once per folder.
void ListRootFoldersW(const DriveProtection entry, FolderRowSink& list,
                      PasswordTextSink& password) {
    password.SetPasswordText(PasswordText(entry));
    RowMaker rows(entry, list);
    const std::u16string pattern =
        std::u16string(1, static_cast<char16_t>(LetterOf(entry))) + u":\\*";
    platform::EnumerateDirectoryW(pattern, [&](const platform::FindDataW& found) {
        if (found.isDirectory)
            rows.AddW(found.name, found.lastWrite);
    });
}

void ListRootFoldersA(const DriveProtection entry, FolderRowSink& list,
                      PasswordTextSink& password) {
    password.SetPasswordText(PasswordText(entry));
    RowMaker rows(entry, list);
    const std::string pattern = std::string(1, LetterOf(entry)) + ":\\*";
    platform::EnumerateDirectoryA(pattern, [&](const platform::FindDataA& found) {
        if (found.isDirectory)
            rows.AddA(found.name, found.lastWrite);
    });
}
