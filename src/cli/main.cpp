#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"zelvanto-cli: frequency-domain study and repair of blurred photographs"};
    app.require_subcommand(1);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
