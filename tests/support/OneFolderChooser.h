#pragma once

#include "platform/FolderChooser.h"

#include <QString>

// Answers the folder dialog with one folder, as the person would.
class OneFolderChooser : public FolderChooser
{
public:
    explicit OneFolderChooser(QString folder)
        : m_folder(std::move(folder))
    {}
    std::optional<QString> chooseFolder(const Request&) override { return m_folder; }

private:
    QString m_folder;
};
