// Adds a batch of 1,000,000 lines (about 700,000 distinct) through the add-keywords dialog, offscreen, with
// duplicate exclusion on: pasted with Ctrl+V, then added, then added again (all duplicates). Prints the times
// and the peak resident memory.
// Usage: bench_intake [--sync=normal] [--into STORE] [--delete-all]
//   --into adds to an existing store (such as bench_sorting_loop's); --delete-all then deletes every keyword
//   of it and times that.

#include "BenchSupport.h"
#include "ui/FileDialog.h"
#include "ui/Modal.h"
#include "ui/add_words/frmAddWords.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int Lines = 1000000;
constexpr int Distinct = 700000;

QString batchText()
{
    const QStringList words = {u"手机"_s, u"价格"_s, u"Phone"_s, u"评测"_s, u"推荐"_s, u"附近"_s, u"哪个好"_s};
    QString text;
    text.reserve(Lines * 16);
    for (int i = 0; i < Lines; ++i) {
        const int k = int((qint64(i) * 7919) % Distinct);
        text += words.at(k % words.size()) + u' ' + words.at((k / 7) % words.size()) + u' ' + QString::number(k)
            + u"\r\n"_s;
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::answerMessages();
    Bench::synchronousFromArguments(argc, argv);
    QString path;
    bool deleteAll = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--into") == 0 && i + 1 < argc)
            path = QString::fromLocal8Bit(argv[++i]);
        deleteAll = deleteAll || qstrcmp(argv[i], "--delete-all") == 0;
    }
    QTemporaryDir dir;
    if (path.isEmpty()) {
        path = dir.filePath(u"Data.db"_s);
        if (!createStore(path))
            return 1;
    }
    const auto store = Bench::open(path);
    if (!store)
        return 1;
    QApplication::clipboard()->setText(batchText());
    std::printf("batch: %d lines, %d distinct, %.1f MB of text; resident memory before: %.1f MB\n", Lines, Distinct,
                QApplication::clipboard()->text().size() * 2 / 1e6, Bench::residentKiB() / 1024.0);

    for (const char* round : {"into the store", "again (all duplicates)"}) {
        frmAddWords dialog(*store);
        Modal::setDriver([&](QDialog& d) {
            auto* box = d.findChild<QPlainTextEdit*>(u"txtKeys"_s);
            QElapsedTimer timer;
            timer.start();
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            std::printf("pasting the batch into the text box: %.2f s\n", timer.elapsed() / 1000.0);
            timer.restart();
            QTest::mouseClick(d.findChild<QPushButton*>(u"cmdAdd"_s), Qt::LeftButton);
            std::printf("adding %s: %.2f s, peak resident memory so far %.1f MB\n", round, timer.elapsed() / 1000.0,
                        Bench::residentKiB("VmHWM:") / 1024.0);
        });
        dialog.Init();
        for (const QString& shown : std::exchange(Bench::messages(), {}))
            std::printf("  result: %s\n", qPrintable(shown));
    }
    // The same lines from a text file, chosen with Ctrl+O, into a store of their own: from the choice to the
    // result message.
    {
        const QString file = dir.filePath(u"keywords.txt"_s);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(batchText().toUtf8()) < 0)
            return 1;
        out.close();
        const QString fresh = dir.filePath(u"file.db"_s);
        if (!createStore(fresh))
            return 1;
        const auto target = Bench::open(fresh);
        frmAddWords dialog(*target);
        Modal::setDriver([&](QDialog& d) {
            QElapsedTimer timer;
            timer.start();
            FileDialog::setNextFileNames({file});
            QTest::keyClick(d.findChild<QPlainTextEdit*>(u"txtKeys"_s), Qt::Key_O, Qt::ControlModifier);
            std::printf("adding a file of %d lines (%.1f MB), from choosing it to the result: %.2f s\n", Lines,
                        double(QFileInfo(file).size()) / 1e6, timer.elapsed() / 1000.0);
        });
        dialog.Init();
        for (const QString& shown : std::exchange(Bench::messages(), {}))
            std::printf("  result: %s\n", qPrintable(shown));
    }
    if (deleteAll) {
        QElapsedTimer timer;
        timer.start();
        const Status deleted = store->deleteAllKeywords();
        std::printf("deleting every keyword: %.2f s%s\n", timer.elapsed() / 1000.0, deleted ? "" : " (failed)");
    }
    return 0;
}
