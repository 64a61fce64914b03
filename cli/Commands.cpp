#include "cli/Commands.h"

#include "FrmManage/FolderListing.h"
#include "FrmManage/ProtectionRules.h"
#include "Hdddevctrl/DiscoveryDiagnosis.h"
#include "Protectfileio/Protectfileio.h"
#include "app/DriveTable.h"
#include "platform/AsciiCase.h"
#include "platform/Directory.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>

namespace {

using Json = nlohmann::ordered_json;

void Complain(std::string_view text) {
    std::cerr << "private-folders: " << text << '\n';
}

void Print(std::ostream& out, const Json& json) {
    out << json.dump(2) << '\n';
}

std::string Root(char letter) {
    return {letter, ':', '\\'};
}

// UTF-8 for output; a unit that is half of no pair becomes U+FFFD.
std::string Utf8(std::u16string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
        const bool pairsNext =
            high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pairsNext) {
            ++i;
        } else if (high || low) {
            text[i] = u'\uFFFD';
        }
    }
    return platform::Utf16ToUtf8(text).value_or("");
}

std::u16string Wide(std::string_view text) {
    return platform::AnsiToWide(text, text.size());
}

// The part of a reader slot before its terminator.
std::u16string SlotName(const ReaderNameSlot& slot) {
    return {slot.data(),
            static_cast<std::size_t>(std::find(slot.begin(), slot.end(), u'\0') - slot.begin())};
}

const char* FaultKey(ProtectionFileFault fault) {
    switch (fault) {
    case ProtectionFileFault::Size:
        return "size";
    case ProtectionFileFault::Magic:
        return "magic";
    case ProtectionFileFault::FolderCount:
        return "folder_count";
    case ProtectionFileFault::None:
        break;
    }
    return nullptr;
}

const char* FaultText(ProtectionFileFault fault) {
    switch (fault) {
    case ProtectionFileFault::Size:
        return "shorter than 2048 bytes";
    case ProtectionFileFault::Magic:
        return "it does not begin with the protection file's magic text";
    case ProtectionFileFault::FolderCount:
        return "it counts more than 16 private folders";
    case ProtectionFileFault::None:
        break;
    }
    return "";
}

// The listing's rows and its password text, as the window's folder list would hold them.
class RowCollector : public FolderRowSink, public PasswordTextSink {
public:
    void AppendFolderRow(const FolderRow& row) override { rows.push_back(row); }
    void SetPasswordText(const std::string&) override {}
    std::vector<FolderRow> rows;
};

// The rows as the shared marking and saving rules take them.
FolderRowAt RowsAt(const std::vector<FolderRow>& rows) {
    return [&rows](std::size_t i) {
        const FolderRow& row = rows[i];
        return FolderRowView{row.name, row.lastWrite, row.nameTooLong, row.storedName,
                             row.stateIndex};
    };
}

// Lists entry's root as drive switching in the window does.
std::vector<FolderRow> ListRows(const DriveProtection& entry) {
    RowCollector collector;
    if (platform::OsMajorVersion() < 5) {
        ListRootFoldersA(entry, collector, collector);
    } else {
        ListRootFoldersW(entry, collector, collector);
    }
    return std::move(collector.rows);
}

// Builds the drive table as the window's start-up does and decides VolumeIsFat as the window
// does, from the device's first drive. The table index of letter, or nullopt when the window
// would not offer it.
std::optional<std::size_t> LoadDevice(char letter) {
    BuildDriveTable();
    VolumeIsFat =
        DriveTable[0].DriveLetter != 0 && DriveIsFat(static_cast<char>(DriveTable[0].DriveLetter));
    for (std::size_t i = 0; i < kDriveTableEntries && DriveTable[i].DriveLetter != 0; ++i) {
        if (platform::AsciiUpper(static_cast<char>(DriveTable[i].DriveLetter)) == letter) {
            return i;
        }
    }
    return std::nullopt;
}

