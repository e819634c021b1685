#pragma once
// The folder dialog.
#include <QString>

class QWidget;

namespace modBrowseFolders {

inline constexpr char kDefaultTitle[] = "Wählen Sie einen Ordner aus";

// Lets the user choose a folder. The dialog belongs to owner when one is
// given; title is its prompt ("Wählen Sie einen Ordner aus" when empty). The
// result is the chosen folder's absolute path, or empty when the user cancels.
// The dialog opens in startFolder when it exists.
QString BrowseFolder(QWidget *owner = nullptr, const QString &title = QString(),
                     const QString &startFolder = QString());

}  // namespace modBrowseFolders
