#include "cli/number_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/user_interface.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of the run of digits at the start of text.
size_t Digits(std::string_view text) {
    size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) ++n;
    return n;
}

// The text without one leading '+', which from_chars does not take; '-' stays.
std::string_view WithoutPlus(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return text;
}

// The sign and digits of a whole number, and nothing else.
bool IsWholeText(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return !text.empty() && Digits(text) == text.size();
}

// Sign, digits with an optional point, an optional exponent: decimal notation and nothing
// else (no "inf", "nan" or hexadecimal form, which the conversion would take).
bool IsRealText(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    const size_t whole = Digits(text);
    text.remove_prefix(whole);
    size_t fraction = 0;
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        fraction = Digits(text);
        text.remove_prefix(fraction);
    }
    if (whole + fraction == 0) return false;
    if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
        const size_t exponent = Digits(text);
        if (exponent == 0) return false;
        text.remove_prefix(exponent);
    }
    return text.empty();
}

// " from 1 to 40", " of at least 1", " of at most 9", or nothing for an open range.
std::string Range(double low, double high) {
    if (std::isinf(low) && std::isinf(high)) return "";
    if (std::isinf(high)) return Format(" of at least %.15g", low);
    if (std::isinf(low)) return Format(" of at most %.15g", high);
    return Format(" from %.15g to %.15g", low, high);
}

// A bound of a whole number's range; the type's own limits leave that side open.
double WholeBound(int32_t bound) {
    if (bound == std::numeric_limits<int32_t>::min()) return -HUGE_VAL;
    if (bound == std::numeric_limits<int32_t>::max()) return HUGE_VAL;
    return static_cast<double>(bound);
}

// Parses one value of an option, or throws the refusal that stops the command line.
int32_t WholeValue(const std::string& option, const std::string& text, int32_t low, int32_t high) {
    const std::optional<int32_t> value = ParseWholeNumber(text);
    if (!value || *value < low || *value > high)
        throw CLI::ValidationError(WholeNumberRefusal(option, text, low, high));
    return *value;
}

double RealValue(const std::string& option, const std::string& text, double low, double high) {
    const std::optional<double> value = ParseRealNumber(text);
    if (!value || *value < low || *value > high)
        throw CLI::ValidationError(RealNumberRefusal(option, text, low, high));
    return *value;
}

// The name an option is known by in messages: its longest name, or a positional's.
std::string OptionName(const std::string& names) {
    std::string best, current;
    for (size_t i = 0; i <= names.size(); ++i) {
        if (i == names.size() || names[i] == ',') {
            if (current.size() > best.size()) best = current;
            current.clear();
        } else {
            current += names[i];
        }
    }
    return best;
}

}  // namespace

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
    if (!IsWholeText(text)) return std::nullopt;
    text = WithoutPlus(text);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseRealNumber(std::string_view text) {
    if (!IsRealText(text)) return std::nullopt;
    text = WithoutPlus(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::pair<int32_t, int32_t>> ParseWholePair(std::string_view text, char separator) {
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) return std::nullopt;
    const std::optional<int32_t> first = ParseWholeNumber(text.substr(0, at));
    const std::optional<int32_t> second = ParseWholeNumber(text.substr(at + 1));
    if (!first || !second) return std::nullopt;
    return std::pair{*first, *second};
}

std::optional<std::vector<double>> ParseRealList(std::string_view text, size_t count) {
    std::vector<double> values;
    for (;;) {
        const size_t comma = text.find(',');
        const std::optional<double> value = ParseRealNumber(text.substr(0, comma));
        if (!value) return std::nullopt;
        values.push_back(*value);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (values.size() != count) return std::nullopt;
    return values;
}

std::string WholeNumberRefusal(const std::string& option, const std::string& text, int32_t low,
                               int32_t high) {
    return option + " takes a whole number" + Range(WholeBound(low), WholeBound(high)) +
           ", not \"" + text + "\".";
}

std::string RealNumberRefusal(const std::string& option, const std::string& text, double low,
                              double high) {
    return option + " takes a number" + Range(low, high) + ", not \"" + text + "\".";
}

CLI::Option* AddWholeOption(CLI::App& command, const std::string& name, int32_t& value,
                            const std::string& help, int32_t low, int32_t high) {
    const std::string option = OptionName(name);
    return command
        .add_option_function<std::string>(
            name,
            [&value, option, low, high](const std::string& text) {
                value = WholeValue(option, text, low, high);
            },
            help)
        ->type_name("INT");
}

CLI::Option* AddWholeOption(CLI::App& command, const std::string& name,
                            std::optional<int32_t>& value, const std::string& help, int32_t low,
                            int32_t high) {
    const std::string option = OptionName(name);
    return command
        .add_option_function<std::string>(
            name,
            [&value, option, low, high](const std::string& text) {
                value = WholeValue(option, text, low, high);
            },
            help)
        ->type_name("INT");
}

CLI::Option* AddRealOption(CLI::App& command, const std::string& name, std::optional<double>& value,
                           const std::string& help, double low, double high) {
    const std::string option = OptionName(name);
    return command
        .add_option_function<std::string>(
            name,
            [&value, option, low, high](const std::string& text) {
                value = RealValue(option, text, low, high);
            },
            help)
        ->type_name("NUMBER");
}

CLI::Option* AddRealListOption(CLI::App& command, const std::string& name,
                               std::vector<double>& values, const std::string& help, double low,
                               double high) {
    const std::string option = OptionName(name);
    return command
        .add_option_function<std::vector<std::string>>(
            name,
            [&values, option, low, high](const std::vector<std::string>& texts) {
                values.clear();
                for (const std::string& text : texts)
                    values.push_back(RealValue(option, text, low, high));
            },
            help)
        ->type_name("NUMBER");
}
