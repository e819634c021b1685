// Wayfolk-Tool.exe: the desktop tool's window on Windows, a view over the
// form model.
#include "binding/shipped_files.h"
#include "conversion/file_ops.h"
#include "form_binding.h"
#include "form_library.h"
#include "form_model.h"
#include "form_window.h"
#include "gpsbabel_launcher.h"
#include "window_host.h"
#include "worker_executor.h"

#include <objbase.h>
#include <windows.h>

#include <memory>

namespace {

// The fixed places of the tool on Windows.
trk7700::form::FormPlaces windowsPlaces()
{
    trk7700::form::FormPlaces places;
    places.defaultTargetFolder = "c:\\Wayfolk";
    places.firmwareFolder = "c:\\abcd\\binfile\\";
    places.voicePromptFolder = trk7700::client::voicePromptFolder(std::string());
    // Started from the build tree it keeps "wayfolk-tool.ini" in the current
    // folder; installed (the Start menu starts it in the program folder, which
    // a user cannot write to) in %APPDATA%\trk7700, taking over an earlier file.
    const trk7700::client::OptionsFilePlaces options = trk7700::client::optionsFilePlaces(
        trk7700::form::kOptionsFileName, trk7700::client::executableFolder(), trk7700::client::userConfigFolder());
    places.optionsFile = options.write;
    places.optionsFileToRead = options.read;
    return places;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    using namespace wayfolk::win32;
    // The shell's folder dialog needs COM on the window's thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    FormWindow form;
    FormBinding *binding = nullptr;
    WorkerExecutor *executor = nullptr;
    trk7700::form::FormModel *model = nullptr;
    FormEvents events;
    events.clicked = [&](ControlId id) {
        if (binding != nullptr) binding->clicked(id);
    };
    events.edited = [&](ControlId id) {
        if (binding != nullptr) binding->edited(id);
    };
    events.selected = [&](ControlId id) {
        if (binding != nullptr) binding->selected(id);
    };
    events.focused = [&](ControlId id) {
        if (binding != nullptr) binding->focused(id);
    };
    events.ticked = [&] {
        if (executor != nullptr) executor->tick();
    };
    events.posted = [&](WPARAM, LPARAM posted) {
        if (executor != nullptr) executor->deliver(posted);
    };
    events.closeRequested = [&] {
        if (model != nullptr)
            model->requestClose();
        else
            form.destroy();
    };
    if (!form.create(instance, show, std::move(events))) {
        MessageBoxW(nullptr, L"Das Fenster kann nicht angelegt werden.", kWindowTitle, MB_OK | MB_ICONERROR);
        return 1;
    }

    const auto boundLibrary = trk7700::form::makeBoundLibrary();
    WorkerExecutor worker(form);
    WindowHost host(form, [&] {
        if (binding != nullptr) binding->draw();
    });
    trk7700::form::FormModel formModel(*boundLibrary, worker, host, windowsPlaces());
    GpsBabelLauncher launcher;
    formModel.setProgramLauncher(launcher);
    FormBinding formBinding(form, formModel);
    executor = &worker;
    model = &formModel;
    binding = &formBinding;

    formModel.load();
    formBinding.draw();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.handleKey(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    binding = nullptr;
    model = nullptr;
    executor = nullptr;
    CoUninitialize();
    return static_cast<int>(message.wParam);
}
