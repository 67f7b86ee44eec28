#pragma once
// Messages, questions and file choices for the panel classes, each an ask
// and an answer: the box opens and the call returns at once; the answer comes
// later, on the GUI thread, to a receiver that is still there. Nothing waits
// for the operator, on either thread. The boxes are the popups' own (the same
// look, the same test responder, the same answer as Escape once the run is
// ending). Callable from any thread.
#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Prompts {
  public:
    struct Question {
        std::string title;
        std::string text;
        std::vector<std::string> buttons; // one to three, left to right
        int focusButton = 1;              // button numbers count from 1
        int enterButton = 1;
        int escapeButton = 0; // none: the box stays open on Escape
    };
    struct FileChoice {
        std::string title;
        std::string directory;
        std::string namePattern; // a file name or a pattern ("*.prm")
        std::string filters; // "*.prm; *.txt"
        int buttonLabel = 0; // VAL_OK_BUTTON and VAL_SAVE_BUTTON save, the others open
        bool restrictExtension = false;
        bool makeDirectory = true;
    };

    Prompts() = default;
    Prompts(const Prompts&) = delete;
    Prompts& operator=(const Prompts&) = delete;

    // A message with an OK button; closed once the operator closed it.
    void tell(const std::string& title, const std::string& text, QObject* receiver = nullptr,
              std::function<void()> closed = {});
    // The number of the button pressed; the escape button's (else 1) when
    // the box was closed otherwise.
    void ask(const Question& question, QObject* receiver, std::function<void(int)> answer);
    // The path chosen; none when the operator cancelled.
    void chooseFile(const FileChoice& choice, QObject* receiver,
                    std::function<void(std::optional<std::string>)> chosen);
};
