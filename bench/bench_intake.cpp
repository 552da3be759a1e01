// Adds a batch of 1,000,000 lines (about 700,000 distinct) through the add-keywords dialog, offscreen,
// into an empty store and then again into the same store, with duplicate exclusion on; also times the paste.

#include "BenchSupport.h"
#include "ui/Modal.h"
#include "ui/add_words/frmAddWords.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
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
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Data.db"_s);
    if (!createStore(path))
        return 1;
    const auto store = Bench::open(path);
    if (!store)
        return 1;
    const QString text = batchText();
    std::printf("batch: %d lines, %d distinct, %.1f MB of text\n", Lines, Distinct, text.size() * 2 / 1e6);

    for (const char* round : {"into an empty store", "again (all duplicates)"}) {
        frmAddWords dialog(*store);
        Modal::setDriver([&](QDialog& d) {
            auto* box = d.findChild<QPlainTextEdit*>(u"txtKeys"_s);
            QElapsedTimer timer;
            timer.start();
            box->insertPlainText(text);
            QCoreApplication::processEvents();
            std::printf("pasting the batch into the text box: %.2f s\n", timer.elapsed() / 1000.0);
            timer.restart();
            QTest::mouseClick(d.findChild<QPushButton*>(u"cmdAdd"_s), Qt::LeftButton);
            std::printf("adding %s: %.2f s\n", round, timer.elapsed() / 1000.0);
        });
        dialog.Init();
        for (const QString& shown : std::exchange(Bench::messages(), {}))
            std::printf("  result: %s\n", qPrintable(shown));
    }
    return 0;
}
