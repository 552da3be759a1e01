#include "TestSupport.h"

#include <QRandomGenerator>

#include <numeric>
#include <random>
#include <QSignalSpy>
#include <QTableView>

// The grid of a large subtree, read a page at a time: every row right wherever the view starts reading, and
// each filing or take-back one row more or less, in its place.
class TestGrid : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void rowsAtPageBoundariesAndAroundAScrollToTheMiddle();
    void filingAndTakeBackChangeOneRowWhereverTheViewStands();

private:
    // The rows the grid must show for class 001, read from the store as the grid orders them.
    QStringList expected();
    QStringList shown(int from, int to);
    QTableView* grid() const { return child<QTableView>(u"Grid1"_s); }
};

void TestGrid::init()
{
    WindowTest::init();
    addClasses({{{}, u"甲"_s, u"1"_s}, {u"001"_s, u"乙"_s, u"2"_s}, {u"001001"_s, u"丙"_s, u"3"_s}, {{}, u"丁"_s, u"4"_s}});
    // Class sizes that put group boundaries inside pages, ids shuffled across the classes, and a few keywords
    // left unsorted.
    const QList<std::pair<QString, int>> sizes
        = {{u"001"_s, 700}, {u"001001"_s, 301}, {u"001001001"_s, 555}, {u"002"_s, 200}, {QString(), 20}};
    QList<KeywordRow> rows;
    for (const auto& [code, n] : sizes) {
        for (int i = 0; i < n; ++i)
            rows.append({0, code + u'-' + QString::number(i), code, u"c"_s + code, code.isEmpty() ? 0 : 1, 0, 0});
    }
    QList<qint64> ids(rows.size());
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), *QRandomGenerator::global());
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].id = ids.at(i);
    QVERIFY_OK(m_store->importRows(rows));
}

QStringList TestGrid::expected()
{
    return m_raw->rows(u"SELECT id, classname, keywords FROM Korvels WHERE classcode >= '001' AND classcode < '002'"
                       u" ORDER BY classcode, id DESC"_s);
}

QStringList TestGrid::shown(int from, int to)
{
    QStringList rows;
    const QAbstractItemModel* model = m_window->gridModel();
    for (int r = from; r < to; ++r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(u'|');
    }
    return rows;
}

void TestGrid::rowsAtPageBoundariesAndAroundAScrollToTheMiddle()
{
    open(true);
    const QStringList all = expected();
    QCOMPARE(m_window->gridModel()->dataRowCount(), 1556);
    // The view asks for the middle first: the rows there, and then every row from the top.
    grid()->scrollTo(m_window->gridModel()->index(800, 0), QAbstractItemView::PositionAtCenter);
    QVERIFY(grid()->viewport()->grab().width() > 0);
    QCOMPARE(shown(760, 840), all.mid(760, 80));
    QCOMPARE(shown(0, 1556), all);
    // And backwards from the end, across every page boundary.
    QVERIFY_OK(m_window->gridModel()->load(u"001"_s));
    for (int r = 1555; r >= 0; r -= 7)
        QCOMPARE(shown(r, r + 1), all.mid(r, 1));
}

void TestGrid::filingAndTakeBackChangeOneRowWhereverTheViewStands()
{
    open(true);
    KeywordGridModel* model = m_window->gridModel();
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    for (const int at : {1000, 3, 1555, 701, 257}) {
        grid()->scrollTo(model->index(at, 0), QAbstractItemView::PositionAtCenter);
        grid()->viewport()->grab();
        // Take back the keyword at that row: it leaves, the rows after it move up.
        const QString taken = shown(at, at + 1).first();
        QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, grid()->visualRect(model->index(at, 2)).center());
        QCOMPARE(txtKey()->text(), taken.section(u'|', 2));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.takeFirst().at(1).toInt(), at);
        QCOMPARE(shown(0, model->dataRowCount()), expected());
        // Filed again under 甲: it comes in at the place of its id in that class.
        rightClickList();
        QCOMPARE(inserted.size(), 1);
        inserted.clear();
        QCOMPARE(shown(0, model->dataRowCount()), expected());
    }
    QCOMPARE(reset.size(), 0);
    QCOMPARE(messages(), QStringList());
}

QTEST_MAIN(TestGrid)
#include "TestGrid.moc"
