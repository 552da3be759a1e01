#include "Copy.h"

#include "Store.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int PageSize = 10000;

Status empty(Store& target)
{
    const auto classes = target.allClasses();
    if (!classes)
        return Status::of(classes);
    const auto keywords = target.keywordsAfter(0, 1);
    if (!keywords)
        return Status::of(keywords);
    const bool onlyRoot = classes->isEmpty()
        || (classes->size() == 1 && classes->first().code.isEmpty() && classes->first().maxnext == 0);
    if (!onlyRoot || !keywords->isEmpty())
        return Status::failure(u"目标数据库中已有数据，不会覆盖。"_s);
    return {};
}

Status holdsExactly(Store& target, const QString& text, const QString& where)
{
    if (target.storedForm(text) == text)
        return {};
    return Status::failure(u"%1的文字含有目标数据库无法原样保存的字符（如 NUL），没有复制。"_s.arg(where));
}

Status copyKeywords(Store& source, Store& target, const std::function<void(qint64)>& progress)
{
    qint64 last = 0;
    qint64 copied = 0;
    while (true) {
        const auto page = source.keywordsAfter(last, PageSize);
        if (!page)
            return Status::of(page);
        if (page->isEmpty())
            return {};
        if (const auto stored = target.importRows(*page); !stored)
            return Status::of(stored);
        // The keywords keep their ids, and so their numbers.
        QList<qint64> ids;
        for (const KeywordRow& k : *page)
            ids << k.id;
        const auto metrics = source.metricsOf(ids);
        if (!metrics)
            return Status::of(metrics);
        if (const Status stored = target.importMetrics(*metrics); !stored)
            return stored;
        last = page->last().id;
        copied += page->size();
        if (progress)
            progress(copied);
    }
}

} // namespace

Status copyStore(Store& source, Store& target, const std::function<void(qint64)>& progress)
{
    if (const Status isEmpty = empty(target); !isEmpty)
        return isEmpty;
    const auto classes = source.allClasses();
    if (!classes)
        return Status::of(classes);
    for (const ClassRow& c : *classes) {
        for (const QString& text : {c.code, c.title, c.qKey, c.path}) {
            if (Status exact = holdsExactly(target, text, u"分类（id %1）"_s.arg(c.id)); !exact)
                return exact;
        }
    }
    // Every keyword is checked before the first is written.
    for (qint64 last = 0;;) {
        const auto page = source.keywordsAfter(last, PageSize);
        if (!page)
            return Status::of(page);
        if (page->isEmpty())
            break;
        for (const KeywordRow& k : *page) {
            for (const QString& text : {k.keywords, k.classcode, k.classname}) {
                if (Status exact = holdsExactly(target, text, u"关键词（id %1）"_s.arg(k.id)); !exact)
                    return exact;
            }
        }
        last = page->last().id;
    }
    Status copied = target.replaceClasses(*classes);
    if (copied)
        copied = copyKeywords(source, target, progress);
    if (!copied) {
        // Back to an empty store: nothing half written stays.
        (void)target.deleteAllKeywords();
        (void)target.replaceClasses({ClassRow {1, {}, {}, {}, 0, {}}});
    }
    return copied;
}
