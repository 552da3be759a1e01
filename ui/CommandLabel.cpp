#include "CommandLabel.h"

#include "Layout.h"

#include <QMouseEvent>

CommandLabel::CommandLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    // The classic blue of a command.
    setTextColour(this, QColor(0, 0, 192));
}

void CommandLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
