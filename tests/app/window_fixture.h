// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "log_window.h"
#include "main_window.h"
#include "module1.h"
#include "scripted_port.h"

namespace tavrilo::test {

// A widget of parent by its object name; a missing one ends the test run.
template <class W>
W* Named(const QObject* parent, const QString& name) {
    W* w = parent->findChild<W*>(name);
    if (!w) qFatal("no widget named %s", qPrintable(name));
    return w;
}

inline const CalcFileKind kBasic83{Language::Basic, CalcKind::Ti83};
inline const CalcFileKind kBasic8x{Language::Basic, CalcKind::Ti83Plus};
inline const CalcFileKind kAsm83{Language::Asm, CalcKind::Ti83};
inline const CalcFileKind kAsm8x{Language::Asm, CalcKind::Ti83Plus};

// A main window answered by script, with a scratch folder as the program's
// directory; made anew for every test function.
class WindowFixture {
protected:
    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<ScriptedPort> port;
    std::unique_ptr<Form1> form;

    // The log as it reads, lines ended by CR LF.
    QString Log() const {
        return Named<QPlainTextEdit>(LogWindow(), QStringLiteral("Text1"))->toPlainText().replace('\n', "\r\n");
    }
    // The main window's editor.
    Editor* Text1() const { return Named<Editor>(form.get(), QStringLiteral("Text1")); }
    QString Path(const QString& name) const { return tmp->path() + "/" + name; }

    // Call from init() through QVERIFY.
    bool StartWindow() {
        tmp = std::make_unique<QTemporaryDir>();
        port = std::make_unique<ScriptedPort>();
        port->programDir = tmp->path();
        form = std::make_unique<Form1>(*port);
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
    // Call from cleanup().
    void StopWindow() {
        form.reset();
        DestroyLogWindow();
    }
};

}  // namespace tavrilo::test
