#pragma once

// What the benchmark programs share: quiet message boxes, the store, and figures printed alike.

#include "store/Store.h"
#include "store/sql/Connection.h"
#include "ui/MessageBox.h"

#include <QFile>
#include <QList>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace Bench {

// Every message box is answered with its default button and its text kept here.
inline QStringList& messages()
{
    static QStringList shown;
    return shown;
}

inline void answerMessages()
{
    MessageBox::setHandler([](const MessageBox::Shown& shown) {
        messages() << shown.text;
        return shown.defaultAnswer;
    });
}

// "--sync=normal" among the arguments: every connection commits as SQLite's NORMAL mode does, which may lose
// the last commits in a power cut; for comparing with the program's FULL mode.
inline void synchronousFromArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--sync=normal") == 0) {
            Connection::setOpenHook(
                [](QSqlDatabase& db) { QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL")); });
            std::puts("synchronous = NORMAL");
        }
    }
}

inline std::unique_ptr<Store> open(const QString& path)
{
    auto store = openStore(path);
    if (!store) {
        std::printf("cannot open %s: %s\n", qPrintable(path), qPrintable(store.error()));
        return {};
    }
    return std::move(store).value();
}

inline double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

inline long residentKiB(const char* field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

inline void report(const char* what, QList<qint64> samples)
{
    if (samples.isEmpty())
        return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return ms(samples.at(qMin(samples.size() - 1, qsizetype(q * samples.size())))); };
    std::printf("%-62s p50 %7.2f ms  p99 %7.2f ms  max %7.2f ms  (n=%lld)\n", what, at(0.50), at(0.99),
                ms(samples.last()), qlonglong(samples.size()));
}

} // namespace Bench
