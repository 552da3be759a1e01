// Builds a store of a million keywords and measures the filing loop with the real window, offscreen.
// Usage: bench_sorting_loop [STORE]   (the store is built when the file does not exist; keep it to rerun fast)

#include "store/Store.h"
#include "ui/MessageBox.h"
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

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

long residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void report(const char* what, QList<qint64> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return ms(samples.at(qMin(samples.size() - 1, qsizetype(q * samples.size())))); };
    std::printf("%-58s p50 %7.2f ms  p99 %7.2f ms  max %7.2f ms  (n=%lld)\n", what, at(0.50), at(0.99),
                ms(samples.last()), qlonglong(samples.size()));
}

// 10 top-level classes of a 10 x 10 x 10 tree with 250 keywords on each of the 1,000 leaves; five flat
// top-level classes of 50,000 keywords each; 500,000 unsorted keywords.
bool build(const QString& path)
{
    if (!Store::create(path)) {
        std::puts("cannot create the store");
        return false;
    }
    Store store;
    if (!store.open(path))
        return false;
    QElapsedTimer timer;
    timer.start();
    QList<KeywordRow> rows;
    const auto flush = [&] {
        const bool ok = store.importKeywords(rows).ok();
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
                    rows.append({0, u"%1 关键词 %2"_s.arg(title).arg(k), leaf, title});
            }
        }
        if (!flush())
            return false;
    }
    for (int f = 0; f < 5; ++f) {
        const QString title = u"平%1"_s.arg(f);
        const QString code = *store.addClass({}, title, QString(QChar(u'a' + f)));
        for (int k = 0; k < 50000; ++k)
            rows.append({0, u"%1 关键词 %2"_s.arg(title).arg(k), code, title});
        if (!flush())
            return false;
    }
    for (int k = 0; k < 500000; ++k) {
        rows.append({0, u"待分类关键词 %1"_s.arg(k), {}, {}});
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
    MessageBox::setCapturing(true);
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(u"Data.db"_s);
    if (!QFile::exists(path) && !build(path))
        return 1;

    QElapsedTimer timer;
    timer.start();
    Store store;
    if (!store.open(path)) {
        std::puts("cannot open the store");
        return 1;
    }
    frmKorvel window(store);
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();
    std::printf("start-up to the first keyword shown (grid of %d rows): %.1f ms\n", window.gridModel()->dataRowCount(),
                timer.nsecsElapsed() / 1e6);

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
    std::printf("resident memory: %.1f MB\n", residentKiB() / 1024.0);
    const auto shown = MessageBox::takeShown();
    if (!shown.isEmpty())
        std::printf("messages shown: %lld, first: %s\n", qlonglong(shown.size()), qPrintable(shown.first().text));
    return 0;
}
