#include "mainwindow/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <cstdlib>
#include <unistd.h>

namespace km {

namespace {

// Only letters, digits, '-' and '_' go into the name: ":0.0" becomes "0_0".
QString tidy(const char* value) {
    QString out;
    for (const QChar c : QString::fromLocal8Bit(value))
        out += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ? c : QChar('_');
    while (out.startsWith(QLatin1Char('_')))
        out.remove(0, 1);
    return out;
}

bool isSet(const char* v) { return v && *v; }

} // namespace

QString InstanceSocketName(const char* runtimeDir, const char* sessionId, const char* display, unsigned uid) {
    const QString where = isSet(sessionId) ? QStringLiteral("session-") + tidy(sessionId)
                          : isSet(display) ? QStringLiteral("display-") + tidy(display)
                                           : QStringLiteral("default");
    if (isSet(runtimeDir) && runtimeDir[0] == '/')
        return QString::fromLocal8Bit(runtimeDir) + QStringLiteral("/kestrum-") + where + QStringLiteral(".sock");
    return QStringLiteral("KMClass-%1-").arg(uid) + where;
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
    if (name_.isEmpty()) {
        const char* display = std::getenv("WAYLAND_DISPLAY");
        if (!isSet(display))
            display = std::getenv("DISPLAY");
        name_ = InstanceSocketName(std::getenv("XDG_RUNTIME_DIR"), std::getenv("XDG_SESSION_ID"), display, getuid());
    }
}

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
