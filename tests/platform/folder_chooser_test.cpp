#include "platform/FolderChooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The chooser must open where its button can be pressed: a start folder that
// is not there would be typed in as a name the dialog refuses.
TEST(DialogFolderChooser, OpensInTheNearestFolderThatExistsWithItsButtonEnabled)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(u"Pictures"_s);
    ASSERT_TRUE(QDir().mkpath(existing));
    const struct
    {
        QString start;
        QString opened;
    } cases[] = {
        {existing, existing},
        {existing + u"/Desktop"_s, existing},
        {existing + u"/Desktop/Screenshots"_s, existing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start.toStdString());
        const auto dialog = DialogFolderChooser::dialogFor({u"Grant access"_s, u"Grant Access"_s, c.start});
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        EXPECT_EQ(dialog->directory().absolutePath(), c.opened);
        dialog->show();
        const auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        EXPECT_TRUE(buttons->button(QDialogButtonBox::Open)->isEnabled());
        dialog->hide();
    }
}
