#pragma once
// What the model asks of the window around it: to draw its state again, to
// show a message or a question (modal: each returns once the user answered),
// the folder dialog, opening a page, and letting the window go.
#include "form_texts.h"

#include <optional>
#include <string>

namespace trk7700::form {

enum class Answer { yes, no };

class FormHost {
public:
    virtual ~FormHost() = default;
    // The model's view() changed: draw it.
    virtual void viewChanged() = 0;
    // A message box with one OK button and fullText(message) as its text.
    virtual void message(const Message &message) = 0;
    // A question with "Ja" and "Nein"; Enter gives defaultAnswer, Escape and
    // closing the box give no.
    virtual Answer ask(const Message &question, Answer defaultAnswer) = 0;
    // The folder dialog, opened in startFolder; none when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string &startFolder) = 0;
    // Opens a file or page with the system's program for it; false when it cannot.
    virtual bool openUrl(const std::string &path) = 0;
    // The model is done with the window (dump mode left, options stored): it may close.
    virtual void closeWindow() = 0;
    // Ends the program at once, a library call still running on the worker.
    virtual void endProgram() = 0;
};

}  // namespace trk7700::form
