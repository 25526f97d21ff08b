#pragma once
// One running program per user and desktop session: the first start listens
// on a local socket of the session; a later start in the same session asks
// it to come to the front and then exits. Another session (another display,
// a remote desktop) runs its own.
#include <QObject>
#include <QString>

class QLocalServer;

namespace km {

// The socket of this session: in $XDG_RUNTIME_DIR (private to the user), per
// session where the session has an id, else per display; without a runtime
// directory a name per user and display. Takes the environment's values.
QString InstanceSocketName(const char* runtimeDir, const char* sessionId, const char* display, unsigned uid);

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` defaults to InstanceSocketName() of this process's environment.
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first one and now serves activation
    // requests; false when another instance was asked to come forward.
    bool claim();

signals:
    void activationRequested();

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace km
