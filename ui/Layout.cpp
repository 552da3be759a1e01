#include "Layout.h"

void place(QWidget* parent, std::span<const Placement> layout)
{
    for (const Placement& p : layout) {
        auto* widget = parent->findChild<QWidget*>(QString::fromUtf16(p.name));
        Q_ASSERT(widget);
        widget->setGeometry(twips(p.left), twips(p.top), twips(p.width), twips(p.height));
    }
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}
