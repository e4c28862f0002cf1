#pragma once

#include "ui_port.h"

namespace tavrilo {

class QtUiPort : public UiPort {
public:
    Answer Message(QWidget* parent, const MessageSpec& request) override;
    std::optional<QString> Input(QWidget* parent, const InputSpec& request) override;
    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogSpec& request) override;
    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogSpec& request) override;
    bool Exec(QDialog& dialog) override;
    std::optional<QString> FolderName(QWidget* parent, const QString& title) override;
    void Start(const QString& program) override;
    QString ProgramDir() override;
    void Quit() override;
};

}  // namespace tavrilo
