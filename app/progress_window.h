// SPDX-License-Identifier: GPL-3.0-or-later
// Form4: the small grey "Working..." window shown during a compile
// and while a calculator file is built.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>

namespace tavrilo {

class Form4 : public QWidget {
    Q_OBJECT

public:
    explicit Form4(QWidget* parent = nullptr);
    QLabel* Label1() const { return label1_; }
    // A Cancel button below the label, for work that runs off the window's thread.
    void SetCancellable(bool cancellable);
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QLabel* label1_;
    QPushButton* cancel_;
};

// Runs the window's events until ended() says yes (asked every 20 ms) or the
// program is closed: how the window waits for work on another thread.
void WaitUntil(const std::function<bool()>& ended);

}  // namespace tavrilo
