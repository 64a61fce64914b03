#pragma once
// Why discovery found the drives it found, or none: the model list, the device library and
// every lettered volume with its verdict. Told by the command line and by the window's
// no-drive state.

#include "Hdddevctrl/DeviceDiscovery.h"
#include "platform/Registry.h"

#include <string>
#include <vector>

// One lettered volume and discovery's verdict on it.
struct VolumeVerdict {
    char letter = 0;
    std::string folder;     // where the volume lies; its root path when the platform has no folder
    std::string label;      // empty for none
    std::string fileSystem; // empty when the volume cannot be queried
    std::string deviceId;   // as discovery compared it (upper-cased); else as the platform has it
    bool eligible = false;
    bool deviceDrive = false; // discovery took its letter
    std::string reason;       // why it was taken or not, in words
    // The command that adds its disk's model to the model list, when that would make it a
    // drive of the device ("private-folders models add 3b17:0512"); else empty.
    std::string addModelCommand;
};

// A volume of a supported model's disk that is not mounted, so discovery cannot see it.
struct UnmountedDrive {
    std::string deviceNode; // "/dev/sdb1"
    std::string deviceId;   // upper-cased
    std::string model;      // the name of the supported model it matches
};

struct DiscoveryDiagnosis {
    platform::RegistrySource modelListSource;
    bool modelKeyFound = false;         // the model list holds SOFTWARE\Zembar
    std::vector<ModelListEntry> models; // every subkey, supported or not
    LibraryStatus library;
    int result = 0;                     // discovery's result: letters found, or -1
    std::vector<char> drives;           // the letters it found, in its order
    std::vector<VolumeVerdict> volumes; // in letter order
    std::vector<UnmountedDrive> unmounted;
};

// The command that mounts an unmounted drive without root rights, as the desktop would.
std::string MountCommand(const UnmountedDrive& drive);

// Explains discovery's last run (the caller has run it) from what that run saw, with the
// model list read again and the machine's lettered volumes as they are now.
DiscoveryDiagnosis DiagnoseDiscovery(const DeviceDiscovery& discovery);

// What kept discovery from finding a drive, the first obstacle in the order discovery meets
// them, without a full stop; empty when drives were found.
std::string NoDriveCause(const DiscoveryDiagnosis& diagnosis);

// The cause as one sentence that names "private-folders drives" for details; empty when
// drives were found.
std::string NoDriveReason(const DiscoveryDiagnosis& diagnosis);
