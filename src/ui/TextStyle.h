#pragma once

#include <QFont>

// The desktop's standard text styles that screens name ("the headline style",
// "caption2"), at the sizes of the original platform's defaults. Like the
// theme's fonts they are fixed pixel sizes of the interface font.
namespace TextStyle {

const QFont& body();     // 13 regular
const QFont& headline(); // 13 bold
const QFont& caption();  // 10 regular
const QFont& caption2(); // 10 medium

} // namespace TextStyle
