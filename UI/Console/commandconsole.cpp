#include "UI/Console/commandconsole.h"

#include "UI/Console/consoleobserver.h"
#include "ui_commandconsole.h"

#include <QShortcut>

namespace Ui::Console {

CommandConsole::CommandConsole(Core::Operations::ConsoleInput& input, QWidget* parent)
    : QWidget(parent), form(std::make_unique<Ui::CommandConsoleForm>()),
      upShortcut(new QShortcut(QKeySequence(Qt::Key_Up), this)),
      downShortcut(new QShortcut(QKeySequence(Qt::Key_Down), this)), input(input),
      observer(std::make_shared<ConsoleObserver>(input)) {
    form->setupUi(this);
    // The console sits in a dock of the main window: its history keys must not take Up and
    // Down from the rest of the window.
    upShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    downShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(upShortcut, &QShortcut::activated, this, &CommandConsole::upArrowPressed);
    connect(downShortcut, &QShortcut::activated, this, &CommandConsole::downArrowPressed);
    input.getMessageObservers().push_back(observer);
    connect(observer.get(), &ConsoleObserver::messageWritten, this, &CommandConsole::writeMessage);
    connect(form->linCommand, &QLineEdit::returnPressed, this, &CommandConsole::enterPressed);
}

CommandConsole::~CommandConsole() {
    auto& observers = input.getMessageObservers();
    observers.erase(std::remove(observers.begin(), observers.end(),
                                std::static_pointer_cast<Util::IObserver>(observer)),
                    observers.end());
}

QString CommandConsole::inputLine() const { return form->linCommand->text(); }

void CommandConsole::setInputLine(const QString& text) { form->linCommand->setText(text); }

QString CommandConsole::messages() const { return form->plainTextEdit->toPlainText(); }

void CommandConsole::enterPressed() {
    const QString line = form->linCommand->text();
    if (!line.isEmpty()) {
        history.prepend(line);
        cursor = 0;
        form->plainTextEdit->appendPlainText(line);
        form->linCommand->clear();
    }
    input.processInput(line);
}

void CommandConsole::upArrowPressed() {
    if (cursor < 0)
        return;
    form->linCommand->setText(history.at(cursor));
    if (cursor + 1 < history.size())
        ++cursor;
}

void CommandConsole::downArrowPressed() {
    if (cursor < 0)
        return;
    form->linCommand->setText(history.at(cursor));
    if (cursor == 0)
        form->linCommand->clear();
    else
        --cursor;
}

void CommandConsole::writeMessage(QString message) { form->plainTextEdit->appendPlainText(message); }

} // namespace Ui::Console
