#include "Core/Study/studyengine.h"

#include "Core/Study/localengine.h"
#include "Core/Study/slurmengine.h"

namespace Core::Study {

QStringList StudyEngine::names() {
    return {LocalEngine::engineName(), SlurmEngine::engineName()};
}

std::unique_ptr<StudyEngine> StudyEngine::create(const QString& name, QString& problem) {
    if (name == LocalEngine::engineName())
        return std::make_unique<LocalEngine>();
    if (name == SlurmEngine::engineName())
        return std::make_unique<SlurmEngine>();
    problem = QStringLiteral("there is no engine \"%1\"; there are %2")
                  .arg(name, names().join(QStringLiteral(", ")));
    return nullptr;
}

} // namespace Core::Study
