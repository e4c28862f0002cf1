// SPDX-License-Identifier: GPL-3.0-or-later
// The "Preview" window: the calculator's screens for the editor's text, one at
// a time, drawn as the LCD shows them.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <QPoint>
#include <functional>
#include <optional>
#include <string>

#include "tavrilo/screens/lcd.h"
#include "tavrilo/screens/screen_pictures.h"
#include "tavrilo/screens/screens.h"
#include "ui_port.h"

namespace tavrilo {

// One screen as an LCD: each calculator pixel a zoom x zoom square, and a
// red mark right of every row cut at the right edge.
class LcdView : public QWidget {
    Q_OBJECT

public:
    explicit LcdView(QWidget* parent = nullptr);
    void SetPicture(const Picture& p, Display display);
    void SetZoom(int zoom);
    int Zoom() const { return zoom_; }
    QSize sizeHint() const override;
    std::function<void(QKeyEvent*)> onKey;

    static constexpr int kMarkGap = 3, kMarkWidth = 3;

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    Picture picture_;
    Display display_ = Display::Graph;
    int zoom_ = kDefaultScale;
};

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    // text gives the editor's bytes, opts the options dialog's flags; owner
    // keeps the window with it.
    // text(lacking): the editor's text, a character without a Windows-1252 form as lacking.
    PreviewWindow(UiPort& port, std::function<std::string(char lacking)> text, std::function<AsmOpts()> opts,
                  QWidget* owner);

    // Rebuilds once typing pauses.
    void ScheduleRebuild();
    // The next rebuild shows the first screen, not the one shown now.
    void StartAtFirstScreen();
    // Rebuilds now, keeping the screen shown where it still exists.
    void Rebuild();
    void ShowScreen(std::size_t i);
    // The program's answer to a key: moves on, back, or nowhere.
    void Press(Key k);
    void SavePictures();
    void ZoomBy(int step);
    void KeepOnScreen();

    static constexpr int kIdleMs = 300;
    // The output choice that shows the TI-84 Plus CE program's screens.
    static constexpr int kCeOutput = 2;
    static constexpr int kListedClips = 500;
    // The least of the LCD shown where the screen is small: it scrolls.
    static constexpr int kMinLcdShown = 120;
    // How long saving pictures runs before its progress shows.
    static constexpr int kProgressDelayMs = 500;
    // More pictures than this are saved only when the user says so.
    static constexpr std::size_t kPicturesUnasked = 1000;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    void HandleKey(QKeyEvent* e);
    void FillClippedList();
    void ShowError();

    UiPort& port_;
    std::function<std::string(char lacking)> text_;
    std::function<AsmOpts()> opts_;
    ScreenModel model_;
    std::size_t current_ = 0;
    bool stale_ = true;
    bool saving_ = false;  // the model is being saved: a rebuild waits
    QTimer* timer_;  // "RebuildTimer": fires once typing pauses
    QComboBox* output_;
    QLabel* pageLabel_;
    QLabel* zoomLabel_;
    QLabel* status_;
    LcdView* lcd_;
    QScrollArea* lcdArea_;  // scrolls the LCD where the screen has no room for it whole
    QListWidget* clipped_;
    QPushButton* previous_;
    QPushButton* next_;
    QPushButton* save_;
    std::optional<QPoint> placed_;  // where the user had the window before zooming moved it
    QPoint movedTo_;                // where zooming last moved it
};

}  // namespace tavrilo
