#include "Rule.h"

#include "store/StoredText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QStringList withoutEmpty(const QStringList& words)
{
    QStringList kept;
    for (const QString& w : words) {
        if (!w.isEmpty())
            kept << w;
    }
    return kept;
}

QStringList foldedAll(const QStringList& words)
{
    QStringList out;
    for (const QString& w : words)
        out << RuleMatcher::folded(w);
    return out;
}

QByteArrayList utf8All(const QStringList& folded)
{
    QByteArrayList out;
    for (const QString& w : folded)
        out << storedText(w).toUtf8();
    return out;
}

qsizetype characters(QStringView text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++n;
    }
    return n;
}

} // namespace

bool Rule::isEmpty() const
{
    return withoutEmpty(all).isEmpty() && withoutEmpty(any).isEmpty() && withoutEmpty(none).isEmpty() && regex.isEmpty()
        && !minLength && !maxLength;
}

QString Rule::toJson() const
{
    QJsonObject o {{u"all"_s, QJsonArray::fromStringList(all)},
                   {u"any"_s, QJsonArray::fromStringList(any)},
                   {u"none"_s, QJsonArray::fromStringList(none)},
                   {u"regex"_s, regex}};
    if (minLength)
        o.insert(u"minLength"_s, *minLength);
    if (maxLength)
        o.insert(u"maxLength"_s, *maxLength);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

Result<Rule> Rule::fromJson(const QString& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (!doc.isObject())
        return Result<Rule>::failure(u"保存的规则无法读取：%1"_s.arg(error.errorString()));
    const QJsonObject o = doc.object();
    const auto words = [&](const QString& key) {
        QStringList out;
        for (const QJsonValue& v : o.value(key).toArray())
            out << v.toString();
        return out;
    };
    Rule r {words(u"all"_s), words(u"any"_s), words(u"none"_s), o.value(u"regex"_s).toString(), {}, {}};
    if (o.contains(u"minLength"_s))
        r.minLength = o.value(u"minLength"_s).toInt();
    if (o.contains(u"maxLength"_s))
        r.maxLength = o.value(u"maxLength"_s).toInt();
    return r;
}

std::optional<RegexError> RuleMatcher::regexError(const QString& regex)
{
    const QRegularExpression re(regex, QRegularExpression::UseUnicodePropertiesOption);
    if (re.isValid())
        return std::nullopt;
    return RegexError {re.errorString(), re.patternErrorOffset()};
}

Result<RuleMatcher> RuleMatcher::make(const Rule& rule)
{
    if (rule.isEmpty())
        return Result<RuleMatcher>::failure(u"规则没有任何条件：它会选中所有未设置的关键词。"_s);
    if (const auto bad = regexError(rule.regex))
        return Result<RuleMatcher>::failure(
            u"正则表达式有误（第 %1 个字符处）：%2"_s.arg(bad->offset + 1).arg(bad->message));
    RuleMatcher m;
    m.m_rule = {withoutEmpty(rule.all), withoutEmpty(rule.any), withoutEmpty(rule.none), rule.regex,
                rule.minLength,         rule.maxLength};
    m.m_all = foldedAll(m.m_rule.all);
    m.m_any = foldedAll(m.m_rule.any);
    m.m_none = foldedAll(m.m_rule.none);
    m.m_all8 = utf8All(m.m_all);
    m.m_any8 = utf8All(m.m_any);
    m.m_none8 = utf8All(m.m_none);
    m.m_hasRegex = !rule.regex.isEmpty();
    if (m.m_hasRegex) {
        m.m_regex = QRegularExpression(rule.regex, QRegularExpression::UseUnicodePropertiesOption);
        m.m_regex.optimize();
    }
    return m;
}

QString RuleMatcher::folded(QStringView text)
{
    QString s = text.toString();
    for (QChar& c : s) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return s;
}

bool RuleMatcher::hasAsciiLetter(QStringView text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
}

bool RuleMatcher::matches(QStringView keyword) const
{
    const QString k = folded(keyword);
    const auto in = [&](const QString& w) { return k.contains(w); };
    if (!std::all_of(m_all.cbegin(), m_all.cend(), in))
        return false;
    if (!m_any.isEmpty() && std::none_of(m_any.cbegin(), m_any.cend(), in))
        return false;
    if (std::any_of(m_none.cbegin(), m_none.cend(), in))
        return false;
    return matchesRest(keyword);
}

bool RuleMatcher::lengthFits(qsizetype n) const
{
    return (!m_rule.minLength || n >= *m_rule.minLength) && (!m_rule.maxLength || n <= *m_rule.maxLength);
}

bool RuleMatcher::lengthFits(QByteArrayView utf8) const
{
    // A character is every byte that does not continue one.
    const qsizetype n = std::count_if(utf8.begin(), utf8.end(), [](char b) { return (uchar(b) & 0xC0) != 0x80; });
    return lengthFits(n);
}

bool RuleMatcher::matchesRest(QStringView keyword) const
{
    if ((m_rule.minLength || m_rule.maxLength) && !lengthFits(characters(keyword)))
        return false;
    return !m_hasRegex || m_regex.match(keyword).hasMatch();
}

bool RuleMatcher::matchesUtf8(QByteArrayView keyword) const
{
    thread_local QByteArray folded;
    folded.resize(keyword.size());
    std::transform(keyword.begin(), keyword.end(), folded.begin(),
                   [](char b) { return b >= 'A' && b <= 'Z' ? char(b + 32) : b; });
    const auto in = [&](const QByteArray& w) { return folded.contains(w); };
    if (!std::all_of(m_all8.cbegin(), m_all8.cend(), in))
        return false;
    if (!m_any8.isEmpty() && std::none_of(m_any8.cbegin(), m_any8.cend(), in))
        return false;
    if (std::any_of(m_none8.cbegin(), m_none8.cend(), in))
        return false;
    if (!lengthFits(keyword))
        return false;
    return !m_hasRegex || m_regex.match(QString::fromUtf8(keyword)).hasMatch();
}
