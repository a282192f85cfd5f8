#pragma once

#include <QFont>

// The desktop's named text styles at the sizes the screens are drawn for
// (the system font; one point is one logical pixel).
namespace TextStyle {
QFont caption();    // 10 regular
QFont title2();     // 17 regular
QFont title();      // 22 regular
QFont largeTitle(); // 26 regular
} // namespace TextStyle
