#include "panelkit/prompts.h"

#include "panelkit/message_box.h"
#include "panelkit/panel_test_api.h"
#include "panelkit/popup_hook.h"
#include "panelkit/run_ending.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace {

QString asText(const std::string& s) {
    return QString::fromStdString(s);
}

// Runs f on the GUI thread, later: the caller goes on at once.
template <class F> void onGuiLater(F f) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}

// The answer goes to the receiver only while it is there; one without a
// receiver is only told.
template <class A> std::function<void(A)> toReceiver(QObject* receiver, std::function<void(A)> f) {
    return [to = QPointer<QObject>(receiver), bound = receiver != nullptr, f = std::move(f)](A a) {
        if (f && (!bound || to)) f(std::move(a));
    };
}

// A box answered by the operator: shown modal, answered once it is done.
template <class F> void showUntilDone(QDialog* dialog, const std::string& title, F done) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, done](int result) { done(dialog, result); });
    placePopup(dialog);
    trackOpenPopup(dialog, title);
    dialog->show();
}

} // namespace

void Prompts::tell(const std::string& title, const std::string& text, QObject* receiver,
                   std::function<void()> closed) {
    auto answer = toReceiver<int>(receiver, [closed = std::move(closed)](int) {
        if (closed) closed();
    });
    onGuiLater([title, text, answer] {
        if (runEnding()) return answer(0);
        if (PopupScript* script = activePopupScript()) {
            script->shown.push_back({"message", title, text});
            return answer(0);
        }
        auto* box = new MessageBox(asText(title), asText(text));
        box->setDefaultButton(box->addButton(QObject::tr("OK")));
        showUntilDone(box, title, [answer](QDialog*, int) { answer(0); });
    });
}

void Prompts::ask(const Question& question, QObject* receiver, std::function<void(int)> answer) {
    onGuiLater([q = question, answer = toReceiver<int>(receiver, std::move(answer))] {
        const int escapeAnswer = q.escapeButton > 0 ? q.escapeButton : 1;
        if (runEnding()) return answer(escapeAnswer);
        if (PopupScript* script = activePopupScript()) {
            script->shown.push_back({"generic", q.title, q.text});
            if (script->buttons.empty()) return answer(escapeAnswer);
            const int scripted = script->buttons.front();
            script->buttons.pop_front();
            return answer(scripted);
        }
        auto* box = new MessageBox(asText(q.title), asText(q.text));
        std::vector<QPushButton*> buttons;
        for (const std::string& label : q.buttons)
            buttons.push_back(box->addButton(asText(label)));
        auto button = [&](int n) {
            return n >= 1 && n <= int(buttons.size()) ? buttons[std::size_t(n - 1)] : nullptr;
        };
        box->setDefaultButton(button(q.enterButton));
        box->setEscapeButton(button(q.escapeButton));
        if (QPushButton* b = button(q.focusButton))
            QTimer::singleShot(0, b, [b] { b->setFocus(); });
        showUntilDone(box, q.title, [answer, buttons, escapeAnswer](QDialog* dialog, int) {
            auto* shown = static_cast<MessageBox*>(dialog);
            for (std::size_t i = 0; i < buttons.size(); ++i)
                if (!runEnding() && shown->clickedButton() == buttons[i]) return answer(int(i) + 1);
            answer(escapeAnswer);
        });
    });
}

void Prompts::chooseFile(const FileChoice& choice, QObject* receiver,
                         std::function<void(std::optional<std::string>)> chosen) {
    using Path = std::optional<std::string>;
    onGuiLater([c = choice, answer = toReceiver<Path>(receiver, std::move(chosen))] {
        if (runEnding()) return answer(std::nullopt);
        if (PopupScript* script = activePopupScript()) {
            script->shown.push_back({"file", c.title, c.namePattern});
            if (script->files.empty()) return answer(std::nullopt);
            auto [result, path] = script->files.front();
            script->files.pop_front();
            return answer(result == VAL_NO_FILE_SELECTED ? Path() : Path(path));
        }
        auto* dlg = new QFileDialog(nullptr, asText(c.title), asText(c.directory));
        setUpFileDialog(*dlg, c.namePattern, c.filters, c.buttonLabel, c.restrictExtension,
                        c.makeDirectory);
        showUntilDone(dlg, c.title, [answer](QDialog* dialog, int result) {
            const QStringList files = static_cast<QFileDialog*>(dialog)->selectedFiles();
            if (result != QDialog::Accepted || runEnding() || files.isEmpty())
                return answer(std::nullopt);
            answer(files.first().toStdString());
        });
    });
}
