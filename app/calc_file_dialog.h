// SPDX-License-Identifier: GPL-3.0-or-later
// The "Calculator file" dialog of File > Make calculator file... and File >
// Send to calculator...: the program's name, the kind of file and the link
// cable's connection.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/link/link.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

enum class CalcFileKind { Basic83, Basic8x, Asm83, Asm8x };
inline constexpr int kCalcFileKinds = 4;

inline bool IsAssembly(CalcFileKind kind) { return kind == CalcFileKind::Asm83 || kind == CalcFileKind::Asm8x; }
// The calculator the kind's file is for.
inline CalcKind CalcOf(CalcFileKind kind) {
    return kind == CalcFileKind::Basic8x || kind == CalcFileKind::Asm8x ? CalcKind::Ti83Plus : CalcKind::Ti83;
}

// The name the calculator lists for a text file: its base name upper-cased,
// only A-Z and 0-9 kept, cut to 8, leading digits dropped; "TEXT" when
// nothing is left or there is no file.
QString DefaultProgramName(const QString& textFilePath);

class CalcFileDialog : public QDialog {
    Q_OBJECT

public:
    explicit CalcFileDialog(QWidget* parent);

    QString Name() const { return name_->text(); }
    void SetName(const QString& name) { name_->setText(name); }
    CalcFileKind Kind() const;
    // Shows which layout flags the assembly kinds use.
    void SetAsmFlags(const AsmOpts& opts);

    QLineEdit* NameEdit() const { return name_; }
    QLabel* Rule() const { return rule_; }
    // The chosen kind's note: the assembly kinds' flags and how to run the program.
    QLabel* AsmFlags() const { return asmFlags_; }
    QRadioButton* KindButton(CalcFileKind kind) const { return kinds_[static_cast<int>(kind)]; }
    QPushButton* MakeButton() const { return make_; }
    QPushButton* SendButton() const { return send_; }
    QComboBox* ConnectionBox() const { return connection_; }
    // Whether the dialog was closed by Send rather than Make.
    bool SendChosen() const { return sendChosen_; }
    // Which of Make and Send Enter presses.
    void SetSendDefault(bool send);
    // The chosen connection, kept for as long as the dialog lives.
    LinkOptions Connection() const;
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    void CheckName();
    void FitSize();

    static constexpr int kWidth = 360;
    void ShowAsmNote();
    void ListConnections();

    QLineEdit* name_;
    QLabel* rule_;
    QRadioButton* kinds_[kCalcFileKinds];
    QLabel* asmFlags_;
    QPushButton* make_;
    QPushButton* cancel_;
    QPushButton* send_;
    QComboBox* connection_;
    bool sendChosen_ = false;
    AsmOpts asmOpts_;
};

// The editor's text as the kind's program tokens (limits bound the assembler),
// and the whole program file of them; both throw what Make calculator file reports.
std::string CalcFileTokens(CalcFileKind kind, const std::string& text, const AsmOpts& opts,
                           const ToolLimits& limits = {});
std::string CalcFileBytes(CalcFileKind kind, const std::string& name, const std::string& tokens);

// How an assembly program of that kind and name is started on the calculator.
QString AsmRunHint(CalcFileKind kind, const QString& name);

// The file's extension with its dot, and the calculator's free user memory.
QString Extension(CalcFileKind kind);
std::size_t FreeUserMemory(CalcFileKind kind);

}  // namespace tavrilo
