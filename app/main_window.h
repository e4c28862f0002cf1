// SPDX-License-Identifier: GPL-3.0-or-later
// Form1: the editor, its menu and the commands.
#pragma once

#include <QAction>
#include <QListView>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <memory>
#include <optional>
#include <string>

#include "calc_file_dialog.h"
#include "editor.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/line_store.h"
#include "tavrilo/convert/text_file.h"
#include "ui_port.h"

namespace tavrilo {

class Form3;
class Form4;
class LineStoreModel;
class PreviewWindow;

class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(UiPort& port);
    ~Form1() override;

    // Fields shared by the commands.
    QString Title;
    bool ChkNO = false;
    bool Log_w = false;

    // The assembly compile, run by the options dialog's Compile button.
    void T2Asm(const AsmOpts& opts);

    Form3* OptionsDialog();
    Form4* ProgressWindow();
    CalcFileDialog* CalcFile();
    PreviewWindow* Preview();

    // The commands of the menu.
    void Save();
    void Open();
    // Open without the question: reads path into the editor.
    void OpenPath(const QString& path);
    void Compile();
    void MakeCalcFile();
    // The Calculator file dialog with Send as its default button.
    void SendToCalc();
    void Exit();
    void ToggleLogWindow();
    void About();
    void Help();
    void ShowPreview();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, QKeySequence key,
                     void (Form1::*command)());
    void BuildMenu();
    void UpdateSizeCaption();
    void CompileBasic();
    void ShowProgress();
    void HideProgress();
    void GiveBack();
    // How every failed command ends: what the command set busy is undone
    // (pointer, ChkNO with the window it took, the Working window), then the
    // caption, the log and the ERROR box report it. Open and Save keep the
    // caption, which shows the text's size.
    enum class ErrorCaption { Show, Keep };
    void EndFailed(const QString& description, int number, ErrorCaption caption = ErrorCaption::Show);
    void End();
    // True when the text may go: unchanged since it was opened, saved or
    // compiled, saved now, or given up; asks the user otherwise.
    bool MayDropText();
    void MarkTextUnchanged();
    void RememberTextFile(const QString& path);
    // The editor's text in Windows-1252 as the conversion takes it; the log
    // counts the characters the code page lacks.
    std::string TextForCalc(char lacking = kReplaced);
    // The log line of the characters a CE program left out, where there are any.
    void LogLeftOut(std::size_t leftOut);
    // Sends the program Make calculator file would write over the dialog's connection.
    void SendCalcProgram(CalcFileKind kind, const QString& name);
    bool AskReplace(const QString& name);
    // The program of text (the editor's, as TextForCalc gives it) for a
    // calculator file of kind, built off the window's thread while the
    // Working window offers Cancel; leftOut hears how many characters the
    // CE's program left out.
    Status BuildCalcProgram(CalcFileKind kind, const QString& name, const std::string& text, ProgramVar& var,
                            std::size_t* leftOut = nullptr);
    // Whether a program larger than the calculator's free memory is made anyway.
    bool ConfirmMemory(CalcFileKind kind, const ProgramVar& var);

    UiPort& port_;
    Editor* text1_;
    QPlainTextEdit* text2_;
    QListView* list1_;
    LineStore store_;
    LineStoreModel* list1Model_;
    std::unique_ptr<Form3> form3_;
    std::unique_ptr<Form4> form4_;
    bool ending_ = false;
    CalcFileDialog* calcFile_ = nullptr;
    QString textFilePath_;    // the text file last opened or saved
    TextEncoding textEncoding_ = TextEncoding::Utf8;  // how Save writes the text
    QString lastFileDir_;     // the folder of the last text or calculator file
    QString calcDefaultName_;
    PreviewWindow* preview_ = nullptr;
};

}  // namespace tavrilo
