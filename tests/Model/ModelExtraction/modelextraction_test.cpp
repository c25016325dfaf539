#include "Model/Materials/materialfactory.h"
#include "Model/ModelExtraction/cantilevermodelrule.h"
#include "Model/ModelExtraction/cantileverstructure.h"
#include "Model/ModelExtraction/cutgriddecomposition.h"
#include "support/cantileverscenes.h"
#include "support/qtprinters.h"
#include "support/scenes.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace CELLVANE_TEST_FILE {

using namespace Model::ModelExtraction;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;

namespace {

using Envelope = RectangularCuboidEnvelope;

std::vector<EnvelopePtr> envelopesOf(TotalVolume& volume) {
    const auto model = CutGridDecomposition::preprocess(volume);
    EXPECT_TRUE(model);
    return model ? model->getEnvelopes() : std::vector<EnvelopePtr>{};
}

// One box as the slow way finds it, with its links as indices into the box list.
struct Box {
    std::array<int, 3> lo;
    std::array<int, 3> size;
    std::uint32_t material;
    std::array<int, 6> links;
    bool operator==(const Box& o) const {
        return std::tie(lo, size, material, links) == std::tie(o.lo, o.size, o.material, o.links);
    }
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    os << "(" << b.lo[0] << "," << b.lo[1] << "," << b.lo[2] << ") size (" << b.size[0] << ","
       << b.size[1] << "," << b.size[2] << ") material " << b.material << " links";
    for (int l : b.links)
        os << " " << l;
    return os;
}

std::set<std::array<int, 3>> faceCorners(const Box& b, int face) {
    const int axis = face / 2;
    std::set<std::array<int, 3>> corners;
    for (int u = 0; u < 2; ++u) {
        for (int v = 0; v < 2; ++v) {
            std::array<int, 3> c = b.lo;
            c[std::size_t(axis)] += (face % 2) * b.size[std::size_t(axis)];
            const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
            c[std::size_t(a1)] += u * b.size[std::size_t(a1)];
            c[std::size_t(a2)] += v * b.size[std::size_t(a2)];
            corners.insert(c);
        }
    }
    return corners;
}

// The decomposition done the slow way: a queue of box origins, each box reaching to the next
// cut on every axis, and links found by comparing the faces of every pair of boxes.
std::vector<Box> referenceBoxes(TotalVolume& volume) {
    const int s[3] = {int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ())};
    const auto m = [&](int x, int y, int z) {
        return testing_support::materialAt(volume, x, y, z);
    };
    std::set<int> cuts[3];
    for (int x = 0; x < s[0]; ++x)
        for (int y = 0; y < s[1]; ++y)
            for (int z = 0; z < s[2]; ++z) {
                if (x + 1 < s[0] && m(x, y, z) != m(x + 1, y, z))
                    cuts[0].insert(x + 1);
                if (y + 1 < s[1] && m(x, y, z) != m(x, y + 1, z))
                    cuts[1].insert(y + 1);
                if (z + 1 < s[2] && m(x, y, z) != m(x, y, z + 1))
                    cuts[2].insert(z + 1);
            }
    std::vector<Box> boxes;
    if (s[0] * s[1] * s[2] == 0)
        return boxes;
    std::vector<std::array<int, 3>> origins{{0, 0, 0}};
    std::set<std::array<int, 3>> listed{{0, 0, 0}};
    for (std::size_t next = 0; next < origins.size(); ++next) {
        const std::array<int, 3> o = origins[next];
        std::array<int, 3> end{};
        for (int a = 0; a < 3; ++a) {
            const auto cut = cuts[a].upper_bound(o[std::size_t(a)]);
            end[std::size_t(a)] = cut == cuts[a].end() ? s[a] : *cut;
        }
        for (int a = 0; a < 3; ++a) {
            std::array<int, 3> beyond = o;
            beyond[std::size_t(a)] = end[std::size_t(a)];
            if (beyond[std::size_t(a)] < s[a] && listed.insert(beyond).second)
                origins.push_back(beyond);
        }
        const int material = m(o[0], o[1], o[2]);
        if (material != 0)
            boxes.push_back({o,
                             {end[0] - o[0], end[1] - o[1], end[2] - o[2]},
                             std::uint32_t(material),
                             {-1, -1, -1, -1, -1, -1}});
    }
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = 0; j < boxes.size(); ++j)
            for (int face = 0; face < 6; ++face)
                if (i != j && faceCorners(boxes[i], face) == faceCorners(boxes[j], face ^ 1))
                    boxes[i].links[std::size_t(face)] = int(j);
    return boxes;
}

