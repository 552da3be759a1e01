#include "CommandSupport.h"

#include "Commands.h"
#include "store/Store.h"
#include "store/postgres/Location.h"

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Commands {

void say(FILE* to, const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), to);
}

int fail(int status, const QString& text)
{
    say(stderr, u"korvel: "_s + text);
    return status;
}

void progress(const char* what, qint64 done, qint64 total)
{
    static const bool terminal = isatty(fileno(stderr));
    if (terminal && total > 0)
        std::fprintf(stderr, "\r%s %3lld%%", what, qlonglong(std::min(done, total) * 100 / total));
}

void progressDone()
{
    if (isatty(fileno(stderr)))
        std::fputs("\r\033[K", stderr);
}

std::unique_ptr<Store> openedStore(const QString& location, int& status)
{
    // A server location that names no server the program may use is bad input, not a store that failed.
    if (PgLocation::isServer(location)) {
        if (const auto settings = PgLocation::conninfo(location); !settings) {
            status = fail(BadInput, settings.error());
            return nullptr;
        }
    }
    auto store = openStore(location);
    if (!store) {
        status = fail(StoreFailed, u"cannot open %1: %2"_s.arg(location, store.error()));
        return nullptr;
    }
    return std::move(store).value();
}

} // namespace Commands
