// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "error_info.h"
#include "local_path.h"
#include "tavrilo/convert/text_file.h"
#include "tavrilo/calc/basic_program.h"
#include "tavrilo/convert/ce.h"

namespace tavrilo {

namespace {

const QColor kGround(0xB4, 0xC4, 0xA4);
const QColor kInk(0x22, 0x2A, 0x24);
const QColor kMark(0xD0, 0x20, 0x20);

// Pixel rows of a string at row on the display.
std::pair<int, int> RowSpan(int row, Display d) {
    switch (d) {
        case Display::Home: return {row * kLargeCellHeight, kLargeCellHeight};
        case Display::CeHome: return {row * 2 * kLargeCellHeight, 2 * kLargeCellHeight};
        case Display::CeGraph: return {row, kCeCellHeight};
        case Display::Graph: break;
    }
    return {row, kSmallCellHeight};
}

}  // namespace

// Until the first screen comes, the TI-83's, blank.
LcdView::LcdView(QWidget* parent)
    : QWidget(parent), picture_{Bitmap(ScreenOf(Display::Graph).width, ScreenOf(Display::Graph).height), {}} {
    setObjectName(QStringLiteral("Lcd"));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LcdView::SetPicture(const Picture& p, Display display) {
    const bool resized = p.image.Width() != picture_.image.Width() || p.image.Height() != picture_.image.Height();
    picture_ = p;
    display_ = display;
    if (resized) SetZoom(zoom_);
    update();
}

void LcdView::SetZoom(int zoom) {
    zoom_ = std::clamp(zoom, kMinScale, kMaxScale);
    setFixedSize(sizeHint());
    updateGeometry();
    update();
}

QSize LcdView::sizeHint() const {
    return {picture_.image.Width() * zoom_ + kMarkGap + kMarkWidth, picture_.image.Height() * zoom_};
}

void LcdView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Bitmap& b = picture_.image;
    p.fillRect(QRect(0, 0, b.Width() * zoom_, b.Height() * zoom_), kGround);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.At(x, y)) p.fillRect(x * zoom_, y * zoom_, zoom_, zoom_, kInk);
    for (int row : picture_.clippedRows) {
        auto [top, height] = RowSpan(row, display_);
        p.fillRect(b.Width() * zoom_ + kMarkGap, top * zoom_, kMarkWidth, height * zoom_, kMark);
    }
}

void LcdView::keyPressEvent(QKeyEvent* e) {
    if (onKey)
        onKey(e);
    else
        QWidget::keyPressEvent(e);
}

PreviewWindow::PreviewWindow(UiPort& port, std::function<std::string(char)> text,
                             std::function<AsmOpts()> opts, QWidget* owner)
    : QWidget(owner, Qt::Window), port_(port), text_(std::move(text)), opts_(std::move(opts)) {
    setObjectName(QStringLiteral("Preview"));
    setWindowTitle(QStringLiteral("Preview"));

    output_ = new QComboBox(this);
    output_->setObjectName(QStringLiteral("Output"));
    output_->addItems({QStringLiteral("BASIC"), QStringLiteral("Assembly"), QStringLiteral("BASIC for TI-84 Plus CE")});
    output_->setFocusPolicy(Qt::NoFocus);
    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("PageLabel"));
    zoomLabel_ = new QLabel(this);
    lcd_ = new LcdView(this);
    lcd_->onKey = [this](QKeyEvent* e) { HandleKey(e); };
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Status"));
    status_->setWordWrap(true);
    previous_ = new QPushButton(QStringLiteral("< Previous"), this);
    previous_->setObjectName(QStringLiteral("Previous"));
    next_ = new QPushButton(QStringLiteral("Next >"), this);
    next_->setObjectName(QStringLiteral("Next"));
    save_ = new QPushButton(QStringLiteral("Save pictures..."), this);
    save_->setObjectName(QStringLiteral("SavePictures"));
    for (QPushButton* b : {previous_, next_, save_}) b->setFocusPolicy(Qt::NoFocus);
    clipped_ = new QListWidget(this);
    clipped_->setObjectName(QStringLiteral("Clipped"));
    clipped_->setFocusPolicy(Qt::NoFocus);
    clipped_->setMaximumHeight(90);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Output:"), this));
    top->addWidget(output_);
    top->addStretch();
    top->addWidget(zoomLabel_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(previous_);
    buttons->addWidget(next_);
    buttons->addStretch();
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pageLabel_);
    lcdArea_ = new QScrollArea(this);
    lcdArea_->setFrameShape(QFrame::NoFrame);
    lcdArea_->setFocusPolicy(Qt::NoFocus);
    lcdArea_->setWidget(lcd_);
    lcd_->setAutoFillBackground(false);  // the window's own ground beside the LCD, as before the area
    layout->addWidget(lcdArea_, 0, Qt::AlignLeft);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(new QLabel(QStringLiteral("Rows cut at the right edge:"), this));
    layout->addWidget(clipped_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("RebuildTimer"));
    timer_->setSingleShot(true);
    timer_->setInterval(kIdleMs);
    connect(timer_, &QTimer::timeout, this, &PreviewWindow::Rebuild);
    connect(output_, &QComboBox::currentIndexChanged, this, &PreviewWindow::Rebuild);
    connect(previous_, &QPushButton::clicked, this, [this] {
        if (current_ > 0) ShowScreen(current_ - 1);
    });
    connect(next_, &QPushButton::clicked, this, [this] { ShowScreen(current_ + 1); });
    connect(save_, &QPushButton::clicked, this, &PreviewWindow::SavePictures);
    connect(clipped_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QVariant screen = item->data(Qt::UserRole);
        if (screen.isValid()) ShowScreen(screen.value<qulonglong>());
    });
    ZoomBy(0);
}