std::vector<Box> boxesOf(const std::vector<EnvelopePtr>& envelopes) {
    std::map<const Envelope*, int> index;
    for (std::size_t i = 0; i < envelopes.size(); ++i)
        index[envelopes[i].get()] = int(i);
    std::vector<Box> boxes;
    for (const EnvelopePtr& e : envelopes) {
        Box b{{e->x, e->y, e->z}, {e->sizeX, e->sizeY, e->sizeZ}, e->material, {}};
        int count = 0;
        for (int face = 0; face < 6; ++face) {
            const Envelope* n = e->neighbour(face);
            b.links[std::size_t(face)] = n ? index.at(n) : -1;
            count += n != nullptr;
        }
        EXPECT_EQ(e->getNeighbourCount(), count);
        boxes.push_back(b);
    }
    return boxes;
}

std::shared_ptr<TotalVolume> randomVolume(quint32 seed, int blocky) {
    QRandomGenerator random(seed);
    const int sx = 4 + int(random.bounded(6)), sy = 3 + int(random.bounded(5)),
              sz = 3 + int(random.bounded(5));
    std::vector<int> table(std::size_t(sx * sy * sz));
    for (int& m : table) {
        const int pick = int(random.bounded(3));
        m = pick == 0 ? 0 : pick == 1 ? 1 : 4;
    }
    // Blocky scenes repeat materials over runs of cells, so boxes span several cells.
    return makeVolume(sx, sy, sz, [=](int x, int y, int z) {
        return table[std::size_t(((x / blocky) * sy + y / blocky) * sz + z / blocky)];
    });
}

// Cells of 2 x 1 x 0.5 µm, so that a mix-up of the axes shows.
const Model::Metrology::CellEdges oblong{2.0, 1.0, 0.5};

double expectedMass(const Envelope& beam, double density) {
    return double(beam.sizeX) * beam.sizeY * beam.sizeZ * 1e-18 * density * 33.0 / 140.0;
}

} // namespace

TEST(CutGridDecomposition, FindsTheSameBoxesInTheSameOrderWithTheSameLinksAsComparingEveryPair) {
    std::vector<std::shared_ptr<TotalVolume>> scenes = {
        testing_support::anchoredPlate(), testing_support::anchoredPlate(6, 4, 4, true),
        testing_support::twoBeams(), makeVolume(1, 1, 1, [](int, int, int) { return 4; })};
    for (quint32 seed = 1; seed <= 12; ++seed)
        scenes.push_back(randomVolume(seed, 1 + int(seed % 3)));
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<Box> expected = referenceBoxes(*scenes[i]);
        const std::vector<Box> found = boxesOf(envelopesOf(*scenes[i]));
        ASSERT_EQ(found.size(), expected.size());
        for (std::size_t b = 0; b < found.size(); ++b)
            EXPECT_EQ(found[b], expected[b]) << "box " << b;
    }
}

TEST(CutGridDecomposition, EveryBoxHoldsOneMaterialAndEveryFilledCellLiesInOneBox) {
    // The plate's end is seen only in the top layer and the last row, where a change must
    // still cut.
    const auto topLayer = makeVolume(6, 4, 3, [](int x, int y, int z) {
        if (z < 2)
            return 1;
        return x < 3 && y < 3 ? 4 : 0;
    });
    std::vector<std::shared_ptr<TotalVolume>> scenes = {topLayer, testing_support::twoBeams()};
    for (quint32 seed = 20; seed < 26; ++seed)
        scenes.push_back(randomVolume(seed, 2));
    for (const auto& volume : scenes) {
        std::vector<int> covered(volume->getCellCount(), 0);
        for (const EnvelopePtr& e : envelopesOf(*volume)) {
            for (int x = e->x; x < e->x + e->sizeX; ++x)
                for (int y = e->y; y < e->y + e->sizeY; ++y)
                    for (int z = e->z; z < e->z + e->sizeZ; ++z) {
                        EXPECT_EQ(testing_support::materialAt(*volume, x, y, z), int(e->material));
                        ++covered[volume->index(unsigned(x), unsigned(y), unsigned(z))];
                    }
        }
        const std::vector<int> materials = testing_support::materialsOf(*volume);
        for (std::size_t i = 0; i < covered.size(); ++i)
            EXPECT_EQ(covered[i], materials[i] != 0 ? 1 : 0) << "cell " << i;
    }
    const auto found = envelopesOf(*topLayer);
    const auto plate = *std::find_if(found.begin(), found.end(),
                                     [](const EnvelopePtr& e) { return e->material == 4; });
    EXPECT_EQ(std::make_tuple(plate->material, plate->sizeX, plate->sizeY, plate->sizeZ),
              std::make_tuple(4u, 3, 3, 1));
}

