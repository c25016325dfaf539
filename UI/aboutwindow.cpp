#include "UI/aboutwindow.h"

#include "Util/version.h"
#include "ui_aboutwindow.h"

namespace Ui {

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::AboutForm>()) {
    form->setupUi(this);
    // Selectable, so that it can be pasted into a report of a fault.
    form->lblVersion->setText(QStringLiteral("Version ") + Util::version());
    setModal(true);
}

AboutWindow::~AboutWindow() = default;

QString AboutWindow::versionText() const {
    return form->lblVersion->text();
}

QString AboutWindow::text() const {
    return form->txtAbout->toHtml();
}

} // namespace Ui
