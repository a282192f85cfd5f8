#pragma once

#include <QString>

// The desktop's named accent colours that collections and visual pieces are
// tagged with; the theme decides how each one is drawn.
enum class SystemColor { red, orange, yellow, green, mint, teal, cyan, blue, indigo, purple, pink, brown, gray };

QString systemColorName(SystemColor color);
