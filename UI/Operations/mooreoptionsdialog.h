#pragma once

#include "Model/Materials/material.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class MooreOptionsBaseDialog;
}

namespace Ui::Operations {

// A material and a whole number of cell layers, for the Moore-neighbourhood processes.
class MooreOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit MooreOptionsDialog(QWidget* parent = nullptr);
    ~MooreOptionsDialog() override;

    void setFilms(const std::vector<Model::Materials::Material>& materials);
    void setValueLabel(const QString& text);
    int steps() const;
    int materialId() const;

private:
    std::unique_ptr<Ui::MooreOptionsBaseDialog> form;
};

} // namespace Ui::Operations
