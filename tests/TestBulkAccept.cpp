#include "SessionScript.h"
#include "TestSupport.h"
#include "session/BulkAcceptance.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTreeView>

// Suggestions accepted in bulk: in the session (what is listed, left out, filed as one step and taken back), in
// its window (the keys), and by the `suggest` command on the store.
class TestBulkAccept : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void accepting_data();
    void accepting();
    void window();
    void command_data();
    void command();

private:
    ProgramRun korvel(const QStringList& arguments)
    {
        return runProgram(QString::fromUtf8(KORVEL_SHIPPED), QStringList {u"--db"_s, m_temp->path} + arguments);
    }
};

namespace {

// Filed: 40 keywords each of 手机 (001001, below the top level's 数码), 汽车 (002) and 火锅 (003), each word
// after two characters drawn from one pool, and 15 each of pool characters alone, which no model can place;
// unsorted: ten of each word (ids 201-210 手机, 211-220 汽车, 221-230 火锅) and characters never seen (231).
QStringList trainingSet()
{
    QRandomGenerator random(7);
    const auto word = [&](const QString& marker, int length) -> QString {
        QList<QChar> pool;
        for (int i = 0; i < length; ++i)
            pool << QChar(char16_t(0x5F00 + random.bounded(300)));
        return QString(pool.constData(), length) + marker;
    };
    const QList<std::pair<QString, QString>> classes
        = {{u"手机"_s, u"001001"_s}, {u"汽车"_s, u"002"_s}, {u"火锅"_s, u"003"_s}};
    QStringList out;
    int id = 1;
    for (const auto& [marker, code] : classes) {
        for (int i = 0; i < 55; ++i)
            out << u"%1:%2@%3"_s.arg(id++).arg(i < 40 ? word(marker, 2) : word({}, 3), code);
    }
    id = 201;
    for (const auto& [marker, code] : classes) {
        for (int i = 0; i < 10; ++i)
            out << u"%1:%2"_s.arg(id++).arg(word(marker, 2));
    }
    return out << u"231:ωψχ"_s;
}

} // namespace

void TestBulkAccept::init()
{
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(fillScriptStore(*m_store, *m_raw, trainingSet()));
}

void TestBulkAccept::accepting_data()
{
    QTest::addColumn<QStringList>("script");
    // Fields: state, listed (each class listed with its count), deeper; actions: learnt, bulk (scored to its end),
    // stopped (stopped at once), threshold P, drop ID or CODE (a keyword or a class), fileall, hold ID (another
    // window).
    QTest::newRow("not learnt yet") << QStringList {u"bulk => state=Learning listed="_s};
    QTest::newRow("filed as one step, taken back as one")
        << QStringList {u"start => key=201"_s, u"learnt"_s, u"stopped => state=Stopped"_s,
                        u"bulk => state=Done listed=002:10,003:10 deeper=10"_s, u"threshold 1 => listed= deeper=0"_s,
                        u"threshold 0.9 => listed=002:10,003:10 deeper=10"_s, u"drop 215 => listed=002:9,003:10"_s,
                        u"drop 003 => listed=002:9"_s,
                        // Dropped keywords stay out whatever the threshold.
                        u"threshold 0.5 => listed=002:9 deeper=10"_s,
                        u"fileall => msg= filed=174 row211=1|002|汽车 row215=0|| row221=0|| listed="_s,
                        u"undo => filed=165 row211=0|| key=201"_s, u"redo => filed=174"_s};
    QTest::newRow("below a class, the current keyword among them")
        << QStringList {u"start => key=201"_s,
                        u"learnt"_s,
                        u"down => parent=001"_s,
                        u"bulk => listed=001001:10 deeper=0"_s,
                        u"fileall => row201=1|001001|手机 key=211 filed=175"_s,
                        u"undo => filed=165 row201=0||"_s};
    QTest::newRow("held by another window")
        << QStringList {u"start"_s, u"learnt"_s, u"bulk => listed=002:10,003:10"_s, u"hold 212"_s,
                        u"fileall => heldLeft=1 filed=184 row212=0||"_s};
    QTest::newRow("nothing to score") << QStringList {u"start"_s,
                                                      u"learnt"_s,
                                                      u"down => parent=001"_s,
                                                      u"click 001002"_s,
                                                      u"down => parent=001002"_s,
                                                      u"bulk => state=NothingFiledHere listed="_s,
                                                      u"up"_s,
                                                      u"up"_s,
                                                      u"click 004"_s,
                                                      u"down => parent=004"_s,
                                                      u"bulk => state=NoClasses"_s};
    QTest::newRow("nothing filed at all")
        << QStringList {u"sql UPDATE Korvels SET isSet = 0, classcode = '', classname = ''"_s, u"start"_s, u"learnt"_s,
                        u"bulk => state=NothingFiled"_s};
}

