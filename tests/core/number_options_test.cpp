// The command line's one reading of numbers: the whole text in decimal, nothing guessed.
#include "cli/number_options.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

TEST(NumberOptions, WholeNumbersAreDecimalDigitsWithinInt32) {
    EXPECT_EQ(ParseWholeNumber("0"), 0);
    EXPECT_EQ(ParseWholeNumber("-3"), -3);
    EXPECT_EQ(ParseWholeNumber("+17"), 17);
    EXPECT_EQ(ParseWholeNumber("010"), 10);
    EXPECT_EQ(ParseWholeNumber("2147483647"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseWholeNumber("-2147483648"), std::numeric_limits<int32_t>::min());
    for (const char* refused : {"", " ", "2147483648", "-2147483649", "99999999999", "0x10", "0b1",
                                "1e3", "1.0", "12abc", " 3", "3 ", "+", "-", "+-1", "--1"})
        EXPECT_EQ(ParseWholeNumber(refused), std::nullopt) << '"' << refused << '"';
}

TEST(NumberOptions, RealNumbersAreDecimalAndFinite) {
    EXPECT_EQ(ParseRealNumber("0.6"), 0.6);
    EXPECT_EQ(ParseRealNumber("-2"), -2.0);
    EXPECT_EQ(ParseRealNumber("+.5"), 0.5);
    EXPECT_EQ(ParseRealNumber("5."), 5.0);
    EXPECT_EQ(ParseRealNumber("1e-3"), 1e-3);
    EXPECT_EQ(ParseRealNumber("1E+3"), 1000.0);
    EXPECT_EQ(ParseRealNumber("1e308"), 1e308);
    for (const char* refused :
         {"",         ".",     "-",      "e5",   "1e",    "1e+", "nan",  "NaN", "inf", "-inf",
          "infinity", "1e309", "-1e999", "0x10", "0x1p3", "1,5", "2.5x", " 1",  "1 ",  "1..2"})
        EXPECT_EQ(ParseRealNumber(refused), std::nullopt) << '"' << refused << '"';
}

TEST(NumberOptions, PairsAndListsTakeEveryPartStrictly) {
    EXPECT_EQ(ParseWholePair("640x480", 'x'), (std::pair<int32_t, int32_t>{640, 480}));
    EXPECT_EQ(ParseWholePair("3,-2", ','), (std::pair<int32_t, int32_t>{3, -2}));
    for (const char* refused : {"99999999999x2", "2x0x10", "x2", "2x", "2 x 3", "2X3"})
        EXPECT_EQ(ParseWholePair(refused, 'x'), std::nullopt) << refused;
    for (const char* refused : {"2147483648,5", "3", "3,", ",3", "3,4,5", "0x10,1"})
        EXPECT_EQ(ParseWholePair(refused, ','), std::nullopt) << refused;
    EXPECT_EQ(ParseRealList("12,30", 2), (std::vector<double>{12.0, 30.0}));
    EXPECT_EQ(ParseRealList("12", 2), std::nullopt);
    EXPECT_EQ(ParseRealList("12,30,1", 2), std::nullopt);
    EXPECT_EQ(ParseRealList("nan,0", 2), std::nullopt);
}

TEST(NumberOptions, AnOptionRefusesWithAMessageNamingItAndItsRange) {
    const auto refusal = [](const std::vector<std::string>& words) -> std::string {
        CLI::App app;
        std::optional<int32_t> steps;
        std::optional<double> attenuation;
        std::vector<double> tries;
        AddWholeOption(app, "--steps", steps, "", 1);
        AddRealOption(app, "-a,--attenuation", attenuation, "", -1000, 1000);
        AddRealListOption(app, "--try", tries, "");
        std::vector<std::string> args(words.rbegin(), words.rend());
        try {
            app.parse(args);
        } catch (const CLI::ParseError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(refusal({"--steps", "3", "-a", "-0.5", "--try", "0.1", "--try", "1e-3"}), "");
    EXPECT_EQ(refusal({"--steps", ""}), "--steps takes a whole number of at least 1, not \"\".");
    EXPECT_EQ(refusal({"--steps", "0"}), "--steps takes a whole number of at least 1, not \"0\".");
    EXPECT_EQ(refusal({"--steps", "0x10"}),
              "--steps takes a whole number of at least 1, not \"0x10\".");
    EXPECT_EQ(refusal({"-a", "nan"}),
              "--attenuation takes a number from -1000 to 1000, not \"nan\".");
    EXPECT_EQ(refusal({"--attenuation", "1e308"}),
              "--attenuation takes a number from -1000 to 1000, not \"1e308\".");
    EXPECT_EQ(refusal({"--try", "0.1", "--try", "inf"}), "--try takes a number, not \"inf\".");
}
