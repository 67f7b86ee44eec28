// Modal popups. Each one runs on the GUI thread; called from the control thread
// it holds the logic until the operator answers, while the windows keep painting.
#include "panelkit/gui_call.h"
#include "panelkit/message_box.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_test_api.h"
#include "panelkit/popup_hook.h"
#include "panelkit/run_ending.h"
#include "panelkit/window_place.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

// Every popup and file dialog now open, the innermost last. GUI thread only.
// As objects: one may be told off the list while it is being destroyed,
// when it is no longer a dialog.
std::vector<QPointer<QObject>> gOpenPopups;

// Keeps a dialog on that list while it runs. With Q7_POPUP_LOG set, each
// title also goes to stderr once the dialog is up, for logs and for tests
// of the program from outside.
class OpenPopup {
  public:
    OpenPopup(QDialog* dialog, const std::string& title) : dialog_(dialog) {
        gOpenPopups.emplace_back(dialog);
        if (qEnvironmentVariableIsSet("Q7_POPUP_LOG"))
            QTimer::singleShot(0, dialog, [title] {
                std::fprintf(stderr, "q7: popup open: %s\n", title.c_str());
                std::fflush(stderr);
            });
    }
    ~OpenPopup() {
        std::erase_if(gOpenPopups, [this](const QPointer<QObject>& d) {
            return d.isNull() || d.data() == dialog_;
        });
    }
    OpenPopup(const OpenPopup&) = delete;
    OpenPopup& operator=(const OpenPopup&) = delete;

  private:
    QObject* dialog_;
};

