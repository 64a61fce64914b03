#include "Hdddevctrl/DiscoveryDiagnosis.h"

#include "app/DriveTable.h"
#include "platform/Drives.h"
#include "platform/TerminatedText.h"

#include <algorithm>
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
        d.volumes.push_back(std::move(verdict));
    }
    return d;
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
    return "No supported disk is among the mounted volumes";
}

std::string NoDriveReason(const DiscoveryDiagnosis& d) {
    const std::string cause = NoDriveCause(d);
    return cause.empty() ? cause : cause + "; run \"private-folders drives\" for details.";
}
