#pragma once
// One running program per user: the first start listens on a per-user local
// socket; a later start asks it to come to the front and then exits.
#include <QObject>
#include <QString>

class QLocalServer;

namespace km {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` defaults to one derived from the user id.
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
