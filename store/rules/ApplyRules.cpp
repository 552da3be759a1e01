#include "store/Store.h"

Result<RulesApplied> Store::applySavedRules(qint64 afterId)
{
    const auto rules = savedRules();
    if (!rules)
        return rules.as<RulesApplied>();
    RulesApplied applied;
    for (const SavedRule& saved : *rules) {
        const auto owner = classByCode(saved.classCode);
        if (!owner)
            return owner.as<RulesApplied>();
        if (!owner->has_value()) {
            ++applied.withoutClass;
            continue;
        }
        RuleScan scan;
        scan.afterId = afterId;
        scan.listLimit = 0;
        scan.ids = true;
        const auto matches = matchRule(saved.rule, scan);
        if (!matches)
            return matches.as<RulesApplied>();
        if (matches->ids.isEmpty())
            continue;
        const auto filed = fileKeywords(matches->ids, saved.classCode, (*owner)->title);
        if (!filed)
            return filed.as<RulesApplied>();
        applied.filed += filed->filed.size();
        applied.held += filed->held;
        if (filed->classGone > 0)
            ++applied.withoutClass;
    }
    return applied;
}