// What "show" and "set" report about one drive.
struct DriveReport {
    char letter = 0;
    bool deviceDrive = false;
    ProtectionFileReading file;
    std::vector<FolderRow> rows;
};

DriveReport ReportDrive(char letter, bool deviceDrive, const DriveProtection& entry) {
    return {letter, deviceDrive, InspectProtectionFile(letter), ListRows(entry)};
}

const char* StateOf(const ProtectionFileReading& file) {
    return file.settings ? "valid" : file.present ? "invalid" : "missing";
}

// The private folders of settings in file order, each with whether a root folder of that
// stored name is listed (and so marked private).
std::vector<std::pair<std::u16string, bool>> PrivateFolders(const ProtectionSettings& settings,
                                                            const std::vector<FolderRow>& rows) {
    std::vector<std::pair<std::u16string, bool>> folders;
    for (int k = 0; k < settings.folderCount; ++k) {
        std::u16string name = SlotName(settings.names[static_cast<std::size_t>(k)]);
        const bool listed = std::any_of(rows.begin(), rows.end(), [&](const FolderRow& row) {
            return row.IsPrivate() && row.storedName == name;
        });
        folders.emplace_back(std::move(name), listed);
    }
    return folders;
}

void AddSettings(Json& json, const ProtectionSettings* settings,
                 const std::vector<FolderRow>* rows) {
    json["password"] = settings ? Json(PasswordDigits(settings->password)) : Json(nullptr);
    json["wait_state"] = settings ? Json(settings->waitState) : Json(nullptr);
    json["private_folders"] = Json::array();
    if (rows != nullptr) {
        json["missing_folders"] = Json::array();
    }
    if (!settings) {
        return;
    }
    for (int k = 0; k < settings->folderCount; ++k) {
        json["private_folders"].push_back(
            Utf8(SlotName(settings->names[static_cast<std::size_t>(k)])));
    }
    if (rows != nullptr) {
        for (const auto& [name, listed] : PrivateFolders(*settings, *rows)) {
            if (!listed) {
                json["missing_folders"].push_back(Utf8(name));
            }
        }
    }
}

void PrintSettings(std::ostream& out, const ProtectionSettings& settings,
                   const std::vector<FolderRow>* rows) {
    out << "Password: " << PasswordDigits(settings.password) << '\n';
    out << "Wait state: " << static_cast<int>(settings.waitState) << '\n';
    if (settings.folderCount == 0) {
        out << "Private folders: none\n";
        return;
    }
    out << "Private folders:\n";
    if (rows == nullptr) {
        for (int k = 0; k < settings.folderCount; ++k) {
            out << "  " << Utf8(SlotName(settings.names[static_cast<std::size_t>(k)])) << '\n';
        }
        return;
    }
    for (const auto& [name, listed] : PrivateFolders(settings, *rows)) {
        out << "  " << Utf8(name) << (listed ? "" : "  (no such root folder)") << '\n';
    }
}

void PrintReport(const DriveReport& report, bool json, std::ostream& out) {
    const ProtectionSettings* settings = report.file.settings ? &*report.file.settings : nullptr;
    if (json) {
        Json answer;
        answer["drive"] = std::string(1, report.letter);
        answer["label"] = FormatDriveLabel(report.letter);
        answer["device_drive"] = report.deviceDrive;
        answer["state"] = StateOf(report.file);
        const char* reason = FaultKey(report.file.fault);
        answer["reason"] = reason ? Json(reason) : Json(nullptr);
        AddSettings(answer, settings, &report.rows);
        Print(out, answer);
        return;
    }
    out << "Drive: " << FormatDriveLabel(report.letter)
        << (report.deviceDrive ? "" : ", not a drive of the device") << '\n';
    out << "MPlay.sys: " << StateOf(report.file);
    if (report.file.present && !settings) {
        out << ": " << FaultText(report.file.fault);
    }
    out << '\n';
    if (settings) {
        PrintSettings(out, *settings, &report.rows);
    }
}

