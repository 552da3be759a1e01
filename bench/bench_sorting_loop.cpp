// Builds a store of a million keywords (or ten times that with --scale 10) and measures, with the real window
// offscreen, what the operator meets while sorting: start-up, selecting classes, filing, memory, export.
// Usage: bench_sorting_loop [--scale N] [--sync=normal] [--startup] [STORE]
//   --startup measures only the start-up, several times over with the page cache warm, and changes nothing.
//   The store is built when it does not open (no such file, or a database without the tables); keep it to rerun
//   fast (filings change it a little). STORE may name a PostgreSQL database, as --db does.

#include "BenchSupport.h"
#include "session/KeywordGridModel.h"
#include "session/SortingSession.h"
#include "store/export/Export.h"
#include "ui/FileDialog.h"
#include "ui/Modal.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int Filings = 1000;
using Bench::report;

// A 10 x 10 x 10 tree under the first 10 top-level classes with 250 keywords on each of its 1,000 leaves;
// five flat top-level classes of 50,000 keywords each; 500,000 unsorted keywords. All of it times the scale.
bool build(const QString& path, int scale)
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
                for (int k = 0; k < 250 * scale; ++k)
                    rows.append({0, u"%1 关键词 %2"_s.arg(title).arg(k), leaf, title, 1, 0, 0});
            }
        }
        if (!flush())
            return false;
    }
    for (int f = 0; f < 5; ++f) {
        const QString title = u"平%1"_s.arg(f);
        const QString code = *store.addClass({}, title, QString(QChar(u'a' + f)));
        for (int k = 0; k < 50000 * scale; ++k) {
            rows.append({0, u"%1 关键词 %2"_s.arg(title).arg(k), code, title, 1, 0, 0});
            if (rows.size() == 100000 && !flush())
                return false;
        }
        if (!flush())
            return false;
    }
    for (int k = 0; k < 500000 * scale; ++k) {
        rows.append({0, u"待分类关键词 %1"_s.arg(k), {}, {}, 0, 0, 0});
        if (rows.size() == 100000 && !flush())
            return false;
    }
    if (!flush())
        return false;
    std::printf("built a store of %d,000,000 keywords in %.1f s\n", scale, timer.elapsed() / 1000.0);
    return true;
}

