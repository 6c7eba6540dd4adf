#pragma once

// The numbers of the command line, read one way for every option: the whole text is the
// number, written in decimal. Nothing is guessed: an empty value, a value with anything
// before or after the number ("12abc", " 3"), a hexadecimal or other prefixed form ("0x10",
// "0x1p3"), "nan", "inf" and a value that does not fit (2147483648 for a whole number, 1e999
// for a real one) are refused, and the message names the option.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

// A whole number: an optional sign, then decimal digits; within int32_t.
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// A real number: an optional sign, decimal digits with an optional point and an optional
// exponent; finite.
std::optional<double> ParseRealNumber(std::string_view text);

// Two whole numbers joined by the separator ("640x480" with 'x', "3,-2" with ',').
std::optional<std::pair<int32_t, int32_t>> ParseWholePair(std::string_view text, char separator);

// Real numbers joined by commas ("12,30"); exactly `count` of them.
std::optional<std::vector<double>> ParseRealList(std::string_view text, size_t count);

// "--steps takes a whole number from 1 to 40, not \"abc\"." and its kin: what an option
// takes and the text it was given. The range is left out when it is the type's own.
std::string WholeNumberRefusal(const std::string& option, const std::string& text,
                               int32_t low = std::numeric_limits<int32_t>::min(),
                               int32_t high = std::numeric_limits<int32_t>::max());
std::string RealNumberRefusal(const std::string& option, const std::string& text,
                              double low = -std::numeric_limits<double>::infinity(),
                              double high = std::numeric_limits<double>::infinity());

// Options (or positional arguments, by a name without dashes) whose values are read by the
// parsers above and must lie within [low, high]. A value refused stops the parsing of the
// command line with the refusal as its message.
CLI::Option* AddWholeOption(CLI::App& command, const std::string& name, int32_t& value,
                            const std::string& help,
                            int32_t low = std::numeric_limits<int32_t>::min(),
                            int32_t high = std::numeric_limits<int32_t>::max());
CLI::Option* AddWholeOption(CLI::App& command, const std::string& name,
                            std::optional<int32_t>& value, const std::string& help,
                            int32_t low = std::numeric_limits<int32_t>::min(),
                            int32_t high = std::numeric_limits<int32_t>::max());
CLI::Option* AddRealOption(CLI::App& command, const std::string& name, std::optional<double>& value,
                           const std::string& help,
                           double low = -std::numeric_limits<double>::infinity(),
                           double high = std::numeric_limits<double>::infinity());
// Every value of every use of the option, in order.
CLI::Option* AddRealListOption(CLI::App& command, const std::string& name,
                               std::vector<double>& values, const std::string& help,
                               double low = -std::numeric_limits<double>::infinity(),
                               double high = std::numeric_limits<double>::infinity());
