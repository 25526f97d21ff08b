#include "mainwindow/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace km {

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent),
      name_(name.isEmpty() ? QStringLiteral("KMClass-%1").arg(getuid()) : std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            probe.write("activate\n");
            probe.waitForBytesWritten(500);
            probe.disconnectFromServer();
            return false;
        }
    }
    // Nobody answered: a socket left by a crashed instance is stale.
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_))
        return true; // cannot serve hand-overs, but still run
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("activate"))
                    emit activationRequested();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace km