// Why NAME is no row of the listing: a file, a folder the window passes over, or nothing.
void ExplainUnlisted(char letter, const std::u16string& name) {
    std::optional<bool> isFolder;
    platform::EnumerateDirectoryW(Wide(Root(letter)) + u"*", [&](const platform::FindDataW& found) {
        if (found.name == name) {
            isFolder = found.isDirectory;
        }
    });
    const std::string shown = Utf8(name);
    if (!isFolder) {
        Complain("There is no folder " + shown + " in " + Root(letter));
    } else if (!*isFolder) {
        Complain(shown + " in " + Root(letter) + " is a file, not a folder");
    } else {
        Complain(shown + " in " + Root(letter) +
                 " is hidden: the window does not list it, so it cannot be made private or public");
    }
}

// The row a NAME argument means: the one shown with that name, else the one stored so.
std::optional<std::size_t> FindRow(const std::vector<FolderRow>& rows, const std::u16string& name) {
    for (const auto member : {&FolderRow::name, &FolderRow::storedName}) {
        const auto it = std::find_if(rows.begin(), rows.end(),
                                     [&](const FolderRow& row) { return row.*member == name; });
        if (it != rows.end()) {
            return static_cast<std::size_t>(it - rows.begin());
        }
    }
    return std::nullopt;
}

// The rows of names; nullopt (after saying why) when one is not listed.
std::optional<std::set<std::size_t>> ResolveNames(char letter, const std::vector<FolderRow>& rows,
                                                  const std::vector<std::string>& names) {
    std::set<std::size_t> found;
    for (const std::string& text : names) {
        const std::u16string name = Wide(text);
        const auto row = FindRow(rows, name);
        if (!row) {
            ExplainUnlisted(letter, name);
            return std::nullopt;
        }
        found.insert(*row);
    }
    return found;
}

std::string VolumeLine(const VolumeVerdict& volume) {
    std::string line = Root(volume.letter) + "  " +
                       (volume.deviceDrive ? "device drive" : "not a device drive") + "\n";
    line += "    label: " + (volume.label.empty() ? std::string("(none)") : volume.label) +
            ", file system: " + (volume.fileSystem.empty() ? "(unknown)" : volume.fileSystem) +
            "\n";
    line += "    folder: " + volume.folder + "\n";
    line +=
        "    device id: " + (volume.deviceId.empty() ? std::string("(none)") : volume.deviceId) +
        (volume.eligible ? ", eligible" : ", not eligible") + "\n";
    return line + "    " + volume.reason + "\n";
}

Json OptionalNumber(const std::optional<std::uint32_t>& number) {
    return number ? Json(*number) : Json(nullptr);
}

} // namespace

std::optional<char> ParseDriveArgument(std::string_view text) {
    if (text.empty() || text.size() > 3) {
        return std::nullopt;
    }
    const char letter = platform::AsciiUpper(text[0]);
    if (letter < 'A' || letter > 'Z' || (text.size() >= 2 && text[1] != ':') ||
        (text.size() == 3 && text[2] != '\\')) {
        return std::nullopt;
    }
    return letter;
}

void SendMessageBoxesToStandardError() {
    platform::SetMessageBoxHandler(
        [](const platform::MessageBoxRequest& request) { Complain(request.text); });
}

