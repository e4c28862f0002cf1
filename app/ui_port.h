// SPDX-License-Identifier: GPL-3.0-or-later
// Every modal question the program asks, and what it starts outside itself.
// The program uses QtUiPort; tests answer by script.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QWidget;

namespace tavrilo {

inline const QString kAppTitle = QStringLiteral("Tavrilo");

enum class Answer { Ok, Yes, No, Cancel, Save, Discard };
// SaveDiscardCancel: a text's unsaved changes; Esc is Cancel.
enum class Buttons { Ok, YesNo, YesNoCancel, SaveDiscardCancel };

struct MessageRequest {
    QString text;  // a lone CR or LF starts a new line
    QString title = kAppTitle;
    Buttons buttons = Buttons::Ok;
    bool critical = false;     // the critical-error icon
    Answer defaultButton = Answer::Ok;
};

struct InputRequest {
    QString message;
    QString title;
    QString defaultAnswer;
};

struct FileDialogRequest {
    QString title;  // empty: the platform's own
    QString fileName;
    QString filterLabel;
    QString pattern;
    QString directory{};  // empty: the platform's own
    bool askBeforeReplacing = false;  // the text files' Save replaces without asking
    QString defaultSuffix{};          // added to a name chosen without one
    QStringList moreFilters{};        // further entries, "Label (*.x)"
};

class UiPort {
public:
    virtual ~UiPort() = default;
    virtual Answer Message(QWidget* parent, const MessageRequest& request) = 0;
    // The answer, or nothing when cancelled.
    virtual std::optional<QString> Input(QWidget* parent, const InputRequest& request) = 0;
    virtual std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Runs one of the program's own dialogs until it closes; true when accepted.
    virtual bool Exec(QDialog& dialog) = 0;
    // An existing or new folder; nothing when cancelled.
    virtual std::optional<QString> FolderName(QWidget* parent, const QString& title) = 0;
    // Starts program without arguments and without waiting; failures are silent.
    virtual void Start(const QString& program) = 0;
    // The program's own directory: where the assembly file and "help.bat" go.
    virtual QString ProgramDir() = 0;
    // Ends the program at once.
    virtual void Quit() = 0;
};

// A question answered Yes or No (Esc is No); true for Yes.
inline bool AskYes(UiPort& port, QWidget* parent, const QString& text, const QString& title = kAppTitle,
                   Answer defaultButton = Answer::No) {
    MessageRequest ask;
    ask.text = text;
    ask.title = title;
    ask.buttons = Buttons::YesNo;
    ask.defaultButton = defaultButton;
    return port.Message(parent, ask) == Answer::Yes;
}

}  // namespace tavrilo
