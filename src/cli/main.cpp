#include <unistd.h>

#include <CLI/CLI.hpp>

#include "cli/colour_commands.h"
#include "cli/commands.h"
#include "cli/queue_command.h"
#include "cli/restore_command.h"
#include "fourier/fourier.h"

int main(int argc, char** argv) {
    CLI::App app{
        "zelvanto-cli: study and repair blurred photographs in the frequency domain.\n"
        "Pictures are .bmp or .jpg files; spectra are .ft files, kept beside the picture."};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Help for every command");

    CliCommon common;
    common.progress = ::isatty(STDERR_FILENO) != 0;

    int32_t width = 0;
    int32_t height = 0;
    CLI::App* sizes = app.add_subcommand(
        "sizes",
        "List the working sizes a W x H picture can be fitted to, largest area first, "
        "then the chosen size and the transform length N");
    sizes->add_option("W", width, "Picture width in pixels")->required();
    sizes->add_option("H", height, "Picture height in pixels")->required();

    std::string input;
    std::string output;
    std::string sizeText;
    CLI::App* transform =
        app.add_subcommand("transform",
                           "Read a picture, fit it to a working size, cut it, transform it exactly "
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

    CLI::App* open = app.add_subcommand(
        "open",
        "Open a .bmp, .jpg or .ft file as the desktop does (fit, cut, measure; a .ft "
        "file shows the picture it holds) and save the picture as Save As does");
    open->add_option("IN", input, "File to open (.bmp, .jpg or .ft)")->required();
    open->add_option("-o,--output", output, "Picture to save (.bmp or .jpg)")->required();

    std::string kindText;
    CFourierRequest request;
    std::string spectrumPath;
    CLI::App* fourier = app.add_subcommand(
        "fourier",
        "Open a file, run one Fourier operation as the desktop does (transform once, keep the "
        "untouched spectrum in the .ft file beside the input, modify, renormalise, transform "
        "back), print the elapsed times and save the result as Save As does");
    fourier->add_option("IN", input, "File to open (.bmp, .jpg or .ft)")->required();
    fourier
        ->add_option("--kind", kindText,
                     "Operation, by number or name: 0 fourier, 1 1/r, 2 1/r2, 3 1/r3, 4 1/e, "
                     "5 constant, 6 amplify, 7 one, 8 half, 9 double, 10 shift, 11 third, "
                     "12 triple")
        ->required();
    fourier->add_option("--param", request.param,
                        "Parameter of kinds 1 to 4 (0 to 1000; 1/e 0.01 to 100000000) and the "
                        "exponent of kind 6; default 2, and 1 for kind 6");
    fourier->add_option("--x", request.x, "Frequency X of kind 7, columns to shift for kind 10");
    fourier->add_option("--y", request.y, "Frequency Y of kind 7, rows to shift for kind 10");
    fourier->add_option("-o,--output", output, "Picture to save (.bmp or .jpg)")->required();
    fourier->add_option("--save-ft", spectrumPath,
                        "First save the untouched spectrum under this name (Save Fourier "
                        "Transform); on closing, the document offers to delete its spectrum "
                        "file (kept unless the answer is --yes)");

    CQueueRequest queueRequest;
    std::vector<std::string> entryTexts;
    std::string formatText;
    CLI::App* queue = app.add_subcommand(
        "queue",
        "Open each picture, fill its Fourier queue with the entries in the order given, run "
        "the queue (entries in the order of their suffixes, each from the untouched spectrum "
        "kept in the .ft file beside the picture) and write one result per entry: base path + "
        "suffix + .jpg or .bmp. Exit status 1 when any entry of any picture failed");
    queue->add_option("IN", queueRequest.inputs, "Pictures to open (.bmp, .jpg or .ft)")
        ->required();
    queue
        ->add_option("--entry", entryTexts,
                     "SUFFIX=KIND[:PARAM]: a name suffix (at most 5 characters, unique without "
                     "regard to case, at most 10 entries), the kind as for fourier --kind, the "
                     "parameter of a distribution or X,Y of one and shift; repeat for more")
        ->required();
    queue
        ->add_option("--format", formatText,
                     "Result files: jpg or bmp (default: bmp for a .bmp picture, else jpg, as "
                     "the queue dialog starts)")
        ->check(CLI::IsMember({"jpg", "bmp"}, CLI::ignore_case));
    queue
        ->add_option("--jobs", queueRequest.jobs,
                     "Pictures run at once, each in a process of its own with its engine on "
                     "one thread unless --threads says otherwise (default 0: one per core)")
        ->check(CLI::Range(0, 256));

    std::string goodPath, blurredPath;
    int32_t kernelSize = kDefaultKernelSize;
    CLI::App* learnKernel = app.add_subcommand(
        "learn-kernel",
        "Learn the blur of an example pair (Blurred = K * Good, least squares over the three "
        "colour planes) on a square support around the origin and write it as a .stp kernel "
        "file. The file holds the blur itself; Make Stamp's stamp holds its inverse");
    learnKernel->add_option("--good", goodPath, "The sharp picture of the pair")->required();
    learnKernel->add_option("--blurred", blurredPath, "The same scene blurred")->required();
    learnKernel->add_option("-o,--output", output, "Kernel file to write (.stp)")->required();

    CRestoreCommand restoreCommand;
    CLI::App* restore = app.add_subcommand(
        "restore",
        "Restore a blurred picture with a kernel: learnt from an example pair, read from a "
        ".stp file, or a known blur; by Wiener deconvolution (automatic or hand-set "
        "strength) or Richardson-Lucy iterations, the borders tapered unless --no-taper");
    restore->add_option("IN", restoreCommand.input, "Picture to restore (.bmp, .jpg or .png)")
        ->required();
    restore->add_option("-o,--output", restoreCommand.output, "Picture to write")->required();
    restore->add_option("--good", restoreCommand.good, "Example pair: the sharp picture");
    restore->add_option("--blurred", restoreCommand.blurred,
                        "Example pair: the same scene blurred");
    restore->add_option("--kernel", restoreCommand.kernelPath,
                        "A kernel file (.stp) holding the blur, as learn-kernel writes it");
    restore->add_option("--motion", restoreCommand.motion,
                        "LENGTH,ANGLE: a straight motion of LENGTH pixels at ANGLE degrees "
                        "(counter-clockwise from rightwards)");
    restore->add_option("--defocus", restoreCommand.defocus,
                        "R: a defocus disc of radius R pixels");
    restore->add_option("--gaussian", restoreCommand.gaussian,
                        "S: a Gaussian blur of sigma S pixels");
    restore->add_option("--blur", restoreCommand.blur,
                        "KIND,STEPS,ATTENUATION: the program's own blur (KIND 0 to 4 or "
                        "horizontal, vertical, right-down, random, five)");
    restore->add_option("--method", restoreCommand.method, "wiener (default) or lucy")
        ->check(CLI::IsMember({"wiener", "lucy"}));
    restore->add_option("--strength", restoreCommand.strength,
                        "Wiener: auto (default; from 8-bit rounding noise and the picture's own "
                        "spectrum) or a noise-to-signal ratio, larger is smoother");
    restore->add_option("--iterations", restoreCommand.iterations,
                        "Richardson-Lucy iterations (default 40)");
    restore->add_flag("--no-taper", restoreCommand.noTaper,
                      "Restore as if the blur wrapped around the picture's edges");
    for (CLI::App* command : {learnKernel, restore}) {
        command->add_option("--size", command == restore ? restoreCommand.size : kernelSize,
                            "Side of a learnt kernel's square support (default 41, at most 63)");
        command->add_flag("--progress,!--no-progress", common.progress,
                          "Show a progress line on stderr (default: when stderr is a terminal)");
    }

    CColourCommandRequest colourRequest;
    CLI::App* ratio = app.add_subcommand(
        "ratio",
        "Open a picture and print, per colour, the smallest over the largest squared magnitude "
        "of its spectrum's frequencies other than (0, 0), read from the .ft file beside it "
        "(Ratio Frequency)");
    ratio->add_option("IN", input, "Picture whose .ft file to read (.bmp, .jpg or .ft)")
        ->required();
    CLI::App* compare = app.add_subcommand(
        "compare",
        "Open a picture and turn it into 127 + 20 x (picture - reference) per byte (Compare "
        "Result); the reference is a .bmp of the picture's size");
    compare->add_option("--reference", colourRequest.reference, "The reference picture (.bmp)")
        ->required();
    CLI::App* colour = app.add_subcommand(
        "colour",
        "Open a picture and set colour values as the colour dialog's OK does (the old values "
        "become the undo), then recompute the picture from the Result and the Original");
    AddColourOptions(*colour, colourRequest.colour);
    CLI::App* setOriginal =
        app.add_subcommand("set-original",
                           "The colour dialog's Set Original, then OK: every colour value back to "
                           "its default");
    CLI::App* undoColour = app.add_subcommand(
        "undo-colour", "Undo Color: the colour values before the last accepted change");
    CLI::App* restoreOriginal = app.add_subcommand(
        "restore-original", "The view's '+' key: the untouched Original back into the Result");
    for (CLI::App* command : {compare, colour, setOriginal, undoColour, restoreOriginal}) {
        command->add_option("IN", input, "File to open (.bmp, .jpg or .ft)")->required();
        command->add_option("-o,--output", output, "Picture to save (.bmp or .jpg)")->required();
    }

    for (CLI::App* command :
         {open, fourier, queue, ratio, compare, colour, setOriginal, undoColour, restoreOriginal}) {
        command->add_option("--size", sizeText,
                            "Working size WxH, one of those the picture can be fitted to; "
                            "without it the largest is taken");
        CLI::Option* yes = command->add_flag_callback(
            "--yes", [&common] { common.answer = true; }, "Answer Yes to every question");
        command
            ->add_flag_callback(
                "--no", [&common] { common.answer = false; }, "Answer No to every question")
            ->excludes(yes);
    }
    std::string engineText = "projection";
    int32_t threads = 0;
    std::vector<CLI::Option*> threadOptions;
    for (CLI::App* command : {transform, inverse, open, fourier, queue}) {
        command->add_flag("--progress,!--no-progress", common.progress,
                          "Show a progress line on stderr (default: when stderr is a terminal)");
        command
            ->add_option("--engine", engineText,
                         "Transform engine: projection (exact, the default) or fft (fast, for "
                         "large pictures; equal to within rounding)")
            ->check(CLI::IsMember({"projection", "fft"}));
        threadOptions.push_back(
            command
                ->add_option("--threads", threads,
                             "Threads the transform may use (default 0: every core)")
                ->check(CLI::Range(0, 256)));
    }

    CLI11_PARSE(app, argc, argv);

    if (*sizes) return RunSizes(width, height);
    CFourier::SetEngine(engineText == "fft" ? FourierEngine::Fft : FourierEngine::Projection);
    CFourier::SetThreadCount(threads);
    std::optional<CSize> size;
    if (!sizeText.empty()) {
        size = ParseSize(sizeText);
        if (!size) {
            std::fprintf(stderr, "--size takes WxH, for example 640x480, not \"%s\".\n",
                         sizeText.c_str());
            return 1;
        }
    }
    if (*transform) return RunTransform(input, output, size, common);
    if (*open) return RunOpen(input, output, size, common);
    if (*fourier) {
        const std::optional<int32_t> kind = ParseFourierKind(kindText);
        if (!kind) {
            std::fprintf(stderr,
                         "--kind takes 0 to 12 or a name (fourier, 1/r, ...), not \"%s\".\n",
                         kindText.c_str());
            return 1;
        }
        request.kind = *kind;
        request.spectrumPath = spectrumPath;
        return RunFourier(input, output, request, size, common);
    }
    if (*queue) {
        for (const std::string& text : entryTexts) {
            std::string error;
            const std::optional<CQueueEntryRequest> entry = ParseQueueEntry(text, error);
            if (!entry) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            queueRequest.entries.push_back(*entry);
        }
        if (!formatText.empty())
            queueRequest.format = (formatText[0] == 'b' || formatText[0] == 'B') ? 1 : 0;
        queueRequest.threadsGiven = threadOptions.back()->count() > 0;
        return RunQueue(queueRequest, size, common);
    }
    if (*learnKernel) return RunLearnKernel(goodPath, blurredPath, kernelSize, output, common);
    if (*restore) return RunRestore(restoreCommand, common);
    const std::pair<CLI::App*, CColourCommand> colourCommands[] = {
        {ratio, CColourCommand::Ratio},
        {compare, CColourCommand::Compare},
        {colour, CColourCommand::Colour},
        {setOriginal, CColourCommand::SetOriginal},
        {undoColour, CColourCommand::UndoColour},
        {restoreOriginal, CColourCommand::RestoreOriginal}};
    for (const auto& [command, which] : colourCommands) {
        if (!*command) continue;
        colourRequest.command = which;
        return RunColourCommand(input, output, colourRequest, size, common);
    }
    if (*inverse) return RunInverse(input, output, common);
    if (*convert) return RunConvert(input, output);
    return 1;
}
