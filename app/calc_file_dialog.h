// SPDX-License-Identifier: GPL-3.0-or-later
// The "Calculator file" dialog of File > Make calculator file... and File >
// Send to calculator...: the program's name, the kind of file and the link
// cable's connection.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <string_view>
#include <utility>
#include <vector>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/link/link.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

// A kind of calculator file: the program's language and the calculator it is for.
struct CalcFileKind {
    Language language = Language::Basic;
    CalcKind calc = CalcKind::Ti83;

    bool operator==(const CalcFileKind& o) const { return language == o.language && calc == o.calc; }
};

inline bool IsAssembly(CalcFileKind kind) { return kind.language == Language::Asm; }

// Every kind the dialog offers, in its order: BASIC for each calculator, then
// assembly for each that runs it.
std::vector<CalcFileKind> CalcFileKinds();

// "BASIC for TI-83 (.83p)", "Assembly for TI-83 Plus / 84 Plus (.8xp)"; the
// object name of its button is KindName.
QString KindCaption(CalcFileKind kind);
QString KindName(CalcFileKind kind);

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
    void SetKind(CalcFileKind kind);
    // Shows which layout flags the assembly kinds use.
    void SetAsmFlags(const AsmOpts& opts);

    // Whether the dialog was closed by Send rather than Make.
    bool SendChosen() const { return sendChosen_; }
    // Which of Make and Send Enter presses.
    void SetSendDefault(bool send);
    // The chosen connection and Send to Archive, kept for as long as the dialog lives.
    LinkOptions Connection() const;

protected:
    void showEvent(QShowEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    void CheckName();
    void FitSize();

    static constexpr int kWidth = 360;
    // The chosen kind's note, and whether Send is offered for it.
    void ShowKind();
    void ListConnections();
    // Send to Archive is for the calculators that have an Archive.
    void OfferArchive(CalcKind calc);

    QLineEdit* name_;
    QLabel* rule_;
    std::vector<std::pair<CalcFileKind, QRadioButton*>> kinds_;
    QLabel* asmFlags_;
    QPushButton* make_;
    QPushButton* cancel_;
    QPushButton* send_;
    QComboBox* connection_;
    QCheckBox* archive_;
    bool archiveWanted_ = false;  // as the user left it, shown only for a calculator with an Archive
    bool sendChosen_ = false;
    AsmOpts asmOpts_;
};

// How an assembly program of that kind and name is started on the calculator.
QString AsmRunHint(CalcFileKind kind, const QString& name);

// The file's extension with its dot.
QString Extension(CalcFileKind kind);

// A text of the calculator table, such as a name or an extension.
QString FromTable(std::string_view s);

}  // namespace tavrilo
