#pragma once
// SIGTERM and SIGHUP (the session or the system ending, a closed terminal)
// as a Qt signal on the main thread, through a pipe the handler writes to:
// a handler itself may do nothing but that.
#include <QObject>

class QSocketNotifier;

namespace km {

class TerminationSignal : public QObject {
    Q_OBJECT
public:
    // One per process; installs the handlers, and the destructor restores
    // the default ones.
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;

signals:
    void received(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace km
