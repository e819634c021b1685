// Wayfolk-Tool.exe: the desktop tool's window on Windows.
#include "form_window.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> portEntries()
{
    std::vector<std::wstring> entries;
    for (int n = 1; n <= 37; ++n) entries.push_back(L"COM" + std::to_wstring(n));
    return entries;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    using namespace wayfolk::win32;
    FormWindow form;
    FormEvents events;
    events.closeRequested = [&form] { form.destroy(); };
    if (!form.create(instance, show, std::move(events))) {
        MessageBoxW(nullptr, L"Das Fenster kann nicht angelegt werden.", kWindowTitle, MB_OK | MB_ICONERROR);
        return 1;
    }
    form.setPortList(portEntries());
    form.setText(ControlId::Text1, L"c:\\Wayfolk");

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.handleKey(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
