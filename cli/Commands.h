#pragma once
// The subcommands of private-folders. Each writes its answer to out, says on standard error
// why it refused or failed, and returns the exit code.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1; // refused, failed, or an invalid file
inline constexpr int kExitUsage = 2;

// The drive letter of "E", "E:" or "E:\" (either case); nullopt for anything else.
std::optional<char> ParseDriveArgument(std::string_view text);

struct SetRequest {
    char drive = 0;
    std::optional<std::string> password;
    std::vector<std::string> makePrivate; // root folder names, 8-bit text in the locale's encoding
    std::vector<std::string> makePublic;
    bool allPublic = false;
    bool dryRun = false; // every check, then the report of the settings; nothing written
};

// The vendor and product numbers of "3b17:0512", as lsusb prints them (one to four hexadecimal
// digits each, either case); nullopt for anything else.
std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseUsbNumbers(std::string_view text);

// Whether text can name a model: printable ASCII without a backslash, 1 to 255 characters,
// no space at either end.
bool IsModelName(std::string_view text);

// Routes the message boxes of the parts to standard error, prefixed with the program's name.
void SendMessageBoxesToStandardError();

int RunDrives(bool json, std::ostream& out);
int RunShow(char drive, bool json, std::ostream& out);
int RunSet(const SetRequest& request, bool json, std::ostream& out);
int RunCheck(const std::string& file, bool json, std::ostream& out);
int RunModels(bool json, std::ostream& out);
// Adds a model that supports private folders; name empty for the default, the numbers
// ("3b17:0512").
int RunModelsAdd(std::string_view numbers, std::string name, bool json, std::ostream& out);
int RunModelsRemove(const std::string& name, bool json, std::ostream& out);
// The words a shell completes: "drives" the letters of the device's drives, "models" the
// model list's names; one a line.
int RunComplete(std::string_view what, std::ostream& out);
