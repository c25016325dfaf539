#include "UI/aboutwindow.h"

#include "ui_aboutwindow.h"

namespace Ui {

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::AboutForm>()) {
    form->setupUi(this);
    setModal(true);
}

AboutWindow::~AboutWindow() = default;

QString AboutWindow::text() const {
    return form->txtAbout->toHtml();
}

} // namespace Ui
