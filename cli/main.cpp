// private-folders: the command-line companion of Private Folder Setup.

#include "cli/Commands.h"

#include <CLI/CLI.hpp>
#include <iostream>

namespace {

// A drive given as E, E: or E:\.
const CLI::Validator kDrive(
    [](std::string& text) {
        return ParseDriveArgument(text) ? std::string()
                                        : "'" + text + "' is no drive (E, E: or E:\\)";
    },
    "DRIVE");

} // namespace

int main(int argc, char* argv[]) {
    CLI::App app("Shows and changes the private folders of a Lunavio media hard disk.",
                 "private-folders");
    app.set_version_flag("--version", "private-folders " PRIVATE_FOLDERS_VERSION);
    app.require_subcommand(1);

    bool json = false;
    const auto addJson = [&json](CLI::App* command) {
        command->add_flag("--json", json, "Answer in JSON");
    };

    CLI::App* drives =
        app.add_subcommand("drives", "Explain which drives are found as the disk's and why");
    addJson(drives);

    std::string driveText;
    CLI::App* show = app.add_subcommand("show", "Show a drive's protection settings");
    show->add_option("DRIVE", driveText, "The drive: E, E: or E:\\")->required()->check(kDrive);
    addJson(show);

    SetRequest request;
    CLI::App* set = app.add_subcommand(
        "set", "Change a drive's private folders or password, as the window would");
    set->add_option("DRIVE", driveText, "The drive: E, E: or E:\\")->required()->check(kDrive);
    set->add_option("--password", request.password, "The new password, four digits");
    set->add_option("--private", request.makePrivate, "Make this root folder private")
        ->allow_extra_args(false);
    set->add_option("--public", request.makePublic, "Make this root folder public")
        ->allow_extra_args(false);
    set->add_flag("--all-public", request.allPublic, "Make every folder public first");
    addJson(set);

    std::string file;
    CLI::App* check =
        app.add_subcommand("check", "Check whether a file is a valid protection file");
    check->add_option("FILE", file, "The file, such as a copy of MPlay.sys")->required();
    addJson(check);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitDone : kExitUsage;
    }

    SendMessageBoxesToStandardError();
    if (drives->parsed()) {
        return RunDrives(json, std::cout);
    }
    if (check->parsed()) {
        return RunCheck(file, json, std::cout);
    }
    const char letter = *ParseDriveArgument(driveText);
    if (show->parsed()) {
        return RunShow(letter, json, std::cout);
    }
    request.drive = letter;
    for (const std::string& name : request.makePrivate) {
        if (std::find(request.makePublic.begin(), request.makePublic.end(), name) !=
            request.makePublic.end()) {
            std::cerr << "private-folders: " << name << " cannot be made private and public\n";
            return kExitUsage;
        }
    }
    return RunSet(request, json, std::cout);
}
