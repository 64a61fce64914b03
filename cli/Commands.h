#pragma once
// The subcommands of private-folders. Each writes its answer to out, says on standard error
// why it refused or failed, and returns the exit code.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
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
};

// Routes the message boxes of the parts to standard error, prefixed with the program's name.
void SendMessageBoxesToStandardError();

int RunDrives(bool json, std::ostream& out);
int RunShow(char drive, bool json, std::ostream& out);
int RunSet(const SetRequest& request, bool json, std::ostream& out);
int RunCheck(const std::string& file, bool json, std::ostream& out);
