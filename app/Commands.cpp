#include "Commands.h"

#include "CommandSupport.h"
#include "store/ClassCode.h"
#include "store/Copy.h"
#include "store/SampleData.h"
#include "store/Store.h"
#include "store/export/Export.h"
#include "store/intake/KeywordFile.h"
#include "store/postgres/Location.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace Commands {

int init(const QString& location, bool sample)
{
    if (const Status created = createStore(location); !created)
        return fail(StoreFailed, u"cannot create %1: %2"_s.arg(location, created.error()));
    if (!sample)
        return Done;
    int status = Done;
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    if (const Status filled = addSampleData(*store); !filled)
        return fail(StoreFailed, u"cannot add the sample data to %1: %2"_s.arg(location, filled.error()));
    return Done;
}

int copy(const QString& from, const QString& to)
{
    int status = Done;
    const auto source = openedStore(from, status);
    if (!source)
        return status;
    // A target that does not exist yet is made; one that holds the tables already must hold nothing in them.
    auto target = openStore(to);
    if (!target) {
        if (const Status created = createStore(to); !created)
            return fail(StoreFailed, u"cannot create %1: %2"_s.arg(to, created.error()));
        target = openStore(to);
        if (!target)
            return fail(StoreFailed, u"cannot open %1: %2"_s.arg(to, target.error()));
    }
    const auto totals = source->keywordTotals();
    const qint64 total = totals ? totals->total : 0;
    const Status copied = copyStore(*source, **target, [total](qint64 n) { progress("copying", n, total); });
    progressDone();
    if (!copied)
        return fail(StoreFailed, u"cannot copy %1 to %2: %3"_s.arg(from, to, copied.error()));
    return Done;
}

int import(const QString& location, const QStringList& paths, const ImportOptions& options)
{
    if (paths.isEmpty())
        return fail(BadInput, u"import needs at least one file"_s);
    // Every file is read and settled before the store is opened: bad input writes nothing.
    std::vector<std::unique_ptr<KeywordFile>> files;
    for (const QString& path : paths) {
        auto file = KeywordFile::open(path, {options.encoding, {}});
        if (!file)
            return fail(BadInput, file.error());
        KeywordFile& f = **file;
        if (!f.encodingSure())
            return fail(BadInput,
                        u"cannot tell the encoding of %1: it has no byte-order mark and looks like %2 "
                        u"text; give --encoding %2, or another, to read it"_s.arg(path, f.encoding()));
        const int column = std::max(options.column, 1);
        if (f.kind() == KeywordFile::Kind::Text && column > 1)
            return fail(
                BadInput,
                u"%1 is a text file, a keyword a line: it has no column %2"_s.arg(path, QString::number(column)));
        if (column > f.columns())
            return fail(
                BadInput,
                u"%1 has no column %2 (it has %3)"_s.arg(path, QString::number(column), QString::number(f.columns())));
        // The program's own export has its keyword column chosen and its header left out already.
        if (!f.ownExport())
            f.chooseColumn(column - 1, options.skipHeader);
        else if (options.column > 0)
            f.chooseColumn(column - 1, true);
        files.push_back(std::move(file).value());
    }
    int status = Done;
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    const auto before = store->lastKeywordId();
    const auto wanted = store->rulesOnNewBatches();
    if (!before || !wanted)
        return fail(StoreFailed, !before ? before.error() : wanted.error());
    FileLines source(std::move(files));
    Batch batch(*store, !options.keepDuplicates);
    batch.onChunk
        = [](const Batch::Counts&, std::pair<qint64, qint64> done) { progress("importing", done.first, done.second); };
    const std::atomic<bool> cancel {false};
    const Status stored = batch.run(source, cancel);
    progressDone();
    const Batch::Counts& counts = batch.counts();
    QString report = u"added %1 keywords, %2 duplicates left out"_s.arg(QString::number(counts.added),
                                                                        QString::number(counts.duplicates));
    if (counts.hadNumbers)
        report += u"; %1 keywords kept their numbers (a duplicate keeps those of its first line)"_s.arg(
            QString::number(counts.numbered));
    if (!stored)
        return fail(StoreFailed,
                    u"%1; stopped by the store, %2 lines not added: %3"_s.arg(
                        report, QString::number(counts.unprocessed), stored.error()));
    if ((options.applyRules || *wanted) && counts.added > 0) {
        const auto applied = store->applySavedRules(*before);
        if (!applied)
            return fail(StoreFailed, u"%1; the saved rules failed: %2"_s.arg(report, applied.error()));
        report += u"; %1 filed by saved rules"_s.arg(applied->filed);
        if (applied->held > 0)
            report += u", %1 held by other windows left alone"_s.arg(applied->held);
    }
    say(stdout, report);
    return Done;
}

