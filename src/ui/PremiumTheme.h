#pragma once

#include "core/SystemColor.h"
#include "ui/Spring.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>

// The design tokens every screen draws with. Each token is built on first use
// (thread-safe) and shared read-only afterwards.
namespace PremiumTheme {

const QColor& primary();         // #6366F1
const QColor& secondary();       // #8B5CF6
const QColor& background();      // #0A0A0A, full-window background
const QColor& surface();         // #1A1A1A, cards and panels
const QColor& surfaceElevated(); // #2A2A2A, raised panels
const QColor& glassFill();       // white at 0.05
const QColor& glassBorder();     // white at 0.1
const QColor& textPrimary();     // white
const QColor& textSecondary();   // white at 0.7
const QColor& textTertiary();    // white at 0.5
const QColor& success();         // #10B981
const QColor& error();           // #EF4444
const QColor& warning();         // #F59E0B
const QColor& info();            // #3B82F6

// primary -> secondary, left to right across whatever shape it fills
// (object-bounding coordinates, so one brush serves every size).
const QLinearGradient& primaryGradient();

// Inter at fixed pixel sizes; they do not follow the desktop's font size.
const QFont& titleFont();      // 32 semibold
const QFont& headingFont();    // 24 medium
const QFont& bodyLargeFont();  // 17 regular
const QFont& bodyFont();       // 15 regular
const QFont& captionFont();    // 13 regular
const QFont& buttonFont();     // 15 semibold
const QFont& labelFont();      // 13 medium
const QFont& smallLabelFont(); // 11 medium
const QFont& monoFont();       // 13 regular, monospaced

// The system's plain font at a pixel size and weight, for the one-off sizes
// screens ask for ("the system font of size 14, semibold").
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);

const Spring& standardSpring(); // response 0.3 s, damping fraction 0.7

// How the desktop's named colours are drawn on the dark background.
QColor systemColor(SystemColor color);
// The desktop's accent colour (selection, prominent buttons).
const QColor& accent();

} // namespace PremiumTheme
