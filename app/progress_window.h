// SPDX-License-Identifier: GPL-3.0-or-later
// Form4: the small grey "Working..." window shown during a compile
// and while a calculator file is built.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

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

// What work on another thread shares with the window, so that either may be
// gone first: whether it ended, how it failed, and the window's wish to stop.
struct ThreadWork {
    std::atomic<bool> done{false};
    std::atomic<bool> cancel{false};
    std::exception_ptr error;
};

// Runs work(*job) on a thread of its own; what it throws is kept in job->error,
// and job->done is set when it ends either way.
template <class Job, class Work>
std::thread StartWork(const std::shared_ptr<Job>& job, Work work) {
    return std::thread([job, work = std::move(work)]() mutable {
        try {
            work(*job);
        } catch (...) {
            job->error = std::current_exception();
        }
        job->done = true;
    });
}

// Runs the window's events until ended() says yes (asked every 20 ms) or the
// program is closed: how the window waits for work on another thread.
void WaitUntil(const std::function<bool()>& ended);

}  // namespace tavrilo
