#include "Model/Metrology/measurementquery.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Metrology/cellmeasures.h"
#include "Model/Metrology/freestructures.h"
#include "Model/Metrology/materialtotals.h"

#include <QRegularExpression>

#include <cmath>

namespace Model::Metrology {

namespace {

using Kind = MeasurementQuery::Kind;

struct KindWord {
    const char* word;
    Kind kind;
    // Whether a material set is needed, allowed or refused.
    enum { Needed, Optional, Refused } set;
    // The places the kind takes, as shapes of numbers: "n" a number, "," and ".." separators,
    // "a" an axis.
    std::vector<const char*> shapes;
    const char* usage;
};

const std::vector<KindWord>& kindWords() {
    static const std::vector<KindWord> words = {
        {"stack", Kind::Stack, KindWord::Refused, {"n,n"}, "stack@X,Y"},
        {"thickness", Kind::Thickness, KindWord::Needed, {"n,n", "n,n,n"}, "thickness:SET@X,Y[,Z]"},
        {"top", Kind::Top, KindWord::Optional, {"n,n"}, "top[:SET]@X,Y"},
        {"step", Kind::Step, KindWord::Optional, {"n,n,n,n"}, "step[:SET]@X1,Y1,X2,Y2"},
        {"width",
         Kind::Width,
         KindWord::Needed,
         {"a,n,n", "a,n,n,n"},
         "width:SET@AXIS,C,Z or width:SET@AXIS,X,Y,Z"},
        {"depth",
         Kind::Depth,
         KindWord::Optional,
         {"n,n..n,n", "n,n..n,n,n"},
         "depth[:SET]@X1,Y1..X2,Y2[,REF]"},
        {"angle",
         Kind::Angle,
         KindWord::Needed,
         {"a,n,n..n", "a,n,n,n..n"},
         "angle:SET@AXIS,C,Z1..Z2 or angle:SET@AXIS,X,Y,Z1..Z2"},
        {"scallop", Kind::Scallop, KindWord::Needed, {"a,n,n,n..n"}, "scallop:SET@AXIS,X,Y,Z1..Z2"},
        {"undercut", Kind::Undercut, KindWord::Needed, {"a,n,n"}, "undercut:MASK/UNDER@AXIS,X,Y"},
        {"volumes", Kind::Volumes, KindWord::Refused, {""}, "volumes"},
        {"flux", Kind::Flux, KindWord::Optional, {"n,n"}, "flux[:EXPONENT[:STICKING]]@X,Y"},
        {"free", Kind::Free, KindWord::Refused, {""}, "free"},
    };
    return words;
}

QString kindList() {
    QStringList names;
    for (const KindWord& word : kindWords())
        names << QString::fromLatin1(word.word);
    return names.join(QStringLiteral(", "));
}

// Case ignored, '_' for a space, and 0 read as O: registry names such as "Thermal Si02" carry a
// zero where the formula has the letter.
QString folded(QString text, bool zeroAsO) {
    text = text.toLower().replace(QLatin1Char('_'), QLatin1Char(' ')).simplified();
    if (zeroAsO)
        text.replace(QLatin1Char('0'), QLatin1Char('o'));
    return text;
}

QStringList wordsOf(const QString& name) {
    return folded(name, true)
        .split(QRegularExpression(QStringLiteral("[\\s()-]+")), Qt::SkipEmptyParts);
}

bool resolveMaterial(const QString& item, const std::vector<Materials::Material>& materials,
                     std::uint32_t& id, QString& problem) {
    bool isNumber = false;
    const uint number = item.toUInt(&isNumber);
    if (isNumber) {
        id = number;
        return true;
    }
    if (folded(item, false) == QLatin1String("empty")) {
        id = 0;
        return true;
    }
    for (const Materials::Material& material : materials)
        if (folded(material.getName(), false) == folded(item, false)) {
            id = material.getId();
            return true;
        }
    QStringList matches;
    const QString word = folded(item, true);
    for (const Materials::Material& material : materials)
        if (wordsOf(material.getName()).contains(word)) {
            matches << material.getName();
            id = material.getId();
        }
    if (matches.size() == 1)
        return true;
    if (matches.size() > 1) {
        problem = QStringLiteral("'%1' could name %2: give the whole name")
                      .arg(item, matches.join(QStringLiteral(" or ")));
        return false;
    }
    QStringList known;
    for (const Materials::Material& material : materials)
        known << material.getName();
    problem = QStringLiteral("no material is called '%1' (there are %2)")
                  .arg(item, known.join(QStringLiteral(", ")));
    return false;
}

bool parseSet(const QString& text, const std::vector<Materials::Material>& materials,
              MaterialSelection& set, QString& problem) {
    if (text.trimmed().isEmpty()) {
        problem = QStringLiteral("the material after ':' is missing");
        return false;
    }
    if (folded(text, false) == QLatin1String("solid")) {
        set = MaterialSelection::solid();
        return true;
    }
    std::vector<std::uint32_t> ids;
    for (const QString& item : text.split(QLatin1Char('+'))) {
        std::uint32_t id = 0;
        if (item.trimmed().isEmpty()) {
            problem = QStringLiteral("'%1' has an empty material between '+'").arg(text);
            return false;
        }
        if (folded(item, false) == QLatin1String("solid")) {
            problem = QStringLiteral("'solid' already means every material; use it alone");
            return false;
        }
        if (!resolveMaterial(item.trimmed(), materials, id, problem))
            return false;
        ids.push_back(id);
    }
    set = MaterialSelection::of(ids, text.trimmed());
    return true;
}

bool parseAxis(const QString& token, bool signAllowed, int& axis, int& direction,
               QString& problem) {
    const QString word = token.trimmed().toLower();
    direction = word.startsWith(QLatin1Char('-')) ? -1 : 1;
    const QString letter = direction < 0 ? word.mid(1) : word;
    if ((letter == QLatin1String("x") || letter == QLatin1String("y")) &&
        (signAllowed || direction > 0)) {
        axis = letter == QLatin1String("x") ? 0 : 1;
        return true;
    }
    problem = signAllowed ? QStringLiteral("the axis must be x, y, -x or -y, not '%1'").arg(token)
                          : QStringLiteral("the axis must be x or y, not '%1'").arg(token);
    return false;
}

// "EXPONENT[:STICKING]" of a flux entry.
bool parseFluxSource(const QString& text, MeasurementQuery& query, QString& problem) {
    const QStringList parts = text.split(QLatin1Char(':'));
    bool exponentOk = false, stickingOk = parts.size() == 1;
    query.sourceExponent = parts[0].trimmed().toDouble(&exponentOk);
    if (parts.size() == 2)
        query.sticking = parts[1].trimmed().toDouble(&stickingOk);
    if (parts.size() > 2 || !exponentOk || !stickingOk) {
        problem = QStringLiteral("'%1' is no EXPONENT[:STICKING]: flux[:EXPONENT[:STICKING]]@X,Y")
                      .arg(text);
        return false;
    }
    if (!std::isfinite(query.sourceExponent) || query.sourceExponent < 0.0 ||
        query.sourceExponent > 1.0e6) {
        problem = QStringLiteral("the source exponent must be from 0 to 1000000, not %1")
                      .arg(parts[0].trimmed());
        return false;
    }
    if (!std::isfinite(query.sticking) || query.sticking < 0.0 || query.sticking > 1.0) {
        problem = QStringLiteral("the sticking probability must be from 0 to 1, not %1")
                      .arg(parts[1].trimmed());
        return false;
    }
    return true;
}

} // namespace

std::optional<MeasurementQuery>
MeasurementQuery::parse(const QString& written, const std::vector<Materials::Material>& materials,
                        QString& problem) {
    const QString text = written.trimmed();
    if (text.isEmpty()) {
        problem = QStringLiteral("no measurement given");
        return std::nullopt;
    }
    const int at = text.indexOf(QLatin1Char('@'));
    const QString head = at < 0 ? text : text.left(at);
    const int colon = head.indexOf(QLatin1Char(':'));
    const QString kindText = (colon < 0 ? head : head.left(colon)).trimmed().toLower();
    const KindWord* kind = nullptr;
    for (const KindWord& word : kindWords())
        if (kindText == QLatin1String(word.word))
            kind = &word;
    if (!kind) {
        problem = QStringLiteral("'%1' is no measurement; the measurements are %2")
                      .arg(kindText, kindList());
        return std::nullopt;
    }
    const QString usage = QString::fromLatin1(kind->usage);
    MeasurementQuery query;
    query.kind = kind->kind;
    query.text = text;
    query.set = MaterialSelection::solid();

    const QString setText = colon < 0 ? QString() : head.mid(colon + 1);
    if (colon >= 0 && kind->set == KindWord::Refused) {
        problem = QStringLiteral("%1 takes no material: %2").arg(kindText, usage);
        return std::nullopt;
    }
    if (colon < 0 && kind->set == KindWord::Needed) {
        problem = QStringLiteral("%1 needs a material: %2").arg(kindText, usage);
        return std::nullopt;
    }
    if (query.kind == Kind::Undercut) {
        const QStringList parts = setText.split(QLatin1Char('/'));
        if (parts.size() != 2) {
            problem = QStringLiteral("undercut names the upper and the lower material as "
                                     "MASK/UNDER: %1")
                          .arg(usage);
            return std::nullopt;
        }
        if (!parseSet(parts[0], materials, query.mask, problem) ||
            !parseSet(parts[1], materials, query.set, problem))
            return std::nullopt;
    } else if (query.kind == Kind::Flux) {
        if (colon >= 0 && !parseFluxSource(setText, query, problem))
            return std::nullopt;
    } else if (colon >= 0 && !parseSet(setText, materials, query.set, problem)) {
        return std::nullopt;
    }

    if (query.kind == Kind::Volumes || query.kind == Kind::Free) {
        if (at >= 0) {
            problem = QStringLiteral("%1 takes no place after '@'").arg(kindText);
            return std::nullopt;
        }
        return query;
    }
    if (at < 0) {
        problem = QStringLiteral("%1 needs '@' and a place: %2").arg(kindText, usage);
        return std::nullopt;
    }

    // The place: numbers and an axis separated by ',' and '..', checked against the shapes the
    // kind takes.
    const QString place = text.mid(at + 1);
    QString shape;
    QStringList tokens;
    static const QRegularExpression separator(QStringLiteral(",|\\.\\."));
    int from = 0;
    for (auto match = separator.globalMatch(place); match.hasNext();) {
        const auto found = match.next();
        tokens << place.mid(from, found.capturedStart() - from);
        shape += QStringLiteral("n") + found.captured();
        from = found.capturedEnd();
    }
    tokens << place.mid(from);
    shape += QStringLiteral("n");
    const bool withAxis = QString::fromLatin1(kind->shapes.front()).startsWith(QLatin1Char('a'));
    if (withAxis)
        shape[0] = QLatin1Char('a');
    bool fits = false;
    for (const char* allowed : kind->shapes)
        fits = fits || shape == QLatin1String(allowed);
    if (!fits) {
        problem = QStringLiteral("'%1' is no place for %2: %3").arg(place, kindText, usage);
        return std::nullopt;
    }
    for (int t = 0; t < tokens.size(); ++t) {
        if (withAxis && t == 0) {
            const bool signAllowed = query.kind == Kind::Undercut ||
                                     (query.kind == Kind::Angle && tokens.size() == 5) ||
                                     query.kind == Kind::Scallop;
            if (!parseAxis(tokens[0], signAllowed, query.axis, query.direction, problem))
                return std::nullopt;
            continue;
        }
        bool isNumber = false;
        const double value = tokens[t].trimmed().toDouble(&isNumber);
        if (!isNumber || !std::isfinite(value)) {
            problem = QStringLiteral("'%1' is no number (in %2)").arg(tokens[t].trimmed(), text);
            return std::nullopt;
        }
        query.numbers.push_back(value);
    }
    query.pointGiven = (query.kind == Kind::Width && query.numbers.size() == 3) ||
                       (query.kind == Kind::Angle && query.numbers.size() == 4);
    return query;
}

std::optional<MeasurementQuery> MeasurementQuery::parse(const QString& text, QString& problem) {
    return parse(text, Materials::MaterialFactory::getInstance()->getMaterials(), problem);
}

QString MeasurementQuery::vocabulary() {
    return QStringLiteral(
        "  stack@X,Y                       layers of the column at (X,Y)\n"
        "  thickness:SET@X,Y[,Z]           thickness of the highest run of SET (or the run at Z)\n"
        "  top[:SET]@X,Y                   height of the top of SET (default any material)\n"
        "  step[:SET]@X1,Y1,X2,Y2          top at the second point minus top at the first\n"
        "  width:SET@AXIS,C,Z              the one run of SET along AXIS (x|y) at C and Z\n"
        "  width:SET@AXIS,X,Y,Z            the run of SET holding (X,Y,Z)\n"
        "  depth[:SET]@X1,Y1..X2,Y2[,REF]  cavity depth in the window below REF, and its mean\n"
        "  angle:SET@AXIS,C,Z1..Z2         sidewall angle of the one edge of SET on the line\n"
        "  angle:SET@AXIS,X,Y,Z1..Z2       ... of the end of the run at (X,Y) towards AXIS\n"
        "  scallop:SET@AXIS,X,Y,Z1..Z2     peak-to-valley and period of that wall's scallops\n"
        "  undercut:MASK/UNDER@AXIS,X,Y    how far UNDER recedes below MASK towards AXIS\n"
        "  volumes                         volume and exposed area of every material\n"
        "  flux[:EXP[:STICKING]]@X,Y       particle flux on the top surface at (X,Y) (1 = open)\n"
        "  free                            solid bodies: attached, anchored or loose\n"
        "Coordinates in µm from the volume's low corner; AXIS x, y, -x or -y; SET materials\n"
        "joined by '+' (names, ids, 'empty' or 'solid').");
}

Measurement measure(const Automaton::CellGrid& grid, CellEdges edges,
                    const MeasurementQuery& query) {
    const CellMeasures cells(grid, edges);
    const std::vector<double>& n = query.numbers;
    switch (query.kind) {
    case Kind::Stack:
        return cells.stack(n[0], n[1]);
    case Kind::Thickness:
        return cells.thickness(query.set, n[0], n[1],
                               n.size() > 2 ? std::optional<double>(n[2]) : std::nullopt);
    case Kind::Top:
        return cells.topHeight(query.set, n[0], n[1]);
    case Kind::Step:
        return cells.stepHeight(query.set, n[0], n[1], n[2], n[3]);
    case Kind::Width:
        if (query.pointGiven)
            return cells.width(query.set, query.axis, n[query.axis], n[1 - query.axis], n[2]);
        return cells.width(query.set, query.axis, std::nullopt, n[0], n[1]);
    case Kind::Depth:
        return cells.cavityDepth(query.set, n[0], n[1], n[2], n[3],
                                 n.size() > 4 ? std::optional<double>(n[4]) : std::nullopt);
    case Kind::Angle:
        if (query.pointGiven)
            return cells.sidewallAngle(query.set, query.axis, n[query.axis], query.direction,
                                       n[1 - query.axis], n[2], n[3]);
        return cells.sidewallAngle(query.set, query.axis, std::nullopt, query.direction, n[0], n[1],
                                   n[2]);
    case Kind::Scallop:
        return cells.scallop(query.set, query.axis, n[query.axis], query.direction,
                             n[1 - query.axis], n[2], n[3]);
    case Kind::Undercut:
        return cells.undercut(query.mask, query.set, query.axis, query.direction, n[0], n[1]);
    case Kind::Volumes:
        return materialTotals(grid, edges);
    case Kind::Flux:
        return cells.surfaceFlux(query.sourceExponent, query.sticking, n[0], n[1]);
    case Kind::Free:
        return freeStructures(grid, edges);
    }
    return Measurement::noAnswer(QStringLiteral("unknown measurement"));
}

Measurement measure(Automaton::TotalVolume& volume, const MeasurementQuery& query) {
    const Automaton::CellArraysLock locked(volume, Automaton::CellArraysLock::Arrays::Current);
    const Automaton::CellGrid grid = Automaton::CellGrid::of(volume, locked.materials());
    return measure(grid, CellEdges::of(volume), query);
}

} // namespace Model::Metrology