// A dialog opens beside the main panel, at the size it will show at.
void place(QDialog* dialog) {
    if (auto* box = dynamic_cast<MessageBox*>(dialog))
        box->fitToText();
    else
        dialog->adjustSize();
    placeBeside(dialog);
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

void record(PopupScript* script, const char* kind, const std::string& title,
            const std::string& text) {
    script->shown.push_back({kind, title, text});
}

int genericOnGui(const std::string& title, const std::string& text, const std::string* labels,
                 int focusButton, int enterButton, int escapeButton) {
    const int escapeAnswer = escapeButton > 0 ? escapeButton : 1;
    if (runEnding()) return escapeAnswer;
    if (PopupScript* script = activePopupScript()) {
        record(script, "generic", title, text);
        if (!script->buttons.empty()) {
            const int answer = script->buttons.front();
            script->buttons.pop_front();
            return answer;
        }
        return escapeAnswer;
    }
    MessageBox box(qs(title), qs(text));
    QPushButton* buttons[3] = {};
    for (int i = 0; i < 3; ++i)
        if (!labels[i].empty()) buttons[i] = box.addButton(qs(labels[i]));
    auto button = [&](int n) { return n >= 1 && n <= 3 ? buttons[n - 1] : nullptr; };
    box.setDefaultButton(button(enterButton));
    box.setEscapeButton(button(escapeButton));
    if (QPushButton* b = button(focusButton)) QTimer::singleShot(0, b, [b] { b->setFocus(); });
    place(&box);
    {
        const OpenPopup open(&box, title);
        box.exec();
    }
    if (runEnding()) return escapeAnswer;
    for (int i = 0; i < 3; ++i)
        if (buttons[i] && box.clickedButton() == buttons[i]) return i + 1;
    return escapeAnswer;
}

QStringList splitFilters(const std::string& list) {
    QStringList filters;
    for (const QString& part : qs(list).split(';', Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty()) filters << part.trimmed();
    return filters;
}

int fileOnGui(const std::string& defaultDirectory, const std::string& defaultSpec,
              const std::string& filterList, const std::string& title, int buttonLabel,
              int restrictExtension, int allowMakeDirectory, std::string* path) {
    if (runEnding()) return VAL_NO_FILE_SELECTED;
    if (PopupScript* script = activePopupScript()) {
        record(script, "file", title, defaultSpec);
        if (script->files.empty()) return VAL_NO_FILE_SELECTED;
        auto [result, chosen] = script->files.front();
        script->files.pop_front();
        if (path) *path = chosen;
        return result;
    }
    QFileDialog dlg(nullptr, qs(title), qs(defaultDirectory));
    setUpFileDialog(dlg, defaultSpec, filterList, buttonLabel, restrictExtension,
                    allowMakeDirectory);
    int result = QDialog::Rejected;
    place(&dlg);
    {
        const OpenPopup open(&dlg, title);
        result = dlg.exec();
    }
    if (result != QDialog::Accepted || runEnding() || dlg.selectedFiles().isEmpty())
        return VAL_NO_FILE_SELECTED;
    const QString chosen = dlg.selectedFiles().first();
    if (path) *path = chosen.toStdString();
    return QFileInfo::exists(chosen) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

} // namespace

void setUpFileDialog(QFileDialog& dlg, const std::string& defaultSpec,
                     const std::string& filterList, int buttonLabel, bool restrictExtension,
                     bool allowMakeDirectory) {
    const bool saving = buttonLabel == VAL_OK_BUTTON || buttonLabel == VAL_SAVE_BUTTON;
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    // The callers ask before they overwrite, when they care.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    // A read-only view has no "new folder" button.
    if (!allowMakeDirectory) dlg.setOption(QFileDialog::ReadOnly);
    dlg.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    static const char* labels[] = {"OK", "Save", "Select", "Load"};
    if (buttonLabel >= 0 && buttonLabel <= 3)
        dlg.setLabelText(QFileDialog::Accept, QObject::tr(labels[buttonLabel]));
    QStringList filters = splitFilters(filterList);
    const QString pattern = qs(defaultSpec);
    const bool isPattern = pattern.contains('*') || pattern.contains('?');
    if (isPattern && !filters.contains(pattern)) filters.prepend(pattern);
    if (!filters.isEmpty()) dlg.setNameFilters(filters);
    if (isPattern) {
        dlg.selectNameFilter(pattern);
        if (restrictExtension && saving) dlg.setDefaultSuffix(QFileInfo(pattern).suffix());
    } else if (!pattern.isEmpty()) {
        dlg.selectFile(pattern);
    }
}

void placePopup(QDialog* dialog) {
    place(dialog);
}

void trackOpenPopup(QDialog* dialog, const std::string& title) {
    // Off the list once it is gone; the list skips the ones gone meanwhile.
    auto* open = new OpenPopup(dialog, title);
    QObject::connect(dialog, &QObject::destroyed, [open] { delete open; });
}

int MessagePopup(const std::string& title, const std::string& text) {
    return onGui([&] {
        if (runEnding()) return 0;
        if (PopupScript* script = activePopupScript()) {
            record(script, "message", title, text);
            return 0;
        }
        MessageBox box(qs(title), qs(text));
        box.setDefaultButton(box.addButton(QObject::tr("OK")));
        place(&box);
        const OpenPopup open(&box, title);
        box.exec();
        return 0;
    });
}

namespace {

// A notice open on the desktop, or answered by a script (which has no box to
// close: it stays open until withdrawn).
struct OpenNotice {
    std::string title;
    std::string text;
    bool scripted = false;
    QPointer<MessageBox> box;

    bool open() const { return scripted || box; }
};

std::vector<OpenNotice> gNotices; // GUI thread only

void withdrawOnGui(const std::string& title) {
    std::erase_if(gNotices, [&](const OpenNotice& notice) {
        if (!notice.open()) return true;
        if (notice.title != title) return false;
        if (notice.box) notice.box->close();
        return true;
    });
}

void noticeOnGui(const std::string& title, const std::string& text) {
    withdrawOnGui(title);
    if (PopupScript* script = activePopupScript()) {
        record(script, "notice", title, text);
        gNotices.push_back({title, text, true, nullptr});
        return;
    }
    auto* box = new MessageBox(qs(title), qs(text));
    box->setDefaultButton(box->addButton(QObject::tr("OK")));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    place(box);
    box->show();
    gNotices.push_back({title, text, false, box});
}

} // namespace

int NoticePopup(const std::string& title, const std::string& text) {
    onGui([&] { noticeOnGui(title, text); });
    return 0;
}

void extendNotice(const std::string& title, const std::string& more, const std::string& fresh) {
    onGui([&] {
        std::string text = fresh;
        for (const OpenNotice& notice : gNotices)
            if (notice.open() && notice.title == title) text = notice.text;
        noticeOnGui(title, text + more);
    });
}

void WithdrawNotice(const std::string& title) {
    onGui([&] { withdrawOnGui(title); });
}

void forgetScriptedNotices() {
    std::erase_if(gNotices, [](const OpenNotice& notice) { return notice.scripted; });
}

int GenericMessagePopup(const std::string& title, const std::string& text,
                        const std::string& button1, const std::string& button2,
                        const std::string& button3, int focusButton, int enterButton,
                        int escapeButton) {
    const std::string labels[3] = {button1, button2, button3};
    return onGui(
        [&] { return genericOnGui(title, text, labels, focusButton, enterButton, escapeButton); });
}

// The directory and cancel restrictions are left to the operator: a modern
// file dialog always lets one browse and cancel.
int FileSelectPopup(const std::string& defaultDirectory, const std::string& defaultSpec,
                    const std::string& filterList, const std::string& title, int buttonLabel,
                    int /*restrictDirectory*/, int restrictExtension, int /*allowCancel*/,
                    int allowMakeDirectory, std::string* path) {
    return onGui([&] {
        return fileOnGui(defaultDirectory, defaultSpec, filterList, title, buttonLabel,
                         restrictExtension, allowMakeDirectory, path);
    });
}

void answerOpenPopupsAsEscape() {
    // Innermost first; each exec() returns once control is back in its loop.
    const std::vector<QPointer<QObject>> open = gOpenPopups;
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (auto* dialog = qobject_cast<QDialog*>(it->data())) dialog->reject();
}
