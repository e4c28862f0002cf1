// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_port.h"

namespace tavrilo {

class QtUiPort : public UiPort {
public:
    Answer Message(QWidget* parent, const MessageRequest& request) override;
    std::optional<QString> Input(QWidget* parent, const InputRequest& request) override;
    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    bool Exec(QDialog& dialog) override;
    std::optional<QString> FolderName(QWidget* parent, const QString& title) override;
    void Start(const QString& program) override;
    QString ProgramDir() override;
    void Quit() override;
};

}  // namespace tavrilo
