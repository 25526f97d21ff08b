// The disk commands and the network-drive commands through the real main
// window: the disk list with a loop volume of our own, its properties, the
// hand-off to a disk utility (recording stand-ins), and connecting and
// disconnecting a drive with a gio stand-in and with the real gvfs.
#include "mainwindow/DiskStationDialog.h"
#include "mainwindow/MainFrame.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "panels/DriveBar.h"
#include "panels/FilePanel.h"
#include "platform/DiskUtility.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/DialogAnswerer.h"
#include "support/EnvScope.h"
#include "support/LoopVolume.h"
#include "support/PrivateGvfsSession.h"
#include "support/Python.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "ui_services/FormatThousands.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace km;

namespace {

std::vector<std::string> splitNul(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nul; (nul = text.find('\0', start)) != std::string::npos; start = nul + 1)
        out.push_back(text.substr(start, nul - start));
    return out;
}

QString fieldText(QDialog* d, const char* name) {
    auto* label = d->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

void click(QDialog* d, const char* name) {
    if (auto* b = d->findChild<QPushButton*>(QString::fromLatin1(name)))
        b->click();
    else
        d->reject();
}

// Runs `during`, answering with OK every message box that shows meanwhile;
// returns the last one's text (empty when none showed).
std::string MessagesDuring(const std::function<void()>& during) {
    auto text = std::make_shared<std::string>();
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != QLatin1String("MESSAGEBOX"))
            return;
        *text = box->text().toStdString();
        box->accept();
    });
    timer.start();
    during();
    return *text;
}

class SystemCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("l").c_str(), 0755);
        mkdir(dir.file("r").c_str(), 0755);
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        store->PutString("Paden", "Links", dir.file("l"));
        store->PutString("Paden", "Rechts", dir.file("r"));
        App().store = store.get();
        mkdir(bin.c_str(), 0755);
        env.set("PATH", bin + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : ""));
    }
    void TearDown() override {
        frame.reset();
        App().store = nullptr;
    }
    void start() {
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
    }
    // A program in the front of $PATH that records its argument vector.
    void recorder(const std::string& name) {
        const std::string script = bin + "/" + name;
        test::WriteAll(script, "#!/bin/sh\nPATH=/usr/bin:/bin\nprintf '%s\\0' \"$0\" \"$@\" > '" +
                                   log() + ".tmp' && mv '" + log() + ".tmp' '" + log() + "'\n");
        chmod(script.c_str(), 0755);
    }
    std::string log() const { return dir.file("argv.log"); }
    // The recorded arguments, once the detached program has written them.
    std::vector<std::string> recorded() {
        struct stat st;
        (void)QTest::qWaitFor([&] { return ::stat(log().c_str(), &st) == 0; }, 5000);
        std::vector<std::string> args = splitNul(test::ReadAll(log()));
        ::unlink(log().c_str());
        return args;
    }
    std::vector<std::string> driveItems(int side) const {
        std::vector<std::string> items;
        for (int i = 0; i < frame->driveBar(side)->count(); ++i)
            items.push_back(frame->driveBar(side)->itemText(i).toStdString());
        return items;
    }

    test::TempDir dir;
    const std::string bin = dir.file("bin");
    test::EnvScope env;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

BlockDevice device(const std::string& name, const std::string& label, bool removable,
                   const std::string& type = "part") {
    BlockDevice d;
    d.name = name;
    d.path = "/dev/" + name;
    d.label = label;
    d.type = type;
    d.removable = removable;
    d.size = 1024;
    return d;
}

} // namespace

