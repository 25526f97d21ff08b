#include "panels/RemotePanelSource.h"

namespace km {
namespace {

RemotePanelSource* g_source = nullptr;

} // namespace

void SetRemotePanelSource(RemotePanelSource* source) { g_source = source; }
RemotePanelSource* RemoteSource() { return g_source; }

} // namespace km
