// private-folders: the command-line companion of Private Folder Setup.

#include "cli/Commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

namespace {

// A drive given as E, E: or E:\.
const CLI::Validator kDrive(
    [](std::string& text) {
        return ParseDriveArgument(text) ? std::string()
                                        : "'" + text + "' is no drive (E, E: or E:\\)";
    },
    "DRIVE");

// Numbers as lsusb prints them.
const CLI::Validator kUsbNumbers(
    [](std::string& text) {
        return ParseUsbNumbers(text) ? std::string()
                                     : "'" + text + "' is no VID:PID such as 3b17:0512";
    },
    "VID:PID");

const CLI::Validator kModelName(
    [](std::string& text) {
        return IsModelName(text) ? std::string()
                                 : "'" + text +
                                       "' cannot name a model: printable ASCII without a "
                                       "backslash, at most 255 characters, no space at either end";
    },
    "NAME");

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
    set->add_flag("--dry-run", request.dryRun,
                  "Make every check and show the settings as they would be; write nothing");
    addJson(set);

    std::string file;
    CLI::App* check =
        app.add_subcommand("check", "Check whether a file is a valid protection file");
    check->add_option("FILE", file, "The file, such as a copy of MPlay.sys")->required();
    addJson(check);

    CLI::App* models = app.add_subcommand("models", "Show the model list, or change it");
    models->require_subcommand(0, 1);
    addJson(models);
    std::string numbers;
    std::string modelName;
    CLI::App* add = models->add_subcommand(
        "add", "Add a model that supports private folders to your own model list");
    add->add_option("VID:PID", numbers, "The disk's numbers as lsusb shows them: 3b17:0512")
        ->required()
        ->check(kUsbNumbers);
    add->add_option("NAME", modelName, "The model's name; the numbers when left out")
        ->check(kModelName);
    addJson(add);
    CLI::App* remove = models->add_subcommand("remove", "Remove a model from your own model list");
    remove->add_option("NAME", modelName, "The model's name, as \"models\" shows it")->required();
    addJson(remove);

    // The words the shell completions ask for; not for users.
    std::string what;
    CLI::App* complete = app.add_subcommand("__complete", "")->group("");
    complete->add_option("WHAT", what)->required();

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
    if (add->parsed()) {
        return RunModelsAdd(numbers, modelName, json, std::cout);
    }
    if (remove->parsed()) {
        return RunModelsRemove(modelName, json, std::cout);
    }
    if (models->parsed()) {
        return RunModels(json, std::cout);
    }
    if (complete->parsed()) {
        return RunComplete(what, std::cout);
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
