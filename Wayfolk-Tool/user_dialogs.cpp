#include "user_dialogs.h"

#include "modBrowseFolders.h"

#include <QMessageBox>

namespace wayfolk {

void StandardDialogs::message(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, owner);
    box.exec();
}

QString StandardDialogs::chooseFolder(QWidget *owner) { return modBrowseFolders::BrowseFolder(owner); }

}  // namespace wayfolk
