#pragma once

#include <functional>

class QDialog;

// Every modal dialog of the program is run through here, so that a test can drive it without a nested
// event loop: the test's driver gets the shown dialog, works it as the operator would, and the dialog is
// closed afterwards in any case.
namespace Modal {

int exec(QDialog& dialog);

// For tests: the driver for every dialog run until it is cleared with an empty function.
void setDriver(std::function<void(QDialog&)> driver);

} // namespace Modal
