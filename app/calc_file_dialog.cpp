// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc_file_dialog.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <iterator>

#include "tavrilo/calc/program_file.h"

namespace tavrilo {

QString DefaultProgramName(const QString& textFilePath) {
    QString name;
    for (QChar c : QFileInfo(textFilePath).completeBaseName().toUpper())
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            name += c;
    name.truncate(8);
    while (!name.isEmpty() && name[0].isDigit()) name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("TEXT") : name;
}

QString FromTable(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString AsmRunHint(CalcFileKind kind, const QString& name) {
    const Calculator& c = Calc(kind.calc);
    return QStringLiteral("On the ") + FromTable(c.models) + QStringLiteral(": ") + FromTable(c.asmTarget->runWith) + name;
}

QString Extension(CalcFileKind kind) { return FromTable(Calc(kind.calc).file.extension); }

std::vector<CalcFileKind> CalcFileKinds() {
    std::vector<CalcFileKind> kinds;
    for (const Calculator& c : kCalculators) kinds.push_back({Language::Basic, c.kind});
    for (const Calculator& c : kCalculators)
        if (c.asmTarget) kinds.push_back({Language::Asm, c.kind});
    return kinds;
}

QString KindCaption(CalcFileKind kind) {
    const Calculator& c = Calc(kind.calc);
    return (IsAssembly(kind) ? QStringLiteral("Assembly for ") : QStringLiteral("BASIC for ")) + FromTable(c.models) +
           QStringLiteral(" (") + FromTable(c.file.extension) + QStringLiteral(")");
}

QString KindName(CalcFileKind kind) {
    return (IsAssembly(kind) ? QStringLiteral("AsmKind") : QStringLiteral("BasicKind")) + FromTable(Calc(kind.calc).option);
}

namespace {

// Program names are upper case: letters are turned as they are typed or pasted.
class UpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

}  // namespace

CalcFileDialog::CalcFileDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CalcFileDialog"));
    setWindowTitle(QStringLiteral("Calculator file"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("ProgramName"));
    name_->setMaxLength(64);
    name_->setValidator(new UpperCase(name_));
    rule_ = new QLabel(QString::fromLatin1(kNameRule.data(), static_cast<int>(kNameRule.size())), this);
    rule_->setObjectName(QStringLiteral("NameRule"));
    rule_->setWordWrap(true);

    auto* group = new QButtonGroup(this);
    for (CalcFileKind kind : CalcFileKinds()) {
        auto* button = new QRadioButton(KindCaption(kind), this);
        button->setObjectName(KindName(kind));
        group->addButton(button);
        kinds_.emplace_back(kind, button);
    }
    kinds_.front().second->setChecked(true);
    asmFlags_ = new QLabel(this);
    asmFlags_->setObjectName(QStringLiteral("AsmFlags"));
    asmFlags_->setWordWrap(true);

    make_ = new QPushButton(QStringLiteral("Make"), this);
    make_->setObjectName(QStringLiteral("Make"));
    make_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    send_ = new QPushButton(QStringLiteral("Send to calculator"), this);
    send_->setObjectName(QStringLiteral("Send"));
    connection_ = new QComboBox(this);
    connection_->setObjectName(QStringLiteral("Connection"));
    ListConnections();
    archive_ = new QCheckBox(QStringLiteral("Send to Archive"), this);
    archive_->setObjectName(QStringLiteral("Archive"));
    connect(archive_, &QCheckBox::clicked, this, [this](bool on) { archiveWanted_ = on; });
    connect(send_, &QPushButton::clicked, this, [this] {
        sendChosen_ = true;
        accept();
    });
    connect(make_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(name_, &QLineEdit::textChanged, this, &CalcFileDialog::CheckName);
    for (auto& [kind, k] : kinds_)
        connect(k, &QRadioButton::toggled, this, [this, calc = kind.calc](bool on) {
            if (!on) return;
            ShowKind();
            OfferArchive(calc);  // the kind turned on: the one turned off may still read as checked
            FitSize();
        });

    // Read from the top, as Tab goes: name, kind and its note, connection and archive, buttons.
    auto* nameRow = new QFormLayout;
    nameRow->addRow(QStringLiteral("Program name:"), name_);
    auto* connectionRow = new QFormLayout;
    connectionRow->addRow(QStringLiteral("Connection:"), connection_);
    connectionRow->addRow(QString(), archive_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(rule_);
    for (auto& [kind, k] : kinds_) layout->addWidget(k);
    layout->addWidget(asmFlags_);
    layout->addLayout(connectionRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(make_);
    buttons->addWidget(send_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    QWidget* previous = name_;
    for (auto& [kind, k] : kinds_) setTabOrder(previous, k), previous = k;
    setTabOrder(previous, connection_);
    setTabOrder(connection_, archive_);
    setTabOrder(archive_, make_);
    setTabOrder(make_, send_);
    setTabOrder(send_, cancel_);
    CheckName();
    OfferArchive(Kind().calc);
}

// The kinds are one stop of Tab, at the chosen kind; the arrow keys move among them.
bool CalcFileDialog::focusNextPrevChild(bool next) {
    QWidget* at = focusWidget();
    QWidget* chosen = nullptr;
    bool atKind = false;
    for (const auto& [kind, button] : kinds_) {
        if (button->isChecked()) chosen = button;
        atKind = atKind || button == at;
    }
    QWidget* to = nullptr;
    if (atKind)
        to = next ? static_cast<QWidget*>(connection_) : name_;
    else if (at == (next ? static_cast<QWidget*>(name_) : connection_))
        to = chosen;
    if (to == nullptr) return QDialog::focusNextPrevChild(next);
    to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

CalcFileKind CalcFileDialog::Kind() const {
    for (const auto& [kind, button] : kinds_)
        if (button->isChecked()) return kind;
    return kinds_.front().first;
}

void CalcFileDialog::SetKind(CalcFileKind kind) {
    for (const auto& [k, button] : kinds_)
        if (k == kind) button->setChecked(true);
}

void CalcFileDialog::SetAsmFlags(const AsmOpts& opts) {
    asmOpts_ = opts;
    ShowKind();
}

void CalcFileDialog::ShowKind() {
    const CalcFileKind kind = Kind();
    const Calculator& calc = Calc(kind.calc);
    const QString name = make_->isEnabled() ? Name() : QStringLiteral("NAME");
    asmFlags_->setVisible(IsAssembly(kind) || !calc.basicNote.empty());
    if (!IsAssembly(kind)) {
        asmFlags_->setText(FromTable(calc.basicNote).replace(QStringLiteral("NAME"), name));
        return;
    }
    const AsmOpts& opts = asmOpts_;
    QStringList on;
    if (opts.LineAbovePage) on << QStringLiteral("line above page");
    if (opts.ShowPage) on << QStringLiteral("show page");
    if (opts.ScrollUp) on << QStringLiteral("scroll up");
    const AsmTarget& target = *calc.asmTarget;
    asmFlags_->setText(QStringLiteral("Assembly: the Option dialog's flags: ") +
                       (on.isEmpty() ? QStringLiteral("none (small prog)") : on.join(QStringLiteral(", "))) +
                       QStringLiteral(".\n") + FromTable(target.runsOn) + QStringLiteral("; run it with ") +
                       FromTable(target.runWith) + name +
                       (target.runHowTo.empty() ? QStringLiteral(".")
                                         : QStringLiteral(" (") + FromTable(target.runHowTo) + QStringLiteral(").")));
}

void CalcFileDialog::CheckName() {
    const bool ok = ValidProgramName(name_->text().toStdString());
    rule_->setVisible(!ok);
    make_->setEnabled(ok);
    send_->setEnabled(ok);
    ShowKind();
    FitSize();
}

// A fixed size that fits what shows: the wrapped notes and the name rule take
// the height they need at the dialog's width, and leave none behind.
void CalcFileDialog::FitSize() {
    layout()->activate();
    const int width = std::max(kWidth, layout()->sizeHint().width());
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : sizeHint().height();
    setFixedSize(width, height);
}

void CalcFileDialog::SetSendDefault(bool send) {
    make_->setDefault(!send);
    send_->setDefault(send);
}

// The item data: "auto", "virtual" or a serial port's path. A port plugged
// in since the last time is offered; the choice stays when it still exists.
void CalcFileDialog::ListConnections() {
    const QString chosen = connection_->currentData().toString();
    connection_->clear();
    connection_->addItem(QStringLiteral("Automatic (USB)"), QStringLiteral("auto"));
    for (const std::string& port : SerialPorts()) {
        const QString path = QString::fromStdString(port);
        connection_->addItem(QStringLiteral("GrayLink on ") + path, path);
    }
    connection_->addItem(QStringLiteral("Emulator (virtual link)"), QStringLiteral("virtual"));
    connection_->setCurrentIndex(std::max(0, connection_->findData(chosen)));
}

void CalcFileDialog::OfferArchive(CalcKind calc) {
    const bool has = HasArchive(Calc(calc));
    archive_->setEnabled(has);
    archive_->setChecked(has && archiveWanted_);
}

LinkOptions CalcFileDialog::Connection() const {
    LinkOptions options;
    const QString chosen = connection_->currentData().toString();
    if (chosen == QLatin1String("virtual")) {
        options.cable = CableKind::Virtual;
    } else if (chosen != QLatin1String("auto")) {
        options.cable = CableKind::GrayLink;
        options.device = chosen.toStdString();
    }
    options.archive = archive_->isEnabledTo(this) && archive_->isChecked();  // the window may be disabled by now
    return options;
}

void CalcFileDialog::showEvent(QShowEvent* e) {
    sendChosen_ = false;
    ListConnections();
    QDialog::showEvent(e);
    raise();
    activateWindow();
    name_->setFocus();
    name_->selectAll();
}

}  // namespace tavrilo
