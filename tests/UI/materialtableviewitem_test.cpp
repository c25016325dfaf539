#include "UI/Input/materialtableviewitem.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QColor>
#include <QPoint>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;
using Ui::Input::MaterialTableViewItem;

namespace {

std::vector<Material> threeMaterials() {
    return {Material(1, QStringLiteral("Si"), 2329.f, 1.88e11f, 0.28f),
            Material(3, QStringLiteral("Oxide"), 2200.f, 7e10f, 0.17f,
                     Util::Vector4D(0.05, 0.0, 1.0, 1.0)),
            Material(5, QStringLiteral("Cu"), 8960.f, 1.28e11f, 0.36f)};
}

} // namespace

TEST(MaterialTableViewItem, HeadersNameTheColumnsAndNumberRowsFromOne) {
    MaterialTableViewItem model(threeMaterials());
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 9);
    const char* const names[] = {"Material Id",
                                 "Material Name",
                                 "Color",
                                 "Density",
                                 "Young Modulus",
                                 "Poisson Ratio",
                                 "Residual Stress (MPa)",
                                 "Stress Gradient (MPa/µm)",
                                 "Conductor"};
    for (int section = 0; section < 9; ++section)
        EXPECT_EQ(model.headerData(section, Qt::Horizontal).toString(),
                  QString::fromUtf8(names[section]));
    EXPECT_EQ(model.headerData(9, Qt::Horizontal).toString(), QStringLiteral("Column 9"));
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    EXPECT_EQ(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

TEST(MaterialTableViewItem, DataGivesIdNameAndTruncatedColour) {
    MaterialTableViewItem model(threeMaterials());
    EXPECT_EQ(model.data(model.index(1, 0)).toUInt(), 3u);
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("Oxide"));
    EXPECT_EQ(model.data(model.index(1, 2)).value<QColor>(), QColor(12, 0, 255, 255));
    EXPECT_EQ(model.data(model.index(0, 2)).value<QColor>(), QColor(127, 127, 127, 255));
    // An editor starts from the current name rather than an empty line.
    EXPECT_EQ(model.data(model.index(0, 1), Qt::EditRole).toString(), QStringLiteral("Si"));

    EXPECT_FALSE(model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    EXPECT_FALSE(model.data(model.index(3, 0)).isValid());
    EXPECT_FALSE(model.data(QModelIndex()).isValid());
}

TEST(MaterialTableViewItem, AllButTheIdAreEditable) {
    MaterialTableViewItem model(threeMaterials());
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    for (int column = 1; column < 6; ++column)
        EXPECT_TRUE(model.flags(model.index(0, column)) & Qt::ItemIsEditable) << column;
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsSelectable);
}

// The constants the netlist uses are shown as written and edited as text; values no solid
// has, and text that is no number, keep the old value.
TEST(MaterialTableViewItem, ConstantsAreShownEditedAndChecked) {
    MaterialTableViewItem model(threeMaterials());
    using Column = MaterialTableViewItem::Column;
    EXPECT_EQ(model.data(model.index(0, Column::DensityColumn)).toString(), "2329");
    EXPECT_EQ(model.data(model.index(0, Column::YoungModulusColumn)).toString(), "1.88e+11");
    EXPECT_EQ(model.data(model.index(0, Column::PoissonRatioColumn), Qt::EditRole).toString(),
              "0.28");

    EXPECT_TRUE(model.setData(model.index(0, Column::PoissonRatioColumn), "0.275"));
    EXPECT_TRUE(model.setData(model.index(0, Column::YoungModulusColumn), " 1.69e11"));
    EXPECT_TRUE(model.setData(model.index(0, Column::DensityColumn), 2330.5));
    const struct {
        int column;
        const char* value;
    } refused[] = {{Column::DensityColumn, "0"},         {Column::DensityColumn, "-2"},
                   {Column::DensityColumn, "heavy"},     {Column::DensityColumn, "nan"},
                   {Column::YoungModulusColumn, "inf"},  {Column::YoungModulusColumn, "1e300"},
                   {Column::PoissonRatioColumn, "0.51"}, {Column::PoissonRatioColumn, "-1"},
                   {Column::PoissonRatioColumn, ""}};
    for (const auto& r : refused)
        EXPECT_FALSE(model.setData(model.index(0, r.column), QString::fromLatin1(r.value)))
            << r.value;
    const Material& silicon = model.getMaterials()[0];
    EXPECT_FLOAT_EQ(silicon.getPoissonRatio(), 0.275f);
    EXPECT_FLOAT_EQ(silicon.getYoungModulus(), 1.69e11f);
    EXPECT_FLOAT_EQ(silicon.getDensity(), 2330.5f);

    // Stresses may be compressive; the conductor flag reads yes or no.
    EXPECT_TRUE(model.setData(model.index(0, Column::ResidualStressColumn), "-250"));
    EXPECT_TRUE(model.setData(model.index(0, Column::StressGradientColumn), "0.5"));
    EXPECT_FALSE(model.setData(model.index(0, Column::StressGradientColumn), "nan"));
    EXPECT_EQ(model.data(model.index(0, Column::ConductorColumn)).toString(), "no");
    EXPECT_TRUE(model.setData(model.index(0, Column::ConductorColumn), "Yes"));
    EXPECT_FALSE(model.setData(model.index(0, Column::ConductorColumn), "maybe"));
    EXPECT_FLOAT_EQ(model.getMaterials()[0].getResidualStress(), -250.f);
    EXPECT_FLOAT_EQ(model.getMaterials()[0].getStressGradient(), 0.5f);
    EXPECT_TRUE(model.getMaterials()[0].isConductor());
}