TEST(CutGridDecomposition, EmptyAndSiliconOnlyVolumesGiveTheirBoxesAndNoBeams) {
    // A silicon block with a trench along y: cuts at x 3 and 5 and z 4 give six boxes, of
    // which the one inside the trench is empty.
    const auto trench =
        makeVolume(8, 5, 6, [](int x, int, int z) { return x >= 3 && x < 5 && z >= 4 ? 0 : 1; });
    const auto empty = makeVolume(3, 3, 3, [](int, int, int) { return 0; });
    const auto none = std::make_shared<TotalVolume>(0u, 0u, 0u, 1.f, 1.f, 1.f, Util::Vector3D(),
                                                    testing_support::filledWith(0, 0));
    const auto single = makeVolume(1, 1, 1, [](int, int, int) { return 4; });
    const struct {
        std::shared_ptr<TotalVolume> volume;
        std::size_t envelopes;
    } cases[] = {{trench, 5}, {empty, 0}, {none, 0}, {single, 1}};
    for (const auto& c : cases) {
        const auto model = CutGridDecomposition::preprocess(*c.volume);
        ASSERT_TRUE(model);
        EXPECT_EQ(model->getEnvelopes().size(), c.envelopes);
        CantileverModelRule rule;
        EXPECT_EQ(rule.apply(model), nullptr);
        EXPECT_TRUE(rule.getBeams().empty());
    }
    CantileverModelRule rule;
    rule.apply(CutGridDecomposition::preprocess(*trench));
    EXPECT_EQ(rule.getSiliconEnvelopes().size(), 5u);
}

TEST(CantileverModelRule, FindsTheFreeLengthOfAnAnchoredPlateAndNoBeamInAPlateFixedAtBothEnds) {
    CantileverModelRule rule;
    const auto structure =
        rule.apply(CutGridDecomposition::preprocess(*testing_support::anchoredPlate(20, 10)));
    ASSERT_TRUE(structure);
    ASSERT_EQ(rule.getBeams().size(), 1u);
    const Envelope& beam = *rule.getBeams().front();
    EXPECT_EQ(
        std::make_tuple(beam.x, beam.y, beam.z, beam.sizeX, beam.sizeY, beam.sizeZ, beam.material),
        std::make_tuple(10, 0, 8, 20, 10, 2, 4u));
    EXPECT_EQ(beam.getNeighbourCount(), 0);

    CantileverModelRule bridge;
    EXPECT_EQ(bridge.apply(CutGridDecomposition::preprocess(
                  *testing_support::anchoredPlate(20, 10, 4, true))),
              nullptr);
    EXPECT_TRUE(bridge.getCandidates().empty());
}

TEST(CantileverModelRule, TwoBeamsGiveTheHeaderFourElementLinesAndTheEnd) {
    CantileverModelRule rule;
    const auto structure =
        rule.apply(CutGridDecomposition::preprocess(*testing_support::twoBeams()));
    ASSERT_TRUE(structure);
    ASSERT_EQ(rule.getBeams().size(), 2u);
    EXPECT_EQ(std::make_tuple(rule.getBeams()[0]->x, rule.getBeams()[0]->sizeX),
              std::make_tuple(5, 15));
    EXPECT_EQ(std::make_tuple(rule.getBeams()[1]->x, rule.getBeams()[1]->sizeX),
              std::make_tuple(30, 15));

    const QString text = structure->netlist();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Model extracted by Cellvane\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n.end \n")));
    const QStringList lines = text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 7); // header, four elements, ".end ", and the empty rest
    const QStringList prefixes = {QStringLiteral("c1 1 0 "), QStringLiteral("l1 1 0 "),
                                  QStringLiteral("c2 2 0 "), QStringLiteral("l2 2 0 ")};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(lines[i + 1].toStdString());
        EXPECT_TRUE(lines[i + 1].startsWith(prefixes[i]));
        EXPECT_TRUE(lines[i + 1].endsWith(QLatin1Char(' ')));
        bool number = false;
        EXPECT_GT(lines[i + 1].split(QLatin1Char(' '))[3].toDouble(&number), 0.0);
        EXPECT_TRUE(number);
    }
}

