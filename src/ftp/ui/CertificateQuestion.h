#pragma once
// "FTPCERTIFICATE": asks whether to trust a server certificate that the
// system's store does not vouch for, showing its SHA-256 fingerprint, and
// warning when it is not the one accepted for this host before.
#include "ftp/FtpSession.h"

#include <string>

class QWidget;

namespace km {

bool AskAcceptCertificate(const FtpCertificate& cert, const std::string& previous, QWidget* parent);

} // namespace km
