#include "UI/BatchRun/runprocessesdialog.h"

#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Objects/documentedits.h"
#include "Core/Operations/iuserprompts.h"
#include "Core/ProcessList/parametercodec.h"
#include "Core/ProcessList/processlistarchiver.h"
#include "Model/Automaton/photomask.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/imageexporter.h"
#include "Model/Export/scenepicture.h"
#include "Model/Metrology/measurement.h"
#include "Model/document.h"
#include "UI/BatchRun/batchstepdialogs.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "Util/recentfolder.h"
#include "ui_runprocessesdialog.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcBatchRun, "UI/BatchRun/runprocessesdialog", QtInfoMsg)

namespace Ui {

using Core::Operations::IUserPrompts;
using Core::Operations::ProcessRecordExecutor;
using Model::Automaton::TotalVolume;
namespace names = Core::Operations::RecordParameters;

namespace {

const QString listCaption = QStringLiteral("Process List File");

QIcon swatch(const QColor& color) {
    QPixmap square(25, 25);
    square.fill(color);
    return QIcon(square);
}

} // namespace

RunProcessesDialog::RunProcessesDialog(MainWindow* mainWindow, MainWindowPresenter* presenter,
                                       std::shared_ptr<TotalVolume> volume)
    : QDialog(mainWindow), form(std::make_unique<Ui::RunProcessesBaseDialog>()),
      mainWindow(mainWindow), presenter(presenter), volume(std::move(volume)),
      progressTimer(new QTimer(this)) {
    form->setupUi(this);
    for (const BatchStepDialogs::Kind& kind : BatchStepDialogs::kinds())
        form->cbxProcess->addItem(QString::fromLatin1(kind.text), kind.type);
    progressTimer->setInterval(500);
    connect(progressTimer, &QTimer::timeout, this, &RunProcessesDialog::updateProgress);
    connect(form->treeWidget->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RunProcessesDialog::selectionChanged);
}

RunProcessesDialog::~RunProcessesDialog() {
    // Closing is refused while a run is in progress; should the dialog still go (its window
    // torn down), let the run finish first, answering its requests to this thread meanwhile.
    while (busy.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (worker.joinable())
        worker.join();
}

std::shared_ptr<TotalVolume> RunProcessesDialog::getVolume() const {
    std::lock_guard<std::mutex> guard(volumeLock);
    return volume;
}

void RunProcessesDialog::setVolume(std::shared_ptr<TotalVolume> value) {
    std::lock_guard<std::mutex> guard(volumeLock);
    volume = std::move(value);
}

void RunProcessesDialog::setProcessList(const QList<ProcessData>& list) {
    processList = list;
    listChanged = false;
    refreshTree();
}

bool RunProcessesDialog::isRunning() const {
    return busy.load() || progressTimer->isActive();
}

bool RunProcessesDialog::tryTakeBusy() {
    bool idle = false;
    return busy.compare_exchange_strong(idle, true);
}

// --- composing the list -----------------------------------------------------------------

void RunProcessesDialog::on_btnAddProcess_clicked() {
    const int type = form->cbxProcess->currentData().toInt();
    BatchStepDialogs::Context context;
    context.parent = this;
    context.prompts = &presenter->getPrompts();
    context.volume = getVolume();
    for (const ProcessData& step : processList)
        if (step.getProcessType() == ProcessData::CreateSubstrate)
            context.listVolumeHeight =
                step.getParameters().value(names::axis(names::volumeSize, 'Z')).toInt();
    context.previewTopMask = [this](const Model::Automaton::PhotoMask& mask) {
        previewTopMask(mask.bits, mask.width, mask.height);
    };
    context.previewBottomMask = [this](const Model::Automaton::PhotoMask& mask) {
        previewBottomMask(mask.bits, mask.width, mask.height);
    };
    if (auto process = BatchStepDialogs::ask(type, context)) {
        processList.append(*process);
        listChanged = true;
        refreshTree();
    }
}

void RunProcessesDialog::refreshTree() {
    QTreeWidget* tree = form->treeWidget;
    tree->clear();
    for (int position = 0; position < processList.size(); ++position) {
        ProcessData& process = processList[position];
        auto* row = new QTreeWidgetItem(tree);
        row->setText(0, QString::number(position + 1));
        row->setText(1, ProcessData::displayName(process.getProcessType()));
        row->setData(1, Qt::UserRole, process.getId());
        const QMap<QString, QVariant> parameters = process.getParameters();
        const QMap<QString, bool> visibility = process.getVisibility();
        for (auto entry = parameters.cbegin(); entry != parameters.cend(); ++entry) {
            if (!visibility.value(entry.key(), false))
                continue;
            auto* child = new QTreeWidgetItem(row);
            child->setText(2, entry.key());
            child->setText(3, ParameterCodec::encode(entry.value()));
            const QString colorName = entry.key() + QStringLiteral("_Color");
            if (parameters.contains(colorName))
                child->setIcon(3, swatch(parameters.value(colorName).value<QColor>()));
        }
        std::lock_guard<std::mutex> guard(problemsLock);
        const auto results = measured.find(process.getId());
        if (results == measured.end())
            continue;
        for (const auto& [name, value] : results->second) {
            auto* child = new QTreeWidgetItem(row);
            child->setText(2, name);
            child->setText(3, value);
            QFont bold = child->font(2);
            bold.setBold(true);
            child->setFont(2, bold);
            child->setFont(3, bold);
        }
    }
    tree->expandAll();
    tree->resizeColumnToContents(0);
    tree->resizeColumnToContents(1);
    // Names such as "Horizontal to Vertical Ratio" are cut to "Horizont..." otherwise.
    tree->resizeColumnToContents(2);
}

void RunProcessesDialog::selectionChanged() {
    const QList<QTreeWidgetItem*> selected = form->treeWidget->selectedItems();
    if (!selected.isEmpty() && selected.first()->parent())
        form->treeWidget->clearSelection();
}

int RunProcessesDialog::selectedStep() const {
    const QList<QTreeWidgetItem*> selected = form->treeWidget->selectedItems();
    if (selected.isEmpty() || selected.first()->parent())
        return -1;
    return form->treeWidget->indexOfTopLevelItem(selected.first());
}

void RunProcessesDialog::on_btnRemoveProcess_clicked() {
    QList<int> ids;
    for (const QTreeWidgetItem* item : form->treeWidget->selectedItems())
        if (!item->parent())
            ids << item->data(1, Qt::UserRole).toInt();
    if (ids.isEmpty())
        return;
    for (int i = processList.size() - 1; i >= 0; --i)
        if (ids.contains(processList[i].getId()))
            processList.removeAt(i);
    listChanged = true;
    refreshTree();
}

void RunProcessesDialog::moveSelected(int offset) {
    const int from = selectedStep();
    const int to = from + offset;
    if (from < 0 || to < 0 || to >= processList.size())
        return;
    processList.swapItemsAt(from, to);
    listChanged = true;
    refreshTree();
    QTreeWidgetItem* moved = form->treeWidget->topLevelItem(to);
    form->treeWidget->setCurrentItem(moved);
}

void RunProcessesDialog::on_btnMoveUp_clicked() {
    moveSelected(-1);
}

void RunProcessesDialog::on_btnMoveDown_clicked() {
    moveSelected(1);
}

void RunProcessesDialog::on_btnSaveList_clicked() {
    saveList();
}

bool RunProcessesDialog::saveList() {
    IUserPrompts& prompts = presenter->getPrompts();
    const QString file = prompts.chooseSaveFileIn(listCaption, Util::RecentFolder::get(),
                                                  ProcessListArchiver::filter());
    if (file.isEmpty())
        return false;
    Util::RecentFolder::remember(file);
    ProcessListArchiver archiver(processList);
    // A list that was not written is work the user would otherwise believe safe.
    if (!archiver.saveProcessList(file)) {
        prompts.showMessage(IUserPrompts::Icon::Critical, QStringLiteral("Error writing to file"),
                            QStringLiteral("The process list could not be written to %1: %2")
                                .arg(QDir::toNativeSeparators(file), archiver.errorString()));
        return false;
    }
    listChanged = false;
    return true;
}

bool RunProcessesDialog::mayClose() {
    if (!tryTakeBusy())
        return false;
    releaseBusy();
    if (!listChanged || processList.isEmpty())
        return true;
    switch (presenter->getPrompts().askToSave(QStringLiteral("Batch Run"),
                                              QStringLiteral("The process list has not been "
                                                             "saved. Save it before closing?"))) {
    case IUserPrompts::SaveChoice::Save:
        return saveList();
    case IUserPrompts::SaveChoice::Discard:
        return true;
    default:
        return false;
    }
}

void RunProcessesDialog::on_btnLoadList_clicked() {
    IUserPrompts& prompts = presenter->getPrompts();
    const QString file = prompts.chooseOpenFileIn(listCaption, Util::RecentFolder::get(),
                                                  ProcessListArchiver::filter());
    if (file.isEmpty())
        return;
    Util::RecentFolder::remember(file);
    QList<ProcessData> loaded;
    ProcessListArchiver archiver;
    if (!archiver.loadProcessList(file, loaded)) {
        prompts.showMessage(IUserPrompts::Icon::Critical, QStringLiteral("Error reading from file"),
                            archiver.errorString());
        return;
    }
    setProcessList(loaded);
}

// --- the mask previews ------------------------------------------------------------------

void RunProcessesDialog::previewBottomMask(const std::vector<bool>& bits, unsigned width,
                                           unsigned height) {
    if (const auto target = getVolume()) {
        target->setBottomMask(bits, int(width), int(height));
        repaintView();
    }
}

void RunProcessesDialog::previewTopMask(const std::vector<bool>& bits, unsigned width,
                                        unsigned height) {
    if (const auto target = getVolume()) {
        target->setTopMask(bits, int(width), int(height));
        repaintView();
    }
}

void RunProcessesDialog::repaintView() {
    if (mainWindow)
        mainWindow->repaintCentralWidget();
}

// --- running ----------------------------------------------------------------------------

void RunProcessesDialog::on_btnRun_clicked() {
    // The end of the last run is shown first, its "did not run" list included.
    if (progressTimer->isActive())
        updateProgress();
    if (progressTimer->isActive() || !tryTakeBusy())
        return;
    // A list that only writes pictures or measures changes nothing that could be undone.
    const bool changesCells =
        std::any_of(processList.cbegin(), processList.cend(), [](const ProcessData& process) {
            return !Core::Operations::ProcessRecordExecutor::changesNoCell(
                process.getProcessType());
        });
    if (beforeRun && changesCells && !beforeRun()) {
        releaseBusy();
        return;
    }
    form->progressBar->setEnabled(true);
    // A range of 0 to 0 would make the bar an endless busy animation.
    form->progressBar->setRange(0, std::max<int>(processList.size(), 1));
    form->progressBar->setValue(0);
    completed = 0;
    {
        std::lock_guard<std::mutex> guard(problemsLock);
        problems.clear();
        measured.clear();
    }
    refreshTree();
    progressTimer->start();
    // The last run's worker has released the dialog and has nothing left to do.
    if (worker.joinable())
        worker.join();
    // The worker runs a copy: the list may be edited while it runs.
    worker = std::thread([this, list = processList] { runList(list); });
}

void RunProcessesDialog::runList(QList<ProcessData> list) {
    Model::Document& document = *presenter->getDocument();
    ProcessRecordExecutor executor(
        presenter->getProcessHistory(),
        {[this, &document](const std::shared_ptr<TotalVolume>& created) {
             // The document guards its objects with its own lock.
             Core::Operations::DocumentEdits::placeBesideOthers(document.getObjects(), *created);
             document.addObject(created);
             setVolume(created);
         },
         [this](TotalVolume&, const QString& fileName) {
             QMetaObject::invokeMethod(this, "updateGeometry", Qt::BlockingQueuedConnection,
                                       Q_ARG(QString, fileName));
             return imageProblem;
         }});
    executor.setVolume(getVolume());
    executor.setMicrometresPerSceneUnit(document.getMicrometresPerSceneUnit());
    completed = 0;
    QElapsedTimer run;
    run.start();
    for (int position = 0; position < list.size(); ++position) {
        const ProcessData& process = list[position];
        if (!executor.getVolume() &&
            !ProcessRecordExecutor::createsVolume(process.getProcessType()))
            break;
        QElapsedTimer step;
        step.start();
        const auto result = executor.execute(process.getProcessType(), process.getParameters());
        qCDebug(lcBatchRun) << "step" << position + 1 << "of" << list.size()
                            << ProcessData::displayName(process.getProcessType()) << step.elapsed()
                            << "ms";
        if (result.measurement) {
            std::vector<std::pair<QString, QString>> values;
            if (result.measurement->hasAnswer())
                for (const auto& value :
                     Model::Metrology::namedValues(*result.measurement, result.resultName))
                    values.emplace_back(value.name,
                                        Model::Metrology::formatValue(value.value, value.unit));
            else
                values.emplace_back(result.resultName,
                                    QStringLiteral("no answer: ") + result.measurement->reason);
            std::lock_guard<std::mutex> guard(problemsLock);
            measured[process.getId()] = std::move(values);
        }
        if (!result.isDone()) {
            std::lock_guard<std::mutex> guard(problemsLock);
            problems << QStringLiteral("Step %1 (%2): %3.")
                            .arg(position + 1)
                            .arg(ProcessData::displayName(process.getProcessType()),
                                 result.problem);
        }
        ++completed;
    }
    qCDebug(lcBatchRun) << "the run took" << run.elapsed() << "ms";
    releaseBusy();
}

void RunProcessesDialog::updateGeometry(const QString& fileName) {
    if (const auto target = getVolume())
        target->getPainter().rebuild();
    repaintView();
    if (fileName.isEmpty()) {
        imageProblem.clear();
        return;
    }
    // The picture the command-line runner draws of the same list, whatever the view shows.
    const QImage picture = Model::Export::ScenePicture::render(
        presenter->getDocument()->getObjects(), QSize(Model::Export::ScenePicture::defaultWidth,
                                                      Model::Export::ScenePicture::defaultHeight));
    if (picture.isNull()) {
        imageProblem = QStringLiteral("the image was not saved to %1: the picture could not be "
                                      "drawn")
                           .arg(QDir::toNativeSeparators(fileName));
        return;
    }
    const auto written = Model::Export::ImageExporter::write(picture, fileName);
    imageProblem = written.ok ? QString() : written.error;
}

void RunProcessesDialog::updateProgress() {
    form->progressBar->setValue(completed);
    if (!tryTakeBusy())
        return;
    progressTimer->stop();
    if (const auto target = getVolume()) {
        target->getPainter().rebuild();
        repaintView();
    } else {
        presenter->getPrompts().showMessage(
            IUserPrompts::Icon::Critical, QStringLiteral("Missing Cell Volume"),
            QStringLiteral("No cell volume was selected and a cell volume was not created. The "
                           "cell volume must be created before any other process."));
        completed = 0;
    }
    form->progressBar->setValue(completed);
    QStringList notRun;
    QStringList results;
    {
        std::lock_guard<std::mutex> guard(problemsLock);
        notRun.swap(problems);
        for (const ProcessData& process : processList) {
            const auto found = measured.find(process.getId());
            if (found != measured.end())
                for (const auto& [name, value] : found->second)
                    results << QStringLiteral("Measure: %1 = %2").arg(name, value);
        }
    }
    if (!results.isEmpty()) {
        refreshTree();
        for (const QString& line : results)
            presenter->getConsoleInput().writeMessage(line);
    }
    if (!notRun.isEmpty())
        presenter->getPrompts().showMessage(
            IUserPrompts::Icon::Warning, QStringLiteral("Batch Run"),
            QStringLiteral("These steps did not run:\n") + notRun.join(QLatin1Char('\n')));
    releaseBusy();
}

// --- closing ----------------------------------------------------------------------------

void RunProcessesDialog::on_btnClose_clicked() {
    if (mayClose())
        accept();
}

void RunProcessesDialog::reject() {
    if (mayClose())
        QDialog::reject();
}

} // namespace Ui
