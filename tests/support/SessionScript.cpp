#include "SessionScript.h"

#include "session/KeywordGridModel.h"

#include <QAbstractItemModelTester>
#include <QMap>

namespace {

const QMap<QString, QString> Titles
    = {{u"001"_s, u"数码"_s}, {u"001001"_s, u"手机"_s}, {u"001002"_s, u"电脑"_s}, {u"001002001"_s, u"笔记本"_s},
       {u"002"_s, u"汽车"_s}, {u"003"_s, u"美食"_s},    {u"004"_s, u"健康"_s},    {u"005"_s, u"旅游"_s}};

} // namespace

bool fillScriptStore(Store& store, RawDb& raw, const QStringList& keywords)
{
    for (const auto& [parent, title, key] : {std::tuple {u""_s, u"数码"_s, u"1"_s},
                                             {u"001"_s, u"手机"_s, u"a"_s},
                                             {u"001"_s, u"电脑"_s, u"b"_s},
                                             {u"001002"_s, u"笔记本"_s, u"n"_s},
                                             {u""_s, u"汽车"_s, u"2"_s},
                                             {u""_s, u"美食"_s, u"a"_s},
                                             {u""_s, u"健康"_s, u"2"_s},
                                             {u""_s, u"旅游"_s, u"5"_s},
                                             {u"005"_s, u"已删除"_s, u"x"_s}}) {
        if (!store.addClass(parent, title, key))
            return false;
    }
    QList<KeywordRow> rows;
    for (const QString& k : keywords) {
        const QString text = k.section(u':', 1).section(u'@', 0, 0);
        const QString code = k.section(u'@', 1);
        rows.append({k.section(u':', 0, 0).toLongLong(), text, code,
                     code.isEmpty() ? QString() : Titles.value(code, u"无"_s), code.isEmpty() ? 0 : 1, 0, 0});
    }
    return raw.exec(u"DELETE FROM KeyClass WHERE code = '005001'"_s) && (rows.isEmpty() || store.importRows(rows));
}

SessionScript::SessionScript(Store& store, RawDb& raw, SortingSession& session)
    : m_store(store)
    , m_raw(raw)
    , m_session(session)
{
    new QAbstractItemModelTester(m_session.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 m_session.gridModel());
    QObject::connect(&m_session, &SortingSession::message, [this](const QString& text) {
        m_messages << text;
        m_rowsWhenShown = m_session.gridModel()->dataRowCount();
    });
    QObject::connect(&m_session, &SortingSession::gridRowFound, [this](int row) { m_found = row; });
}

QStringList gridRows(const QAbstractItemModel& model, int from, int to)
{
    QStringList rows;
    for (int r = from; r < to; ++r)
        rows << model.index(r, 0).data().toString() + u'|' + model.index(r, 1).data().toString() + u'|'
                + model.index(r, 2).data().toString();
    return rows;
}

// "002:1,2;003:5": ids of keywords listed under the classes to file them into.
QMap<QString, QList<qint64>> idsByClass(const QString& listing)
{
    QMap<QString, QList<qint64>> ids;
    for (const QString& part : listing.split(u';')) {
        for (const QString& id : part.section(u':', 1).split(u','))
            ids[part.section(u':', 0, 0)].append(id.toLongLong());
    }
    return ids;
}

// Actions: start, key C, click CODE, down, up, file (a right-click in the class list), back ROW (a right-click in
// the grid), delete, deleteall, delclass, undo, redo, accept (F2), next, find ID, add TEXT,TEXT, many
// CODE:ID,ID;CODE:ID (filing at once), elsewhere ID:CODE,ID:CODE then sync (filed one by one elsewhere), wait (until
// suggestions are learnt), sql STATEMENT (another program's change), refuse TABLE EVENT, allow TABLE; and what a team's
// store announces: offline REASON, online, lost ID.
bool SessionScript::act(const QString& action, const QString& argument)
{
    SortingSession& s = m_session;
    const std::map<QString, std::function<void()>> simple = {
        {u"start"_s, [&] { s.Form_Load(); }},
        {u"down"_s, [&] { s.GoDown(); }},
        {u"up"_s, [&] { s.GoUp(); }},
        {u"file"_s,
         [&] {
             s.AssignKeyword();
             s.LoadClassKeywords();
         }},
        {u"delete"_s, [&] { s.DeleteKeyword(); }},
        {u"deleteall"_s, [&] { s.DeleteAllKeywords(); }},
        {u"delclass"_s, [&] { s.DeleteClass(); }},
        {u"undo"_s, [&] { s.Undo(); }},
        {u"redo"_s, [&] { s.Redo(); }},
        {u"accept"_s, [&] { s.AcceptSuggestion(); }},
        {u"next"_s, [&] { s.LoadNextKeyword(); }},
        {u"key"_s, [&] { m_took = s.KeyPress(argument); }},
        {u"click"_s, [&] { s.ItemClick(argument); }},
        {u"back"_s, [&] { s.TakeBack(argument.toInt()); }},
        {u"find"_s, [&] { s.ShowFound(m_store.keywordById(argument.toLongLong())->value_or(KeywordRow {})); }},
        {u"add"_s, [&] { (void)m_store.insertKeywords(argument.split(u',')); }},
        {u"sql"_s, [&] { m_raw.exec(argument); }},
        {u"refuse"_s,
         [&] { m_raw.refuse(argument.section(u' ', 0, 0), argument.section(u' ', 1), u"disk-says-no"_s); }},
        {u"allow"_s, [&] { m_raw.allow(argument); }},
        {u"many"_s, [&] { m_bulk = s.FileMany(idsByClass(argument)); }},
        // Filings another window of this program makes through the same store, seen by the grid when it next syncs.
        {u"elsewhere"_s,
         [&] {
             for (const QString& f : argument.split(u','))
                 (void)m_store.fileKeyword(f.section(u':', 0, 0).toLongLong(), f.section(u':', 1),
                                           Titles.value(f.section(u':', 1)));
         }},
        {u"sync"_s, [&] { s.LoadClassKeywords(); }},
        // What a team's store announces about its connection to the server.
        {u"offline"_s, [&] { emit m_store.connectionLost(argument); }},
        {u"online"_s, [&] { emit m_store.reconnected(); }},
        {u"lost"_s, [&] { emit m_store.heldKeywordLost(argument.toLongLong()); }},
        {u"wait"_s, [&] { (void)QTest::qWaitFor([&] { return !s.suggested().isEmpty(); }, 10000); }},
    };
    const auto found = simple.find(action);
    if (found == simple.end())
        return moreActions && moreActions(action, argument);
    found->second();
    return true;
}

