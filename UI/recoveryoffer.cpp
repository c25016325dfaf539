#include "UI/recoveryoffer.h"

#include "Core/Operations/Undo/recoverysession.h"
#include "UI/Observers/documentsavedobserver.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

namespace Ui {

using Core::Operations::RecoveryJournal;
using Core::Operations::RecoverySession;

namespace {

RecoveryOffer::Answer askWithMessageBox(const QString& question) {
    QMessageBox box(QMessageBox::Question, RecoveryOffer::title(), question);
    QPushButton* recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(recover);
    box.exec();
    if (box.clickedButton() == recover)
        return RecoveryOffer::Answer::Recover;
    if (box.clickedButton() == discard)
        return RecoveryOffer::Answer::Discard;
    return RecoveryOffer::Answer::Later;
}

void tellWithMessageBox(const QString& message) {
    QMessageBox::warning(nullptr, RecoveryOffer::title(), message);
}

QString damagedMessage(const QString& when, const QString& problem, const QString& keptIn) {
    return QStringLiteral("The unsaved work of %1 cannot be recovered: %2. Nothing of it was "
                          "loaded; it is kept in %3.")
        .arg(when, problem, QDir::toNativeSeparators(keptIn));
}

} // namespace

QString RecoveryOffer::question(const RecoveryJournal::Summary& summary) {
    const QString since = summary.fileName.isEmpty() ? QStringLiteral("a new document")
                                                     : QFileInfo(summary.fileName).fileName();
    return QStringLiteral("Recover the unsaved work of %1 (%2 %3 since %4)?")
        .arg(QLocale().toString(summary.time, QLocale::ShortFormat))
        .arg(summary.steps)
        .arg(summary.steps == 1 ? QStringLiteral("step") : QStringLiteral("steps"), since);
}

std::vector<MainWindow*> RecoveryOffer::run(Asker ask, Teller tell) {
    if (!ask)
        ask = askWithMessageBox;
    if (!tell)
        tell = tellWithMessageBox;
    std::vector<MainWindow*> windows;
    for (const QString& path : RecoverySession::findStale()) {
        RecoverySession stale(path);
        if (!stale.isValid())
            continue; // taken by another program starting at the same time
        QString problem;
        const auto summary = RecoveryJournal::readSummary(path, &problem);
        if (!summary || summary->steps <= 0) {
            if (problem.isEmpty()) {
                stale.remove(); // nothing unsaved: the program died idle or after a save
            } else {
                const QString aside = stale.putAside();
                tell(damagedMessage(QFileInfo(path).fileName(), problem, aside));
            }
            continue;
        }
        switch (ask(question(*summary))) {
        case Answer::Later:
            stale.keepForRecovery(true);
            continue;
        case Answer::Discard:
            stale.remove();
            continue;
        case Answer::Recover:
            break;
        }
        auto* window = new MainWindow();
        MainWindowPresenter* presenter = window->getPresenter();
        const auto recovered = RecoveryJournal::load(path, presenter->getContext(), &problem);
        if (!recovered) {
            const QString aside = stale.putAside();
            tell(damagedMessage(QLocale().toString(summary->time, QLocale::ShortFormat), problem,
                                aside));
            delete window;
            continue;
        }
        presenter->applyRecovered(*recovered);
        // The work is in this window's own journal now, unless that could not be written: the
        // old one then stays, to be offered again should this window die too.
        if (presenter->getJournal().isUpToDate())
            stale.remove();
        else
            stale.keepForRecovery(true);
        const QString fileName = recovered->summary.fileName;
        window->setWindowTitle(
            fileName.isEmpty()
                ? QStringLiteral("Cellvane[*]")
                : Observers::DocumentSavedObserver::distinctTitleFor(window, fileName));
        window->setWindowModified(true);
        window->showMaximized();
        windows.push_back(window);
    }
    return windows;
}

} // namespace Ui
