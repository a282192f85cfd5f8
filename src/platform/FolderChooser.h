#pragma once

#include <QString>

#include <memory>
#include <optional>

class QFileDialog;

// Asks the user for a folder. The real chooser is a modal dialog; tests put a
// fake in its place, since nobody is there to click.
class FolderChooser
{
public:
    struct Request
    {
        QString message;     // shown above the folder list
        QString acceptLabel; // the confirm button
        QString startFolder; // where the chooser opens
    };

    virtual ~FolderChooser() = default;

    // The chosen folder's absolute path, or nothing when the user cancelled.
    // Blocks until the chooser closes.
    virtual std::optional<QString> chooseFolder(const Request& request) = 0;
};

// A modal file dialog for directories only, where new folders may be created.
class DialogFolderChooser : public FolderChooser
{
public:
    std::optional<QString> chooseFolder(const Request& request) override;

    // The dialog, before it is shown.
    static std::unique_ptr<QFileDialog> dialogFor(const Request& request);
};
