#include "Util/savefile.h"

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

void put(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The folder holds exactly these names: no temporary and no second name is left behind.
void expectOnly(const QTemporaryDir& folder, QStringList names) {
    QStringList found = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    found.sort();
    names.sort();
    EXPECT_EQ(found, names);
}

struct InjectionOff {
    ~InjectionOff() {
        SaveFile::failForTesting(SaveFile::Step::Rename, 0);
        SaveFile::failForTesting(SaveFile::Step::SyncFolder, 0);
    }
};

TEST(SaveFile, ReplacesTheFileWholeAndKeepsItsPermissions) {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("a.cvx"));
    put(name, "old");
    QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner);
    const QFile::Permissions before = QFile::permissions(name);
    SaveFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.fileName(), name);
    EXPECT_EQ(contents(name), "old") << "the target is untouched until the commit";
    file.write("new contents");
    // While the bytes are written nothing but the target has a name, so a program killed now
    // leaves no stray file beside the user's.
    expectOnly(folder, {QStringLiteral("a.cvx")});
    ASSERT_TRUE(file.commit()) << file.errorString().toStdString();
    EXPECT_EQ(contents(name), "new contents");
    EXPECT_EQ(QFile::permissions(name), before);
    expectOnly(folder, {QStringLiteral("a.cvx")});
}

// A failed rename or folder sync, of a file that existed and of one that did not, leaves the
// folder as it was and says why; so does a cancelled write.
TEST(SaveFile, AFailedCommitLeavesTheOldFileAndNoTemporary) {
    const InjectionOff off;
    for (const SaveFile::Step step : {SaveFile::Step::Rename, SaveFile::Step::SyncFolder}) {
        for (const bool existed : {true, false}) {
            QTemporaryDir folder;
            const QString name = folder.filePath(QStringLiteral("list.plst"));
            if (existed)
                put(name, "old");
            SaveFile file(name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
            file.write("new");
            SaveFile::failForTesting(step, 1);
            EXPECT_FALSE(file.commit());
            EXPECT_FALSE(file.errorString().isEmpty());
            if (existed) {
                EXPECT_EQ(contents(name), "old");
                expectOnly(folder, {QStringLiteral("list.plst")});
            } else {
                expectOnly(folder, {});
            }
        }
    }
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("b"));
    put(name, "old");
    SaveFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("new");
    file.cancelWriting();
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(contents(name), "old");
    expectOnly(folder, {QStringLiteral("b")});
}

TEST(SaveFile, RefusesWhatIsNotARegularFileAndWritesThroughALink) {
    SaveFile device(QStringLiteral("/dev/null"));
    EXPECT_FALSE(device.open(QIODevice::WriteOnly));
    EXPECT_TRUE(device.errorString().contains(QStringLiteral("not a regular file")));

    QTemporaryDir folder;
    const QString real = folder.filePath(QStringLiteral("real.txt"));
    const QString link = folder.filePath(QStringLiteral("link.txt"));
    put(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    SaveFile file(link);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("new");
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contents(real), "new");
}

TEST(WriteFully, WritesTheRestAfterAShortWriteAndStopsAtAFailure) {
    QByteArray sink;
    int calls = 0;
    const auto shortWrites = [&](const char* data, qint64 size) -> qint64 {
        ++calls;
        const qint64 count = std::min<qint64>(size, 3);
        sink.append(data, int(count));
        return count;
    };
    EXPECT_TRUE(Util::writeFully(shortWrites, "0123456789", 10));
    EXPECT_EQ(sink, "0123456789");
    EXPECT_EQ(calls, 4);
    int left = 2;
    const auto fullDisk = [&](const char*, qint64 size) -> qint64 {
        return left-- > 0 ? std::min<qint64>(size, 2) : -1;
    };
    EXPECT_FALSE(Util::writeFully(fullDisk, "0123456789", 10));
}

} // namespace CELLVANE_TEST_FILE
