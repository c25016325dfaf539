#pragma once

#include <QDialog>

#include <memory>

namespace Ui {

class AboutForm;

// The About box: who made the program, under which terms, and with what.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
    ~AboutWindow() override;

    QString text() const;
    QString versionText() const;

private:
    std::unique_ptr<Ui::AboutForm> form;
};

} // namespace Ui
