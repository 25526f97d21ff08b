#include "ftp/ui/CertificateQuestion.h"

#include <QMessageBox>
#include <QPushButton>

namespace km {

namespace {

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

bool AskAcceptCertificate(const FtpCertificate& cert, const std::string& previous, QWidget* parent) {
    QString text;
    if (!previous.empty()) {
        text = QStringLiteral("The certificate of %1 has CHANGED since you accepted it. Someone "
                              "may be listening in.\n\nBefore: %2\nNow:    %3\n\n")
                   .arg(qs(cert.host), qs(previous), qs(cert.fingerprint));
    } else {
        text = QStringLiteral("The certificate of %1 could not be verified: %2.\n\n"
                              "SHA-256 fingerprint:\n%3\n\n")
                   .arg(qs(cert.host), qs(cert.problem), qs(cert.fingerprint));
    }
    text += QStringLiteral("Trust this certificate for %1 and connect?").arg(qs(cert.host));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("KM - Server certificate"), text,
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("FTPCERTIFICATE"));
    QPushButton* trust = box.addButton(QStringLiteral("&Trust"), QMessageBox::AcceptRole);
    QPushButton* refuse = box.addButton(QStringLiteral("&Do not connect"), QMessageBox::RejectRole);
    box.setDefaultButton(refuse);
    box.exec();
    return box.clickedButton() == trust;
}

} // namespace km
