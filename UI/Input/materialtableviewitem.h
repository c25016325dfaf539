#pragma once

#include "Model/Materials/material.h"

#include <QAbstractTableModel>

#include <vector>

namespace Ui::Input {

// The material table of "Manage Materials": its own copies of the registered materials, edited
// in place (name, colour and the constants the netlist uses) and extended by added rows. The
// registry is untouched until the dialog's owner hands the rows back.
class MaterialTableViewItem : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        IdColumn = 0,
        NameColumn,
        ColorColumn,
        DensityColumn,
        YoungModulusColumn,
        PoissonRatioColumn,
        // The films' residual stress (MPa, mean and gradient in MPa/µm) and whether the
        // material conducts: what the mechanics report of released beams needs.
        ResidualStressColumn,
        StressGradientColumn,
        ConductorColumn
    };

    explicit MaterialTableViewItem(std::vector<Model::Materials::Material> materials,
                                   QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Id, name, colour, density, Young modulus and Poisson ratio; all but the id are editable.
    // The constants are shown and edited as text; one out of range is refused.
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Appends `count` new materials whatever `row` says, each with the smallest free id from 3.
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    const std::vector<Model::Materials::Material>& getMaterials() const { return materials; }

private:
    bool inside(const QModelIndex& index) const;
    uint32_t nextFreeId() const;

    std::vector<Model::Materials::Material> materials;
};

} // namespace Ui::Input
