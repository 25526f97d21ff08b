#include "mainwindow/SessionManagerClient.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QVariant>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

struct Call {
    const char* service;
    const char* path;
    const char* interface;
    const char* method;
    QVariantList args;
};

// The session managers' calls for `how`; each shows its desktop's own
// confirmation and lets the programs of the session ask to save.
std::vector<Call> sessionManagerCalls(SessionEnd how) {
    const char* gnome = how == SessionEnd::LogOff   ? "Logout"
                        : how == SessionEnd::Reboot ? "Reboot"
                                                    : "Shutdown";
    const char* kde = how == SessionEnd::LogOff   ? "logout"
                      : how == SessionEnd::Reboot ? "logoutAndReboot"
                                                  : "logoutAndShutdown";
    const char* xfce = how == SessionEnd::LogOff   ? "Logout"
                       : how == SessionEnd::Reboot ? "Restart"
                                                   : "Shutdown";
    // KSMServer's older call: confirm 1, type 0 log off / 1 reboot / 2 halt, mode 0 when possible.
    const int ksmType = how == SessionEnd::LogOff ? 0 : how == SessionEnd::Reboot ? 1 : 2;
    std::vector<Call> calls;
    calls.push_back(
        {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager", gnome,
         how == SessionEnd::LogOff ? QVariantList{QVariant::fromValue(0u)} : QVariantList{}});
    calls.push_back({"org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown", kde, {}});
    calls.push_back({"org.kde.ksmserver",
                     "/KSMServer",
                     "org.kde.KSMServerInterface",
                     "logout",
                     {1, ksmType, 0}});
    calls.push_back({"org.xfce.SessionManager", "/org/xfce/SessionManager",
                     "org.xfce.Session.Manager", xfce,
                     how == SessionEnd::LogOff ? QVariantList{true, true} : QVariantList{true}});
    return calls;
}

bool registered(const QDBusConnection& bus, const char* service) {
    QDBusConnectionInterface* iface = bus.isConnected() ? bus.interface() : nullptr;
    return iface && iface->isServiceRegistered(QString::fromLatin1(service)).value();
}

// A blocking call: session managers answer at once and show their dialog
// themselves. 25 s is D-Bus's own default; a hung manager costs no more.
QDBusMessage call(const QDBusConnection& bus, const Call& c) {
    QDBusMessage m = QDBusMessage::createMethodCall(
        QString::fromLatin1(c.service), QString::fromLatin1(c.path),
        QString::fromLatin1(c.interface), QString::fromLatin1(c.method));
    m.setArguments(c.args);
    m.setInteractiveAuthorizationAllowed(true);
    return bus.call(m, QDBus::Block, 25000);
}

} // namespace

SessionEndRequest RequestSessionEnd(SessionEnd how, const QDBusConnection& session,
                                    const QDBusConnection& system) {
    SessionEndRequest r;
    for (const Call& c : sessionManagerCalls(how)) {
        if (!registered(session, c.service))
            continue;
        const QDBusMessage reply = call(session, c);
        r.service = c.service;
        if (reply.type() == QDBusMessage::ReplyMessage) {
            r.accepted = true;
            return r;
        }
        r.error = reply.errorMessage().toStdString();
    }
    // logind: the user's own session, or the machine with polkit asking.
    Call c{"org.freedesktop.login1",
           "/org/freedesktop/login1",
           "org.freedesktop.login1.Manager",
           "",
           {}};
    if (how == SessionEnd::LogOff) {
        const char* id = std::getenv("XDG_SESSION_ID");
        if (id && *id) {
            c.method = "TerminateSession";
            c.args = {QString::fromLocal8Bit(id)};
        } else {
            c.method = "TerminateUser";
            c.args = {QVariant::fromValue(static_cast<uint>(getuid()))};
        }
    } else {
        c.method = how == SessionEnd::Reboot ? "Reboot" : "PowerOff";
        c.args = {true};
    }
    if (!system.isConnected()) {
        if (r.error.empty())
            r.error = "no session manager and no system bus";
        return r;
    }
    const QDBusMessage reply = call(system, c);
    r.service = c.service;
    r.accepted = reply.type() == QDBusMessage::ReplyMessage;
    if (!r.accepted)
        r.error = reply.errorMessage().toStdString();
    return r;
}

} // namespace km