int RunDrives(bool json, std::ostream& out) {
    DeviceDriveList letters{};
    GetDeviceDrives(letters);
    const DiscoveryDiagnosis d = DiagnoseDiscovery(ProcessDeviceDiscovery());
    const std::string reason = NoDriveReason(d);

    if (json) {
        Json answer;
        Json& list = answer["model_list"];
        list["path"] =
            d.modelListSource.read.empty() ? Json(nullptr) : Json(d.modelListSource.read);
        list["looked"] = d.modelListSource.looked;
        list["key_found"] = d.modelKeyFound;
        list["models"] = Json::array();
        for (const ModelListEntry& model : d.models) {
            list["models"].push_back({{"name", model.name},
                                      {"vendor_id", OptionalNumber(model.venderId)},
                                      {"product_id", OptionalNumber(model.productId)},
                                      {"supported", model.Supported()}});
        }
        answer["library"] = {
            {"loaded", d.library.loaded},
            {"path", d.library.loaded ? Json(d.library.file.string()) : Json(nullptr)},
            {"error", d.library.loaded ? Json(nullptr) : Json(d.library.error)}};
        answer["device_drives"] = Json::array();
        for (const char letter : d.drives) {
            answer["device_drives"].push_back(std::string(1, letter));
        }
        answer["volumes"] = Json::array();
        for (const VolumeVerdict& v : d.volumes) {
            answer["volumes"].push_back({{"letter", std::string(1, v.letter)},
                                         {"folder", v.folder},
                                         {"label", v.label},
                                         {"file_system", v.fileSystem},
                                         {"device_id", v.deviceId},
                                         {"eligible", v.eligible},
                                         {"device_drive", v.deviceDrive},
                                         {"reason", v.reason}});
        }
        answer["no_drive_reason"] = reason.empty() ? Json(nullptr) : Json(reason);
        Print(out, answer);
        return kExitDone;
    }

    if (d.modelListSource.read.empty()) {
        out << "Model list: none found; looked for:\n";
        for (const std::string& place : d.modelListSource.looked) {
            out << "  " << place << '\n';
        }
    } else {
        out << "Model list: " << d.modelListSource.read
            << (d.modelKeyFound ? "" : " (it has no key HKEY_CURRENT_USER\\SOFTWARE\\Zembar)")
            << '\n';
    }
    for (const ModelListEntry& model : d.models) {
        out << "  " << model.name << ": "
            << (model.venderId ? HexTag("VID_", *model.venderId) : "no VenderID") << ", "
            << (model.productId ? HexTag("PID_", *model.productId) : "no ProductID") << ", "
            << (model.Supported() ? "supports private folders" : "no private folders") << '\n';
    }
    if (d.library.loaded) {
        out << "Device library: loaded from " << d.library.file.string() << '\n';
    } else {
        out << "Device library: not loaded: " << d.library.error << '\n';
    }
    out << "Volumes:\n";
    for (const VolumeVerdict& volume : d.volumes) {
        out << "  " << VolumeLine(volume);
    }
    if (d.volumes.empty()) {
        out << "  none\n";
    }
    if (!reason.empty()) {
        out << reason << '\n';
    }
    return kExitDone;
}

int RunShow(char drive, bool json, std::ostream& out) {
    if (!platform::QueryVolumeInformation(Root(drive))) {
        Complain("There is no drive " + Root(drive));
        return kExitRefused;
    }
    const auto index = LoadDevice(drive);
    DriveProtection entry{};
    if (index) {
        entry = DriveTable[*index];
    } else {
        // Not a drive the window offers: its folders are compared as the drive's own FAT
        // decision makes them, unless the device has a first drive to decide it.
        if (DriveTable[0].DriveLetter == 0) {
            VolumeIsFat = DriveIsFat(drive);
        }
        entry.DriveLetter = static_cast<unsigned char>(drive);
        LoadDriveProtection(entry, 0);
    }
    const DriveReport report = ReportDrive(drive, index.has_value(), entry);
    PrintReport(report, json, out);
    return report.file.present && !report.file.settings ? kExitRefused : kExitDone;
}

