#pragma once

#include "Core/Operations/consoleinput.h"

#include <QStringList>
#include <QWidget>

#include <memory>

class QShortcut;

namespace Ui {
class CommandConsoleForm;
}

namespace Ui::Console {

class ConsoleObserver;

// The console: messages from operations above, one input line below, and a
// history of entered lines walked with Up and Down.
class CommandConsole : public QWidget {
    Q_OBJECT
public:
    CommandConsole(Core::Operations::ConsoleInput& input, QWidget* parent = nullptr);
    ~CommandConsole() override;

    QString inputLine() const;
    void setInputLine(const QString& text);
    QString messages() const;

public slots:
    void enterPressed();
    void upArrowPressed();
    void downArrowPressed();
    void writeMessage(QString message);

private:
    std::unique_ptr<Ui::CommandConsoleForm> form;
    QStringList history; // newest first
    int cursor = -1;     // index into history; -1 is "at the end", before any entry
    QShortcut* upShortcut;
    QShortcut* downShortcut;
    Core::Operations::ConsoleInput& input;
    std::shared_ptr<ConsoleObserver> observer;
};

} // namespace Ui::Console
