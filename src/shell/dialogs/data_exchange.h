#pragma once

#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <optional>

// Data exchange between number edits and values, the way the dialogs of the system have
// always done it: a double is shown with 15 significant digits, a text is a number only
// when all of it (blanks around it aside) is read.

QString DoubleText(double value);
std::optional<double> ParseDouble(const QString& text);
std::optional<int32_t> ParseInt(const QString& text);

// The messages of an edit that holds no number.
inline constexpr const char* kParseRealMessage = "Please enter a number.";
inline constexpr const char* kParseIntMessage = "Please enter an integer.";

// Puts the focus on an edit that failed the exchange and selects its text.
void FocusFailedEdit(QLineEdit* edit);
