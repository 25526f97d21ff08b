#include "ftp/ui/FtpSitesDialog.h"

#include "ftp/FtpSiteBook.h"
#include "ftp/ui/FtpSiteFields.h"
#include "platform/PathUtil.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/MessageBoxes.h"
#include "viewers/TextEditorWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <strings.h>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QPushButton* button(QWidget* parent, const char* text, int id) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QStringLiteral("button%1").arg(id));
    b->setAutoDefault(false);
    return b;
}

} // namespace

FtpSitesDialog::FtpSitesDialog(QWidget* parent, FtpConnectUi& ui, std::function<std::string()> currentDir)
    : QDialog(parent), ui_(ui), currentDir_(std::move(currentDir)) {
    setObjectName(QStringLiteral("FTPSITES"));
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list2720"));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    left->addWidget(list_);
    auto* buttons = new QGridLayout;
    auto* addB = button(this, "&Add...", 1420);
    delete_ = button(this, "&Delete", 1220);
    connect_ = button(this, "&Connect", 2730);
    disconnect_ = button(this, "Di&sconnect", 2740);
    showLog_ = button(this, "Show &Log", 3260);
    auto* doneB = button(this, "D&one", 1);
    doneB->setDefault(true);
    const QList<QPushButton*> all = {addB, delete_, connect_, disconnect_, showLog_, doneB};
    for (int i = 0; i < all.size(); ++i)
        buttons->addWidget(all[i], i / 2, i % 2);
    left->addLayout(buttons);
    layout->addLayout(left);
    auto* grid = new QGridLayout;
    fields_ = new FtpSiteFields(this, grid, 0, AnonymousPassword(Settings()));
    layout->addLayout(grid);

    connect(list_, &QListWidget::currentRowChanged, this, [this] { loadSelected(); });
    connect(fields_, &FtpSiteFields::anonymousClicked, this, [this](bool on) {
        loaded_.anonymous = on;
        rewriteLoaded();
    });
    connect(fields_, &FtpSiteFields::firewallClicked, this, [this](bool on) {
        loaded_.useFirewall = on;
        if (on)
            loaded_.firewallMode = 1;
        rewriteLoaded();
    });
    connect(addB, &QPushButton::clicked, this, &FtpSitesDialog::add);
    connect(delete_, &QPushButton::clicked, this, &FtpSitesDialog::remove);
    connect(connect_, &QPushButton::clicked, this, &FtpSitesDialog::connectSite);
    connect(disconnect_, &QPushButton::clicked, this, &FtpSitesDialog::disconnectSite);
    connect(showLog_, &QPushButton::clicked, this, &FtpSitesDialog::showLog);
    connect(doneB, &QPushButton::clicked, this, &FtpSitesDialog::finish);

    showLog_->setEnabled(Settings().GetInt("FTP", "Logging", 1) != 0);
    fillList(FtpState().siteName);
    updateTitleAndButtons();
}

void FtpSitesDialog::Ask(QWidget* parent, FtpConnectUi& ui, std::function<std::string()> currentDir) {
    HelpContextScope help(CmdFtpSites);
    FtpSitesDialog dlg(parent, ui, std::move(currentDir));
    dlg.exec();
}

void FtpSitesDialog::fillList(const std::string& select) {
    const QSignalBlocker block(list_);
    list_->clear();
    int row = -1;
    const std::vector<std::string> names = ListFtpSites(Settings());
    for (size_t i = 0; i < names.size(); ++i) {
        list_->addItem(qs(names[i]));
        if (row < 0 && !select.empty() && names[i] == select)
            row = static_cast<int>(i);
    }
    if (row < 0 && !names.empty())
        row = 0;
    list_->setCurrentRow(row);
    loadSelected();
}

void FtpSitesDialog::saveLoaded() {
    if (loadedName_.empty())
        return;
    loaded_ = fields_->Take();
    WriteFtpSite(Settings(), loadedName_, loaded_);
}

void FtpSitesDialog::rewriteLoaded() {
    if (!loadedName_.empty())
        WriteFtpSite(Settings(), loadedName_, loaded_);
}

void FtpSitesDialog::loadSelected() {
    saveLoaded();
    loadedName_.clear();
    loaded_ = FtpSite{};
    fields_->Clear();
    if (const QListWidgetItem* item = list_->currentItem()) {
        loadedName_ = item->text().toStdString();
        if (const auto site = ReadFtpSite(Settings(), loadedName_)) {
            loaded_ = *site;
            fields_->Show(loaded_);
        }
    }
    fields_->SetEditable(!loadedName_.empty());
    updateTitleAndButtons();
}

void FtpSitesDialog::updateTitleAndButtons() {
    // The connected site by its whole name: a site whose name merely begins
    // with it is another site, and can be connected to.
    const std::string& connected = FtpState().siteName;
    const bool active = !connected.empty() && connected == loadedName_;
    connect_->setEnabled(!active && !loadedName_.empty());
    disconnect_->setEnabled(active);
    delete_->setEnabled(!loadedName_.empty());
    setWindowTitle(QString::fromUtf8(LoadString(active ? 4540 : 4550).data()));
}

void FtpSitesDialog::add() {
    NewSiteDialog dlg(this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const std::string name = dlg.name();
    const FtpSite site = dlg.site();
    if (name.empty() || site.address.empty())
        return;
    for (const std::string& existing : ListFtpSites(Settings())) {
        if (strcasecmp(existing.c_str(), name.c_str()) == 0) {
            ShowWarning(4430);
            return;
        }
    }
    saveLoaded();
    loadedName_.clear();
    WriteFtpSite(Settings(), name, site);
    fillList(name);
}

void FtpSitesDialog::remove() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    DeleteFtpSite(Settings(), item->text().toStdString());
    loadedName_.clear(); // nothing is written back
    fillList({});
}

void FtpSitesDialog::connectSite() {
    if (loadedName_.empty())
        return;
    saveLoaded();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ConnectFtpSite(Settings(), loadedName_, currentDir_(), ui_);
    QApplication::restoreOverrideCursor();
    updateTitleAndButtons();
}

void FtpSitesDialog::disconnectSite() {
    saveLoaded();
    DisconnectFtp(ui_);
    updateTitleAndButtons();
}

void FtpSitesDialog::showLog() {
    SettingsStore& s = Settings();
    if (s.GetInt("FTP", "Logging", 1) == 0)
        return;
    const std::string name = s.GetString("FTP", "LogFile", "KMFTPLOG.TXT");
    // A transcript to read, not to edit.
    TextEditorWindow::Open(ResolvePath(currentDir_(), name), true, false);
}

void FtpSitesDialog::finish() {
    if (!fields_->address()->text().isEmpty())
        saveLoaded();
    accept();
}

NewSiteDialog::NewSiteDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NEWSITE"));
    setWindowTitle(QStringLiteral("KM - FTP site properties"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("edit3090"));
    grid->addWidget(new QLabel(QStringLiteral("Site name:"), this), 0, 0);
    grid->addWidget(name_, 0, 1);
    const std::string email = AnonymousPassword(Settings());
    fields_ = new FtpSiteFields(this, grid, 1, email);
    FtpSite initial;
    initial.password = email;
    fields_->Show(initial);
    layout->addLayout(grid);
    AddDialogButtons(this, layout, [this] { accept(); });
}

std::string NewSiteDialog::name() const { return name_->text().toStdString(); }
FtpSite NewSiteDialog::site() const { return fields_->Take(); }

} // namespace km
