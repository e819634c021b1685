#include "options_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace wayfolk {

namespace {

// The file's numbers: 0 unchecked, 1 checked, 2 grey.
constexpr std::array<Qt::CheckState, 3> kStateOfNumber{Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};

int numberOfState(Qt::CheckState state)
{
    for (int number = 0; number < static_cast<int>(kStateOfNumber.size()); ++number)
        if (kStateOfNumber[number] == state) return number;
    return 0;
}

// A check-box line holds a whole number, blanks around it allowed.
std::optional<Qt::CheckState> parseCheckState(const QString &line)
{
    bool isNumber = false;
    const int number = line.trimmed().toShort(&isNumber);
    if (!isNumber || number < 0 || number >= static_cast<int>(kStateOfNumber.size())) return std::nullopt;
    return kStateOfNumber[number];
}

}  // namespace

StoredOptions readOptionsFile(const QString &path)
{
    StoredOptions stored;
    // Only a regular file: a FIFO planted under the name would block the start.
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile()) return stored;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return stored;
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // after the last line end
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);

    for (int i = 0; i < kStoredCheckBoxes && i < lines.size(); ++i) stored.checkBoxes[i] = parseCheckState(lines[i]);
    if (lines.size() > kStoredCheckBoxes) stored.folder = lines[kStoredCheckBoxes];
    return stored;
}

bool writeOptionsFile(const QString &path, const std::array<Qt::CheckState, kStoredCheckBoxes> &checkBoxes,
                      const QString &folder)
{
    QByteArray content;
    // Numbers are written with a blank in the sign position: " 0", " 1".
    for (Qt::CheckState state : checkBoxes) content += ' ' + QByteArray::number(numberOfState(state)) + "\r\n";
    content += folder.toUtf8() + "\r\n";

    // QSaveFile writes through a link to its target; a link planted under the
    // name is replaced by the file instead.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path)) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(content);
    return file.commit();
}

}  // namespace wayfolk
