#include "Location.h"

#include <QFileInfo>
#include <QList>
#include <QRegularExpression>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace {

// The program's own settings where the location gives none: a window that cannot reach the server says so
// after ten seconds, and a window whose network is gone is noticed by both ends within half a minute.
const QList<std::pair<QString, QString>> Defaults = {
    {u"application_name"_s, u"korvel"_s}, {u"connect_timeout"_s, u"10"_s},    {u"keepalives"_s, u"1"_s},
    {u"keepalives_idle"_s, u"10"_s},      {u"keepalives_interval"_s, u"5"_s}, {u"keepalives_count"_s, u"3"_s},
};

// The settings of a location, as libpq reads them; empty with the reason when it cannot.
QList<std::pair<QString, QString>> parse(const QString& location, QString* error)
{
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(location.toUtf8().constData(), &message);
    QList<std::pair<QString, QString>> settings;
    if (!options) {
        *error = message ? QString::fromUtf8(message).trimmed() : u"无法解析连接字符串。"_s;
        PQfreemem(message);
        return settings;
    }
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val && *o->val)
            settings.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    }
    PQconninfoFree(options);
    return settings;
}

QString quoted(const QString& value)
{
    QString escaped = value;
    escaped.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
    return u'\'' + escaped + u'\'';
}

} // namespace

namespace PgLocation {

bool isServer(const QString& location)
{
    static const QRegularExpression keywordValue(u"^\\s*[a-z_]+\\s*="_s);
    if (location.startsWith(u"postgresql://"_s) || location.startsWith(u"postgres://"_s))
        return true;
    return keywordValue.match(location).hasMatch() && !QFileInfo::exists(location);
}

Result<QString> conninfo(const QString& location)
{
    QString error;
    const auto settings = parse(location, &error);
    if (!error.isEmpty())
        return Result<QString>::failure(u"连接字符串无效：%1"_s.arg(error));
    QStringList pairs;
    QStringList given;
    for (const auto& [keyword, value] : settings) {
        if (keyword == u"password"_s)
            return Result<QString>::failure(
                u"连接字符串中不能写密码：它会出现在进程列表和命令历史中。请把密码写在 ~/.pgpass、环境变量 "
                u"PGPASSWORD 或服务文件 ~/.pg_service.conf 中。"_s);
        // The driver cuts its connection options at semicolons.
        if (value.contains(u';'))
            return Result<QString>::failure(u"连接字符串中 %1 的值不能含有分号。"_s.arg(keyword));
        pairs << keyword + u'=' + quoted(value);
        given << keyword;
    }
    for (const auto& [keyword, value] : Defaults) {
        if (!given.contains(keyword))
            pairs << keyword + u'=' + quoted(value);
    }
    return pairs.join(u' ');
}

QString describe(const QString& location)
{
    QString error;
    QString host, port, dbname, user, service;
    for (const auto& [keyword, value] : parse(location, &error)) {
        if (keyword == u"host"_s || (keyword == u"hostaddr"_s && host.isEmpty()))
            host = value;
        else if (keyword == u"port"_s)
            port = value;
        else if (keyword == u"dbname"_s)
            dbname = value;
        else if (keyword == u"user"_s)
            user = value;
        else if (keyword == u"service"_s)
            service = value;
    }
    QString server = host.isEmpty() ? u"本机"_s : host;
    if (!port.isEmpty())
        server += u':' + port;
    if (!dbname.isEmpty())
        server += u'/' + dbname;
    if (!user.isEmpty())
        server = user + u'@' + server;
    if (!service.isEmpty())
        server = u"服务 %1（%2）"_s.arg(service, server);
    return u"PostgreSQL %1"_s.arg(server);
}

} // namespace PgLocation
