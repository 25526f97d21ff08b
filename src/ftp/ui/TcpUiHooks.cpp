#include "ftp/ui/TcpUiHooks.h"

#include "net/TcpHooks.h"
#include "ui_services/AppState.h"
#include "ui_services/EventPump.h"

namespace km {

void InstallTcpUiHooks() {
    TcpSetHooks({[] { EventPump::pump(); }, &App().cancelFlag});
}

} // namespace km
