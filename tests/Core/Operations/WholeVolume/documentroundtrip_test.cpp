#include "Core/Operations/WholeVolume/extractfilm.h"
#include "Core/Operations/WholeVolume/gluesubstrateoperation.h"
#include "Core/Operations/Objects/copyobject.h"
#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/Objects/moveobject.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using Model::Automaton::TotalVolume;

namespace {

std::shared_ptr<TotalVolume> asVolume(const Model::ObjectPtr& object) {
    return std::dynamic_pointer_cast<TotalVolume>(object);
}

template <class Op>
void runOn(OperationContext& context, const Model::ObjectList& picked, const QString& distance) {
    for (const auto& object : picked)
        context.selection.toggle(object);
    auto op = std::make_shared<Op>(context);
    context.currentOperation = op;
    op->step();
    context.consoleInput.processInput(distance);
}

} // namespace

// A session of object operations, saved and read back: every volume returns with its cells,
// its size and its place.
TEST(WholeVolumeDocument, MovedCopiedGluedAndExtractedVolumesReopenWhereTheyWere) {
    testing_support::CountingHost host;
    testing_support::ScriptedPrompts prompts;
    OperationContext context{host, prompts};
    auto base = testing_support::makeVolume(5, 4, 4, [](int, int, int z) { return z < 2 ? 1 : 0; });
    auto top = testing_support::makeVolume(
        5, 4, 3, [](int x, int, int z) { return z == 0 && x > 0 ? 3 : 0; });
    context.document->addObject(base);
    context.document->addObject(top);

    runOn<MoveObject>(context, {top}, QStringLiteral("12.25, -3, 0.5"));
    runOn<CopyObject>(context, {base}, QStringLiteral("0, 20, 0"));
    auto glue = std::make_shared<GlueSubstrateOperation>(context);
    context.currentOperation = glue;
    glue->setVolumes(base, top);
    glue->end();
    ASSERT_TRUE(glue->getResult());
    auto extract = std::make_shared<ExtractFilm>(context);
    context.currentOperation = extract;
    extract->setSource(glue->getResult());
    extract->setFilmMaterialId(3);
    extract->end();
    ASSERT_TRUE(extract->getResult());

    const QString file = QDir::home().filePath(QStringLiteral("session.cvx"));
    ASSERT_TRUE(DocumentFile::write(context, file));
    testing_support::CountingHost otherHost;
    testing_support::ScriptedPrompts otherPrompts;
    OperationContext reopened{otherHost, otherPrompts};
    ASSERT_TRUE(DocumentFile::read(reopened, file));

    const auto saved = context.document->getObjects();
    const auto back = reopened.document->getObjects();
    ASSERT_EQ(saved.size(), 3u) << "the copy, the glued volume and the film";
    ASSERT_EQ(back.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i) {
        SCOPED_TRACE(i);
        const auto before = asVolume(saved[i]);
        const auto after = asVolume(back[i]);
        ASSERT_TRUE(before && after);
        EXPECT_EQ(after->getSizeZ(), before->getSizeZ());
        EXPECT_EQ(testing_support::materialsOf(*after), testing_support::materialsOf(*before));
        EXPECT_EQ(after->getPosition().x, before->getPosition().x);
        EXPECT_EQ(after->getPosition().y, before->getPosition().y);
        EXPECT_EQ(after->getPosition().z, before->getPosition().z);
    }
    EXPECT_EQ(asVolume(back[0])->getPosition().y, 20.0);
    EXPECT_EQ(asVolume(back[2])->getPosition().x, 15.0) << "the film beside the glued volume";
}

} // namespace CELLVANE_TEST_FILE
