// Wayfolk-Tool: the desktop tool of the TRK-7700 logger.
#include "form1.h"
#include "user_dialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(wayfolk::kApplicationTitle));

    const auto library = trk7700::form::makeBoundLibrary();
    wayfolk::StandardDialogs dialogs;
    wayfolk::Form1 window(*library, dialogs);
    window.show();
    return QApplication::exec();
}
