#include <unistd.h>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
    CLI::App app{
        "zelvanto-cli: study and repair blurred photographs in the frequency domain.\n"
        "Pictures are .bmp or .jpg files; spectra are .ft files."};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Help for every command");

    CliCommon common;
    common.progress = ::isatty(STDERR_FILENO) != 0;

    int32_t width = 0;
    int32_t height = 0;
    CLI::App* sizes = app.add_subcommand(
        "sizes", "List the working sizes a W x H picture can be fitted to, largest area first, "
                 "then the chosen size and the transform length N");
    sizes->add_option("W", width, "Picture width in pixels")->required();
    sizes->add_option("H", height, "Picture height in pixels")->required();

    std::string input;
    std::string output;
    std::string sizeText;
    CLI::App* transform = app.add_subcommand(
        "transform", "Read a picture, fit it to a working size, cut it, transform it exactly "
                     "into its centred spectrum and write the spectrum as a .ft file");
    transform->add_option("IN", input, "Picture to read (.bmp or .jpg)")->required();
    transform->add_option("OUT", output, "Fourier data file to write (.ft)")->required();
    transform->add_option("--size", sizeText,
                          "Working size WxH, one of those the picture can be fitted to; "
                          "without it the largest is taken");

    CLI::App* inverse = app.add_subcommand(
        "inverse", "Read a .ft spectrum, transform it back, round it and write the picture");
    inverse->add_option("IN", input, "Fourier data file to read (.ft)")->required();
    inverse->add_option("OUT", output, "Picture to write (.bmp or .jpg)")->required();

    CLI::App* convert =
        app.add_subcommand("convert", "Convert a picture between .bmp and .jpg (24 bits)");
    convert->add_option("IN", input, "Picture to read (.bmp or .jpg)")->required();
    convert->add_option("OUT", output, "Picture to write (.bmp or .jpg)")->required();

    for (CLI::App* command : {transform, inverse}) {
        command->add_flag("--progress,!--no-progress", common.progress,
                          "Show a progress line on stderr (default: when stderr is a terminal)");
    }

    CLI11_PARSE(app, argc, argv);

    if (*sizes) return RunSizes(width, height);
    if (*transform) {
        std::optional<CSize> size;
        if (!sizeText.empty()) {
            size = ParseSize(sizeText);
            if (!size) {
                std::fprintf(stderr, "--size takes WxH, for example 640x480, not \"%s\".\n",
                             sizeText.c_str());
                return 1;
            }
        }
        return RunTransform(input, output, size, common);
    }
    if (*inverse) return RunInverse(input, output, common);
    if (*convert) return RunConvert(input, output);
    return 1;
}
