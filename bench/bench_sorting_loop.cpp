// Builds a store of a million keywords and measures the filing loop with the real window, offscreen.
// Usage: bench_sorting_loop [STORE]   (the store is built when the file does not exist; keep it to rerun fast)

#include "BenchSupport.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int Filings = 1000;
using Bench::report;

// 10 top-level classes of a 10 x 10 x 10 tree with 250 keywords on each of the 1,000 leaves; five flat
// top-level classes of 50,000 keywords each; 500,000 unsorted keywords.
bool build(const QString& path)
{
    if (!createStore(path)) {
        std::puts("cannot create the store");
        return false;
    }
    const auto opened = Bench::open(path);
    if (!opened)
        return false;
    Store& store = *opened;
    QElapsedTimer timer;
    timer.start();
    QList<KeywordRow> rows;
    const auto flush = [&] {
        const bool ok = store.importRows(rows).ok();
        rows.clear();
        return ok;
    };
    for (int a = 1; a <= 10; ++a) {
        const QString top = *store.addClass({}, u"树%1"_s.arg(a), QString::number(a % 10));
        for (int b = 1; b <= 10; ++b) {
            const QString mid = *store.addClass(top, u"枝%1-%2"_s.arg(a).arg(b), QString::number(b % 10));
            for (int c = 1; c <= 10; ++c) {
                const QString title = u"叶%1-%2-%3"_s.arg(a).arg(b).arg(c);
                const QString leaf = *store.addClass(mid, title, QString::number(c % 10));
                for (int k = 0; k < 250; ++k)
                    rows.append({0, u"%1 关键词 %2"_s.arg(title).arg(k), leaf, title, 1, 0, 0});
            }
        }
        if (!flush())
            return false;
    }
    for (int f = 0; f < 5; ++f) {
        const QString title = u"平%1"_s.arg(f);
        const QString code = *store.addClass({}, title, QString(QChar(u'a' + f)));
        for (int k = 0; k < 50000; ++k)
            rows.append({0, u"%1 关键词 %2"_s.arg(title).arg(k), code, title, 1, 0, 0});
        if (!flush())
            return false;
    }
    for (int k = 0; k < 500000; ++k) {
        rows.append({0, u"待分类关键词 %1"_s.arg(k), {}, {}, 0, 0, 0});
        if (rows.size() == 100000 && !flush())
            return false;
    }
    if (!flush())
        return false;
    std::printf("built a store of 1,000,000 keywords in %.1f s\n", timer.elapsed() / 1000.0);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::answerMessages();
    Bench::synchronousFromArguments(argc, argv);
    QTemporaryDir dir;
    const QString path = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : dir.filePath(u"Data.db"_s);
    if (!QFile::exists(path) && !build(path))
        return 1;

    QElapsedTimer timer;
    timer.start();
    const auto store = Bench::open(path);
    if (!store)
        return 1;
    frmKorvel window(*store);
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();
    std::printf("start-up to the first keyword shown (grid of %d rows): %.1f ms\n", window.gridModel()->dataRowCount(),
                Bench::ms(timer.nsecsElapsed()));

    auto* list = window.findChild<QTreeWidget*>(u"ListView2"_s);
    auto* txtKey = window.findChild<QWidget*>(u"txtKey"_s);
    QList<qint64> selects;
    for (int i = 0; i < 20; ++i) {
        // Alternate two flat classes so that every selection loads a 50,000-row grid.
        QTreeWidgetItem* item = list->topLevelItem(10 + i % 2);
        timer.restart();
        list->setCurrentItem(item);
        QCoreApplication::processEvents();
        selects << timer.nsecsElapsed();
    }
    report("selecting a 50,000-row class (grid load)", selects);

    QList<qint64> quick;
    for (int i = 0; i < Filings; ++i) {
        timer.restart();
        QTest::keyClick(txtKey, 'c');
        QCoreApplication::processEvents();
        quick << timer.nsecsElapsed();
    }
    report("quick-key filing into a 50,000-row flat class", quick);

    list->setCurrentItem(list->topLevelItem(0));
    QCoreApplication::processEvents();
    QList<qint64> right;
    for (int i = 0; i < Filings; ++i) {
        timer.restart();
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QCoreApplication::processEvents();
        right << timer.nsecsElapsed();
    }
    report("right-button filing into a tree class (subtree 25,000+)", right);
    std::printf("grid rows after the filings: %d\n", window.gridModel()->dataRowCount());
    std::printf("resident memory: %.1f MB\n", Bench::residentKiB() / 1024.0);
    if (!Bench::messages().isEmpty())
        std::printf("messages shown: %lld, first: %s\n", qlonglong(Bench::messages().size()),
                    qPrintable(Bench::messages().first()));
    return 0;
}
