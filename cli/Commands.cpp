#include "cli/Commands.h"

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/ProtectionRules.h"
#include "FrmManage/memory/MemoryForm.h"
#include "Hdddevctrl/DiscoveryDiagnosis.h"
#include "Protectfileio/Protectfileio.h"
#include "app/DriveTable.h"
#include "app/StartUp.h"
#include "app/Texts.h"
#include "platform/AsciiCase.h"
#include "platform/Directory.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"
#include "platform/TerminatedText.h"
#include "platform/Utf8.h"

#include <algorithm>
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
                const char drive =
                    static_cast<char>(DriveTable[static_cast<std::size_t>(i)].DriveLetter);
                if (platform::AsciiUpper(drive) == letter) {
                    entry = i;
                    MemoryFormOf(window).ChooseEntry(i);
                    break;
                }
            }
            user(window, entry);
        };
        return form;
    });
}

// What "show" and "set" report about one drive.
struct DriveReport {
    char letter = 0;
    bool deviceDrive = false;
    ProtectionFileReading file;
    std::vector<FolderRow> rows;
};

// The drive's file and the rows the window lists for it now.
DriveReport ReportDrive(char letter, bool deviceDrive, const TFrmEditProtect& window) {
    return {letter, deviceDrive, InspectProtectionFile(letter), RowsOf(window.ListView1)};
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
        answer["reason"] = FaultKey(report.file.fault);
        AddSettings(answer, settings, &report.rows);
        Print(out, answer);
        return;
    }
    out << "Drive: " << FormatDriveLabel(report.letter)
        << (report.deviceDrive ? "" : ", not a drive of the device") << '\n';
    out << "MPlay.sys: " << StateOf(report.file);
    if (report.file.present && !settings) {
        out << ": " << WordsFor(report.file.fault).text;
    }
    out << '\n';
    if (settings) {
        PrintSettings(out, *settings, &report.rows);
    }
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

// As the user would: clicks each row and presses the button the click enabled. --public and
// --all-public come first. A row the window would not let be marked private, or the limit of
// 16, refuses (after saying why); nothing is written then.
bool MarkRows(TFrmEditProtect& window, const SetRequest& request,
              const std::set<std::size_t>& toPublic, const std::set<std::size_t>& toPrivate) {
    MemoryForm& form = MemoryFormOf(window);
    TListView& list = window.ListView1;
    for (std::size_t i = 0; i < list.RowCount(); ++i) {
        if (request.allPublic || toPublic.contains(i)) {
            form.ClickRow(static_cast<int>(i));
            form.Press(window.BitBtn2);
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
        form.Press(window.BitBtn1);
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
    const std::string cause = NoDriveCause(d);
    const std::string reason = cause.empty() ? cause : cause + ".";

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
    if (!platform::QueryVolumeInformation(platform::DriveRoot(drive))) {
        Complain("There is no drive " + platform::DriveRoot(drive));
        return kExitRefused;
    }
    DriveReport report;
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
    return report.file.present && !report.file.settings ? kExitRefused : kExitDone;
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
        const DriveReport before = ReportDrive(letter, true, window);
        const auto toPublic = ResolveNames(letter, before.rows, request.makePublic);
        const auto toPrivate =
            toPublic ? ResolveNames(letter, before.rows, request.makePrivate) : std::nullopt;
        if (!toPrivate || !MarkRows(window, request, *toPublic, *toPrivate)) {
            return;
        }
        // Without a new password the stored one is typed again.
        MemoryFormOf(window).TypePassword(request.password.value_or(
            PasswordDigits(DriveTable[static_cast<std::size_t>(*entry)].Password)));
        if (window.BitBtn4Click() != WriteOutcome::Written) {
            return; // the window has said why
        }

        if (before.file.settings) {
            // The window saves the listed folders only; a private folder that is gone drops out.
            for (const auto& [name, listed] : PrivateFolders(*before.file.settings, before.rows)) {
                if (!listed) {
                    Complain("note: " + Utf8(name) + " was private but is no root folder of " +
                             platform::DriveRoot(letter) + "; it is no longer kept");
                }
            }
        }
        // What the drive holds now, listed again as choosing the drive lists it.
        MemoryFormOf(window).ChooseEntry(*entry);
        const DriveReport report = ReportDrive(letter, true, window);
        PrintReport(report, json, out);
        code = report.file.settings ? kExitDone : kExitRefused;
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

    const ProtectionFileFault fault = CheckProtectionFile(content);
    const auto settings = DecodeProtectionFile(content);
    if (json) {
        Json answer;
        answer["file"] = file;
        answer["state"] = settings ? "valid" : "invalid";
        answer["reason"] = FaultKey(fault);
        AddSettings(answer, settings ? &*settings : nullptr, nullptr);
        Print(out, answer);
    } else if (settings) {
        out << file << ": a valid protection file\n";
        PrintSettings(out, *settings, nullptr);
    }
    if (!settings) {
        Complain(file + " is no valid protection file: " + WordsFor(fault).text);
        return kExitRefused;
    }
    return kExitDone;
}
