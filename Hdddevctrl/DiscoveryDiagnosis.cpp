#include "Hdddevctrl/DiscoveryDiagnosis.h"

#include "app/DriveTable.h"
#include "platform/AsciiCase.h"
#include "platform/Drives.h"
#include "platform/TerminatedText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>

namespace {

// The place a lettered volume is known by: its platform entry, its library record, or both.
struct Sighting {
    std::optional<platform::LetteredVolume> volume;
    const DeviceRecord* record = nullptr;
};

std::string ModelText(const ModelListEntry& model) {
    return "model " + model.name + " (" + HexTag("VID_", model.venderId.value_or(0)) + ", " +
           HexTag("PID_", model.productId.value_or(0)) + ")";
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return text;
}

// Why discovery did not take a volume whose letter it did not write, from what it saw.
std::string WhyNot(const DiscoveryDiagnosis& d, const DeviceRecord* record, int osMajor) {
    if (!d.library.loaded) {
        return "the device library is not loaded";
    }
    if (!d.modelKeyFound) {
        return "there is no model list";
    }
    if (d.result < 0) {
        return "the device library could not list the drives";
    }
    if (record == nullptr) {
        return "the device library does not report it";
    }
    const std::string_view id = platform::TerminatedText(record->DeviceId);
    const auto matching = [&](bool supported) {
        return std::find_if(d.models.begin(), d.models.end(), [&](const ModelListEntry& model) {
            return model.Supported() == supported && ModelMatches(model, id);
        });
    };
    const auto supported = matching(true);
    if (supported == d.models.end()) {
        const auto unsupported = matching(false);
        if (unsupported != d.models.end()) {
            return ModelText(*unsupported) + " does not support private folders";
        }
        return "no supported model matches its vendor and product numbers";
    }
    if (!PassesVersionCheck(*record, osMajor)) {
        return osMajor == 4 ? "it is not a fixed disk"
                            : "not eligible: the device library marks it neither USB nor "
                              "removable";
    }
    return "more drives matched than discovery keeps";
}

// The four hexadecimal digits after tag in an upper-cased device id, lower-cased as lsusb
// prints them; empty when they are not there.
std::string UsbNumber(std::string_view id, std::string_view tag) {
    const auto at = id.find(tag);
    if (at == std::string_view::npos || id.size() - at - tag.size() < 4) {
        return {};
    }
    std::string digits(id.substr(at + tag.size(), 4));
    for (char& c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return {};
        }
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

// A name as one shell word.
std::string ShellWord(const std::string& text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("._:-+/", c) != nullptr;
    });
    if (plain) {
        return text;
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The models add line that makes a volume count, when its numbers are the only obstacle: the
// library lists it, it is eligible, and no supported model matches. A model that matches but
// does not support private folders is named, so the line turns it on.
std::string AddModelCommand(const DiscoveryDiagnosis& d, const VolumeVerdict& volume, int osMajor) {
    const std::string vendor = UsbNumber(volume.deviceId, "VID_");
    const std::string product = UsbNumber(volume.deviceId, "PID_");
    const bool counts = osMajor >= 5 ? volume.eligible : osMajor < 4;
    if (volume.deviceDrive || !d.library.loaded || d.result < 0 || vendor.empty() ||
        product.empty() || !counts) {
        return {};
    }
    std::string command = "private-folders models add " + vendor + ":" + product;
    for (const ModelListEntry& model : d.models) {
        if (ModelMatches(model, volume.deviceId)) {
            if (model.Supported()) {
                return {};
            }
            command.append(" ").append(ShellWord(model.name));
            break;
        }
    }
    return command;
}

std::string WhyTaken(const DiscoveryDiagnosis& d, const DeviceRecord* record,
                     std::size_t position) {
    std::string reason = "a drive of the device";
    if (record != nullptr) {
        const std::string_view id = platform::TerminatedText(record->DeviceId);
        const auto model =
            std::find_if(d.models.begin(), d.models.end(), [&](const ModelListEntry& m) {
                return m.Supported() && ModelMatches(m, id);
            });
        if (model != d.models.end()) {
            reason += ", " + ModelText(*model);
        }
    }
    if (position >= kDriveTableEntries) {
        reason += "; the window shows only the first 7 drives";
    }
    return reason;
}

} // namespace

DiscoveryDiagnosis DiagnoseDiscovery(const DeviceDiscovery& discovery) {
    DiscoveryDiagnosis d;
    d.modelListSource = platform::CurrentUserRegistrySource();
    if (const auto key = platform::RegistryKey::OpenCurrentUser("SOFTWARE\\Zembar")) {
        d.modelKeyFound = true;
        d.models = ReadModelList(*key);
    }
    d.library = discovery.Library();
    d.result = discovery.LastResult();
    d.drives = discovery.LastDrives();

    std::map<char, Sighting> sightings;
    for (platform::LetteredVolume& volume : platform::LetteredVolumes()) {
        sightings[volume.letter].volume = std::move(volume);
    }
    for (const DeviceRecord& record : discovery.Records()) {
        if (record.RootPath[0] != '\0') {
            Sighting& sighting = sightings[record.RootPath[0]];
            sighting.record = sighting.record ? sighting.record : &record;
        }
    }

    for (const auto& [letter, sighting] : sightings) {
        VolumeVerdict verdict;
        verdict.letter = letter;
        const std::string root = platform::DriveRoot(letter);
        if (sighting.volume) {
            verdict.folder = sighting.volume->directory.string();
            verdict.label = sighting.volume->label;
            verdict.fileSystem = sighting.volume->fileSystem;
            verdict.deviceId = sighting.volume->deviceId;
            verdict.eligible = sighting.volume->eligible;
        } else {
            verdict.folder = root;
            const auto info = platform::QueryVolumeInformation(root);
            verdict.label = info ? info->label : "";
            verdict.fileSystem = info ? info->fileSystem : "";
        }
        if (sighting.record != nullptr) {
            verdict.deviceId = std::string(platform::TerminatedText(sighting.record->DeviceId));
            verdict.eligible = sighting.record->Eligible != 0;
        }
        const auto taken = std::find(d.drives.begin(), d.drives.end(), letter);
        verdict.deviceDrive = taken != d.drives.end();
        verdict.reason =
            verdict.deviceDrive
                ? WhyTaken(d, sighting.record, static_cast<std::size_t>(taken - d.drives.begin()))
                : WhyNot(d, sighting.record, discovery.OsMajor());
        verdict.addModelCommand = AddModelCommand(d, verdict, discovery.OsMajor());
        d.volumes.push_back(std::move(verdict));
    }

    for (const platform::UnmountedVolume& volume : platform::UnmountedVolumes()) {
        std::string id = volume.deviceId;
        for (char& c : id) {
            c = platform::AsciiUpper(c);
        }
        const auto model =
            std::find_if(d.models.begin(), d.models.end(), [&](const ModelListEntry& m) {
                return m.Supported() && ModelMatches(m, id);
            });
        if (model != d.models.end()) {
            d.unmounted.push_back({volume.deviceNode, std::move(id), model->name});
        }
    }
    return d;
}

std::string MountCommand(const UnmountedDrive& drive) {
    return "udisksctl mount -b " + ShellWord(drive.deviceNode);
}

std::string NoDriveCause(const DiscoveryDiagnosis& d) {
    if (!d.drives.empty()) {
        return {};
    }
    if (!d.library.loaded) {
        return "The device library could not be loaded";
    }
    if (d.modelListSource.read.empty()) {
        return "No model list was found (looked for " + Join(d.modelListSource.looked) + ")";
    }
    const bool anySupported = std::any_of(d.models.begin(), d.models.end(),
                                          [](const ModelListEntry& m) { return m.Supported(); });
    if (!d.modelKeyFound || !anySupported) {
        return "The model list " + d.modelListSource.read +
               " names no model that supports private folders";
    }
    if (d.result < 0) {
        return "The device library could not list the drives";
    }
    if (!d.unmounted.empty()) {
        std::vector<std::string> nodes;
        std::vector<std::string> commands;
        for (const UnmountedDrive& drive : d.unmounted) {
            nodes.push_back(drive.deviceNode);
            commands.push_back(std::string("\"").append(MountCommand(drive)).append("\""));
        }
        const bool one = nodes.size() == 1;
        return std::string("The disk's ") + (one ? "drive " : "drives ") + Join(nodes) +
               (one ? " is" : " are") + " not mounted: open " + (one ? "it" : "them") +
               " in the file manager, or run " + Join(commands);
    }
    return "No supported disk is among the mounted volumes";
}

std::string NoDriveReason(const DiscoveryDiagnosis& d) {
    const std::string cause = NoDriveCause(d);
    return cause.empty() ? cause : cause + "; run \"private-folders drives\" for details.";
}
