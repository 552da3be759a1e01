#include "Location.h"

#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QRegularExpression>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace {

// The program's own settings where the location gives none: a window that cannot reach the server says so
// after ten seconds, and a window whose network is gone notices within half a minute, even while it waits for
// an answer (data unacknowledged for 20 s ends the connection).
const QList<std::pair<QString, QString>> Defaults = {
    {u"application_name"_s, u"korvel"_s}, {u"connect_timeout"_s, u"10"_s},    {u"keepalives"_s, u"1"_s},
    {u"keepalives_idle"_s, u"10"_s},      {u"keepalives_interval"_s, u"5"_s}, {u"keepalives_count"_s, u"3"_s},
    {u"tcp_user_timeout"_s, u"20000"_s},
};

using Settings = QList<std::pair<QString, QString>>;

// The settings of a location, as libpq reads them.
Result<Settings> parse(const QString& location)
{
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(location.toUtf8().constData(), &message);
    if (!options) {
        const QString error = message ? QString::fromUtf8(message).trimmed() : u"无法解析连接字符串。"_s;
        PQfreemem(message);
        return Result<Settings>::failure(error);
    }
    Settings settings;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val && *o->val)
            settings.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    }
    PQconninfoFree(options);
    return settings;
}

// A host that is this machine: a Unix socket's folder, or a loopback name or address.
bool local(const QString& host)
{
    return host.startsWith(u'/') || host.startsWith(u'@') || host == u"localhost"_s || host.startsWith(u"127."_s)
        || host == u"::1"_s;
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
    const auto settings = parse(location);
    if (!settings)
        return Result<QString>::failure(u"连接字符串无效：%1"_s.arg(settings.error()));
    QStringList pairs;
    QStringList given;
    for (const auto& [keyword, value] : *settings) {
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
    QString host, port, dbname, user, service;
    const auto settings = parse(location);
    for (const auto& [keyword, value] : settings ? *settings : Settings()) {
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

QString tlsWarning(const QString& location)
{
    const auto given = parse(location);
    if (!given)
        return {};
    QHash<QString, QString> settings;
    for (const auto& [keyword, value] : *given)
        settings.insert(keyword, value);
    PQconninfoOption* defaults = PQconndefaults();
    for (PQconninfoOption* o = defaults; o && o->keyword; ++o) {
        if (o->val && *o->val && !settings.contains(QString::fromUtf8(o->keyword)))
            settings.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(defaults);
    const QString mode = settings.value(u"sslmode"_s, u"prefer"_s);
    if (mode == u"verify-full"_s || mode == u"verify-ca"_s)
        return {};
    // The address, where one is given, is what the connection goes to; no host at all is the local socket.
    const QString hosts = settings.value(u"hostaddr"_s, settings.value(u"host"_s));
    QStringList remote;
    for (const QString& host : hosts.split(u',', Qt::SkipEmptyParts)) {
        if (!local(host.trimmed()))
            remote << host.trimmed();
    }
    if (remote.isEmpty())
        return {};
    return u"与数据库服务器 %1 "
           u"的连接不核验服务器的证书（sslmode=%2）：网络上的他人可以冒充服务器，读到或改动传送的关键词"
           u"和分类。要核验，请在连接字符串中加上 sslmode=verify-full 和 sslrootcert=服务器的根证书文件。"_s.arg(
               remote.join(u", "_s), mode);
}

} // namespace PgLocation
