#include "Modal.h"

#include <QDialog>

namespace Modal {

namespace {
std::function<void(QDialog&)>& driver()
{
    static std::function<void(QDialog&)> d;
    return d;
}
} // namespace

int exec(QDialog& dialog)
{
    if (!driver())
        return dialog.exec();
    dialog.show();
    driver()(dialog);
    if (dialog.isVisible())
        dialog.reject();
    return dialog.result();
}

void setDriver(std::function<void(QDialog&)> d)
{
    driver() = std::move(d);
}

} // namespace Modal