// Until the grid has painted its first screen.
qint64 shown(QTableView* grid, QElapsedTimer& timer)
{
    QCoreApplication::processEvents();
    grid->viewport()->grab();
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::answerMessages();
    Bench::synchronousFromArguments(argc, argv);
    int scale = 1;
    QString path;
    bool startupOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--scale") == 0 && i + 1 < argc)
            scale = QByteArray(argv[++i]).toInt();
        else if (qstrcmp(argv[i], "--startup") == 0)
            startupOnly = true;
        else if (argv[i][0] != '-')
            path = QString::fromLocal8Bit(argv[i]);
    }
    QTemporaryDir dir;
    if (path.isEmpty())
        path = dir.filePath(u"Data.db"_s);
    // A store that does not open yet (a missing file, an empty database) is built first.
    if (!openStore(path) && !build(path, scale))
        return 1;

    QElapsedTimer timer;
    if (startupOnly) {
        // The first start warms the page cache; the others are measured.
        QList<qint64> starts;
        for (int i = 0; i < 6; ++i) {
            timer.start();
            const auto store = Bench::open(path);
            if (!store)
                return 1;
            frmKorvel window(*store);
            window.Form_Load();
            window.show();
            const qint64 took = shown(window.findChild<QTableView*>(u"Grid1"_s), timer);
            if (i > 0)
                starts << took;
        }
        report("start-up to the first keyword shown", starts);
        return 0;
    }
    timer.start();
    const auto store = Bench::open(path);
    if (!store)
        return 1;
    frmKorvel window(*store);
    window.Form_Load();
    window.show();
    auto* grid = window.findChild<QTableView*>(u"Grid1"_s);
    const qint64 startup = shown(grid, timer);
    std::printf("start-up to the first keyword shown (grid of %d rows): %.1f ms\n",
                window.session().gridModel()->dataRowCount(), Bench::ms(startup));

    auto* list = window.findChild<QTreeWidget*>(u"ListView2"_s);
    auto* txtKey = window.findChild<QWidget*>(u"txtKey"_s);
    const auto select = [&](int row) {
        timer.restart();
        list->setCurrentItem(list->topLevelItem(row));
        return shown(grid, timer);
    };
    QList<qint64> steps;
    for (int i = 0; i < 20; ++i)
        steps << select(i % 10);
    report(qPrintable(u"stepping through the tree classes (subtrees of %1)"_s.arg(25000 * scale)), steps);
    QList<qint64> flat;
    for (int i = 0; i < 20; ++i)
        flat << select(10 + i % 2);
    report(qPrintable(u"selecting a flat class of %1"_s.arg(50000 * scale)), flat);

    // Scrolled to the middle and to the end of a flat class: the rows there are read where they are.
    QList<qint64> scrolls;
    for (const double at : {0.5, 1.0, 0.25, 0.75}) {
        timer.restart();
        grid->scrollTo(
            window.session().gridModel()->index(int((window.session().gridModel()->dataRowCount() - 1) * at), 0));
        scrolls << shown(grid, timer);
    }
    report("scrolling a flat class to the middle and the end", scrolls);

    QList<qint64> quick;
    for (int i = 0; i < Filings; ++i) {
        timer.restart();
        QTest::keyClick(txtKey, 'c');
        quick << shown(grid, timer);
    }
    report(qPrintable(u"quick-key filing, a grid of %1 rows shown"_s.arg(window.session().gridModel()->dataRowCount())),
           quick);

    list->setCurrentItem(list->topLevelItem(0));
    QCoreApplication::processEvents();
    QList<qint64> right;
    for (int i = 0; i < Filings; ++i) {
        timer.restart();
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        right << shown(grid, timer);
    }
    report(qPrintable(u"right-button filing into a tree class (subtree %1+)"_s.arg(25000 * scale)), right);
    std::printf("resident memory while sorting: %.1f MB\n", Bench::residentKiB() / 1024.0);

    // Ctrl+F: from a text typed in the find window until the matches are listed.
    QList<qint64> finds;
    Modal::setDriver([&](QDialog& d) {
        auto* box = d.findChild<QLineEdit*>(u"txtFind"_s);
        for (const QString& text : {u"关键词 4999"_s, u"叶3-4"_s, u"zzzz"_s, u"平2 关键词 12"_s, u"待分类"_s, u"词"_s,
                                    u"ab"_s, u"关键词 9"_s}) {
            timer.restart();
            box->setText(text);
            finds << timer.nsecsElapsed();
        }
    });
    QTest::keyClick(txtKey, Qt::Key_F, Qt::ControlModifier);
    report("Ctrl+F: a text typed until its matches are listed", finds);
    // F5: from the key until the progress window is shown with its counts.
    QList<qint64> progress;
    Modal::setDriver([&](QDialog&) { progress << timer.nsecsElapsed(); });
    for (int i = 0; i < 5; ++i) {
        timer.restart();
        QTest::keyClick(txtKey, Qt::Key_F5);
    }
    Modal::setDriver({});
    report("F5: the progress window opened", progress);

    // The export of a flat class, as the window runs it: on its own thread and connection, with progress.
    list->setCurrentItem(list->topLevelItem(12));
    QCoreApplication::processEvents();
    FileDialog::setNextFileName(dir.filePath(u"export.xlsx"_s));
    timer.restart();
    QTest::mouseClick(window.findChild<QWidget*>(u"lblExpert"_s), Qt::LeftButton);
    std::printf("exporting a class of %d rows to xlsx: %.2f s (%.1f MB)\n",
                window.session().gridModel()->dataRowCount(), timer.elapsed() / 1000.0,
                double(QFile(dir.filePath(u"export.xlsx"_s)).size()) / 1e6);
    if (!Bench::messages().isEmpty())
        std::printf("messages shown: %lld, last: %s\n", qlonglong(Bench::messages().size()),
                    qPrintable(Bench::messages().last()));
    return 0;
}
