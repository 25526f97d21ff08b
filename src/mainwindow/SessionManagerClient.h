#pragma once
// Ending the session or the system the way the desktop does it: its session
// manager is asked first, so that every program (this one too) can ask to
// save; logind's interactive calls are the fallback where there is none.
#include <QDBusConnection>

#include <string>

namespace km {

enum class SessionEnd { LogOff, Reboot, PowerOff };

struct SessionEndRequest {
    bool accepted = false;
    std::string service; // who was asked last (a bus name)
    std::string error;   // why not, when nobody accepted
};

// Asks, in this order, GNOME's, KDE's and Xfce's session managers on the
// session bus, then logind on the system bus (PowerOff/Reboot with
// interactive authorisation; TerminateSession for a log off).
SessionEndRequest RequestSessionEnd(SessionEnd how, const QDBusConnection& session,
                                    const QDBusConnection& system);

} // namespace km