TEST(CantileverStructure, TakesTheBeamsConstantsFromTheRegistryAndItsCellsLengthsInMetres) {
    const auto beam = std::make_shared<Envelope>(0, 0, 0, 100, 10, 2, 4);
    const Model::Materials::Material aluminium =
        Model::Materials::MaterialFactory::getInstance()->getMaterial(4);
    ASSERT_EQ(aluminium.getDensity(), 2700.f);
    const CantileverStructure::Constants constants{2700.0, double(aluminium.getYoungModulus())};

    // 200 x 10 x 1 µm: long along x, 1 µm thick.
    const double mass = expectedMass(*beam, 2700.0);
    const double secondMoment = std::pow(1e-6, 3) * 10e-6 / 12;
    const double compliance = std::pow(200e-6, 3) / (3 * constants.youngModulus * secondMoment);
    EXPECT_DOUBLE_EQ(CantileverStructure::massOf(*beam, oblong, constants), mass);
    EXPECT_NEAR(CantileverStructure::complianceOf(*beam, oblong, constants), compliance,
                compliance * 1e-12);
    EXPECT_EQ(CantileverStructure({beam}, oblong).netlist(),
              QStringLiteral("Model extracted by Cellvane\nc1 1 0 %1 \nl1 1 0 %2 \n.end \n")
                  .arg(QString::number(mass, 'g', 6), QString::number(compliance, 'g', 6)));

    // Standing along y the same cells make a beam 100 µm long and 20 µm wide.
    const auto turned = std::make_shared<Envelope>(0, 0, 0, 10, 100, 2, 4);
    const double turnedCompliance =
        std::pow(100e-6, 3) / (3 * constants.youngModulus * std::pow(1e-6, 3) * 20e-6 / 12);
    EXPECT_NEAR(CantileverStructure::complianceOf(*turned, oblong, constants), turnedCompliance,
                turnedCompliance * 1e-12);

    // An edited registry entry is what the netlist uses; an id without constants is left out.
    Model::Materials::Material heavy = aluminium;
    heavy.setId(300);
    heavy.setDensity(5400.f);
    Model::Materials::MaterialFactory::getInstance()->updateMaterial(heavy);
    const auto heavyBeam = std::make_shared<Envelope>(0, 0, 0, 100, 10, 2, 300);
    const auto unknown = std::make_shared<Envelope>(0, 0, 0, 100, 10, 2, 301);
    const QStringList lines =
        CantileverStructure({heavyBeam, unknown}, oblong).netlist().split(QLatin1Char('\n'));
    EXPECT_EQ(lines[1], QStringLiteral("c1 1 0 %1 ").arg(QString::number(2 * mass, 'g', 6)));
    EXPECT_EQ(lines[3], QStringLiteral("* beam 2: material 301 has no positive density and "
                                       "Young modulus; left out"));
    EXPECT_EQ(lines[4], QStringLiteral(".end "));
}

TEST(ExtractedModel, IsKindTwoAndItsCopyKeepsBoxesLinksAndOffset) {
    auto model = CutGridDecomposition::preprocess(*testing_support::anchoredPlate());
    ASSERT_TRUE(model);
    EXPECT_EQ(model->getType(), 2);
    model->translate(Util::Vector4D(3, -1, 2, 0));
    model->translate(Util::Vector4D(1, 0, 0, 0));
    EXPECT_EQ(model->getOffset(), (std::array<float, 3>{4.f, -1.f, 2.f}));

    std::unique_ptr<Model::Object> copy(model->clone());
    auto* copied = dynamic_cast<ExtractedModel*>(copy.get());
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied->getId(), model->getId());
    EXPECT_EQ(copied->getOffset(), model->getOffset());
    EXPECT_EQ(boxesOf(copied->getEnvelopes()), boxesOf(model->getEnvelopes()));
    EXPECT_NE(copied->getEnvelopes().front(), model->getEnvelopes().front());
    EXPECT_EQ(ExtractedModel::palette().size(), 14u);
}

