#include "fixed_places.h"

#include "binding/shipped_files.h"

#include <QDir>
#include <QFile>

namespace wayfolk {

QString defaultTargetFolder() { return QDir::homePath() + QStringLiteral("/Wayfolk"); }

QString firmwareFolder() { return QDir::homePath() + QStringLiteral("/abcd/binfile/"); }

QString voicePromptFolder()
{
    return QFile::decodeName(trk7700::client::voicePromptFolder(WAYFOLK_TOOL_DATA_DIR).c_str());
}

}  // namespace wayfolk