TEST_F(SystemCommandsTest, DiskStationDescribesEachKindAndDiskCopyListsOnlyRemovableMedia) {
    BlockDevice cd = device("sr0", "", true, "rom");
    BlockDevice dvd = device("sr1", "DEBIAN 12", true, "rom");
    BlockDevice empty = device("zram0", "", false, "disk");
    empty.size = 0;
    BlockDevice reader = device("sdc", "", true, "disk");
    reader.size = 0; // a card reader without a card is still a drive
    const std::vector<BlockDevice> all = {device("nvme0n1p2", "Home", false), cd,    dvd,
                                          device("sdb1", "STICK", true),      empty, reader,
                                          device("vda", "", false, "disk")};
    const auto texts = [](const DiskStationDialog& d) {
        std::vector<std::string> out;
        auto* list = d.findChild<QListWidget*>("list2500");
        for (int i = 0; i < list->count(); ++i)
            out.push_back(list->item(i)->text().toStdString());
        EXPECT_EQ(list->currentRow(), list->count() > 0 ? 0 : -1);
        return out;
    };
    const DiskStationDialog every(all, false, nullptr);
    EXPECT_EQ(texts(every),
              (std::vector<std::string>{"[-nvme0n1p2-] Home", "[-sr0-] CD-ROM", "[-sr1-] DEBIAN 12",
                                        "[-sdb1-] Removable", "[-sdc-] Removable", "[-vda-]"}));
    const DiskStationDialog copy(all, true, nullptr);
    EXPECT_EQ(texts(copy), (std::vector<std::string>{"[-sdb1-] Removable", "[-sdc-] Removable"}));
}

TEST_F(SystemCommandsTest, AnUnmountedLoopVolumeIsListedAndItsPropertiesShown) {
    test::LoopVolume loop;
    if (loop.device().empty())
        GTEST_SKIP() << loop.skipReason();
    start();
    const std::string name = loop.device().substr(loop.device().rfind('/') + 1);
    std::string item;
    test::WithModal("DISKSTATION", [&](QDialog* d) {
        auto* list = d->findChild<QListWidget*>("list2500");
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().startsWith(QString::fromStdString("[-" + name + "-]"))) {
                list->setCurrentRow(i);
                item = list->item(i)->text().toStdString();
            }
        }
        click(d, item.empty() ? "cancel" : "ok");
    });
    std::map<std::string, QString> shown;
    test::WithModal("DISKPROPERTIES", [&](QDialog* d) {
        for (const char* f : {"device", "fileSystem", "label", "uuid", "size", "used", "free",
                              "mountPoint", "readOnly"})
            shown[f] = fieldText(d, f);
        click(d, "ok");
    });
    frame->OnCommand(CmdDiskProperties);
    EXPECT_EQ(item, "[-" + name + "-] KM Test");
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown["device"].toStdString(), loop.device());
    EXPECT_EQ(shown["fileSystem"], "ext4");
    EXPECT_EQ(shown["label"], "KM Test");
    EXPECT_EQ(shown["uuid"].size(), 36);
    EXPECT_EQ(shown["size"].toStdString(), FormatThousands(test::LoopVolume::kSize) + " bytes");
    EXPECT_EQ(shown["used"], "(not mounted)");
    EXPECT_EQ(shown["free"], "(not mounted)");
    EXPECT_EQ(shown["mountPoint"], "(not mounted)");
    EXPECT_EQ(shown["readOnly"], "No");
}