void PreviewWindow::ScheduleRebuild() {
    stale_ = true;
    if (isVisible()) timer_->start();
}

void PreviewWindow::StartAtFirstScreen() {
    current_ = 0;
    ScheduleRebuild();
}

void PreviewWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (stale_) Rebuild();
    lcd_->setFocus();
}

void PreviewWindow::Rebuild() {
    timer_->stop();
    if (saving_) {
        stale_ = true;
        return;
    }
    stale_ = false;
    try {
        const bool ce = output_->currentIndex() == kCeOutput;
        std::string text = text_(ce ? LackingByte(CalcKind::Ti84PlusCe, Language::Basic) : kReplaced);
        if (output_->currentIndex() == 1) {
            model_ = ScreenModel::ForAsm(std::move(text), opts_());
        } else {
            // A BASIC program in the editor (after a BASIC compile) is shown as it runs,
            // as Make calculator file... writes it, for the CE too.
            std::string tokens;
            std::optional<ScreenModel> program;
            if (HoldsBasicProgram(text, tokens)) program = ScreenModel::ForBasicProgram(text);
            model_ = program ? std::move(*program) : ce ? ScreenModel::ForCe(text) : ScreenModel::ForBasic(text);
        }
        FillClippedList();
        ShowScreen(std::min(current_, model_.Count() - 1));
    } catch (...) {
        ShowError();
    }
}

void PreviewWindow::FillClippedList() {
    clipped_->clear();
    const std::vector<ClippedRow>& rows = model_.Clipped();
    const std::size_t listed = std::min<std::size_t>(rows.size(), kListedClips);
    for (std::size_t i = 0; i < listed; ++i) {
        auto* item = new QListWidgetItem(QStringLiteral("Page %1, pen row %2")
                                             .arg(rows[i].screen + 1)
                                             .arg(rows[i].row),
                                         clipped_);
        item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(rows[i].screen));
    }
    if (rows.size() > listed)
        clipped_->addItem(QStringLiteral("... and %1 more").arg(rows.size() - listed));
    if (rows.empty()) clipped_->addItem(QStringLiteral("None"));
}

void PreviewWindow::ShowScreen(std::size_t i) {
    if (model_.Count() == 0) return;
    current_ = std::min(i, model_.Count() - 1);
    try {
        const Screen s = model_.At(current_);
        const QSize before = lcd_->size();
        lcd_->SetPicture(Render(s), s.display);
        if (lcd_->size() != before) KeepOnScreen();  // another calculator's screen
        pageLabel_->setText(QString::fromStdString(ScreenName(s, model_.PageCount())));
        status_->setText(!s.waits       ? QStringLiteral("The program has ended.")
                         : s.upGoesBack ? QStringLiteral("Any key moves on; Up goes back.")
                         : s.anyKey     ? QStringLiteral("Any key moves on.")
                                        : QStringLiteral("ENTER moves on."));
        if (model_.LeftOut() > 0)
            status_->setText(status_->text() + QLatin1Char(' ') +
                             QString::fromStdString(CeLeftOutMessage(model_.LeftOut())) + QLatin1Char('.'));
    } catch (...) {
        ShowError();
    }
    previous_->setEnabled(current_ > 0);
    next_->setEnabled(current_ + 1 < model_.Count());
}

void PreviewWindow::Press(Key k) {
    const std::size_t to = model_.After(current_, k);
    if (to == kNoScreen) {
        status_->setText(QStringLiteral("The program has ended."));
        return;
    }
    ShowScreen(to);
}

void PreviewWindow::HandleKey(QKeyEvent* e) {
    const int key = e->key();
    switch (key) {
        case Qt::Key_PageUp:
            if (current_ > 0) ShowScreen(current_ - 1);
            return;
        case Qt::Key_PageDown:
            ShowScreen(current_ + 1);
            return;
        case Qt::Key_Home:
            ShowScreen(0);
            return;
        case Qt::Key_End:
            if (model_.Count() > 0) ShowScreen(model_.Count() - 1);
            return;
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_AltGr:
            return;
        default:
            break;
    }
    if (e->modifiers() == Qt::ControlModifier || e->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier) ||
        e->modifiers() == (Qt::ControlModifier | Qt::KeypadModifier)) {
        if (key == Qt::Key_Plus || key == Qt::Key_Equal) return ZoomBy(1);
        if (key == Qt::Key_Minus) return ZoomBy(-1);
    }
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        e->ignore();
        return;
    }
    if (model_.Count() == 0) return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        Press(Key::Enter);
    else if (key == Qt::Key_Up)
        Press(Key::Up);
    else
        Press(Key::Other);
}

