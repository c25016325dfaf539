#include "Model/ModelExtraction/netlistfile.h"
#include "Util/savefile.h"

#include <QDir>

namespace Model::ModelExtraction::NetlistFile {

bool write(const QString& fileName, const QString& text, QString* error) {
    Util::SaveFile file(fileName);
    const QByteArray bytes = text.toUtf8();
    const bool ok =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!ok && error)
        *error = QStringLiteral("Cannot write %1: %2")
                     .arg(QDir::toNativeSeparators(fileName), file.errorString());
    return ok;
}

} // namespace Model::ModelExtraction::NetlistFile