TEST(MaterialTableViewItem, SetDataChangesNameOrColourAndAnnouncesTheCell) {
    MaterialTableViewItem model(threeMaterials());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    EXPECT_FALSE(model.setData(model.index(0, 0), 99u));
    EXPECT_EQ(model.getMaterials()[0].getId(), 1u);
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("X"), Qt::DisplayRole));
    EXPECT_EQ(changed.count(), 0);

    EXPECT_TRUE(model.setData(model.index(2, 1), QStringLiteral("Copper")));
    EXPECT_EQ(model.getMaterials()[2].getName(), QStringLiteral("Copper"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(2, 1));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(2, 1));
    EXPECT_EQ(changed[0][2].value<QVector<int>>(), QVector<int>{Qt::EditRole});

    EXPECT_TRUE(model.setData(model.index(2, 2), QColor(255, 0, 51, 128)));
    const Material& copper = model.getMaterials()[2];
    EXPECT_FLOAT_EQ(copper.getRed(), 1.f);
    EXPECT_FLOAT_EQ(copper.getGreen(), 0.f);
    EXPECT_FLOAT_EQ(copper.getBlue(), 0.2f);
    EXPECT_FLOAT_EQ(copper.getAlpha(), 128.f / 255.f);

    // Colour names convert; values that are no colour become an invalid colour (opaque black).
    EXPECT_TRUE(model.setData(model.index(2, 2), QStringLiteral("#FF00FF00")));
    EXPECT_FLOAT_EQ(model.getMaterials()[2].getGreen(), 1.f);
    EXPECT_TRUE(model.setData(model.index(2, 2), QPoint(1, 2)));
    EXPECT_FLOAT_EQ(model.getMaterials()[2].getGreen(), 0.f);
    EXPECT_FLOAT_EQ(model.getMaterials()[2].getAlpha(), 1.f);
}

TEST(MaterialTableViewItem, AnEmptyNameIsRefused) {
    MaterialTableViewItem model(threeMaterials());
    EXPECT_FALSE(model.setData(model.index(0, 1), QString()));
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("   ")));
    EXPECT_EQ(model.getMaterials()[0].getName(), QStringLiteral("Si"));
}

TEST(MaterialTableViewItem, AddedRowsTakeTheSmallestFreeIdFromThree) {
    MaterialTableViewItem model(threeMaterials());
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    // The row argument does not matter: rows are always appended.
    EXPECT_TRUE(model.insertRows(0, 2));
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.getMaterials()[3].getId(), 4u);
    EXPECT_EQ(model.getMaterials()[4].getId(), 6u);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 3);
    EXPECT_EQ(inserted[0][2].toInt(), 4);

    const Material& added = model.getMaterials()[3];
    EXPECT_EQ(added.getName(), QStringLiteral("New Material"));
    EXPECT_FLOAT_EQ(added.getDensity(), 1.f);
    EXPECT_FLOAT_EQ(added.getYoungModulus(), 1.f);
    EXPECT_FLOAT_EQ(added.getPoissonRatio(), 1.f);
    EXPECT_FLOAT_EQ(added.getRed(), 0.5f);
    EXPECT_FLOAT_EQ(added.getAlpha(), 1.f);

    EXPECT_FALSE(model.insertRows(0, 0));
    EXPECT_EQ(model.rowCount(), 5);
}

TEST(MaterialTableViewItem, AnEmptyTableStartsAddingAtThree) {
    MaterialTableViewItem model({});
    EXPECT_EQ(model.rowCount(), 0);
    model.insertRows(7, 1);
    EXPECT_EQ(model.getMaterials().at(0).getId(), 3u);
}

} // namespace CELLVANE_TEST_FILE
