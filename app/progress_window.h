// Form4: the small grey "Working..." window shown during a compile.
#pragma once

#include <QLabel>
#include <QWidget>

namespace tavrilo {

class Form4 : public QWidget {
    Q_OBJECT

public:
    explicit Form4(QWidget* parent = nullptr);
    QLabel* Label1() const { return label1_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QLabel* label1_;
};

}  // namespace tavrilo
