#pragma once

#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/settingsfolder.h"
#include "Model/Process/processfactory.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

namespace TestSupport {

inline QString settingsFile(const QString& name) {
    return Model::Persistence::settingsFilePath(name);
}

inline void writeSettingsFile(const QString& name, const QByteArray& contents) {
    QDir().mkpath(Model::Persistence::settingsFolderPath());
    QFile file(settingsFile(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(contents), contents.size());
}

inline QByteArray readSettingsFile(const QString& name) {
    QFile file(settingsFile(name));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Leaves both registries and their files as a first start would, whatever a test changed.
inline void restoreBuiltInRegistries() {
    auto materials = Model::Materials::MaterialFactory::getInstance();
    auto processes = Model::Process::ProcessFactory::getInstance();
    QFile::remove(settingsFile(QStringLiteral("materials.xml.bak")));
    QFile::remove(settingsFile(QStringLiteral("processes.xml.bak")));
    QFileInfo folder(Model::Persistence::settingsFolderPath());
    if (folder.exists() && !folder.isDir())
        QFile::remove(folder.filePath());
    materials->createDefaultMaterials();
    materials->saveMaterials();
    processes->createDefaultProcesses();
    processes->saveProcesses();
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { restoreBuiltInRegistries(); }
    void TearDown() override { restoreBuiltInRegistries(); }

    std::shared_ptr<Model::Materials::MaterialFactory> materials =
        Model::Materials::MaterialFactory::getInstance();
    std::shared_ptr<Model::Process::ProcessFactory> processes =
        Model::Process::ProcessFactory::getInstance();
};

} // namespace TestSupport
