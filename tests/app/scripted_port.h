// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui_port.h"

namespace tavrilo::test {

// Answers every question from a script and remembers what was asked.
class ScriptedPort : public UiPort {
public:
    std::vector<MessageRequest> messages;
    std::vector<InputRequest> inputs;
    std::vector<FileDialogRequest> fileDialogs;
    QStringList folderDialogs;  // their titles
    QStringList started;
    int quits = 0;
    QString programDir;

    std::deque<Answer> answers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::function<void()> onMessage;  // runs while a message is shown
    // Each runs while one of the program's dialogs is shown (none: Cancel).
    std::deque<std::function<void(QDialog&)>> dialogScripts;
    int dialogsRun = 0;

    Answer Message(QWidget*, const MessageRequest& request) override {
        messages.push_back(request);
        if (onMessage) onMessage();
        if (answers.empty()) return Answer::Ok;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<QString> Input(QWidget*, const InputRequest& request) override {
        inputs.push_back(request);
        return Next(inputAnswers);
    }
    std::optional<QString> OpenFileName(QWidget*, const FileDialogRequest& request) override {
        fileDialogs.push_back(request);
        return Next(fileAnswers);
    }
    std::optional<QString> SaveFileName(QWidget*, const FileDialogRequest& request) override {
        fileDialogs.push_back(request);
        return Next(fileAnswers);
    }
    bool Exec(QDialog& dialog) override {
        ++dialogsRun;
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (!dialogScripts.empty()) {
            auto script = std::move(dialogScripts.front());
            dialogScripts.pop_front();
            script(dialog);
        }
        const bool accepted = dialog.result() == QDialog::Accepted;
        dialog.hide();
        return accepted;
    }
    std::optional<QString> FolderName(QWidget*, const QString& title) override {
        folderDialogs << title;
        return Next(folderAnswers);
    }
    void Start(const QString& program) override { started << program; }
    QString ProgramDir() override { return programDir; }
    void Quit() override { ++quits; }

private:
    static std::optional<QString> Next(std::deque<std::optional<QString>>& q) {
        std::optional<QString> a;
        if (!q.empty()) {
            a.swap(q.front());
            q.pop_front();
        }
        return a;
    }
};

}  // namespace tavrilo::test
