// Form1: the editor, its menu and the commands.
#pragma once

#include <QAction>
#include <QListView>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <functional>
#include <memory>

#include "editor.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/line_store.h"
#include "ui_port.h"

namespace tavrilo {

class CalcFileDialog;
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

    Editor* Text1() const { return text1_; }
    QPlainTextEdit* Text2() const { return text2_; }
    QListView* List1() const { return list1_; }
    const LineStore& DataLines() const { return store_; }
    Form3* OptionsDialog();
    Form4* ProgressWindow();
    CalcFileDialog* CalcFile();
    PreviewWindow* Preview();

    // Called before the filter (step 1) and the generator (step 2) of the
    // BASIC compile; tests throw from it to exercise the error path.
    std::function<void(int step)> BasicFaultHook;
    // Called by Open, Save and the assembly compile before they read or
    // write; tests throw from it the same way.
    std::function<void(const char* command)> CommandFaultHook;

    // The commands of the menu.
    void Save();
    void Open();
    // Open without the question: reads path into the editor.
    void OpenPath(const QString& path);
    void Compile();
    void MakeCalcFile();
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
    void ShowError(const QString& description, int number);
    void End();
    void RememberTextFile(const QString& path);

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
    QString lastFileDir_;     // the folder of the last text or calculator file
    QString calcDefaultName_;
    PreviewWindow* preview_ = nullptr;
};

}  // namespace tavrilo
