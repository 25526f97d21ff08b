#include "ftp/ui/FtpSettingsDialog.h"

#include "ftp/FtpConfig.h"
#include "ftp/FtpConnection.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

FtpSettingsDialog::FtpSettingsDialog(QWidget* parent, std::function<std::string()> currentDir)
    : QDialog(parent), currentDir_(std::move(currentDir)) {
    setObjectName(QStringLiteral("FTPSETTINGS"));
    setWindowTitle(QStringLiteral("KM - FTP settings"));
    SettingsStore& s = Settings();
    auto* layout = new QVBoxLayout(this);
    auto group = [&](const char* title) {
        auto* g = new QGroupBox(QString::fromLatin1(title), this);
        layout->addWidget(g);
        return new QVBoxLayout(g);
    };
    auto check = [&](QVBoxLayout* in, int id, const char* text, bool on) {
        auto* c = new QCheckBox(QString::fromLatin1(text), this);
        c->setObjectName(QStringLiteral("check%1").arg(id));
        c->setChecked(on);
        in->addWidget(c);
        return c;
    };
    QVBoxLayout* logging = group(" Logging: ");
    logging_ = check(logging, 2805, "Log FTP actions to:", s.GetInt("FTP", "Logging", 1) != 0);
    logFileAtOpen_ = s.GetString("FTP", "LogFile", "KMFTPLOG.TXT");
    logFile_ = new QLineEdit(qs(logFileAtOpen_), this);
    logFile_->setObjectName(QStringLiteral("edit2810"));
    logFile_->setEnabled(logging_->isChecked());
    logging->addWidget(logFile_);

    QVBoxLayout* type = group(" File transfer type: ");
    const char* names[3] = {"Binary", "ASCII", "L 8"};
    const int current = s.GetInt("FTP", "XferType", 1);
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(names[i]), this);
        r->setObjectName(QStringLiteral("radio%1").arg(2820 + i));
        r->setChecked(current == i + 1 || (i == 0 && (current < 1 || current > 3)));
        type->addWidget(r);
        types_[static_cast<size_t>(i)] = r;
    }
    dirUpdate_ = check(group(" Screen update: "), 2830, "Update remote directory after transfer",
                       s.GetInt("FTP", "DirUpd", 0) != 0);
    QVBoxLayout* password = group(" Password for anonymous log-ins: ");
    password->addWidget(new QLabel(QStringLiteral("E-mail address to use as password:"), this));
    email_ = new QLineEdit(qs(s.GetString("FTP", "Email", kDefaultEmail)), this);
    email_->setObjectName(QStringLiteral("edit2840"));
    password->addWidget(email_);
    QVBoxLayout* temporary = group(" Temporary file transfer: ");
    confirm_ = check(temporary, 2870, "Let me confirm", s.GetInt("FTP", "Confirm", 1) != 0);
    alwaysAscii_ = check(temporary, 2850, "Transfer for edit always in ASCII", s.GetInt("FTP", "AlwaysAscii", 0) != 0);
    alwaysBinary_ = check(temporary, 2860, "Transfer for unzip always binary", s.GetInt("FTP", "AlwaysBinary", 0) != 0);
    QVBoxLayout* data = group(" Data connections: ");
    passive_ = check(data, 2880, "Passive mode (works behind firewalls and NAT)",
                     s.GetInt("FTP", "Passive", 1) != 0);
    auto* rateRow = new QHBoxLayout;
    limitRate_ = new QCheckBox(QStringLiteral("Limit transfer rate to"), this);
    limitRate_->setObjectName(QStringLiteral("check2890"));
    limitRate_->setChecked(s.GetInt("FTP", "LimitRate", 0) == 1);
    rate_ = new QSpinBox(this);
    rate_->setObjectName(QStringLiteral("spin2900"));
    rate_->setRange(1, 1024 * 1024);
    rate_->setSuffix(QStringLiteral(" KiB/s"));
    rate_->setValue(StoredRateLimitKiB(s));
    rate_->setEnabled(limitRate_->isChecked());
    rateRow->addWidget(limitRate_);
    rateRow->addWidget(rate_);
    data->addLayout(rateRow);
    connect(limitRate_, &QCheckBox::toggled, rate_, &QWidget::setEnabled);
    AddDialogButtons(this, layout, [this] { save(); });

    // The switch acts at once, confirmed or not.
    connect(logging_, &QCheckBox::clicked, this, [this](bool on) {
        SetFtpLogging(on, logFileAtOpen_, currentDir_());
        logFile_->setEnabled(on);
    });
}

bool FtpSettingsDialog::Ask(QWidget* parent, std::function<std::string()> currentDir) {
    HelpContextScope help(CmdFtpSettings);
    FtpSettingsDialog dlg(parent, std::move(currentDir));
    return dlg.exec() == QDialog::Accepted;
}

void FtpSettingsDialog::save() {
    SettingsStore& s = Settings();
    SettingsStore::Batch batch(s);
    s.PutInt("FTP", "Logging", logging_->isChecked() ? 1 : 0);
    s.PutString("FTP", "LogFile", logFile_->text().toStdString());
    for (int i = 0; i < 3; ++i) {
        if (types_[static_cast<size_t>(i)]->isChecked())
            s.PutInt("FTP", "XferType", i + 1);
    }
    s.PutInt("FTP", "DirUpd", dirUpdate_->isChecked() ? 1 : 0);
    s.PutString("FTP", "Email", email_->text().toStdString());
    s.PutInt("FTP", "Confirm", confirm_->isChecked() ? 1 : 0);
    s.PutInt("FTP", "AlwaysAscii", alwaysAscii_->isChecked() ? 1 : 0);
    s.PutInt("FTP", "AlwaysBinary", alwaysBinary_->isChecked() ? 1 : 0);
    s.PutInt("FTP", "Passive", passive_->isChecked() ? 1 : 0);
    s.PutInt("FTP", "LimitRate", limitRate_->isChecked() ? 1 : 0);
    s.PutInt("FTP", "RateLimit", rate_->value());
    accept();
}

} // namespace km
