#include "cli/Commands.h"

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/ProtectionRules.h"
#include "FrmManage/memory/MemoryForm.h"
#include "Hdddevctrl/DiscoveryDiagnosis.h"
#include "Protectfileio/Protectfileio.h"
#include "app/DriveTable.h"
#include "app/StartUp.h"
#include "app/Texts.h"
#include "cli/Report.h"
#include "platform/AsciiCase.h"
#include "platform/Directory.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "platform/TerminatedText.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

namespace {

constexpr std::string_view kModelKey = "SOFTWARE\\Zembar";

void Complain(std::string_view text) {
    std::cerr << "private-folders: " << text << '\n';
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
    return std::u16string(platform::TerminatedText(slot));
}

// How a fault is named in JSON and told in words; null and "" for a valid file.
struct FaultWords {
    const char* key;
    const char* text;
};

FaultWords WordsFor(ProtectionFileFault fault) {
    switch (fault) {
    case ProtectionFileFault::Size:
        return {"size", "shorter than 2048 bytes"};
    case ProtectionFileFault::Magic:
        return {"magic", "it does not begin with the protection file's magic text"};
    case ProtectionFileFault::FolderCount:
        return {"folder_count", "it counts more than 16 private folders"};
    case ProtectionFileFault::None:
        break;
    }
    return {nullptr, ""};
}

Json FaultKey(ProtectionFileFault fault) {
    const char* key = WordsFor(fault).key;
    return key ? Json(key) : Json(nullptr);
}

// The rows the window's folder list shows now.
std::vector<FolderRow> RowsOf(const TListView& list) {
    std::vector<FolderRow> rows;
    rows.reserve(list.RowCount());
    for (std::size_t i = 0; i < list.RowCount(); ++i) {
        const FolderRowView row = list.Row(i);
        rows.push_back({std::u16string(row.name), row.lastWrite, row.nameTooLong,
                        std::u16string(row.storedName), row.stateIndex});
    }
    return rows;
}

// The program's own start-up on in-memory controls; user(window, entry) is the user of the
// modal window, entry the selector entry of letter's drive (chosen already), or nullopt when
// the window does not offer that drive.
void RunWindow(char letter,
               const std::function<void(TFrmEditProtect&, std::optional<int> entry)>& user) {
    StartUp([&](TFrmEditProtect& window) {
        auto form = std::make_unique<MemoryForm>(window);
        form->modalRun = [&window, &user, letter] {
            std::optional<int> entry;
            for (int i = 0; i < window.ComboBox1.Count(); ++i) {
                const auto drive =
                    static_cast<char>(DriveTable[static_cast<std::size_t>(i)].DriveLetter);
                if (platform::AsciiUpper(drive) == letter) {
                    entry = i;
                    if (window.ComboBox1.ItemIndex() != i) { // the first is listed already
                        MemoryFormOf(window).ChooseEntry(i);
                    }
                    break;
                }
            }
            user(window, entry);
        };
        return form;
    });
}

// What "show", "set" and "check" report about one protection file: a drive's (with its letter
// and its root's rows) or any file's.
struct FileReport {
    std::string file;
    char letter = 0;
    bool deviceDrive = false;
    ProtectionFileReading reading;
    std::optional<std::vector<FolderRow>> rows; // the drive's listing; none for a file
};

// The drive's file and the rows the window lists for it now.
FileReport ReportDrive(char letter, bool deviceDrive, const TFrmEditProtect& window) {
    return {{}, letter, deviceDrive, InspectProtectionFile(letter), RowsOf(window.ListView1)};
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

// The private folders in file order; each listed one, for a file without rows.
std::vector<std::pair<std::u16string, bool>> PrivateFolders(const FileReport& r) {
    if (r.rows) {
        return PrivateFolders(*r.reading.settings, *r.rows);
    }
    std::vector<std::pair<std::u16string, bool>> folders;
    for (int k = 0; k < r.reading.settings->folderCount; ++k) {
        folders.emplace_back(SlotName(r.reading.settings->names[static_cast<std::size_t>(k)]),
                             true);
    }
    return folders;
}

Json PrivateFoldersJson(const FileReport& r, bool missingOnly) {
    Json names = Json::array();
    if (r.reading.settings) {
        for (const auto& [name, listed] : PrivateFolders(r)) {
            if (!missingOnly || !listed) {
                names.push_back(Utf8(name));
            }
        }
    }
    return names;
}

std::optional<std::string> OnlyValid(const FileReport& r, std::string text) {
    return r.reading.settings ? std::optional(std::move(text)) : std::nullopt;
}

std::string DriveLetterText(char letter) {
    return std::string(1, letter);
}

// The fields that show, set and check share.
const ReportField<FileReport> kStateField = {
    "state", "MPlay.sys", [](const FileReport& r) { return Json(StateOf(r.reading)); },
    [](const FileReport& r) -> std::optional<std::string> {
        const bool invalid = r.reading.present && !r.reading.settings;
        return StateOf(r.reading) +
               (invalid ? std::string(": ") + WordsFor(r.reading.fault).text : "");
    }};
const ReportField<FileReport> kReasonField = {
    "reason", nullptr, [](const FileReport& r) { return FaultKey(r.reading.fault); }};
const ReportField<FileReport> kPasswordField = {
    "password", "Password",
    [](const FileReport& r) {
        return r.reading.settings ? Json(PasswordDigits(r.reading.settings->password))
                                  : Json(nullptr);
    },
    [](const FileReport& r) {
        return OnlyValid(r, r.reading.settings ? PasswordDigits(r.reading.settings->password) : "");
    }};
const ReportField<FileReport> kWaitStateField = {
    "wait_state", "Wait state",
    [](const FileReport& r) {
        return r.reading.settings ? Json(r.reading.settings->waitState) : Json(nullptr);
    },
    [](const FileReport& r) {
        return OnlyValid(r, r.reading.settings
                                ? std::to_string(static_cast<int>(r.reading.settings->waitState))
                                : "");
    }};
const ReportField<FileReport> kPrivateFoldersField = {
    "private_folders", "Private folders",
    [](const FileReport& r) { return PrivateFoldersJson(r, false); },
    [](const FileReport& r) {
        std::string text;
        if (r.reading.settings) {
            for (const auto& [name, listed] : PrivateFolders(r)) {
                text += "\n  " + Utf8(name) + (listed ? "" : "  (no such root folder)");
            }
        }
        return OnlyValid(r, text.empty() ? "none" : text);
    }};

// The fields of show and set, in their order.
const ReportField<FileReport> kDriveFields[] = {
    {"drive", nullptr, [](const FileReport& r) { return Json(DriveLetterText(r.letter)); }},
    {"label", "Drive", [](const FileReport& r) { return Json(FormatDriveLabel(r.letter)); },
     [](const FileReport& r) -> std::optional<std::string> {
         return FormatDriveLabel(r.letter) + (r.deviceDrive ? "" : ", not a drive of the device");
     }},
    {"device_drive", nullptr, [](const FileReport& r) { return Json(r.deviceDrive); }},
    kStateField,
    kReasonField,
    kPasswordField,
    kWaitStateField,
    kPrivateFoldersField,
    {"missing_folders", nullptr, [](const FileReport& r) { return PrivateFoldersJson(r, true); }},
};

// check names the file instead of a drive; a file has no root folders to miss.
const ReportField<FileReport> kCheckFields[] = {
    {"file", "", [](const FileReport& r) { return Json(r.file); },
     [](const FileReport& r) { return OnlyValid(r, r.file + ": a valid protection file"); }},
    {"state", nullptr, kStateField.json}, // the file line says it
    kReasonField,
    kPasswordField,
    kWaitStateField,
    kPrivateFoldersField,
};

void PrintReport(const FileReport& report, bool json, std::ostream& out) {
    Render<FileReport>(report, kDriveFields, json, out);
}

// The window saves the listed folders only; a private folder that is gone drops out.
void NoteDroppedFolders(const FileReport& before) {
    if (!before.reading.settings) {
        return;
    }
    for (const auto& [name, listed] : PrivateFolders(before)) {
        if (!listed) {
            Complain("note: " + Utf8(name) + " was private but is no root folder of " +
                     platform::DriveRoot(before.letter) + "; it is no longer kept");
        }
    }
}

// set --dry-run, in place of the save: the writer's own checks, then the drive's report as
// the file would read back, with the rows as marked; nothing is written.
int ReportDryRun(const FileReport& before, const std::vector<FolderRow>& rows,
                 const SaveRequest& save, bool json, std::ostream& out) {
    if (CheckProtectionFileWrite(static_cast<std::int32_t>(save.names.size()), save.names)) {
        return kExitRefused; // the writer has said why
    }
    const ProtectionFile file = EncodeProtectionFile(save.names, save.password, save.waitState);
    FileReport would = before;
    would.reading = {true, CheckProtectionFile(file), DecodeProtectionFile(file)};
    would.rows = rows;
    Complain("dry run: " + platform::DriveRoot(before.letter) +
             "MPlay.sys is left as it was; a save would make it read as below");
    NoteDroppedFolders(before);
    PrintReport(would, json, out);
    return kExitDone;
}

// Why NAME is no row of the listing: a file, a folder the window passes over, or nothing.
void ExplainUnlisted(char letter, const std::u16string& name) {
    std::optional<bool> isFolder;
    platform::EnumerateDirectoryW(Wide(platform::DriveRoot(letter)) + u"*",
                                  [&](const platform::FindDataW& found) {
                                      if (found.name == name) {
                                          isFolder = found.isDirectory;
                                      }
                                  });
    const std::string shown = Utf8(name);
    if (!isFolder) {
        Complain("There is no folder " + shown + " in " + platform::DriveRoot(letter));
    } else if (!*isFolder) {
        Complain(shown + " in " + platform::DriveRoot(letter) + " is a file, not a folder");
    } else {
        Complain(shown + " in " + platform::DriveRoot(letter) +
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

// As the user would: clicks each row and presses the button the click enabled, if it did.
// --public and --all-public come first. A row the window would not let be marked private, or
// the limit of 16, refuses (after saying why); nothing is written then.
bool MarkRows(TFrmEditProtect& window, const SetRequest& request,
              const std::set<std::size_t>& toPublic, const std::set<std::size_t>& toPrivate) {
    MemoryForm& form = MemoryFormOf(window);
    TListView& list = window.ListView1;
    for (std::size_t i = 0; i < list.RowCount(); ++i) {
        if (request.allPublic || toPublic.contains(i)) {
            form.ClickRow(static_cast<int>(i));
            if (window.BitBtn2.Enabled()) { // a private row
                window.BitBtn2Click();
            }
        }
    }
    for (const std::size_t i : toPrivate) {
        form.ClickRow(static_cast<int>(i));
        if (list.Row(i).IsPrivate()) {
            continue;
        }
        if (!window.BitBtn1.Enabled()) {
            Complain(Utf8(std::u16string(list.Row(i).name)) +
                     ": Name too long; a name of 19 or more characters cannot be made private");
            return false;
        }
        window.BitBtn1Click();
        if (!list.Row(i).IsPrivate()) {
            return false; // the limit of 16, which the window has said
        }
    }
    return true;
}

std::string VolumeLine(const VolumeVerdict& volume) {
    std::string line = platform::DriveRoot(volume.letter) + "  " +
                       (volume.deviceDrive ? "device drive" : "not a device drive") + "\n";
    line += "    label: " + (volume.label.empty() ? std::string("(none)") : volume.label) +
            ", file system: " + (volume.fileSystem.empty() ? "(unknown)" : volume.fileSystem) +
            "\n";
    line += "    folder: " + volume.folder + "\n";
    line +=
        "    device id: " + (volume.deviceId.empty() ? std::string("(none)") : volume.deviceId) +
        (volume.eligible ? ", eligible" : ", not eligible") + "\n";
    return line + "    " + volume.reason;
}

Json OptionalNumber(const std::optional<std::uint32_t>& number) {
    return number ? Json(*number) : Json(nullptr);
}

// The model list as read now, and where models add and remove change it.
struct ModelsReport {
    platform::RegistrySource source;
    bool keyFound = false;
    std::vector<ModelListEntry> models;
    std::string target;
};

ModelsReport ReadModels() {
    ModelsReport report{
        platform::CurrentUserRegistrySource(), false, {}, platform::CurrentUserRegistryTarget()};
    if (const auto key = platform::RegistryKey::OpenCurrentUser(kModelKey)) {
        report.keyFound = true;
        report.models = ReadModelList(*key);
    }
    return report;
}

// "3b17:0512", as lsusb prints the numbers.
std::string UsbNumbers(std::uint32_t vendor, std::uint32_t product) {
    char text[24];
    std::snprintf(text, sizeof text, "%04x:%04x", static_cast<unsigned>(vendor),
                  static_cast<unsigned>(product));
    return text;
}

std::string ModelLine(const ModelListEntry& model) {
    const std::string numbers = model.venderId && model.productId
                                    ? UsbNumbers(*model.venderId, *model.productId) + " "
                                    : "";
    return model.name + ": " + numbers + "(" +
           (model.venderId ? HexTag("VID_", *model.venderId) : "no VenderID") + ", " +
           (model.productId ? HexTag("PID_", *model.productId) : "no ProductID") + "), " +
           (model.Supported() ? "supports private folders" : "no private folders");
}

const ReportField<ModelsReport> kModelsFields[] = {
    {"path", "Model list",
     [](const ModelsReport& r) {
         return r.source.read.empty() ? Json(nullptr) : Json(r.source.read);
     },
     [](const ModelsReport& r) -> std::optional<std::string> {
         if (r.source.read.empty()) {
             return "none found";
         }
         return r.source.read +
                (r.keyFound ? "" : " (it has no key HKEY_CURRENT_USER\\SOFTWARE\\Zembar)");
     }},
    {"looked", "Looked for", [](const ModelsReport& r) { return Json(r.source.looked); },
     [](const ModelsReport& r) -> std::optional<std::string> {
         if (!r.source.read.empty()) {
             return std::nullopt;
         }
         std::string text;
         for (const std::string& place : r.source.looked) {
             text += "\n  " + place;
         }
         return text;
     }},
    {"key_found", nullptr, [](const ModelsReport& r) { return Json(r.keyFound); }},
    {"models", "Models",
     [](const ModelsReport& r) {
         Json models = Json::array();
         for (const ModelListEntry& model : r.models) {
             models.push_back({{"name", model.name},
                               {"vendor_id", OptionalNumber(model.venderId)},
                               {"product_id", OptionalNumber(model.productId)},
                               {"supported", model.Supported()}});
         }
         return models;
     },
     [](const ModelsReport& r) -> std::optional<std::string> {
         std::string text;
         for (const ModelListEntry& model : r.models) {
             text += "\n  " + ModelLine(model);
         }
         return text.empty() ? "none" : text;
     }},
    {"changes_go_to", "Changes go to", [](const ModelsReport& r) { return Json(r.target); }},
};

// Registry names are compared without regard to case.
bool SameKeyName(std::string_view a, std::string_view b) {
    return !platform::RegistryNameLess{}(a, b) && !platform::RegistryNameLess{}(b, a);
}

// What models add and remove tell of their change, then the list as it is now.
int ReportModelChange(const platform::RegistryWrite& write, const std::string& failed,
                      const std::string& done, bool json, std::ostream& out) {
    if (!write.error.empty()) {
        Complain("Could not " + failed + " " + write.target + ": " + write.error);
        return kExitRefused;
    }
    if (!write.copiedFrom.empty()) {
        Complain(write.target + " starts as a copy of " + write.copiedFrom +
                 ", which is read no longer");
    }
    Complain(done + " " + write.target);
    Render<ModelsReport>(ReadModels(), kModelsFields, json, out);
    return kExitDone;
}

// What "drives" reports: the diagnosis of the discovery it has just run.
struct DrivesReport {
    DiscoveryDiagnosis d;
    std::string reason; // NoDriveCause as a sentence; empty when drives were found
};

// Each distinct models add line once, in letter order, with the volumes it makes count
// ("E:\\ MEDIA, F:\\ BACKUP").
std::vector<std::pair<std::string, std::string>> AddModelCommands(const DiscoveryDiagnosis& d) {
    std::vector<std::pair<std::string, std::string>> commands;
    for (const VolumeVerdict& v : d.volumes) {
        if (v.addModelCommand.empty()) {
            continue;
        }
        const std::string volume =
            platform::DriveRoot(v.letter) + (v.label.empty() ? "" : " " + v.label);
        const auto same = std::find_if(commands.begin(), commands.end(),
                                       [&](const auto& c) { return c.first == v.addModelCommand; });
        if (same == commands.end()) {
            commands.emplace_back(v.addModelCommand, volume);
        } else {
            same->second += ", " + volume;
        }
    }
    return commands;
}

ModelsReport ModelsOf(const DiscoveryDiagnosis& d) {
    return {d.modelListSource, d.modelKeyFound, d.models, platform::CurrentUserRegistryTarget()};
}

Json NullIfEmpty(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

const ReportField<DrivesReport> kDrivesFields[] = {
    {"model_list", "",
     [](const DrivesReport& r) { return ReportJson<ModelsReport>(ModelsOf(r.d), kModelsFields); },
     [](const DrivesReport& r) -> std::optional<std::string> {
         std::string text = ReportText<ModelsReport>(ModelsOf(r.d), kModelsFields);
         text.pop_back();
         return text;
     }},
    {"library", "Device library",
     [](const DrivesReport& r) {
         const LibraryStatus& library = r.d.library;
         return Json{{"loaded", library.loaded},
                     {"path", library.loaded ? Json(library.file.string()) : Json(nullptr)},
                     {"error", library.loaded ? Json(nullptr) : Json(library.error)}};
     },
     [](const DrivesReport& r) -> std::optional<std::string> {
         return r.d.library.loaded ? "loaded from " + r.d.library.file.string()
                                   : "not loaded: " + r.d.library.error;
     }},
    {"device_drives", "Device drives",
     [](const DrivesReport& r) {
         Json letters = Json::array();
         for (const char letter : r.d.drives) {
             letters.push_back(DriveLetterText(letter));
         }
         return letters;
     }},
    {"volumes", "Volumes",
     [](const DrivesReport& r) {
         Json volumes = Json::array();
         for (const VolumeVerdict& v : r.d.volumes) {
             volumes.push_back({{"letter", DriveLetterText(v.letter)},
                                {"folder", v.folder},
                                {"label", v.label},
                                {"file_system", v.fileSystem},
                                {"device_id", v.deviceId},
                                {"eligible", v.eligible},
                                {"device_drive", v.deviceDrive},
                                {"reason", v.reason},
                                {"add_model_command", NullIfEmpty(v.addModelCommand)}});
         }
         return volumes;
     },
     [](const DrivesReport& r) -> std::optional<std::string> {
         std::string text;
         for (const VolumeVerdict& volume : r.d.volumes) {
             text += "\n  " + VolumeLine(volume);
         }
         return text.empty() ? "none" : text;
     }},
    {"unmounted", "Not mounted",
     [](const DrivesReport& r) {
         Json drives = Json::array();
         for (const UnmountedDrive& drive : r.d.unmounted) {
             drives.push_back({{"device", drive.deviceNode},
                               {"device_id", drive.deviceId},
                               {"model", drive.model},
                               {"mount_command", MountCommand(drive)}});
         }
         return drives;
     },
     [](const DrivesReport& r) -> std::optional<std::string> {
         if (r.d.unmounted.empty()) {
             return std::nullopt;
         }
         std::string text;
         for (const UnmountedDrive& drive : r.d.unmounted) {
             text += "\n  " + drive.deviceNode + "  " + drive.deviceId + ", model " + drive.model +
                     "\n    mount it in the file manager, or: " + MountCommand(drive);
         }
         return text;
     }},
    {"no_drive_reason", "", [](const DrivesReport& r) { return NullIfEmpty(r.reason); },
     [](const DrivesReport& r) {
         return r.reason.empty() ? std::nullopt : std::optional(r.reason);
     }},
    {"add_model_commands", "To make a volume count as the disk's, add its model",
     [](const DrivesReport& r) {
         Json commands = Json::array();
         for (const auto& [command, volumes] : AddModelCommands(r.d)) {
             commands.push_back(command);
         }
         return commands;
     },
     [](const DrivesReport& r) -> std::optional<std::string> {
         std::string text;
         for (const auto& [command, volumes] : AddModelCommands(r.d)) {
             text += "\n  " + command + "    # " + volumes;
         }
         return text.empty() ? std::nullopt : std::optional(text);
     }},
};

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
    DeviceDiscovery& discovery = ProcessDeviceDiscovery();
    GetDeviceDrives(letters);
    if (discovery.LastResult() == 0 && discovery.Records().empty()) {
        // Without a model list discovery asks the library nothing; where only the library
        // knows the device behind a drive (Windows), the line that adds its model needs it.
        discovery.FetchRecordsToExplain();
    }
    DrivesReport report{DiagnoseDiscovery(discovery), {}};
    const std::string cause = NoDriveCause(report.d);
    report.reason = cause.empty() ? cause : cause + ".";
    Render<DrivesReport>(report, kDrivesFields, json, out);
    return kExitDone;
}

int RunShow(char drive, bool json, std::ostream& out) {
    if (!platform::QueryVolumeInformation(platform::DriveRoot(drive))) {
        Complain("There is no drive " + platform::DriveRoot(drive));
        return kExitRefused;
    }
    FileReport report;
    RunWindow(drive, [&](TFrmEditProtect& window, std::optional<int> entry) {
        if (!entry) {
            // Not a drive the window offers: its folders are compared as the drive's own FAT
            // decision makes them, unless the device has a first drive to decide it.
            if (DriveTable[0].DriveLetter == 0) {
                VolumeIsFat = DriveIsFat(drive);
                RecordOsVersion();
            }
            DriveProtection other{};
            other.DriveLetter = static_cast<unsigned char>(drive);
            LoadDriveProtection(other, 0);
            window.ShowDrive(other, OsVersionInfo.MajorVersion < 5);
        }
        report = ReportDrive(drive, entry.has_value(), window);
    });
    PrintReport(report, json, out);
    return report.reading.present && !report.reading.settings ? kExitRefused : kExitDone;
}

int RunSet(const SetRequest& request, bool json, std::ostream& out) {
    const char letter = request.drive;
    int code = kExitRefused;
    RunWindow(letter, [&](TFrmEditProtect& window, std::optional<int> entry) {
        if (!entry) {
            Complain(std::string(kChooseDriveText) + ": " + platform::DriveRoot(letter) +
                     " is not one of its drives (see \"private-folders drives\")");
            return;
        }
        const FileReport before = ReportDrive(letter, true, window);
        const auto toPublic = ResolveNames(letter, *before.rows, request.makePublic);
        const auto toPrivate =
            toPublic ? ResolveNames(letter, *before.rows, request.makePrivate) : std::nullopt;
        if (!toPrivate || !MarkRows(window, request, *toPublic, *toPrivate)) {
            return;
        }
        // Without a new password the stored one is typed again.
        MemoryFormOf(window).TypePassword(request.password.value_or(
            PasswordDigits(DriveTable[static_cast<std::size_t>(*entry)].Password)));
        if (request.dryRun) {
            // Save's own checks, and the writer's, without the write.
            if (const auto save = window.PrepareSave()) {
                code = ReportDryRun(before, RowsOf(window.ListView1), *save, json, out);
            }
            return;
        }
        if (window.BitBtn4Click() != WriteOutcome::Written) {
            return; // the window has said why
        }
        NoteDroppedFolders(before);
        // What the drive holds now, listed again as choosing the drive lists it.
        MemoryFormOf(window).ChooseEntry(*entry);
        const FileReport report = ReportDrive(letter, true, window);
        PrintReport(report, json, out);
        code = report.reading.settings ? kExitDone : kExitRefused;
    });
    return code;
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

    const FileReport report{
        file, 0, false, {true, CheckProtectionFile(content), DecodeProtectionFile(content)}, {}};
    Render<FileReport>(report, kCheckFields, json, out);
    if (!report.reading.settings) {
        Complain(file + " is no valid protection file: " + WordsFor(report.reading.fault).text);
        return kExitRefused;
    }
    return kExitDone;
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseUsbNumbers(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto number = [](std::string_view digits) -> std::optional<std::uint16_t> {
        unsigned value = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (digits.empty() || digits.size() > 4 || error != std::errc() ||
            end != digits.data() + digits.size()) {
            return std::nullopt;
        }
        return static_cast<std::uint16_t>(value);
    };
    const auto vendor = number(text.substr(0, colon));
    const auto product = number(text.substr(colon + 1));
    if (!vendor || !product) {
        return std::nullopt;
    }
    return std::pair{*vendor, *product};
}

bool IsModelName(std::string_view text) {
    return !text.empty() && text.size() <= 255 && text.front() != ' ' && text.back() != ' ' &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
}

int RunModels(bool json, std::ostream& out) {
    Render<ModelsReport>(ReadModels(), kModelsFields, json, out);
    return kExitDone;
}

int RunModelsAdd(std::string_view numbers, std::string name, bool json, std::ostream& out) {
    const auto parsed = ParseUsbNumbers(numbers);
    if (!parsed || !(name.empty() || IsModelName(name))) {
        Complain("usage: private-folders models add VID:PID [NAME]");
        return kExitUsage;
    }
    const auto [vendor, product] = *parsed;
    const std::string given = UsbNumbers(vendor, product);
    if (name.empty()) {
        name = given;
    }
    const ModelsReport list = ReadModels();
    for (const ModelListEntry& model : list.models) {
        const bool same =
            model.Supported() && model.venderId == vendor && model.productId == product;
        if (same && SameKeyName(model.name, name)) {
            break; // the same model again: written anew, which changes nothing
        }
        if (same) {
            // A second model of the same numbers would list each of the disk's drives twice.
            Complain(given + " is in the model list already, as " + model.name);
            return RunModels(json, out);
        }
    }
    // The numbers first and the flag that makes the model count last, so that a reader of the
    // Windows registry never meets a supported model without its numbers.
    const platform::NamedDword values[] = {
        {"VenderID", vendor}, {"ProductID", product}, {"PrivateFolderSupport", 1}};
    return ReportModelChange(
        platform::SetCurrentUserDwords(std::string(kModelKey) + "\\" + name, values),
        "add the model to", "Added model " + name + " (" + given + ") to", json, out);
}

int RunModelsRemove(const std::string& name, bool json, std::ostream& out) {
    const ModelsReport list = ReadModels();
    const auto model = std::find_if(list.models.begin(), list.models.end(),
                                    [&](const auto& m) { return SameKeyName(m.name, name); });
    if (model == list.models.end()) {
        Complain("There is no model " + name +
                 " in the model list (see \"private-folders models\")");
        return kExitRefused;
    }
    return ReportModelChange(
        platform::DeleteCurrentUserKey(std::string(kModelKey) + "\\" + model->name),
        "remove the model from", "Removed model " + model->name + " from", json, out);
}

int RunComplete(std::string_view what, std::ostream& out) {
    if (what == "drives") {
        DeviceDriveList letters{};
        const int count = GetDeviceDrives(letters);
        for (int i = 0; i < count; ++i) {
            out << platform::AsciiUpper(letters[static_cast<std::size_t>(i)]) << '\n';
        }
    } else if (what == "models") {
        for (const ModelListEntry& model : ReadModels().models) {
            out << model.name << '\n';
        }
    }
    return kExitDone;
}
