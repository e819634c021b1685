// The tool's options file of any content. Whatever it holds, reading gives
// each check box one of the three states or none, and the folder line as it
// stands; what was read, written back and read again, gives the same.
#include "fuzz_support.h"
#include "options_file.h"

using namespace trk7700::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto folder = freshFolder("options");
    const auto path = QString::fromStdString((folder / "wayfolk-tool.ini").string());
    writeWhole(folder / "wayfolk-tool.ini", data, size);

    const wayfolk::StoredOptions read = wayfolk::readOptionsFile(path);
    std::array<Qt::CheckState, wayfolk::kStoredCheckBoxes> states{};
    for (int i = 0; i < wayfolk::kStoredCheckBoxes; ++i) {
        const auto &state = read.checkBoxes[static_cast<size_t>(i)];
        FUZZ_CHECK(!state || *state == Qt::Unchecked || *state == Qt::Checked || *state == Qt::PartiallyChecked);
        states[static_cast<size_t>(i)] = state.value_or(Qt::Unchecked);
    }
    // A folder text never holds a line end: it is one line of the file.
    const QString folderText = read.folder.value_or(QString());
    FUZZ_CHECK(!folderText.contains(QLatin1Char('\n')));

    FUZZ_CHECK(wayfolk::writeOptionsFile(path, states, folderText));
    const wayfolk::StoredOptions again = wayfolk::readOptionsFile(path);
    for (int i = 0; i < wayfolk::kStoredCheckBoxes; ++i)
        FUZZ_CHECK(again.checkBoxes[static_cast<size_t>(i)] == states[static_cast<size_t>(i)]);
    FUZZ_CHECK(again.folder == folderText);
    return 0;
}