namespace {

// The peak of |v(1)| when node 1 of the netlist is driven with a unit AC current, as ngspice
// finds it; 0 with a failure recorded when ngspice cannot run the circuit.
double resonanceInNgspice(const QString& netlist) {
    // A large resistor keeps the tank's peak finite.
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("response.txt"));
    QString text = netlist;
    text.chop(QStringLiteral(".end \n").size());
    text += QStringLiteral("i1 0 1 ac 1\nr1 1 0 1e6\n.control\nset filetype=ascii\n"
                           "ac dec 2000 1e3 1e7\nwrdata %1 vm(1)\nquit\n.endc\n.end\n")
                .arg(data);
    QFile circuit(dir.filePath(QStringLiteral("beam.cir")));
    if (!circuit.open(QIODevice::WriteOnly))
        return ADD_FAILURE() << "cannot write the circuit", 0.0;
    circuit.write(text.toUtf8());
    circuit.close();

    QProcess ngspice;
    ngspice.setProcessChannelMode(QProcess::MergedChannels);
    ngspice.start(QStringLiteral("ngspice"), {QStringLiteral("-b"), circuit.fileName()});
    if (!ngspice.waitForFinished(60000))
        return ADD_FAILURE() << ngspice.errorString().toStdString(), 0.0;
    const QString said = QString::fromUtf8(ngspice.readAll());
    EXPECT_EQ(ngspice.exitCode(), 0) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("rror"))) << said.toStdString();

    QFile response(data);
    if (!response.open(QIODevice::ReadOnly | QIODevice::Text))
        return ADD_FAILURE() << said.toStdString(), 0.0;
    double peakFrequency = 0, peak = -1;
    QTextStream in(&response);
    while (!in.atEnd()) {
        const QStringList columns = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (columns.size() >= 2 && columns[1].toDouble() > peak) {
            peak = columns[1].toDouble();
            peakFrequency = columns[0].toDouble();
        }
    }
    return peakFrequency;
}

} // namespace

TEST(CantileverNetlist, ResonatesInACircuitSimulatorAtTheFirstBendingModeOfTheBeam) {
    // A 100 x 10 x 2-cell aluminium beam, its cells given in scene units and the document's
    // scale: 1 µm cells, 0.5 µm cells, and 0.5 µm cells that are 1 unit of a 0.5 µm scale.
    const struct {
        float cellSize;
        double micrometresPerSceneUnit;
        double lowHz, highHz;
    } cases[] = {
        {1.f, 1.0, 150e3, 180e3},
        {0.5f, 1.0, 300e3, 360e3},
        {1.f, 0.5, 300e3, 360e3},
    };
    const Model::Materials::Material aluminium =
        Model::Materials::MaterialFactory::getInstance()->getMaterial(4);
    const double pi = std::acos(-1.0);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.cellSize << " units at " << c.micrometresPerSceneUnit << " µm per unit");
        const auto volume = testing_support::anchoredPlate(
            100, 10, testing_support::cantileverAluminium, false, c.cellSize);
        volume->setMicrometresPerSceneUnit(c.micrometresPerSceneUnit);
        CantileverModelRule rule;
        const auto structure = rule.apply(CutGridDecomposition::preprocess(*volume));
        ASSERT_TRUE(structure);
        ASSERT_EQ(rule.getBeams().size(), 1u);
        const Envelope& beam = *rule.getBeams().front();
        ASSERT_EQ(std::make_tuple(beam.sizeX, beam.sizeY, beam.sizeZ), std::make_tuple(100, 10, 2));

        const double edge = c.cellSize * c.micrometresPerSceneUnit * 1e-6;
        const double length = 100 * edge, width = 10 * edge, thickness = 2 * edge;
        const double eulerBernoulli =
            1.8751 * 1.8751 / (2 * pi) *
            std::sqrt(double(aluminium.getYoungModulus()) * (width * std::pow(thickness, 3) / 12) /
                      (double(aluminium.getDensity()) * width * thickness * std::pow(length, 4)));
        EXPECT_GT(eulerBernoulli, c.lowHz);
        EXPECT_LT(eulerBernoulli, c.highHz);
        const double simulated = resonanceInNgspice(structure->netlist());
        ::testing::Test::RecordProperty(
            QStringLiteral("hz_%1_%2").arg(c.cellSize).arg(c.micrometresPerSceneUnit).toStdString(),
            QStringLiteral("%1 vs %2").arg(simulated).arg(eulerBernoulli).toStdString());
        EXPECT_NEAR(simulated / eulerBernoulli, 1.0, 0.02)
            << simulated << " Hz against " << eulerBernoulli << " Hz";
    }
}

} // namespace CELLVANE_TEST_FILE