TEST_F(SystemCommandsTest, FormatAndCopyGoToTheDiskUtilityWithTheirActionOrSayWhatToInstall) {
    // Only our stand-ins and the listing tools: a real disk utility here must not start.
    const std::string lsblk = FindProgram("lsblk"), blkid = FindProgram("blkid");
    if (lsblk.empty())
        GTEST_SKIP() << "lsblk is not installed";
    // Asked of lsblk itself, so an empty disk station is never taken for an empty machine.
    if (test::RunQuietly(
            {"sh", "-c",
             "lsblk -n -b -o SIZE,RM | awk '$1 > 0 || $2 == 1 { d = 1 } END { exit !d }'"}) != 0)
        GTEST_SKIP() << "lsblk lists no disk here";
    env.set("PATH", bin);
    ::symlink(lsblk.c_str(), (bin + "/lsblk").c_str());
    if (!blkid.empty())
        ::symlink(blkid.c_str(), (bin + "/blkid").c_str());
    start();
    std::string chosen;
    const auto chooseFirst = [&] {
        test::WithModal("DISKSTATION", [&](QDialog* d) {
            auto* list = d->findChild<QListWidget*>("list2500");
            chosen = list->count() > 0 ? list->item(0)->text().toStdString() : std::string();
            click(d, list->count() > 0 ? "ok" : "cancel");
        });
    };
    recorder("gnome-disks");
    chooseFirst();
    frame->OnCommand(CmdFormatDisk);
    ASSERT_FALSE(chosen.empty()) << "lsblk lists a disk, the disk station none";
    const std::string name = chosen.substr(2, chosen.find("-]") - 2);
    EXPECT_EQ(recorded(), (std::vector<std::string>{bin + "/gnome-disks", "--block-device",
                                                    "/dev/" + name, "--format-device"}));
    BlockDevice part = device("sdb1", "", true);
    part.parent = "/dev/sdb";
    EXPECT_EQ(DiskUtilityCommand(DiskAction::Copy, part, {}),
              (std::vector<std::string>{bin + "/gnome-disks", "--block-device", "/dev/sdb1"}));

    ::unlink((bin + "/gnome-disks").c_str());
    recorder("partitionmanager");
    EXPECT_EQ(DiskUtilityCommand(DiskAction::Format, part, {}),
              (std::vector<std::string>{bin + "/partitionmanager", "/dev/sdb"}));
    chooseFirst();
    frame->OnCommand(CmdFormatDisk);
    const std::vector<std::string> pm = recorded();
    ASSERT_EQ(pm.size(), 2u);
    EXPECT_EQ(pm[0], bin + "/partitionmanager");

    ::unlink((bin + "/partitionmanager").c_str());
    chooseFirst();
    const std::string message = MessagesDuring([&] { frame->OnCommand(CmdFormatDisk); });
    EXPECT_EQ(message, NoDiskUtilityText());
    EXPECT_NE(message.find("gnome-disk-utility"), std::string::npos);
}

namespace {

// gio in front of $PATH: records its arguments, asks for a user and a
// password as it does for an FTP server, records the answers and fails as
// a server that refuses the login.
void GioStandIn(const std::string& bin, const std::string& dir) {
    const std::string script = bin + "/gio";
    test::WriteAll(script, "#!/bin/sh\nPATH=/usr/bin:/bin\nprintf '%s\\0' \"$@\" > '" + dir +
                               "/gio.argv'\n"
                               "echo 'Authentication Required'\n"
                               "echo 'Enter user and password for “h.example”:'\n"
                               "printf 'User: '; read -r u || exit 2\n"
                               "printf 'Password: '; read -r p || exit 2\necho\n"
                               "printf '%s\\n' \"$u\" \"$p\" > '" +
                               dir +
                               "/gio.answers'\n"
                               "echo 'gio: ftp://h.example/pub: Login incorrect' >&2\nexit 2\n");
    chmod(script.c_str(), 0755);
}

void AnswerConnect(const std::string& location, int* seen = nullptr) {
    test::WithModal("CONNECTNETWORK", [=](QDialog* d) {
        if (seen)
            ++*seen;
        d->findChild<QLineEdit*>("location")->setText(QString::fromStdString(location));
        click(d, "ok");
    });
}

void AnswerLogin(const std::string& user, const std::string& password, bool* hidden = nullptr,
                 bool* domainAsked = nullptr) {
    test::WithModal("NETWORKLOGIN", [=](QDialog* d) {
        auto* p = d->findChild<QLineEdit*>("password");
        if (hidden)
            *hidden = p && p->echoMode() == QLineEdit::Password;
        if (domainAsked)
            *domainAsked = d->findChild<QLineEdit*>("domain") != nullptr;
        if (auto* u = d->findChild<QLineEdit*>("user"))
            u->setText(QString::fromStdString(user));
        if (p)
            p->setText(QString::fromStdString(password));
        click(d, "ok");
    });
}

} // namespace

