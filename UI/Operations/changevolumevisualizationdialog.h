#pragma once

#include "Core/Operations/volumevisualizationoptions.h"

#include <QColor>
#include <QDialog>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace Ui {
class ChangeVolumeVisualizationDialogForm;
}

namespace Ui::Operations {

using Core::Operations::VolumeVisualizationOptions;

// A film the dialog can recolour.
struct FilmColor {
    int materialId = 0;
    QString name;
    QColor color;
};

// "Change Volume Visualization Options": edits a copy of a volume's drawing options and the
// colours of the materials; the caller writes both back on acceptance.
class ChangeVolumeVisualizationDialog : public QDialog {
    Q_OBJECT
public:
    using ColorChooser = std::function<QColor(QWidget* parent, const QColor& initial)>;

    explicit ChangeVolumeVisualizationDialog(QWidget* parent = nullptr);
    ~ChangeVolumeVisualizationDialog() override;

    void setOptions(const VolumeVisualizationOptions& options);
    VolumeVisualizationOptions options() const;

    void setFilms(const std::vector<FilmColor>& films);
    // Only the materials whose colour the user changed, by material id.
    std::map<int, QColor> editedColors() const { return edited; }
    QColor currentFilmColor() const;
    QString colorButtonStyleSheet() const;
    void setColorChooser(ColorChooser chooser) { chooseColor = std::move(chooser); }

public slots:
    void changeColor();

private:
    void showFilm(int index);

    std::unique_ptr<Ui::ChangeVolumeVisualizationDialogForm> form;
    std::vector<FilmColor> films;
    std::map<int, QColor> edited;
    ColorChooser chooseColor;
};

} // namespace Ui::Operations
