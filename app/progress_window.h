// SPDX-License-Identifier: GPL-3.0-or-later
// Form4: the small grey "Working..." window shown during a compile
// and while a calculator file is built.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <QEventLoop>
#include <atomic>
#include <functional>
#include <memory>

#include "tavrilo/system/status.h"

namespace tavrilo {

class Form4 : public QWidget {
    Q_OBJECT

public:
    explicit Form4(QWidget* parent = nullptr);
    // A Cancel button below the label, for work that runs off the window's thread.
    void SetCancellable(bool cancellable);
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QLabel* label1_;
    QPushButton* cancel_;
};

// Work that runs on Qt's thread pool while the window's events go on: how
// the window waits for a build or a transfer. The work reads Cancelled(),
// which stays valid for as long as the work runs, whoever ends first.
class BackgroundWork {
public:
    BackgroundWork() = default;
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    const std::atomic<bool>* CancelFlag() const { return cancel_.get(); }
    // Asks the work to stop; it ends at its next check.
    void Cancel() { *cancel_ = true; }
    // Returns from Run at once, without waiting for the work to end.
    void StopWaiting() { loop_.quit(); }

    // Runs work and the window's events until it ends: its Status. When the
    // program is closing or StopWaiting came first: the work is asked to
    // stop, and Run gives Status::Cancelled(), after waiting for the work
    // when waitAfterStop says so; the work then ends on its own.
    Status Run(std::function<Status()> work, bool waitAfterStop);

private:
    std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    QEventLoop loop_;
};

}  // namespace tavrilo
