#pragma once

#include <QObject>

class QSocketNotifier;

namespace metersim {

// Turns SIGTERM and SIGINT into a signal on the event loop (through a pipe
// that the handler writes to), so that the program can end cleanly.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    static void handle(int signal);
    static int pipe_[2];
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace metersim