TEST_F(SystemCommandsTest, ConnectAsksTheLoginGioWantsAndShowsGiosFailure) {
    GioStandIn(bin, dir.path());
    start();
    // What is no network location is refused before gio sees it.
    test::WithModal("CONNECTNETWORK", [&](QDialog* d) {
        d->findChild<QLineEdit*>("location")->setText("nas/share");
        click(d, "ok");
        // The dialog stays for a corrected location.
        QTimer::singleShot(300, d, [d] { click(d, "cancel"); });
    });
    const std::string refused = MessagesDuring([&] { frame->OnCommand(CmdConnectNetwork); });
    EXPECT_NE(refused.find("not a network location"), std::string::npos) << refused;
    EXPECT_FALSE(std::ifstream(dir.file("gio.argv")).good());

    bool hidden = false, domain = true;
    AnswerConnect("ftp://h.example/pub");
    AnswerLogin("joe", "pw", &hidden, &domain);
    const std::string before = frame->activePanel()->listing().path;
    const std::string message = MessagesDuring([&] { frame->OnCommand(CmdConnectNetwork); });
    EXPECT_EQ(splitNul(test::ReadAll(dir.file("gio.argv"))),
              (std::vector<std::string>{"mount", "ftp://h.example/pub"}));
    EXPECT_EQ(test::ReadAll(dir.file("gio.answers")), "joe\npw\n");
    EXPECT_TRUE(hidden);
    EXPECT_FALSE(domain); // not an smb share
    EXPECT_EQ(message, "Network error Login incorrect");
    EXPECT_EQ(frame->activePanel()->listing().path, before);
    EXPECT_TRUE(frame->isEnabled());
}

TEST_F(SystemCommandsTest, ConnectGoesToTheMountInBothDriveBarsAndDisconnectLeavesIt) {
    test::PrivateGvfsSession session;
    if (!session.skipReason().empty())
        GTEST_SKIP() << session.skipReason();
    ASSERT_EQ(session.error(), "");
    start();
    EXPECT_EQ(MessagesDuring([&] { frame->OnCommand(CmdDisconnectNetwork); }),
              "No network drive is connected.");

    AnswerConnect(session.location() + "sub");
    AnswerLogin("joe", "s3cret");
    const std::string failure = MessagesDuring([&] { frame->OnCommand(CmdConnectNetwork); });
    ASSERT_EQ(failure, "") << "the mount failed";
    FilePanel* active = frame->activePanel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !active->reading(); }, 5000));
    EXPECT_EQ(active->listing().path, session.mountDir() + "/sub");
    const std::string item =
        "[-" + session.mountDir() + "-] 127.0.0.1:" + std::to_string(session.port());
    for (int side = 0; side < 2; ++side) {
        const auto items = driveItems(side);
        EXPECT_NE(std::find(items.begin(), items.end(), item), items.end()) << side;
    }

    std::vector<std::string> offered;
    test::WithModal("DISCONNECTNETWORK", [&](QDialog* d) {
        auto* list = d->findChild<QListWidget*>("list");
        for (int i = 0; i < list->count(); ++i)
            offered.push_back(list->item(i)->text().toStdString());
        click(d, "ok");
    });
    frame->OnCommand(CmdDisconnectNetwork);
    EXPECT_EQ(offered, std::vector<std::string>{item});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !active->reading(); }, 5000));
    EXPECT_EQ(active->listing().path, session.home()); // not the place the drive left
    for (int side = 0; side < 2; ++side) {
        const auto items = driveItems(side);
        EXPECT_EQ(std::find(items.begin(), items.end(), item), items.end()) << side;
    }
}