int exportList(const QString& location, const QString& classCode, const QString& file)
{
    if (!file.endsWith(u".xlsx"_s, Qt::CaseInsensitive) && !file.endsWith(u".csv"_s, Qt::CaseInsensitive))
        return fail(BadInput, u"export writes FILE.xlsx or FILE.csv, not %1"_s.arg(file));
    int status = Done;
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    if (!classCode.isEmpty()) {
        const auto found = store->classByCode(classCode);
        if (!found)
            return fail(StoreFailed, found.error());
        if (!found->has_value())
            return fail(BadInput, u"there is no class with the code %1"_s.arg(classCode));
    }
    const Export::Format format = Export::formatOf(file);
    if (format == Export::Format::Xlsx) {
        const auto totals = store->keywordTotals();
        const auto count = classCode.isEmpty() ? (totals ? Result<qint64>(totals->total) : totals.as<qint64>())
                                               : store->subtreeCount(classCode);
        if (!count)
            return fail(StoreFailed, count.error());
        if (*count > Export::MaxWorkbookKeywords)
            return fail(BadInput,
                        u"%1 keywords are more than a workbook sheet holds under its header (%2): "
                        u"export to a .csv file instead"_s.arg(QString::number(*count),
                                                               QString::number(Export::MaxWorkbookKeywords)));
    }
    const auto written = Export::writeList(*store, classCode, file, format,
                                           {[](qint64 done, qint64 total) { progress("exporting", done, total); }});
    progressDone();
    if (!written)
        return fail(StoreFailed, u"cannot write %1: %2"_s.arg(file, written.error()));
    return Done;
}

int stats(const QString& location, bool json)
{
    int status = Done;
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    const auto totals = store->keywordTotals();
    const auto classes = store->allClasses();
    if (!totals || !classes)
        return fail(StoreFailed, !totals ? totals.error() : classes.error());
    const auto volumes = store->classVolumes();
    const auto volumeTotals = store->volumeTotals();
    if (!volumes || !volumeTotals)
        return fail(StoreFailed, !volumes ? volumes.error() : volumeTotals.error());
    QHash<QString, qint64> ownVolume;
    for (const ClassVolume& v : *volumes)
        ownVolume[v.code] += v.volume;
    const QHash<QString, qint64> treeVolume = Store::subtreeVolumes(*volumes);
    QJsonArray rows;
    QStringList lines {
        u"keywords %1, filed %2, unsorted %3"_s.arg(totals->total)
            .arg(totals->total - totals->unsorted)
            .arg(totals->unsorted),
        u"%1 %2 %3  %4"_s.arg(u"code"_s, -18).arg(u"filed here"_s, 10).arg(u"below too"_s, 10).arg(u"class"_s)};
    for (const ClassRow& c : *classes) {
        if (c.code.isEmpty())
            continue;
        const auto below = store->subtreeCount(c.code);
        const auto here = store->subtreeCounts(c.code);
        if (!below || !here)
            return fail(StoreFailed, !below ? below.error() : here.error());
        const qint64 own = !here->isEmpty() && here->first().code == c.code ? here->first().count : 0;
        const QString path = ClassCode::shownPath(c.path);
        const qint64 volume = ownVolume.value(c.code);
        const qint64 subtreeVolume = treeVolume.value(c.code);
        rows.append(QJsonObject {{u"code"_s, c.code},
                                 {u"title"_s, c.title},
                                 {u"path"_s, path},
                                 {u"keywords"_s, own},
                                 {u"subtree"_s, *below},
                                 {u"volume"_s, volume},
                                 {u"subtreeVolume"_s, subtreeVolume}});
        lines << u"%1 %2 %3  %4"_s.arg(c.code, -18).arg(own, 10).arg(*below, 10).arg(path);
    }
    if (json) {
        const QJsonObject all {{u"keywords"_s, totals->total},          {u"filed"_s, totals->total - totals->unsorted},
                               {u"unsorted"_s, totals->unsorted},       {u"volume"_s, volumeTotals->total},
                               {u"filedVolume"_s, volumeTotals->filed}, {u"classes"_s, rows}};
        std::fputs(QJsonDocument(all).toJson(QJsonDocument::Indented).constData(), stdout);
    } else {
        for (const QString& line : std::as_const(lines))
            say(stdout, line);
    }
    return Done;
}

int flushed(int status)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    const int error = errno;
    fail(StoreFailed, u"cannot write the output: "_s + QString::fromLocal8Bit(std::strerror(error)));
    return status == Done ? StoreFailed : status;
}

int check(const QString& location)
{
    // Opening checks the schema and brings an older one up to date.
    int status = Done;
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    const auto problems = store->problems();
    if (!problems)
        return fail(StoreFailed, problems.error());
    for (const QString& problem : *problems)
        say(stdout, problem);
    if (!problems->isEmpty())
        return StoreFailed;
    say(stdout, u"ok"_s);
    return Done;
}

int grant(const QString& location, const QString& role)
{
    if (!PgLocation::isServer(location))
        return fail(BadInput, u"--grant needs --db naming a store on a PostgreSQL server; a store file has no roles"_s);
    if (const auto settings = PgLocation::conninfo(location); !settings)
        return fail(BadInput, settings.error());
    if (const Status granted = grantOperator(location, role); !granted)
        return fail(StoreFailed, u"cannot grant %1 the use of %2: %3"_s.arg(role, location, granted.error()));
    say(stdout, u"%1 may now sort keywords in %2"_s.arg(role, location));
    return Done;
}

} // namespace Commands
