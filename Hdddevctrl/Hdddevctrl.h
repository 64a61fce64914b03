#pragma once
// Device discovery: which drive letters belong to the device, from the registry's list of
// supported models and the records of the device information library.

#include <array>
#include <cstddef>

inline constexpr std::size_t kDeviceDriveListSize = 26;

// Drive letters in discovery order, without terminator; the caller zeroes it.
using DeviceDriveList = std::array<char, kDeviceDriveListSize>;

// Fills list from position 0 and returns how many letters it wrote, or -1 when the device
// library cannot be loaded or its records cannot be fetched. Shows the loader's messages.
int GetDeviceDrives(DeviceDriveList& list);

// Loads the device library with all eight entry points; false (after its message) otherwise.
bool LoadDeviceInfoLibrary();
