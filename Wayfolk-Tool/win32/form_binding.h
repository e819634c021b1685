// Between the Win32 window and the form model: the user's events go to the
// model, and the model's view is drawn into the controls. Nothing is decided
// here.
#pragma once

#include "form_model.h"
#include "form_window.h"

namespace wayfolk::win32 {

class FormBinding {
public:
    FormBinding(FormWindow &window, trk7700::form::FormModel &model) : window_(window), model_(model) {}

    void draw();

    void clicked(ControlId id);
    void edited(ControlId id);
    void selected(ControlId id);
    void focused(ControlId id);

private:
    FormWindow &window_;
    trk7700::form::FormModel &model_;
    bool drawing_ = false;  // the controls' own notifications while the view is drawn
    std::vector<std::string> ports_;
};

}  // namespace wayfolk::win32
