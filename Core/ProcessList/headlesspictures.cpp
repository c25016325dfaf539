#include "Core/ProcessList/headlesspictures.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Export/imageexporter.h"
#include "Model/Export/scenepicture.h"
#include "Model/document.h"

#include <QDir>
#include <QTextStream>

namespace Ui {

using Model::Automaton::TotalVolume;

QString HeadlessPictures::save(TotalVolume& current, const QString& fileName, bool announce) {
    if (fileName.isEmpty())
        return QString();
    for (const Model::ObjectPtr& object : document.getObjects()) {
        auto* volume = dynamic_cast<TotalVolume*>(object.get());
        if (!volume)
            continue;
        const bool unseen = built.insert(volume).second;
        if (unseen || volume == &current)
            volume->getPainter().rebuild();
    }
    QString problem;
    const QImage image = Model::Export::ScenePicture::render(document.getObjects(), size, &problem);
    if (image.isNull())
        return QStringLiteral("no picture could be drawn for %1: %2")
            .arg(QDir::toNativeSeparators(fileName), problem);
    const auto written = Model::Export::ImageExporter::write(image, fileName);
    if (!written.ok)
        return written.error;
    if (announce)
        log << "Wrote " << QDir::toNativeSeparators(fileName) << Qt::endl;
    return QString();
}

} // namespace Ui
