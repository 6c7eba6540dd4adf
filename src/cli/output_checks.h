#pragma once

// Where a command is to write, checked before it does any work, so that a wrong name costs
// nothing and nothing is written over what the command reads.

#include <string>
#include <vector>

// What a command writes to its output.
enum class OutputKind {
    Picture,   // a picture file: .bmp, .jpg or .png
    Document,  // what Save As writes: a picture, or the spectrum as .ft
    Spectrum,  // a Fourier data file, .ft
    Stamp,     // a stamp or kernel file, .stp
};

// The two names lead to one file: the same file when both exist (also through links or
// another spelling of the path), else the same path once made absolute and resolved.
bool SameFile(const std::string& a, const std::string& b);

// True when the output can be written: its name is of the kind, it is not a folder, its
// folder takes a new file, and it is none of the inputs. Otherwise false, with the reason
// shown.
bool CheckOutput(const std::string& output, OutputKind kind,
                 const std::vector<std::string>& inputs = {});
