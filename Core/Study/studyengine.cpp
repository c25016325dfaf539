#include "Core/Study/studyengine.h"

#include "Core/Study/localengine.h"

namespace Core::Study {

QStringList StudyEngine::names() {
    return {LocalEngine::engineName()};
}

std::unique_ptr<StudyEngine> StudyEngine::create(const QString& name, QString& problem) {
    if (name == LocalEngine::engineName())
        return std::make_unique<LocalEngine>();
    if (name == QStringLiteral("slurm"))
        problem = QStringLiteral("the slurm engine is not available in this build");
    else
        problem = QStringLiteral("there is no engine \"%1\"; there is %2")
                      .arg(name, names().join(QStringLiteral(", ")));
    return nullptr;
}

} // namespace Core::Study
