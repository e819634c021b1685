#include "modBrowseFolders.h"

#include <QDir>
#include <QFileDialog>

namespace modBrowseFolders {

QString BrowseFolder(QWidget *owner, const QString &title, const QString &startFolder)
{
    const QString prompt = title.isEmpty() ? QString::fromUtf8(kDefaultTitle) : title;
    const QString chosen = QFileDialog::getExistingDirectory(owner, prompt, startFolder, QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? QString() : QDir(chosen).absolutePath();
}

}  // namespace modBrowseFolders
