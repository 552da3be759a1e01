#pragma once

#include <QString>
#include <QWidget>

#include <span>

// Where a named control sits in its parent, in twips (fifteen to the pixel).
struct Placement
{
    const char16_t* name;
    int left;
    int top;
    int width;
    int height;
};

inline int twips(int value)
{
    return (value + 7) / 15;
}

// Places every named child of parent as the table says.
void place(QWidget* parent, std::span<const Placement> layout);

template <typename T> T* named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

// Sets the colour of a control's text.
void setTextColour(QWidget* widget, const QColor& colour);
