#include "Model/Export/savefileset.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Util::SaveFile;

QByteArray contents(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void expectOnly(const QTemporaryDir& folder, QStringList names) {
    QStringList found = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    found.sort();
    names.sort();
    EXPECT_EQ(found, names);
}

void put(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A mesh and its material library go in place together: when the second cannot be renamed,
// the first gets its old contents back.
TEST(SaveFileSet, ASecondFileThatFailsLeavesBothOldFiles) {
    struct InjectionOff {
        ~InjectionOff() {
            SaveFile::failForTesting(SaveFile::Step::Rename, 0);
            SaveFile::failForTesting(SaveFile::Step::SyncFolder, 0);
        }
    } off;
    for (const SaveFile::Step step : {SaveFile::Step::Rename, SaveFile::Step::SyncFolder}) {
        QTemporaryDir folder;
        const QString obj = folder.filePath(QStringLiteral("m.obj"));
        const QString mtl = folder.filePath(QStringLiteral("m.mtl"));
        put(obj, "old obj");
        put(mtl, "old mtl");
        Model::Export::SaveFileSet set;
        ASSERT_TRUE(set.write(set.open(obj), QByteArray("new obj")));
        ASSERT_TRUE(set.write(set.open(mtl), QByteArray("new mtl")));
        SaveFile::failForTesting(step, step == SaveFile::Step::Rename ? 2 : 1);
        EXPECT_FALSE(set.commit());
        EXPECT_TRUE(set.error().contains(QStringLiteral("m."))) << set.error().toStdString();
        EXPECT_EQ(contents(obj), "old obj");
        EXPECT_EQ(contents(mtl), "old mtl");
        expectOnly(folder, {QStringLiteral("m.mtl"), QStringLiteral("m.obj")});
    }
}

} // namespace CELLVANE_TEST_FILE
