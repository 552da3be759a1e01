#pragma once

#include "store/Result.h"
#include "store/Rows.h"
#include "store/rules/Rule.h"

#include <optional>

class Store;

// The rule window's words: what the operator typed turned into a rule and a class, and a rule back into words.
namespace RuleForm {

// Words typed into one box, split at spaces (ideographic ones too).
QStringList words(const QString& typed);
// A length box: nothing when empty; a number otherwise, or nothing valid (then the text is refused).
std::optional<int> length(const QString& typed, bool& valid);
// What is wrong with a rule before it runs, in the operator's words; empty when nothing is.
QString problem(const Rule& rule);
// A rule in one line, as the list of saved rules shows it.
QString summary(const Rule& rule);
// What a filing by rule did, for the operator.
QString report(const BulkFiling& filed, const QString& classPath);
// The class reached by typing quick keys from the top level down, one character a level; a failure says which
// key found nothing.
Result<ClassRow> byQuickKeys(Store& store, const QString& keys);

} // namespace RuleForm
