#pragma once

#include <QString>

namespace Model::ModelExtraction {

// Netlist files: the text as it stands, put in place whole or not at all.
namespace NetlistFile {

// False with the reason, naming the file, when it could not be written; a file that was there
// before is then left as it was.
bool write(const QString& fileName, const QString& text, QString* error = nullptr);

} // namespace NetlistFile

} // namespace Model::ModelExtraction
