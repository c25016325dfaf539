#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SimpleRIEForm;
}

namespace Ui::Operations {

// Depth in cell layers, the etched material and from which sides it is etched.
class SimpleRIEDialog : public QDialog {
    Q_OBJECT
public:
    explicit SimpleRIEDialog(QWidget* parent = nullptr);
    ~SimpleRIEDialog() override;

    int depth() const;
    int materialId() const;
    bool etchFromBelow() const;
    bool etchFromTop() const;

private:
    std::unique_ptr<Ui::SimpleRIEForm> form;
};

} // namespace Ui::Operations
