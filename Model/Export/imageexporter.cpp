#include "Model/Export/imageexporter.h"
#include "Util/savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

namespace Model::Export {

ExportResult ImageExporter::write(const QImage& image, const QString& fileName) {
    const QString shown = QDir::toNativeSeparators(fileName);
    if (image.isNull())
        return ExportResult::failure(
            QStringLiteral("There is no picture to write to %1.").arg(shown));
    QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format.isEmpty())
        format = "png";
    Util::SaveFile file(fileName);
    QString problem;
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
    } else {
        QImageWriter writer(&file, format);
        if (!writer.write(image)) {
            // The image writer knows only that its output stopped; the file knows why.
            problem =
                file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            problem = file.errorString();
        }
    }
    if (!problem.isEmpty())
        return ExportResult::failure(QStringLiteral("Could not write %1: %2").arg(shown, problem));
    return {true, {fileName}, {}};
}

} // namespace Model::Export