// Fields: parent, sel, key (the current keyword's id), kw (its text), list (the titles of the level), keys (its
// quick keys), grid (the ids of the grid's rows), gridRows (how many), sugg, took (whether the last key was a quick
// key), msg (the messages shown, joined by |), shownWith (the grid's rows when the last message
// was shown), found (the grid row of a found keyword), bulk (filed/held/left out by the last many), rowID (that
// keyword's isSet|classcode|classname, - when gone), rows and filed (how many keywords, and how many filed), codes
// (every class code).
QString SessionScript::field(const QString& name)
{
    if (moreFields) {
        if (const std::optional<QString> value = moreFields(name))
            return *value;
    }
    const SortingSession& s = m_session;
    const auto classes = [&](bool titles) {
        QStringList parts;
        for (const ClassRow& c : s.classes())
            parts << (titles ? c.title : c.qKey);
        return parts.join(u',');
    };
    const std::map<QString, std::function<QString()>> fields = {
        {u"parent"_s, [&] { return s.parentCode(); }},
        {u"sel"_s, [&] { return s.selCode(); }},
        {u"key"_s, [&] { return QString::number(s.keyId()); }},
        {u"kw"_s, [&] { return s.keyword(); }},
        {u"sugg"_s, [&] { return s.suggested(); }},
        {u"took"_s, [&] { return QString::number(int(m_took)); }},
        {u"msg"_s, [&] { return m_messages.join(u'|'); }},
        {u"shownWith"_s, [&] { return QString::number(m_rowsWhenShown); }},
        {u"found"_s, [&] { return QString::number(m_found); }},
        {u"list"_s, [&] { return classes(true); }},
        {u"keys"_s, [&] { return classes(false); }},
        {u"bulk"_s,
         [&] {
             return !m_bulk
                 ? u"failed"_s
                 : u"%1/%2/%3"_s.arg(m_bulk->filed.size()).arg(m_bulk->held).arg(m_bulk->gone + m_bulk->classGone);
         }},
        {u"gridRows"_s, [&] { return QString::number(s.gridModel()->dataRowCount()); }},
        {u"grid"_s,
         [&] {
             QStringList ids;
             for (int r = 0; r < s.gridModel()->dataRowCount(); ++r)
                 ids << s.gridModel()->index(r, 0).data().toString();
             return ids.join(u',');
         }},
        {u"rows"_s, [&] { return m_raw.value(u"SELECT count(*) FROM Korvels"_s); }},
        {u"filed"_s, [&] { return m_raw.value(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s); }},
        {u"codes"_s,
         [&] { return m_raw.rows(u"SELECT code FROM KeyClass WHERE code <> '' ORDER BY code"_s).join(u','); }},
    };
    if (const auto found = fields.find(name); found != fields.end())
        return found->second();
    if (name.startsWith(u"row"_s)) {
        const QStringList row
            = m_raw.rows(u"SELECT isSet, classcode, classname FROM Korvels WHERE id = ?"_s, {name.mid(3).toLongLong()});
        return row.isEmpty() ? u"-"_s : row.first();
    }
    return u"(no field %1)"_s.arg(name);
}

bool SessionScript::run(const QStringList& lines)
{
    for (const QString& line : lines) {
        const QString action = line.section(u"=>"_s, 0, 0).trimmed();
        const QString expected = line.section(u"=>"_s, 1).trimmed();
        m_messages.clear();
        m_found = -1;
        if (!action.isEmpty() && !act(action.section(u' ', 0, 0), action.section(u' ', 1))) {
            QTest::qFail(qPrintable(u"no action: "_s + line), __FILE__, __LINE__);
            return false;
        }
        if (QTest::currentTestFailed()) {
            qWarning("failed at: %s", qPrintable(line));
            return false;
        }
        bool messagesNamed = false;
        for (const QString& pair : expected.split(u' ', Qt::SkipEmptyParts)) {
            // "name~=part" asks only that the field hold the part.
            const QString name = pair.section(u'=', 0, 0);
            const bool part = name.endsWith(u'~');
            const QString want = pair.section(u'=', 1);
            const QString got = field(part ? name.chopped(1) : name);
            messagesNamed = messagesNamed || name.startsWith(u"msg"_s);
            const bool same = part ? got.contains(want) : got == want;
            if (!same) {
                QTest::qFail(qPrintable(u"%1\n   %2: got \"%3\", expected \"%4\""_s.arg(line, name, got, want)),
                             __FILE__, __LINE__);
                return false;
            }
        }
        if (!messagesNamed && !m_messages.isEmpty()) {
            QTest::qFail(qPrintable(u"%1\n   unexpected messages: %2"_s.arg(line, m_messages.join(u'|'))), __FILE__,
                         __LINE__);
            return false;
        }
    }
    return true;
}
