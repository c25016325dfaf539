#pragma once

#include <QSize>
#include <QString>

#include <set>

class QTextStream;

namespace Model {
class Document;
}
namespace Model::Automaton {
class TotalVolume;
}

namespace Ui {

// Draws the document for "Save Image" steps. Volumes read from a file have no surface yet;
// after that only the volume the steps work on changes.
class HeadlessPictures {
public:
    HeadlessPictures(Model::Document& document, QSize size, QTextStream& log)
        : document(document), size(size), log(log) {}

    // The executor's "Save Image" hook: draws the document and writes the picture, naming the
    // file on `log` when `announce` says so. Why it could not, or an empty text; an empty file
    // name draws nothing.
    QString save(Model::Automaton::TotalVolume& current, const QString& fileName,
                 bool announce = true);

private:
    Model::Document& document;
    QSize size;
    QTextStream& log;
    std::set<const Model::Automaton::TotalVolume*> built;
};

} // namespace Ui
