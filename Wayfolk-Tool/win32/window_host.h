// What the model asks of the window on Windows: message boxes and questions
// in German, the shell's folder dialog, opening files, closing.
#pragma once

#include "form_host.h"
#include "form_window.h"

#include <functional>

namespace wayfolk::win32 {

class WindowHost : public trk7700::form::FormHost {
public:
    WindowHost(FormWindow &window, std::function<void()> draw) : window_(window), draw_(std::move(draw)) {}

    void viewChanged() override;
    void message(const trk7700::form::Message &message) override;
    trk7700::form::Answer ask(const trk7700::form::Message &question, trk7700::form::Answer defaultAnswer) override;
    std::optional<std::string> chooseFolder(const std::string &startFolder) override;
    bool openUrl(const std::string &path) override;
    void closeWindow() override;
    void endProgram() override;

private:
    FormWindow &window_;
    std::function<void()> draw_;
};

}  // namespace wayfolk::win32
