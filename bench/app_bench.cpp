// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's commands on a book-sized text, driven through the real windows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>

#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "preview_window.h"
#include "prose.h"
#include "scripted_port.h"

namespace {

using namespace tavrilo;

constexpr std::size_t kTenMiB = 10u << 20;

struct Rig {
    QTemporaryDir dir;
    test::ScriptedPort port;
    Form1 form{port};
    QString book = dir.path() + "/book.txt";
    QString utf8Book = dir.path() + "/book-utf8.txt";  // the same with "é" in every "key."

    Rig() {
        port.programDir = dir.path();
        const std::string& text = bench::Prose(kTenMiB);
        std::ofstream(book.toStdString(), std::ios::binary).write(text.data(), text.size());
        std::string utf8 = text;
        for (std::size_t i = 0; (i = utf8.find("key.", i)) != std::string::npos; i += 5) utf8.replace(i, 4, "k\xc3\xa9y.");
        utf8.resize(kTenMiB);
        while (static_cast<unsigned char>(utf8.back()) >= 0x80) utf8.pop_back();  // not within "é"
        std::ofstream(utf8Book.toStdString(), std::ios::binary).write(utf8.data(), utf8.size());
        form.show();
        QApplication::processEvents();
    }
    void Load() {
        form.findChild<Editor*>(QStringLiteral("Text1"))->ReplaceAll(bench::Prose(kTenMiB));
        QApplication::processEvents();
    }
};

Rig* rig;

void BM_Open(benchmark::State& state) {
    for (auto _ : state) {
        rig->port.fileAnswers = {rig->book};
        rig->form.Open();
        QApplication::processEvents();
    }
    state.counters["bytes"] = double(rig->form.findChild<Editor*>(QStringLiteral("Text1"))->ByteSize());
}

void BM_OpenUtf8(benchmark::State& state) {
    for (auto _ : state) {
        rig->port.fileAnswers = {rig->utf8Book};
        rig->form.Open();
        QApplication::processEvents();
    }
    state.counters["bytes"] = double(rig->form.findChild<Editor*>(QStringLiteral("Text1"))->ByteSize());
}

void BM_Save(benchmark::State& state) {
    rig->Load();
    for (auto _ : state) {
        rig->port.fileAnswers = {rig->dir.path() + "/saved.txt"};
        rig->form.Save();
    }
}

void BM_CompileAsm(benchmark::State& state) {
    rig->Load();
    for (auto _ : state) {
        rig->port.answers = {Answer::Yes};
        rig->port.inputAnswers = {QStringLiteral("book.asm")};
        rig->form.Compile();
        rig->form.OptionsDialog()->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QApplication::processEvents();
    }
}

void BM_CompileBasic(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        rig->Load();
        state.ResumeTiming();
        rig->port.answers = {Answer::No};
        rig->form.Compile();
        QApplication::processEvents();
    }
}

// One key typed at the end of the text; range(0) is the text's size in bytes.
void BM_TypeKey(benchmark::State& state) {
    rig->form.findChild<Editor*>(QStringLiteral("Text1"))->ReplaceAll(bench::Prose(std::size_t(state.range(0))));
    rig->form.findChild<Editor*>(QStringLiteral("Text1"))->moveCursor(QTextCursor::End);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    Editor* editor = rig->form.findChild<Editor*>(QStringLiteral("Text1"));
    for (auto _ : state) {
        QApplication::sendEvent(editor, &key);
        QApplication::processEvents();
    }
}

// The Preview window on the book: a rebuild (the editor's bytes, the model and
// one screen), and a page turn by key.
void BM_PreviewRebuild(benchmark::State& state) {
    rig->Load();
    rig->form.ShowPreview();
    PreviewWindow* p = rig->form.Preview();
    p->findChild<QComboBox*>(QStringLiteral("Output"))->setCurrentIndex(1);
    for (auto _ : state) p->Rebuild();
    state.counters["screens"] = double(ScreenModel::ForAsm(bench::Prose(kTenMiB), AsmOpts{}).Count());
}

void BM_PreviewKey(benchmark::State& state) {
    PreviewWindow* p = rig->form.Preview();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    for (auto _ : state) {
        QApplication::sendEvent(p->findChild<LcdView*>(QStringLiteral("Lcd")), &key);
        QApplication::processEvents();
    }
}

}  // namespace

BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenUtf8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompileAsm)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompileBasic)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TypeKey)->Arg(1 << 10)->Arg(kTenMiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviewRebuild)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PreviewKey)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        Rig r;
        rig = &r;
        benchmark::RunSpecifiedBenchmarks();
        rig = nullptr;
    }
    DestroyLogWindow();
    benchmark::Shutdown();
    return 0;
}
