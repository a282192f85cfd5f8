#include "platform/FolderChooser.h"

#include <QApplication>
#include <QFileDialog>

std::optional<QString> DialogFolderChooser::chooseFolder(const Request& request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.message, request.startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, request.acceptLabel);
    dialog.setLabelText(QFileDialog::LookIn, request.message);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}