int RunSet(const SetRequest& request, bool json, std::ostream& out) {
    const char letter = request.drive;
    const auto index = LoadDevice(letter);
    if (!index) {
        Complain(std::string(kChooseDriveText) + ": " + Root(letter) +
                 " is not one of its drives (see \"private-folders drives\")");
        return kExitRefused;
    }
    const DriveProtection& entry = DriveTable[*index];

    std::uint16_t password = entry.Password;
    if (request.password) {
        const auto packed = PackedPassword(*request.password);
        if (!packed) {
            ShowPasswordRefusal();
            return kExitRefused;
        }
        password = *packed;
    }

    const DriveReport before = ReportDrive(letter, true, entry);
    std::vector<FolderRow> rows = before.rows;
    const auto toPublic = ResolveNames(letter, rows, request.makePublic);
    const auto toPrivate =
        toPublic ? ResolveNames(letter, rows, request.makePrivate) : std::nullopt;
    if (!toPrivate) {
        return kExitRefused;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (request.allPublic || toPublic->contains(i)) {
            rows[i].stateIndex = kPublicStateIndex;
        }
    }
    for (const std::size_t i : *toPrivate) {
        if (!rows[i].IsMarkable() && !rows[i].IsPrivate()) {
            Complain(Utf8(rows[i].name) + ": Name too long; a name of 19 or more characters "
                                          "cannot be made private");
            return kExitRefused;
        }
    }
    if (PrivateRowsAfterMarking(rows.size(), RowsAt(rows), [&](std::size_t i) {
            return toPrivate->contains(i);
        }) > kMaxPrivateRows) {
        ShowPrivateFolderLimit();
        return kExitRefused;
    }
    for (const std::size_t i : *toPrivate) {
        if (rows[i].IsMarkable()) {
            rows[i].stateIndex = kPrivateStateIndex;
        }
    }

    const std::vector<WriterNameSlot> names = PrivateNameSlots(rows.size(), RowsAt(rows));
    const auto waitState = static_cast<std::uint8_t>(entry.WaitState & 0xFF);
    const WriteResult result = WriteProtectionFile(letter, static_cast<std::int32_t>(names.size()),
                                                   password, names, waitState);
    if (result.outcome == WriteOutcome::Refused) {
        return kExitRefused; // the writer has said why
    }
    if (result.outcome == WriteOutcome::Failed) {
        Complain("Could not write " + Root(letter) + "MPlay.sys. " +
                 SaveFailureCause(result.failure) + " The drive keeps its old settings.");
        return kExitRefused;
    }

    // What the drive holds now, read back as the window does after saving.
    DriveProtection saved = entry;
    LoadDriveProtection(saved, waitState);
    const DriveReport report = ReportDrive(letter, true, saved);
    if (before.file.settings) {
        // The window saves the listed folders only; a private folder that is gone drops out.
        for (const auto& [name, listed] : PrivateFolders(*before.file.settings, before.rows)) {
            if (!listed) {
                Complain("note: " + Utf8(name) + " was private but is no root folder of " +
                         Root(letter) + "; it is no longer kept");
            }
        }
    }
    PrintReport(report, json, out);
    return report.file.settings ? kExitDone : kExitRefused;
}

int RunCheck(const std::string& file, bool json, std::ostream& out) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        Complain(file + " is a folder");
        return kExitRefused;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Complain("Cannot open " + file);
        return kExitRefused;
    }
    std::vector<std::uint8_t> content(kProtectionFileSize);
    in.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));

    const ProtectionFileFault fault = CheckProtectionFile(content);
    const auto settings = DecodeProtectionFile(content);
    if (json) {
        Json answer;
        answer["file"] = file;
        answer["state"] = settings ? "valid" : "invalid";
        const char* reason = FaultKey(fault);
        answer["reason"] = reason ? Json(reason) : Json(nullptr);
        AddSettings(answer, settings ? &*settings : nullptr, nullptr);
        Print(out, answer);
    } else if (settings) {
        out << file << ": a valid protection file\n";
        PrintSettings(out, *settings, nullptr);
    }
    if (!settings) {
        Complain(file + " is no valid protection file: " + FaultText(fault));
        return kExitRefused;
    }
    return kExitDone;
}
