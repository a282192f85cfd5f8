#pragma once

#include <QString>

class QWidget;

// What the screens show in place of a picture whose file gives none (empty,
// cut short, or no image at all): one symbol and one sentence, the same on a
// card, in the previews and in the tray's quick preview.
namespace UnreadablePicture {
QString text();
QString symbolName();
// The symbol above the sentence, still, sized to its content; the parent
// places it.
QWidget* makePlaceholder(QWidget* parent);
} // namespace UnreadablePicture