void PreviewWindow::keyPressEvent(QKeyEvent* e) { HandleKey(e); }

void PreviewWindow::ZoomBy(int step) {
    lcd_->SetZoom(lcd_->Zoom() + step);
    zoomLabel_->setText(QStringLiteral("%1\u00d7  (Ctrl++ / Ctrl+-)").arg(lcd_->Zoom()));
    KeepOnScreen();
}

// A window grown by zooming or a larger screen is moved back onto its screen, its title bar
// first where it cannot fit whole; shrunk again, it goes back to where the
// user had put it.
void PreviewWindow::KeepOnScreen() {
    lcdArea_->setFixedSize(lcd_->size());
    if (!isVisible() || screen() == nullptr) return;
    layout()->activate();
    const QRect room = screen()->availableGeometry();
    // The LCD shows whole where the screen has room for the window, else it scrolls.
    const QMargins margins = layout()->contentsMargins();
    const QSize fits(room.width() - (frameGeometry().width() - width()) - margins.left() - margins.right(),
                     room.height() - (frameGeometry().height() - lcdArea_->height()));
    QSize shown = lcd_->size();
    if (shown.width() > fits.width()) shown.rheight() += lcdArea_->horizontalScrollBar()->sizeHint().height();
    if (shown.height() > fits.height()) shown.rwidth() += lcdArea_->verticalScrollBar()->sizeHint().width();
    if (shown != lcd_->size()) {
        lcdArea_->setFixedSize(shown.boundedTo(fits).expandedTo(QSize(kMinLcdShown, kMinLcdShown)));
        layout()->activate();
    }
    const QRect frame(placed_.value_or(frameGeometry().topLeft()), frameGeometry().size());
    QPoint to = frame.topLeft();
    if (frame.right() > room.right()) to.rx() -= frame.right() - room.right();
    if (frame.bottom() > room.bottom()) to.ry() -= frame.bottom() - room.bottom();
    to.rx() = std::max(to.x(), room.left());
    to.ry() = std::max(to.y(), room.top());
    if (to == frame.topLeft()) placed_.reset();
    else placed_ = frame.topLeft();
    if (to != frameGeometry().topLeft()) {
        movedTo_ = to;
        move(to);
    }
}

void PreviewWindow::moveEvent(QMoveEvent* e) {
    // Moved by the user, the window stays where it was put.
    if (frameGeometry().topLeft() != movedTo_) placed_.reset();
    QWidget::moveEvent(e);
}

void PreviewWindow::SavePictures() {
    const std::optional<QString> dir = port_.FolderName(this, QStringLiteral("Save pictures"));
    if (!dir) return;
    try {
        if (stale_) Rebuild();
        // A long text makes thousands of pictures: the user is asked first, progress
        // shows after a moment, and Cancel stops.
        const std::size_t count = model_.Count();
        if (count > kPicturesUnasked) {
            if (!AskYes(port_, this, QStringLiteral("The text makes %1 pictures. Save all %1 in %2?").arg(count).arg(*dir),
                        QStringLiteral("Save pictures")))
                return;
        }
        QProgressDialog progress(QStringLiteral("Saving pictures..."), QStringLiteral("Cancel"), 0,
                                 static_cast<int>(std::min<std::size_t>(count, INT_MAX)), this);
        progress.setObjectName(QStringLiteral("SavingPictures"));
        progress.setWindowTitle(QStringLiteral("Save pictures"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(kProgressDelayMs);
        progress.setAutoReset(false);
        progress.setValue(0);
        PicturesResult r;
        {
            const QScopedValueRollback<bool> saving(saving_, true);
            r = tavrilo::SavePictures(model_, LocalPath(*dir), lcd_->Zoom(), [&](std::size_t n) {
                if (n % 8 == 0) progress.setValue(static_cast<int>(std::min<std::size_t>(n, INT_MAX)));
                return !progress.wasCanceled();
            });
        }
        progress.close();
        if (stale_) timer_->start();
        if (!r.status.ok()) {
            port_.Message(this, ErrorMessage(FromLocalPath(r.status.message), r.status.code != 0 ? r.status.code : EIO));
            return;
        }
        status_->setText(r.stopped ? QStringLiteral("Stopped: %1 of %2 pictures saved in %3")
                                         .arg(r.written)
                                         .arg(count)
                                         .arg(*dir)
                                   : QStringLiteral("%1 pictures saved in %2").arg(r.written).arg(*dir));
    } catch (...) {
        ShowError();
    }
}

void PreviewWindow::ShowError() {
    const ErrorInfo error = CurrentError();
    port_.Message(this, ErrorMessage(error.description, error.number));
}

}  // namespace tavrilo
