#include "window_host.h"

#include "text_codec.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

namespace wayfolk::win32 {

using trk7700::form::Answer;
using trk7700::form::fullText;
using trk7700::form::Message;

namespace {

// The folder dialog opens in the current target folder.
int CALLBACK folderDialogStarted(HWND dialog, UINT message, LPARAM, LPARAM startFolder)
{
    if (message == BFFM_INITIALIZED && startFolder != 0) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, startFolder);
    return 0;
}

}  // namespace

void WindowHost::viewChanged() { draw_(); }

void WindowHost::message(const Message &message)
{
    const std::wstring text = wide(fullText(message));
    MessageBoxW(window_.window(), text.c_str(), kWindowTitle, MB_OK);
}

Answer WindowHost::ask(const Message &question, Answer defaultAnswer)
{
    // A task dialog names its buttons "Ja" and "Nein" whatever the system's
    // language, and Escape (or closing it) answers no.
    const std::wstring text = wide(fullText(question));
    const TASKDIALOG_BUTTON buttons[] = {{IDYES, L"Ja"}, {IDNO, L"Nein"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = window_.window();
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = kWindowTitle;
    config.pszContent = text.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.cButtons = 2;
    config.pButtons = buttons;
    config.nDefaultButton = defaultAnswer == Answer::yes ? IDYES : IDNO;
    int pressed = IDNO;
    if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
        // Without task dialogs: a plain box, no as the default.
        pressed =
            MessageBoxW(window_.window(), text.c_str(), kWindowTitle,
                        MB_YESNO | MB_ICONQUESTION | (defaultAnswer == Answer::yes ? MB_DEFBUTTON1 : MB_DEFBUTTON2));
    }
    return pressed == IDYES ? Answer::yes : Answer::no;
}

std::optional<std::string> WindowHost::chooseFolder(const std::string &startFolder)
{
    const std::wstring start = wide(startFolder);
    BROWSEINFOW browse{};
    browse.hwndOwner = window_.window();
    browse.lpszTitle = L"Wählen Sie einen Ordner aus";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = folderDialogStarted;
    browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    // An item without a file-system path counts as no choice.
    if (!hasPath) return std::nullopt;
    return utf8(path);
}

bool WindowHost::openUrl(const std::string &path)
{
    const std::wstring target = wide(path);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(window_.window(), L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

void WindowHost::closeWindow() { window_.destroy(); }

void WindowHost::endProgram()
{
    // At once, a library call still running on the worker: no clean-up that
    // could wait for it.
    TerminateProcess(GetCurrentProcess(), 0);
}

}  // namespace wayfolk::win32
