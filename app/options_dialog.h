// SPDX-License-Identifier: GPL-3.0-or-later
// Form3, the "Option" dialog: how the assembly program lays out its pages.
#pragma once

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <functional>

#include "tavrilo/convert/asm.h"

namespace tavrilo {

class Form3 : public QWidget {
    Q_OBJECT

public:
    // compile runs the assembly compile with the chosen flags; done gives the
    // main window back (after Compile and after Cancel). The dialog belongs to
    // owner: it stays above it and is minimised and restored with it.
    Form3(std::function<void(const AsmOpts&)> compile, std::function<void()> done,
          QWidget* owner = nullptr);

    AsmOpts Opts() const;
    // Showing raises the dialog and gives it the keyboard focus.
    void setVisible(bool visible) override;

    QRadioButton* Option1() const { return option1_; }
    QRadioButton* Option2() const { return option2_; }
    QRadioButton* Option3() const { return option3_; }
    QCheckBox* Check1() const { return check1_; }
    QCheckBox* Check2() const { return check2_; }
    QCheckBox* Check3() const { return check3_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ApplyPreset();
    void Compile();
    void Cancel();

    std::function<void(const AsmOpts&)> compile_;
    std::function<void()> done_;
    QWidget* owner_;
    QRadioButton* option1_;
    QRadioButton* option2_;
    QRadioButton* option3_;
    QCheckBox* check1_;
    QCheckBox* check2_;
    QCheckBox* check3_;
    QPushButton* command1_;
    QPushButton* command2_;
};

}  // namespace tavrilo
