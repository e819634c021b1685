#include "fixed_places.h"

#include "binding/shipped_files.h"
#include "conversion/file_ops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace wayfolk {

QString defaultTargetFolder() { return QDir::homePath() + QStringLiteral("/Wayfolk"); }

QString firmwareFolder() { return QDir::homePath() + QStringLiteral("/abcd/binfile/"); }

QString voicePromptFolder()
{
    return QFile::decodeName(trk7700::client::voicePromptFolder(WAYFOLK_TOOL_DATA_DIR).c_str());
}

namespace {

trk7700::client::OptionsFilePlaces optionsFilePlaces()
{
    return trk7700::client::optionsFilePlaces(kOptionsFileName, trk7700::client::executableFolder(),
                                              trk7700::client::userConfigFolder());
}

}  // namespace

QString optionsFileToRead() { return QFile::decodeName(optionsFilePlaces().read.c_str()); }

QString optionsFileToWrite()
{
    const QString path = QFile::decodeName(optionsFilePlaces().write.c_str());
    // A failure shows when the file cannot be written, with its name.
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

}  // namespace wayfolk