void TestBulkAccept::accepting()
{
    QFETCH(QStringList, script);
    if (QByteArray(QTest::currentDataTag()) == "held by another window" && !TestEngine::onServer())
        QSKIP("only a team's server holds keywords for other windows");
    SortingSession session(*m_store);
    SessionScript operatorScript(*m_store, *m_raw, session);
    std::unique_ptr<BulkAcceptance> bulk;
    std::optional<BulkFiling> filed;
    std::unique_ptr<Store> other;
    operatorScript.moreActions = [&](const QString& action, const QString& argument) {
        // The row of a class by its code, or of a keyword by its id.
        const auto row = [&](const QString& key) {
            for (int c = 0; c < bulk->rowCount(); ++c) {
                const QModelIndex group = bulk->index(c, 0);
                if (group.data(Qt::UserRole).toString() == key)
                    return group;
                for (int r = 0; r < bulk->rowCount(group); ++r) {
                    if (bulk->index(r, 0, group).data(Qt::UserRole).toString() == key)
                        return bulk->index(r, 0, group);
                }
            }
            return QModelIndex();
        };
        if (action == u"learnt"_s)
            return QTest::qWaitFor([&] { return session.suggester() != nullptr; }, 20000);
        if (action == u"bulk"_s || action == u"stopped"_s) {
            bulk = std::make_unique<BulkAcceptance>(session, *m_store);
            new QAbstractItemModelTester(bulk.get(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                         bulk.get());
            bulk->start();
            if (action == u"stopped"_s)
                bulk->stop();
            return QTest::qWaitFor([&] { return bulk->state() != BulkAcceptance::State::Scoring; }, 20000);
        }
        if (action == u"threshold"_s)
            bulk->setThreshold(argument.toDouble());
        else if (action == u"drop"_s)
            bulk->drop(row(argument));
        else if (action == u"fileall"_s)
            filed = bulk->fileAll();
        else if (action == u"hold"_s) {
            other = std::move(openStore(m_temp->path)).value();
            return (*other->holdKeyword(argument.toLongLong()));
        } else
            return false;
        return true;
    };
    operatorScript.moreFields = [&](const QString& name) -> std::optional<QString> {
        if (name == u"state"_s)
            return QString::fromLatin1(QMetaEnum::fromType<BulkAcceptance::State>().valueToKey(int(bulk->state())));
        if (name == u"deeper"_s)
            return QString::number(bulk->deeper());
        if (name == u"heldLeft"_s)
            return QString::number(filed ? filed->held : -1);
        if (name != u"listed"_s)
            return std::nullopt;
        QStringList groups;
        for (int c = 0; c < bulk->rowCount(); ++c)
            groups << u"%1:%2"_s.arg(bulk->index(c, 0).data(Qt::UserRole).toString())
                          .arg(bulk->rowCount(bulk->index(c, 0)));
        return groups.join(u',');
    };
    QVERIFY(operatorScript.run(script));
}

void TestBulkAccept::window()
{
    open(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->session().suggester() != nullptr, 20000);
    QString status;
    Modal::setDriver([&](QDialog& d) {
        auto* file = in<QPushButton>(d, u"cmdFile"_s);
        QTRY_VERIFY_WITH_TIMEOUT(file->isEnabled(), 20000);
        auto* tree = in<QTreeView>(d, u"lstSuggestions"_s);
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        QTest::keyClick(tree, Qt::Key_Delete);
        status = in<QLabel>(d, u"lblStatus"_s)->text();
        QTest::keyClick(tree, Qt::Key_Return, Qt::ControlModifier);
    });
    QTest::keyClick(txtKey(), Qt::Key_F6);
    QCOMPARE(status, u"19 个关键词，2 个分类。另有 10 个更可能属于有下级的分类，请进入该分类后再批量设置。"_s);
    QCOMPARE(messages(), QStringList {u"已设置 19 个关键词。按 Ctrl+Z 可全部撤销。"_s});
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"184"_s);
    QTest::keyClick(txtKey(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"165"_s);
    // A level without classes opens nothing, and says so.
    m_window->session().ItemClick(u"004"_s);
    m_window->session().GoDown();
    QTest::keyClick(txtKey(), Qt::Key_F6);
    QCOMPARE(messages(), QStringList {u"当前层级没有分类。"_s});
}

void TestBulkAccept::command_data()
{
    commandColumns();
    const QString deeper = u"; 10 suggested for classes with classes below them left unsorted (see --class)\n"_s;
    commandRow("apply", u"--apply"_s, 0, u"filed 20 keywords suggested at confidence 0.90 or above"_s + deeper, 185);
    commandRow("apply below a class", u"--class 001 --apply --min-confidence 0.95"_s, 0,
               u"filed 10 keywords suggested at confidence 0.95 or above\n"_s, 175);
    commandRow("listed", u"--class 001 --min-confidence 0.9"_s, 0, u"201\t001001\t"_s, 165);
    commandRow("as JSON", u"--json --min-confidence 0.9"_s, 0, u"["_s, 165);
    commandRow("nothing filed yet", u"--unfile"_s, 2,
               u"korvel: nothing is filed yet: suggestions learn from filed keywords\n"_s, 0);
    commandRow("nothing filed at the level", u"--class 001002"_s, 2, u"korvel: nothing is filed yet below 001002\n"_s,
               165);
    commandRow("no classes", u"--class 002"_s, 2, u"korvel: there are no classes below 002\n"_s, 165);
    commandRow("no such class", u"--class 009"_s, 2, u"korvel: there is no class with the code 009\n"_s, 165);
    commandRow("confidence out of range", u"--min-confidence 1.5"_s, 2,
               u"korvel: --min-confidence takes a number from 0 to 1\n"_s, 165);
    commandRow("apply as JSON", u"--apply --json"_s, 2, u"korvel: --apply"_s, 165);
}

void TestBulkAccept::command()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(int, filed);
    if (arguments.removeAll(u"--unfile"_s) > 0)
        QVERIFY(m_raw->exec(u"UPDATE Korvels SET isSet = 0, classcode = '', classname = ''"_s));
    m_store.reset();
    const ProgramRun run = korvel(QStringList {u"suggest"_s} + arguments);
    QCOMPARE(run.status, status);
    QVERIFY2((status == 0 ? run.out : run.err).startsWith(says), qPrintable(run.out + run.err));
    QCOMPARE(run.err.count(u'\n'), status == 0 ? 0 : 1);
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s).toInt(), filed);
    if (!arguments.contains(u"--json"_s) || status != 0)
        return;
    // Every keyword sure enough, each an object of four members; those of 汽车 and 火锅 in their classes.
    const QJsonArray rows = QJsonDocument::fromJson(run.out.toUtf8()).array();
    QCOMPARE(rows.size(), 30);
    for (const QJsonValue& value : rows) {
        const QJsonObject row = value.toObject();
        QCOMPARE(row.keys(), (QStringList {u"class"_s, u"confidence"_s, u"id"_s, u"keyword"_s}));
        const qint64 id = row.value(u"id"_s).toInteger();
        QCOMPARE(row.value(u"keyword"_s).toString(), sql(u"SELECT keywords FROM Korvels WHERE id = ?"_s, {id}));
        QCOMPARE(row.value(u"class"_s).toString(), id <= 210 ? u"001"_s : id <= 220 ? u"002"_s : u"003"_s);
        QVERIFY(row.value(u"confidence"_s).toDouble() >= 0.9 && row.value(u"confidence"_s).toDouble() <= 1);
    }
}

QTEST_MAIN(TestBulkAccept)
#include "TestBulkAccept.moc"
