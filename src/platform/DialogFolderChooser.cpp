#include "platform/FolderChooser.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace {
// A start folder that is not there (many Linux desktops have no ~/Desktop)
// would be typed in as a name the dialog refuses to accept; it opens in the
// nearest folder above that exists instead.
QString existingFolderAtOrAbove(const QString& path)
{
    if (path.isEmpty())
        return QDir::homePath();
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            return QDir::homePath();
        folder = parent;
    }
    return folder;
}
} // namespace

std::unique_ptr<QFileDialog> DialogFolderChooser::dialogFor(const Request& request)
{
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow(), request.message,
                                                existingFolderAtOrAbove(request.startFolder));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setLabelText(QFileDialog::Accept, request.acceptLabel);
    dialog->setLabelText(QFileDialog::LookIn, request.message);
    dialog->setWindowModality(Qt::ApplicationModal);
    return dialog;
}

std::optional<QString> DialogFolderChooser::chooseFolder(const Request& request)
{
    const std::unique_ptr<QFileDialog> dialog = dialogFor(request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
}
