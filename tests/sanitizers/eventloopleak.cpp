// Leaks one object of its own from a call of Qt's event loop. The asan run must report it:
// a leak check that suppressed it would suppress every leak of ours made in a slot, a timer or
// an event handler.
#include <QCoreApplication>
#include <QTimer>

struct LeakedFromTheEventLoop {
    int payload[64];
};

// Held here for a moment, so that no optimiser drops the allocation.
LeakedFromTheEventLoop* volatile held = nullptr;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, [] {
        held = new LeakedFromTheEventLoop{};
        held = nullptr;
    });
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
