// The program under SIGKILL: drives the real windows offscreen and reports on standard output what it has
// committed, so that crash_safety.sh can kill it at random moments and check the store afterwards.
//
//   crash_victim batch STORE          adds a batch of 1,000,000 distinct lines through the add-keywords dialog
//   crash_victim prepare STORE        makes a store for filing: class 叶 (key 1) and 200,000 unsorted keywords
//   crash_victim file STORE           files keywords by quick key, one after another, until killed
//   crash_victim verify-batch STORE LOG
//   crash_victim verify-file STORE LOG

#include "BenchSupport.h"
#include "store/intake/Batch.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/add_words/frmAddWords.h"
#include "session/SortingSession.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int BatchLines = 1000000;
constexpr int ChunkSize = Batch::ChunkSize;

QString batchLine(qint64 i)
{
    return u"崩溃测试关键词 %1"_s.arg(i, 7, 10, QChar(u'0'));
}

void say(const char* format, qint64 value)
{
    std::printf(format, qlonglong(value));
    std::fflush(stdout);
}

int batch(Store& store)
{
    frmAddWords dialog(store);
    QObject::connect(&dialog, &frmAddWords::chunkStored, [](qint64 added, qint64) { say("committed %lld\n", added); });
    Modal::setDriver([](QDialog& d) {
        QString text;
        for (int i = 0; i < BatchLines; ++i)
            text += batchLine(i) + u'\n';
        d.findChild<QCheckBox*>(u"Check1"_s)->setChecked(false);
        d.findChild<QPlainTextEdit*>(u"txtKeys"_s)->setPlainText(text);
        say("started %lld\n", 0);
        QTest::mouseClick(d.findChild<QPushButton*>(u"cmdAdd"_s), Qt::LeftButton);
    });
    dialog.Init();
    say("finished %lld\n", 0);
    return 0;
}

int file(Store& store)
{
    frmKorvel window(store);
    window.Form_Load();
    window.show();
    QWidget* txtKey = window.findChild<QWidget*>(u"txtKey"_s);
    say("started %lld\n", 0);
    while (window.session().keyId() != 0) {
        const qint64 id = window.session().keyId();
        QTest::keyClick(txtKey, '1');
        if (window.session().keyId() != id)
            say("filed %lld\n", id);
    }
    return 0;
}

QList<qint64> reported(const QString& log, const QByteArray& word)
{
    QFile file(log);
    QList<qint64> values;
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts.at(0) == word)
            values << parts.at(1).toLongLong();
    }
    return values;
}

// Opens the store as the program would, then checks it with its own connection.
bool verify(const QString& path, const QString& log, bool isBatch)
{
    {
        if (!Bench::open(path)) {
            std::printf("FAIL: the store does not open\n");
            return false;
        }
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"verify"_s);
    db.setDatabaseName(path);
    if (!db.open())
        return false;
    QSqlQuery q(db);
    const auto value = [&](const QString& sql) {
        q.exec(sql);
        return q.next() ? q.value(0) : QVariant();
    };
    const QString integrity = value(u"PRAGMA integrity_check"_s).toString();
    if (integrity != u"ok"_s) {
        std::printf("FAIL: integrity_check says %s\n", qPrintable(integrity));
        return false;
    }
    if (isBatch) {
        const QList<qint64> committed = reported(log, "committed");
        const qint64 last = committed.isEmpty() ? 0 : committed.last();
        const qint64 rows = value(u"SELECT count(*) FROM Korvels"_s).toLongLong();
        // Whole chunks only, every reported one there, and each row the line it should be.
        if (rows < last || (rows % ChunkSize != 0 && rows != BatchLines)) {
            std::printf("FAIL: %lld rows after %lld were reported committed\n", qlonglong(rows), qlonglong(last));
            return false;
        }
        q.exec(u"SELECT id, keywords, isSet, classcode, classname FROM Korvels ORDER BY id"_s);
        qint64 expected = 1;
        while (q.next()) {
            if (q.value(0).toLongLong() != expected || q.value(1).toString() != batchLine(expected - 1)
                || q.value(2).toInt() != 0 || !q.value(3).toString().isEmpty()) {
                std::printf("FAIL: row %lld is not whole\n", qlonglong(expected));
                return false;
            }
            ++expected;
        }
        std::printf("ok: %lld rows, %lld reported committed\n", qlonglong(rows), qlonglong(last));
    } else {
        const QList<qint64> filed = reported(log, "filed");
        for (qint64 id : filed) {
            if (value(u"SELECT isSet || '|' || classcode FROM Korvels WHERE id = %1"_s.arg(id)).toString()
                != u"1|001"_s) {
                std::printf("FAIL: keyword %lld was reported filed but is not\n", qlonglong(id));
                return false;
            }
        }
        // No half-filed row: set exactly when a class is written, and the filed ones a prefix of the queue.
        const qint64 half = value(u"SELECT count(*) FROM Korvels WHERE (isSet = 1) <> (classcode = '001' AND "
                                  u"classname = '叶')"_s)
                                .toLongLong();
        const qint64 gaps = value(u"SELECT count(*) FROM Korvels WHERE isSet = 1 AND id > "
                                  u"(SELECT min(id) FROM Korvels WHERE isSet = 0)"_s)
                                .toLongLong();
        if (half != 0 || gaps != 0) {
            std::printf("FAIL: %lld half-filed rows, %lld filed out of order\n", qlonglong(half), qlonglong(gaps));
            return false;
        }
        std::printf("ok: %lld filed, %lld reported in this run\n",
                    qlonglong(value(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s).toLongLong()),
                    qlonglong(filed.size()));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::answerMessages();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    const QString mode = args.at(1);
    const QString path = args.at(2);
    if (mode == u"prepare"_s) {
        if (!createStore(path))
            return 1;
        const auto store = Bench::open(path);
        QStringList keywords;
        for (int i = 0; i < 200000; ++i)
            keywords << batchLine(i);
        return store && store->addClass({}, u"叶"_s, u"1"_s) && store->insertKeywords(keywords) ? 0 : 1;
    }
    if (mode.startsWith(u"verify"_s))
        return verify(path, args.value(3), mode == u"verify-batch"_s) ? 0 : 1;
    const auto store = Bench::open(path);
    if (!store)
        return 1;
    return mode == u"batch"_s ? batch(*store) : file(*store);
}
