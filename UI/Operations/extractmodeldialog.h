#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QTableWidget;

namespace Ui {
class ExtractModelForm;
}

namespace Core::Operations {
class RunModelExtraction;
}

namespace Ui::Operations {

// "Extract Model": the three steps of model extraction, each run once and in turn, while the
// view stays usable. Closing the dialog ends the extraction.
class ExtractModelDialog : public QDialog {
    Q_OBJECT
public:
    ExtractModelDialog(QWidget* parent,
                       std::shared_ptr<Core::Operations::RunModelExtraction> operation);
    ~ExtractModelDialog() override;

public slots:
    void runStepOneClicked();
    void runStepTwoClicked();
    void runStepThreeClicked();

private:
    // The mechanics of the beams of the volume, shown once step two has found them.
    void showMechanics();

    std::unique_ptr<Ui::ExtractModelForm> form;
    QTableWidget* mechanics = nullptr;
    QLabel* waferBow = nullptr;
    std::shared_ptr<Core::Operations::RunModelExtraction> operation;
};

} // namespace Ui::Operations
