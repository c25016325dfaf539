#pragma once

#include "Model/Materials/material.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class ExtractFilmForm;
}

namespace Ui::Operations {

// "Extract Film": which material's film to copy out, and whether to turn it over.
class ExtractFilmDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExtractFilmDialog(QWidget* parent = nullptr);
    ~ExtractFilmDialog() override;

    void setFilms(const std::vector<Model::Materials::Material>& materials);
    int materialId() const;
    bool invert() const;

private:
    std::unique_ptr<Ui::ExtractFilmForm> form;
};

} // namespace Ui::Operations
