#pragma once

#include "Core/Study/studyresults.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace Core::Study {

// DIR/index.html: the plots, the table of results and every variant's pictures as thumbnails,
// all by names relative to DIR, so the folder can be moved or copied as a whole.
class StudyPage {
public:
    // `plotFiles`: the plots' names relative to DIR without suffix ("plots/etch-depth-vs-...").
    static QByteArray html(const QString& title, const StudyResults& results,
                           const std::vector<StudyResults::Plot>& plots,
                           const QStringList& plotFiles);
    static QString escaped(const QString& text);
    // A relative name as an attribute value: each path segment percent-encoded.
    static QString link(const QString& relativeName);
};

} // namespace Core::Study
