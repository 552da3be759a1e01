#pragma once

#include "StoreSupport.h"
#include "session/SortingSession.h"

#include <QAbstractItemModel>

#include <functional>
#include <optional>

// An operator's script run against a sorting session, a line an action: the action, "=>", and the state expected
// after it, as fields ("key=3 sel=002 grid=3,2"). A line's messages are always checked: one that names none
// expects none. Actions and fields are listed in SessionScript.cpp.
class SessionScript
{
public:
    SessionScript(Store& store, RawDb& raw, SortingSession& session);
    // Runs the lines; false, with the test failed and the line named, at the first state that differs.
    bool run(const QStringList& lines);

    // Actions and fields a test adds (a window's events, what it shows): true, or the value, when it knows the name.
    std::function<bool(const QString& action, const QString& argument)> moreActions;
    std::function<std::optional<QString>(const QString& name)> moreFields;

private:
    bool act(const QString& action, const QString& argument);
    QString field(const QString& name);

    Store& m_store;
    RawDb& m_raw;
    SortingSession& m_session;
    QStringList m_messages;
    int m_rowsWhenShown = -1;
    int m_found = -1;
    bool m_took = false;
    std::optional<BulkFiling> m_bulk;
};

// The rows from..to of a grid, their cells joined by '|'.
QStringList gridRows(const QAbstractItemModel& model, int from, int to);

// Classes for scripts: 001 数码 (1) with 001001 手机 (a) and 001002 电脑 (b), which has 001002001 笔记本 (n);
// 002 汽车 (2); 003 美食 (a); 004 健康 (2, as 002); 005 旅游 (5), whose one child was deleted. Keywords as
// "id:text" (unsorted) or "id:text@code" (filed there).
bool fillScriptStore(Store& store, RawDb& raw, const QStringList& keywords);
