#pragma once

// The commands of zelvanto-cli as a table: each row names a command, says what it does, and
// adds its arguments to the command, returning what runs it once the line is parsed. Every
// step of the table of steps is also a command of its own, spelt with the same words.

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct CCommandRow {
    std::string name;
    std::string summary;
    // Adds the command's arguments and returns its runner (the exit status).
    std::function<std::function<int()>(CLI::App& command)> define;
};

// Every command, in the order the help lists them.
std::vector<CCommandRow> CommandTable();
