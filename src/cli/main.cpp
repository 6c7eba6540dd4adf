#include <CLI/CLI.hpp>
#include <functional>
#include <utility>
#include <vector>

#include "cli/command_table.h"

int main(int argc, char** argv) {
    CLI::App app{
        "zelvanto-cli: study and repair blurred photographs in the frequency domain.\n"
        "Pictures are .bmp, .jpg (.jpeg) or .png files; open, run and the steps that open a "
        "document also take a spectrum (.ft) or a stamp (.stp); spectra are .ft files, kept "
        "beside the picture, and stamps and kernels .stp files."};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Help for every command");

    std::vector<std::pair<CLI::App*, std::function<int()>>> commands;
    for (const CCommandRow& row : CommandTable()) {
        CLI::App* command = app.add_subcommand(row.name, row.summary);
        commands.emplace_back(command, row.define(*command));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help asked for prints it and succeeds; every refusal of the words is exit status 1.
        const int status = app.exit(error);
        return status == 0 ? 0 : 1;
    }
    for (const auto& [command, run] : commands)
        if (*command) return run();
    return 1;
}
