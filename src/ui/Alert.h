#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QPushButton;
class QWidget;

// The application's alerts: window-modal message boxes opened with open(), so
// the event loop (and a test) carries on while they show, each deleted when
// it closes. The title is bold over a secondary message, wide enough that a
// sentence does not break after every word, on the theme's panel; every
// button is a rounded rectangle.
namespace Alert {

// A box with an "OK" button.
QMessageBox* open(QWidget* parent, const QString& objectName, const QString& title, const QString& message);

// The question asked before files go to the Trash: "Delete" (destructive, in
// red) runs `onDelete`, then "Cancel" does nothing.
QMessageBox* openDeleteConfirmation(QWidget* parent, const QString& objectName, const QString& title,
                                    const QString& message, std::function<void()> onDelete);

// The previews' question before one screenshot goes to the Trash ("Delete
// this screenshot?"), named "previewDeleteConfirmation".
QMessageBox* openDeleteScreenshotConfirmation(QWidget* parent, std::function<void()> onDelete);

// The filled button in the accent colour of a sheet's or banner's main action.
QPushButton* makeProminentButton(const QString& text, QWidget* parent = nullptr);
// A sheet's button without a fill of its own ("Cancel" under the main
// action), rounded like the others under the pointer.
QPushButton* makePlainButton(const QString& text, QWidget* parent = nullptr);

} // namespace Alert
