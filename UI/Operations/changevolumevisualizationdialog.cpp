#include "UI/Operations/changevolumevisualizationdialog.h"

#include "ui_changevolumevisualizationdialog.h"

#include <QColorDialog>

namespace Ui::Operations {

ChangeVolumeVisualizationDialog::ChangeVolumeVisualizationDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ChangeVolumeVisualizationDialogForm>()),
      chooseColor([](QWidget* owner, const QColor& initial) {
          return QColorDialog::getColor(initial, owner, QStringLiteral("Select new film color"));
      }) {
    form->setupUi(this);
    connect(form->btnChangeColor, &QPushButton::clicked, this,
            &ChangeVolumeVisualizationDialog::changeColor);
    connect(form->cbxMaterial, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ChangeVolumeVisualizationDialog::showFilm);
    showFilm(-1);
}

ChangeVolumeVisualizationDialog::~ChangeVolumeVisualizationDialog() = default;

void ChangeVolumeVisualizationDialog::setOptions(const VolumeVisualizationOptions& options) {
    form->chkRenderSiAtoms->setChecked(options.renderSiAtoms);
    form->chkSurfaceAtomsOnly->setChecked(options.renderSurfaceAtomsOnly);
    form->chkAtomLinks->setChecked(options.renderSiAtomLinks);
    form->chkUnitCellOutlines->setChecked(options.renderUnitCellOutlines);
    form->chkUnitCells->setChecked(options.renderUnitCells);
    form->chkEmptyVoxelOutlines->setChecked(options.renderEmptyVoxelOutlines);
    const int algorithm = options.surfaceAlgorithm;
    form->cbxAlgorithm->setCurrentIndex(
        algorithm >= 0 && algorithm < form->cbxAlgorithm->count() ? algorithm : 0);
}

VolumeVisualizationOptions ChangeVolumeVisualizationDialog::options() const {
    VolumeVisualizationOptions result;
    result.renderSiAtoms = form->chkRenderSiAtoms->isChecked();
    result.renderSurfaceAtomsOnly = form->chkSurfaceAtomsOnly->isChecked();
    result.renderSiAtomLinks = form->chkAtomLinks->isChecked();
    result.renderUnitCellOutlines = form->chkUnitCellOutlines->isChecked();
    result.renderUnitCells = form->chkUnitCells->isChecked();
    result.renderEmptyVoxelOutlines = form->chkEmptyVoxelOutlines->isChecked();
    result.surfaceAlgorithm = form->cbxAlgorithm->currentIndex();
    return result;
}

void ChangeVolumeVisualizationDialog::setFilms(const std::vector<FilmColor>& newFilms) {
    films = newFilms;
    edited.clear();
    form->cbxMaterial->clear();
    for (const FilmColor& film : films)
        form->cbxMaterial->addItem(film.name, film.materialId);
    showFilm(form->cbxMaterial->currentIndex());
}

QColor ChangeVolumeVisualizationDialog::currentFilmColor() const {
    const int index = form->cbxMaterial->currentIndex();
    if (index < 0 || index >= int(films.size()))
        return QColor();
    const FilmColor& film = films[std::size_t(index)];
    const auto found = edited.find(film.materialId);
    return found == edited.end() ? film.color : found->second;
}

QString ChangeVolumeVisualizationDialog::colorButtonStyleSheet() const {
    return form->btnChangeColor->styleSheet();
}

void ChangeVolumeVisualizationDialog::showFilm(int index) {
    const bool valid = index >= 0 && index < int(films.size());
    form->btnChangeColor->setEnabled(valid);
    if (!valid) {
        form->btnChangeColor->setStyleSheet(QString());
        return;
    }
    const QColor color = currentFilmColor();
    form->btnChangeColor->setStyleSheet(QStringLiteral("background-color : #%1%2%3")
                                            .arg(color.red(), 2, 16, QLatin1Char('0'))
                                            .arg(color.green(), 2, 16, QLatin1Char('0'))
                                            .arg(color.blue(), 2, 16, QLatin1Char('0')));
}

void ChangeVolumeVisualizationDialog::changeColor() {
    const int index = form->cbxMaterial->currentIndex();
    if (index < 0 || index >= int(films.size()) || !chooseColor)
        return;
    const QColor picked = chooseColor(this, currentFilmColor());
    if (!picked.isValid())
        return;
    edited[films[std::size_t(index)].materialId] = picked;
    showFilm(index);
}

} // namespace Ui::Operations
