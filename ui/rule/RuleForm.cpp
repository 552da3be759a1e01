#include "RuleForm.h"

#include "store/Store.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace RuleForm {

QStringList words(const QString& typed)
{
    static const QRegularExpression spaces(u"[\\s\\x{3000}]+"_s);
    return typed.split(spaces, Qt::SkipEmptyParts);
}

std::optional<int> length(const QString& typed, bool& valid)
{
    const QString text = typed.trimmed();
    valid = true;
    if (text.isEmpty())
        return std::nullopt;
    const int n = text.toInt(&valid);
    valid = valid && n >= 0;
    return valid ? std::optional(n) : std::nullopt;
}

QString problem(const Rule& rule)
{
    if (rule.isEmpty())
        return u"请输入规则：至少填写一项条件。"_s;
    if (const auto bad = RuleMatcher::regexError(rule.regex))
        return u"正则表达式有误（第 %1 个字符）：%2"_s.arg(bad->offset + 1).arg(bad->message);
    if (rule.minLength && rule.maxLength && *rule.minLength > *rule.maxLength)
        return u"最短长度大于最长长度。"_s;
    return {};
}

QString summary(const Rule& rule)
{
    QStringList parts;
    if (!rule.all.isEmpty())
        parts << u"全部包含 "_s + rule.all.join(u' ');
    if (!rule.any.isEmpty())
        parts << u"包含其一 "_s + rule.any.join(u' ');
    if (!rule.none.isEmpty())
        parts << u"不包含 "_s + rule.none.join(u' ');
    if (!rule.regex.isEmpty())
        parts << u"正则 "_s + rule.regex;
    if (rule.minLength || rule.maxLength)
        parts << u"长度 %1–%2"_s.arg(rule.minLength ? QString::number(*rule.minLength) : QString(),
                                     rule.maxLength ? QString::number(*rule.maxLength) : QString());
    return parts.join(u"；"_s);
}

QString report(const BulkFiling& filed, const QString& classPath)
{
    QString text = u"已将 %1 个关键词归入“%2”（Ctrl+Z 可整体撤销）。"_s.arg(filed.filed.size()).arg(classPath);
    if (filed.held > 0)
        text += u"\n%1 个关键词正由其他窗口设置，没有归类。"_s.arg(filed.held);
    if (filed.gone > 0)
        text += u"\n%1 个关键词此间已被设置或删除。"_s.arg(filed.gone);
    if (filed.classGone > 0)
        text += u"\n分类已不在数据库中，%1 个关键词没有归类。"_s.arg(filed.classGone);
    return text;
}

Result<ClassRow> byQuickKeys(Store& store, const QString& keys)
{
    std::optional<ClassRow> reached;
    for (const char32_t key : keys.toUcs4()) {
        const QString typed = QString::fromUcs4(&key, 1);
        const auto level = store.classesUnder(reached ? reached->code : QString());
        if (!level)
            return level.as<ClassRow>();
        const auto found
            = std::find_if(level->cbegin(), level->cend(), [&](const ClassRow& c) { return c.qKey == typed; });
        if (found == level->cend())
            return Result<ClassRow>::failure(reached ? u"“%1”下没有快捷键为“%2”的分类。"_s.arg(reached->title, typed)
                                                     : u"顶层没有快捷键为“%1”的分类。"_s.arg(typed));
        reached = *found;
    }
    if (!reached)
        return Result<ClassRow>::failure(u"请输入分类的快捷键。"_s);
    return *reached;
}

} // namespace RuleForm
