#include "Core/Operations/Document/documentexport.h"
#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/Document/opendocumentoperation.h"
#include "Core/Operations/Document/savedocumentasoperation.h"
#include "Core/Operations/Document/savedocumentoperation.h"
#include "Model/Automaton/volumebudget.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Util/recentfolder.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
using Model::Automaton::TotalVolume;

namespace {

// Answers file questions with a scripted name and remembers where each dialog was to open.
class LocatingPrompts : public ScriptedPrompts {
public:
    QString chooseSaveFileIn(const QString& caption, const QString& location,
                             const QString& filter) override {
        asked << caption + QLatin1Char('|') + location + QLatin1Char('|') + filter;
        return fileAnswer;
    }
    QString chooseOpenFileIn(const QString& caption, const QString& location,
                             const QString& filter) override {
        return chooseSaveFileIn(caption, location, filter);
    }
    QStringList asked;
};

class CountingObserver : public Util::IObserver {
public:
    void update() override { ++updates; }
    int updates = 0;
};

// An archiver that fails half way, as a full disk would.
class FailingArchiver : public Model::Persistence::ObjectArchiver {
public:
    void setWriter(QXmlStreamWriter* value) override { writer = value; }
    void setReader(QXmlStreamReader*) override {}
    void setMaterialIdMap(Model::Persistence::MaterialIdMap*) override {}
    bool save(std::shared_ptr<Model::Object>) override { return false; }
    std::shared_ptr<Model::Object> load() override { return nullptr; }
    QXmlStreamWriter* writer = nullptr;
};

class OtherKindOfObject : public Model::Object {
public:
    int getType() const override { return 2; }
    void draw(bool, bool) override {}
    void drawForPicking() override {}
    Object* clone() override { return new OtherKindOfObject; }
    void translate(Util::Vector4D) override {}
};

QByteArray contentsOf(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class DocumentOperationsTest : public TestSupport::RegistryTest {
protected:
    CountingHost host;
    LocatingPrompts prompts;
    OperationContext context{host, prompts};
    std::shared_ptr<CountingObserver> observer = std::make_shared<CountingObserver>();
    std::shared_ptr<TotalVolume> volume = makeVolume(
        3, 2, 2, [](int x, int y, int z) { return (x + y + z) % 2 ? 1 : 3; }, 0.5f);
    const QString home = QDir::homePath();
    const QString target = QDir::home().filePath(QStringLiteral("chip.cvx"));

    void SetUp() override {
        TestSupport::RegistryTest::SetUp();
        // Every test starts without documents, also when the whole binary shares one home.
        for (const QString& name : QDir::home().entryList({QStringLiteral("*.cvx")}, QDir::Files))
            QFile::remove(QDir::home().filePath(name));
        context.document->addObject(volume);
    }

    template <class Op> std::shared_ptr<Op> activate() {
        auto operation = std::make_shared<Op>(context);
        operation->setObserver(observer);
        context.currentOperation = operation;
        operation->step();
        return operation;
    }
};

} // namespace

TEST_F(DocumentOperationsTest, SaveAsksForALocationOnlyWhenTheDocumentHasNoName) {
    prompts.fileAnswer = target;
    const QString recent = Util::RecentFolder::get();
    auto save = activate<SaveDocumentOperation>();
    EXPECT_EQ(save->getName(), "Save document");
    EXPECT_EQ(save->getId(), 9);
    EXPECT_EQ(prompts.asked, QStringList{"Choose location|" + recent + "|Cellvane file (*.cvx)"});
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(context.document->getFileName(), target);
    EXPECT_EQ(observer->updates, 1);
    EXPECT_EQ(host.finished, 1);

    // The second Save writes to the same file without asking.
    prompts.fileAnswer = QStringLiteral("elsewhere.cvx");
    volume->translate(Util::Vector4D(5.0, 0.0, 0.0, 0.0));
    activate<SaveDocumentOperation>();
    EXPECT_EQ(prompts.asked.size(), 1);
    EXPECT_TRUE(contentsOf(target).contains("pos-x=\"5\""));
    EXPECT_FALSE(QFile::exists(QStringLiteral("elsewhere.cvx")));
    EXPECT_EQ(host.finished, 2);
}

TEST_F(DocumentOperationsTest, CancellingTheSaveDialogWritesNothingAndCancels) {
    prompts.fileAnswer.clear();
    activate<SaveDocumentOperation>();
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(host.finished, 0);
    EXPECT_EQ(observer->updates, 0);
    EXPECT_TRUE(QDir::home().entryList({QStringLiteral("*.cvx")}).isEmpty());
}

TEST_F(DocumentOperationsTest, SaveAsAlwaysAsksAndFinishesEvenWhenCancelled) {
    context.document->setFileName(target);
    prompts.fileAnswer = QDir::home().filePath(QStringLiteral("copy.cvx"));
    auto saveAs = activate<SaveDocumentAsOperation>();
    EXPECT_EQ(saveAs->getName(), "Save Document As");
    EXPECT_EQ(saveAs->getId(), 10);
    EXPECT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(context.document->getFileName(), prompts.fileAnswer);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(observer->updates, 1);

    prompts.fileAnswer.clear();
    activate<SaveDocumentAsOperation>();
    EXPECT_EQ(prompts.asked.size(), 2);
    EXPECT_EQ(host.finished, 2);
    EXPECT_EQ(host.cancelled, 0);
    EXPECT_EQ(observer->updates, 1) << "nothing was written, so nothing to show";
    EXPECT_EQ(context.document->getFileName(), QDir::home().filePath(QStringLiteral("copy.cvx")));
}

// A name chosen without suffix gets ".cvx", so that File → Open shows it; the next file dialog
// of any kind opens in the folder chosen last.
TEST_F(DocumentOperationsTest, SaveAsAddsTheSuffixAndTheNextDialogOpensWhereTheFileWent) {
    QTemporaryDir project;
    ASSERT_TRUE(project.isValid());
    prompts.fileAnswer = project.filePath(QStringLiteral("mesa"));
    activate<SaveDocumentAsOperation>();
    EXPECT_EQ(context.document->getFileName(), project.filePath(QStringLiteral("mesa.cvx")));
    EXPECT_TRUE(QFile::exists(project.filePath(QStringLiteral("mesa.cvx"))));
    EXPECT_FALSE(QFile::exists(project.filePath(QStringLiteral("mesa"))));
    prompts.fileAnswer = project.filePath(QStringLiteral("mesa.v2"));
    activate<SaveDocumentAsOperation>();
    EXPECT_EQ(context.document->getFileName(), prompts.fileAnswer) << "a suffix is kept";

    prompts.fileAnswer.clear();
    std::make_shared<OpenDocumentOperation>(context)->step();
    EXPECT_EQ(prompts.asked.last().section(QLatin1Char('|'), 1, 1),
              QFileInfo(project.path()).absoluteFilePath());
}

TEST_F(DocumentOperationsTest, AFailedSaveKeepsThePreviousFileAndTheDocumentsName) {
    writeFile(target, "the previous version");
    context.document->setFileName(target);
    context.snapshotFiles.getArchivers()[2] = std::make_shared<FailingArchiver>();
    context.document->addObject(std::make_shared<OtherKindOfObject>());

    activate<SaveDocumentOperation>();
    EXPECT_EQ(contentsOf(target), "the previous version");
    EXPECT_EQ(QDir::home().entryList(QDir::Files).filter(QStringLiteral("chip")),
              QStringList{"chip.cvx"})
        << "no partly written file is left behind";
    EXPECT_EQ(prompts.messages,
              QStringList{QStringLiteral("Error writing to file: Unable to save the document to "
                                         "%1: an object of the document could not be written. "
                                         "The document is still open, and any earlier version "
                                         "of the file is unchanged.")
                              .arg(QDir::toNativeSeparators(target))});
    EXPECT_EQ(host.finished, 1);
}

TEST_F(DocumentOperationsTest, AnUnwritableLocationIsReportedNotIgnored) {
    const QString nowhere = QDir::home().filePath(QStringLiteral("missing/folder/chip.cvx"));
    EXPECT_FALSE(DocumentFile::write(context, nowhere));
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(context.document->getFileName().isEmpty());
    EXPECT_FALSE(DocumentFile::write(context, home));
    EXPECT_EQ(prompts.messages.size(), 2);
}

TEST_F(DocumentOperationsTest, OpenAsksAtTheRememberedLocationAndNotifiesTheSharedObserver) {
    auto first = std::make_shared<CountingObserver>();
    OpenDocumentOperation::setObserver(first);
    OpenDocumentOperation::setObserver(observer); // the latest activation's observer wins
    const QString before = OpenDocumentOperation::getStartLocation();

    prompts.fileAnswer.clear();
    auto cancelled = std::make_shared<OpenDocumentOperation>(context);
    EXPECT_EQ(cancelled->getName(), "Open document");
    EXPECT_EQ(cancelled->getId(), 11);
    cancelled->step();
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(observer->updates, 0);
    EXPECT_EQ(OpenDocumentOperation::getStartLocation(), before);

    prompts.fileAnswer = target;
    std::make_shared<OpenDocumentOperation>(context)->step();
    EXPECT_EQ(observer->updates, 1);
    EXPECT_EQ(first->updates, 0);
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(OpenDocumentOperation::getRememberedPath(), target);

    std::make_shared<OpenDocumentOperation>(context)->step();
    ASSERT_EQ(prompts.asked.size(), 3);
    EXPECT_EQ(prompts.asked[0], "Choose file|" + before + "|Cellvane file (*.cvx)");
    EXPECT_EQ(prompts.asked[2],
              "Choose file|" + QFileInfo(target).absolutePath() + "|Cellvane file (*.cvx)");
    EXPECT_EQ(context.document->getObjects().size(), 1u) << "opening never touches this document";
    OpenDocumentOperation::setObserver(nullptr);
}

TEST_F(DocumentOperationsTest, ReadingBringsBackWhatWasSavedUnderTheFilesName) {
    ASSERT_TRUE(DocumentFile::write(context, target));
    CountingHost otherHost;
    LocatingPrompts otherPrompts;
    OperationContext other{otherHost, otherPrompts};
    auto redraws = std::make_shared<CountingObserver>();
    other.updateObservers.push_back(redraws);

    ASSERT_TRUE(DocumentFile::read(other, target));
    EXPECT_EQ(other.document->getFileName(), target);
    EXPECT_EQ(OpenDocumentOperation::getRememberedPath(), target);
    EXPECT_EQ(redraws->updates, 1);
    EXPECT_TRUE(otherPrompts.messages.isEmpty());
    const auto objects = other.document->getObjects();
    ASSERT_EQ(objects.size(), 1u);
    const auto back = std::dynamic_pointer_cast<TotalVolume>(objects[0]);
    ASSERT_TRUE(back);
    EXPECT_EQ(materialsOf(*back), materialsOf(*volume));
    EXPECT_FLOAT_EQ(back->getCellSizeX(), 0.5f);
}

// The window draws what it opens; the runner, studies, Python and the command-line programs
// only work on the cells, so their open builds no faces and gives the same cells.
TEST_F(DocumentOperationsTest, AHeadlessOpenBuildsNoSurfacesAndGivesTheSameCells) {
    ASSERT_TRUE(DocumentFile::write(context, target));
    const auto firstVolume = [](const std::optional<DocumentFile::Contents>& contents) {
        return contents && contents->objects.size() == 1
                   ? std::dynamic_pointer_cast<TotalVolume>(contents->objects[0])
                   : nullptr;
    };
    const auto shown = firstVolume(DocumentFile::load(target, DocumentFile::archivers(), prompts));
    const auto bare = firstVolume(DocumentFile::load(target, DocumentFile::archivers(), prompts,
                                                     DocumentFile::Surfaces::Skip));
    ASSERT_TRUE(shown && bare);
    EXPECT_FALSE(shown->getPainter().getOpaqueFaces().empty()) << "the window's open draws";
    EXPECT_TRUE(bare->getPainter().getOpaqueFaces().empty());
    EXPECT_EQ(materialsOf(*bare), materialsOf(*volume));
    EXPECT_EQ(materialsOf(*shown), materialsOf(*volume));

    // The programs without a window open documents the same way.
    QString log;
    QTextStream out(&log);
    const auto opened = DocumentExport::open(target, 0, out);
    ASSERT_TRUE(opened) << log.toStdString();
    EXPECT_TRUE(opened->volume->getPainter().getOpaqueFaces().empty());
    EXPECT_EQ(materialsOf(*opened->volume), materialsOf(*volume));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(DocumentOperationsTest, AFileThatIsNoDocumentIsReportedAndChangesNothing) {
    writeFile(target, "<?xml version=\"1.0\"?><Materials><Header/></Materials>");
    context.document->setFileName(QStringLiteral("current.cvx"));
    EXPECT_FALSE(DocumentFile::read(context, target));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Error reading from file: "));
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(context.document->getObjects().size(), 1u);
    EXPECT_EQ(context.document->getFileName(), "current.cvx");

    EXPECT_FALSE(DocumentFile::read(context, QDir::home().filePath(QStringLiteral("none.cvx"))));
    EXPECT_FALSE(DocumentFile::read(context, home)) << "a folder is no document";
    EXPECT_EQ(prompts.messages.size(), 3);
    EXPECT_EQ(context.document->getObjects().size(), 1u);
}

TEST_F(DocumentOperationsTest, ADamagedFileGivesWhatItHoldsButNotItsNameForSaving) {
    ASSERT_TRUE(DocumentFile::write(context, target));
    const QByteArray whole = contentsOf(target);
    writeFile(target, whole.left(whole.size() - 20));

    CountingHost otherHost;
    LocatingPrompts otherPrompts;
    OperationContext other{otherHost, otherPrompts};
    ASSERT_TRUE(DocumentFile::read(other, target));
    EXPECT_EQ(other.document->getObjects().size(), 1u);
    EXPECT_TRUE(other.document->getFileName().isEmpty());
    ASSERT_EQ(otherPrompts.messages.size(), 1);
    EXPECT_TRUE(otherPrompts.messages[0].startsWith("Error reading from file: "));
    EXPECT_TRUE(otherPrompts.messages[0].contains("damaged"));
}

TEST_F(DocumentOperationsTest, ADamagedMaterialIsReportedOnTheConsole) {
    writeFile(target, "<Document><Header version=\"1\"/><Material material-id=\"0\" name=\"X\"/>"
                      "</Document>");
    ASSERT_TRUE(DocumentFile::read(context, target));
    EXPECT_EQ(context.consoleInput.getLastMessage(),
              "WARNING: There was an error loading a material. This may alter the loaded cell "
              "volume.");
}

TEST_F(DocumentOperationsTest, FilesOrVolumesTooLargeForMemoryAreRefusedWithAReason) {
    ASSERT_TRUE(DocumentFile::write(context, target));
    const QByteArray whole = contentsOf(target);

    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(std::uint64_t(whole.size()));
    EXPECT_FALSE(DocumentFile::read(context, target));
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(1 << 20);
    writeFile(target, QByteArray(whole).replace("size-x=\"3\"", "size-x=\"3000000\""));
    EXPECT_FALSE(DocumentFile::read(context, target));
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);

    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(prompts.messages[0].contains("memory")) << prompts.messages[0].toStdString();
    EXPECT_TRUE(prompts.messages[1].contains("3000000 x 2 x 2"))
        << prompts.messages[1].toStdString();
    EXPECT_EQ(context.document->getObjects().size(), 1u);
}

} // namespace CELLVANE_TEST_FILE
