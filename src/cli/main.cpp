#include <CLI/CLI.hpp>
#include <functional>
#include <utility>
#include <vector>

#include "cli/command_table.h"

int main(int argc, char** argv) {
    CLI::App app{
        "zelvanto-cli: study and repair blurred photographs in the frequency domain.\n"
        "Pictures are .bmp or .jpg files; spectra are .ft files, kept beside the picture."};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Help for every command");

    std::vector<std::pair<CLI::App*, std::function<int()>>> commands;
    for (const CCommandRow& row : CommandTable()) {
        CLI::App* command = app.add_subcommand(row.name, row.summary);
        commands.emplace_back(command, row.define(*command));
    }
    CLI11_PARSE(app, argc, argv);
    for (const auto& [command, run] : commands)
        if (*command) return run();
    return 1;
}
