#include "store/Store.h"

#include <QSet>

Result<SavedRuleMatches> Store::savedRuleMatches(qint64 afterId)
{
    const auto rules = savedRules();
    if (!rules)
        return rules.as<SavedRuleMatches>();
    SavedRuleMatches found;
    QSet<qint64> taken;
    for (const SavedRule& saved : *rules) {
        const auto owner = classByCode(saved.classCode);
        if (!owner)
            return owner.as<SavedRuleMatches>();
        if (!owner->has_value()) {
            ++found.withoutClass;
            continue;
        }
        RuleScan scan;
        scan.afterId = afterId;
        scan.listLimit = 0;
        scan.ids = true;
        const auto matches = matchRule(saved.rule, scan);
        if (!matches)
            return matches.as<SavedRuleMatches>();
        for (const qint64 id : matches->ids) {
            if (!taken.contains(id)) {
                taken.insert(id);
                found.idsByClass[saved.classCode].append(id);
            }
        }
    }
    return found;
}

Result<RulesApplied> Store::applySavedRules(qint64 afterId)
{
    const auto matches = savedRuleMatches(afterId);
    if (!matches)
        return matches.as<RulesApplied>();
    RulesApplied applied;
    applied.withoutClass = matches->withoutClass;
    for (auto it = matches->idsByClass.cbegin(); it != matches->idsByClass.cend(); ++it) {
        const auto owner = classByCode(it.key());
        if (!owner)
            return owner.as<RulesApplied>();
        if (!owner->has_value()) {
            ++applied.withoutClass;
            continue;
        }
        const auto filed = fileKeywords(it.value(), it.key(), (*owner)->title);
        if (!filed)
            return filed.as<RulesApplied>();
        applied.filed += filed->filed.size();
        applied.held += filed->held;
        if (filed->classGone > 0)
            ++applied.withoutClass;
    }
    return applied;
}
