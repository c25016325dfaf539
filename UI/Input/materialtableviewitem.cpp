#include "UI/Input/materialtableviewitem.h"

#include <QColor>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace Ui::Input {

using Model::Materials::Material;

namespace {

constexpr int shownColumns = 9;
// Ids below this are never handed out: 1 is silicon and 2 is deliberately left unused.
constexpr uint32_t firstAddedId = 3;

int channel(float component) {
    return std::clamp(static_cast<int>(component * 255.f), 0, 255);
}

// The constants as text: a spin box would round a Poisson ratio of 0.275 to two decimals and
// could not hold a Young modulus of 1.69e11.
QString constantText(float value) {
    return QString::number(double(value), 'g', 7);
}

// A number the netlist can use: density and Young modulus above 0, the Poisson ratio of an
// isotropic solid (above -1, at most 0.5). False for text that is no number.
bool acceptedConstant(int column, const QVariant& value, double& number) {
    bool ok = false;
    number = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number) || std::abs(number) > double(FLT_MAX))
        return false;
    if (column == MaterialTableViewItem::PoissonRatioColumn)
        return number > -1.0 && number <= 0.5;
    // Compressive stresses are negative, and a gradient points either way.
    if (column == MaterialTableViewItem::ResidualStressColumn ||
        column == MaterialTableViewItem::StressGradientColumn)
        return true;
    return number > 0.0;
}

QColor colorOf(const Material& material) {
    return QColor(channel(material.getRed()), channel(material.getGreen()),
                  channel(material.getBlue()), channel(material.getAlpha()));
}

} // namespace

MaterialTableViewItem::MaterialTableViewItem(std::vector<Material> materials, QObject* parent)
    : QAbstractTableModel(parent), materials(std::move(materials)) {}

int MaterialTableViewItem::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(materials.size());
}

int MaterialTableViewItem::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownColumns;
}

QVariant MaterialTableViewItem::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QStringLiteral("%1").arg(section + 1);
    switch (section) {
    case IdColumn:
        return QStringLiteral("Material Id");
    case NameColumn:
        return QStringLiteral("Material Name");
    case ColorColumn:
        return QStringLiteral("Color");
    case DensityColumn:
        return QStringLiteral("Density");
    case YoungModulusColumn:
        return QStringLiteral("Young Modulus");
    case PoissonRatioColumn:
        return QStringLiteral("Poisson Ratio");
    case ResidualStressColumn:
        return QStringLiteral("Residual Stress (MPa)");
    case StressGradientColumn:
        return QStringLiteral("Stress Gradient (MPa/µm)");
    case ConductorColumn:
        return QStringLiteral("Conductor");
    default:
        return QStringLiteral("Column %1").arg(section);
    }
}

bool MaterialTableViewItem::inside(const QModelIndex& index) const {
    return index.isValid() && index.row() >= 0 && index.row() < rowCount() && index.column() >= 0 &&
           index.column() <= ConductorColumn;
}

QVariant MaterialTableViewItem::data(const QModelIndex& index, int role) const {
    // The edit role answers too, so an in-place editor starts from the current value instead
    // of an empty line that would wipe the name on Enter.
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !inside(index))
        return QVariant();
    const Material& material = materials[std::size_t(index.row())];
    switch (index.column()) {
    case IdColumn:
        return material.getId();
    case NameColumn:
        return material.getName();
    case ColorColumn:
        return colorOf(material);
    case DensityColumn:
        return constantText(material.getDensity());
    case YoungModulusColumn:
        return constantText(material.getYoungModulus());
    case PoissonRatioColumn:
        return constantText(material.getPoissonRatio());
    case ResidualStressColumn:
        return constantText(material.getResidualStress());
    case StressGradientColumn:
        return constantText(material.getStressGradient());
    case ConductorColumn:
        return material.isConductor() ? QStringLiteral("yes") : QStringLiteral("no");
    default:
        return QVariant();
    }
}

Qt::ItemFlags MaterialTableViewItem::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != IdColumn)
        result |= Qt::ItemIsEditable;
    return result;
}

bool MaterialTableViewItem::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !inside(index))
        return false;
    Material& material = materials[std::size_t(index.row())];
    switch (index.column()) {
    case NameColumn: {
        // A material without a name could not be read back from a document or the registry
        // file, so an emptied name keeps the old one.
        const QString name = value.toString();
        if (name.trimmed().isEmpty())
            return false;
        material.setName(name);
        break;
    }
    case ColorColumn: {
        const QColor color = value.canConvert<QColor>() ? value.value<QColor>() : QColor();
        material.setColor(color.red() / 255.f, color.green() / 255.f, color.blue() / 255.f,
                          color.alpha() / 255.f);
        break;
    }
    case ConductorColumn: {
        const QString answer = value.toString().trimmed().toLower();
        if (answer == QLatin1String("yes") || answer == QLatin1String("true"))
            material.setConductor(true);
        else if (answer == QLatin1String("no") || answer == QLatin1String("false"))
            material.setConductor(false);
        else
            return false;
        break;
    }
    case DensityColumn:
    case YoungModulusColumn:
    case PoissonRatioColumn:
    case ResidualStressColumn:
    case StressGradientColumn: {
        // A value out of range keeps the old one, as an emptied name does.
        double number = 0.0;
        if (!acceptedConstant(index.column(), value, number))
            return false;
        if (index.column() == DensityColumn)
            material.setDensity(float(number));
        else if (index.column() == YoungModulusColumn)
            material.setYoungModulus(float(number));
        else if (index.column() == PoissonRatioColumn)
            material.setPoissonRatio(float(number));
        else if (index.column() == ResidualStressColumn)
            material.setResidualStress(float(number));
        else
            material.setStressGradient(float(number));
        break;
    }
    default:
        return false;
    }
    emit dataChanged(index, index, {Qt::EditRole});
    return true;
}

uint32_t MaterialTableViewItem::nextFreeId() const {
    uint32_t id = firstAddedId;
    while (std::any_of(materials.begin(), materials.end(),
                       [id](const Material& material) { return material.getId() == id; }))
        ++id;
    return id;
}

bool MaterialTableViewItem::insertRows(int /*row*/, int count, const QModelIndex& parent) {
    if (count < 1 || parent.isValid())
        return false;
    const int first = rowCount();
    beginInsertRows(parent, first, first + count - 1);
    for (int i = 0; i < count; ++i) {
        materials.emplace_back(nextFreeId(), QStringLiteral("New Material"), 1.f, 1.f, 1.f,
                               Util::Vector4D(0.5, 0.5, 0.5, 1.0));
    }
    endInsertRows();
    return true;
}

} // namespace Ui::Input
