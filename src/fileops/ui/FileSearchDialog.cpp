#include "fileops/ui/FileSearchDialog.h"

#include "ui_services/LosslessText.h"

#include "fileops/FileSearch.h"
#include "fileops/SearchHistory.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "fileops/ui/QtFileOpUi.h"
#include "panels/FilePanel.h"
#include "platform/PathUtil.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/PanelMessage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {
namespace {

constexpr int kPatternMax = 259;

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QPushButton* button(QWidget* parent, const char* text, int id) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QStringLiteral("button%1").arg(id));
    b->setAutoDefault(false);
    return b;
}

} // namespace

FileSearchDialog::FileSearchDialog(FilePanel& panel, QWidget* mainWindow)
    : QDialog(mainWindow), panel_(panel), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("FILESEARCH"));
    setWindowTitle(QStringLiteral("KM - Search file"));
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(QStringLiteral("Found files:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list1470"));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setMinimumHeight(160);
    layout->addWidget(list_);

    auto* grid = new QGridLayout;
    pattern_ = new QLineEdit(this);
    pattern_->setObjectName(QStringLiteral("edit1480"));
    pattern_->setMaxLength(kPatternMax);
    text_ = new QComboBox(this);
    text_->setObjectName(QStringLiteral("combo1490"));
    text_->setEditable(true);
    text_->setInsertPolicy(QComboBox::NoInsert);
    auto* patternLabel = new QLabel(QStringLiteral("File specification:"), this);
    patternLabel->setBuddy(pattern_);
    auto* textLabel = new QLabel(QStringLiteral("Search text:"), this);
    textLabel->setBuddy(text_);
    grid->addWidget(patternLabel, 0, 0);
    grid->addWidget(pattern_, 0, 1);
    grid->addWidget(textLabel, 1, 0);
    grid->addWidget(text_, 1, 1);
    layout->addLayout(grid);

    subdirs_ = new QCheckBox(QStringLiteral("Search in subdirectories"), this);
    subdirs_->setObjectName(QStringLiteral("check1510"));
    caseInsensitive_ = new QCheckBox(QStringLiteral("Case insensitive"), this);
    caseInsensitive_->setObjectName(QStringLiteral("check1520"));
    layout->addWidget(subdirs_);
    layout->addWidget(caseInsensitive_);

    auto* row = new QHBoxLayout;
    search_ = button(this, "&Search", 1500);
    newSearch_ = button(this, "&New search", 3020);
    execute_ = button(this, "E&xecute", 1350);
    edit_ = button(this, "&Edit", 1180);
    goThere_ = button(this, "&Go there", 2440);
    auto* cancel = button(this, "Cancel", 2);
    cancel->setObjectName(QStringLiteral("cancel"));
    for (QPushButton* b : {search_, newSearch_, execute_, edit_, goThere_, cancel})
        row->addWidget(b);
    layout->addLayout(row);

    connect(search_, &QPushButton::clicked, this, &FileSearchDialog::search);
    connect(newSearch_, &QPushButton::clicked, this, &FileSearchDialog::newSearch);
    connect(execute_, &QPushButton::clicked, this, &FileSearchDialog::execute);
    connect(edit_, &QPushButton::clicked, this, &FileSearchDialog::edit);
    connect(goThere_, &QPushButton::clicked, this, &FileSearchDialog::goThere);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &FileSearchDialog::execute);
    // Typing a new search makes Search the answer to Enter again.
    connect(pattern_, &QLineEdit::textEdited, this, [this] { makeDefault(search_); });
    connect(text_, &QComboBox::editTextChanged, this, [this] { makeDefault(search_); });

    pattern_->setText(NameToText(defaultPattern()));
    pattern_->selectAll();
    reloadHistory();
    text_->setEditText(QString());
    setResultButtons(false);
    subdirs_->setChecked(true);
    caseInsensitive_->setChecked(true);
    const SavedSearch saved = ReadSavedSearch(Settings());
    if (!saved.results.empty()) {
        for (const std::string& r : saved.results)
            list_->addItem(NameToText(r));
        pattern_->setText(NameToText(saved.pathPattern));
        text_->setEditText(qs(saved.text));
        setResultButtons(true);
        newSearch_->setEnabled(true);
    }
    makeDefault(search_);
}

void FileSearchDialog::Run(FilePanel& panel, QWidget* mainWindow) {
    if (panel.listing().isFtp()) {
        ShowWarning(4480);
        return;
    }
    HelpContextScope help(CmdSearch);
    FileSearchDialog dlg(panel, mainWindow);
    dlg.exec();
}

std::string FileSearchDialog::defaultPattern() const {
    const std::string& path = panel_.listing().path;
    return path + (!path.empty() && path.back() == '/' ? "*.*" : "/*.*");
}

void FileSearchDialog::reloadHistory() {
    const QString typed = text_->currentText();
    text_->clear();
    for (const std::string& h : ReadSearchHistory(Settings()))
        text_->addItem(qs(h));
    text_->setEditText(typed);
}

void FileSearchDialog::setResultButtons(bool enabled) {
    newSearch_->setEnabled(false);
    edit_->setEnabled(enabled);
    execute_->setEnabled(enabled);
    goThere_->setEnabled(enabled);
}

void FileSearchDialog::makeDefault(QPushButton* b) {
    for (QPushButton* other : {search_, goThere_})
        other->setDefault(other == b);
}

void FileSearchDialog::search() {
    list_->clear();
    SettingsStore& s = Settings();
    SearchRequest request;
    request.pathPattern = NameFromText(pattern_->text().left(kPatternMax));
    request.currentDir = panel_.listing().path;
    request.text = SearchTextOf(text_->currentText().toStdString());
    request.caseInsensitive = caseInsensitive_->isChecked();
    request.subdirectories = subdirs_->isChecked();
    request.showHidden = s.GetInt("Algemeen", "Hidden", 0) == 1;
    request.showSystem = s.GetInt("Algemeen", "System", 0) == 1;

    App().cancelFlag = false;
    SearchOutcome outcome;
    {
        QtFileOpUi ui(this, ProgressKind::Search, LoadString(4220).data());
        if (!request.text.empty()) {
            AddSearchText(s, request.text);
            reloadHistory();
            text_->setCurrentIndex(0);
        }
        outcome = SearchFiles(request, ui);
    }
    if (outcome.found.empty()) {
        ShowWarning(4180);
        return;
    }
    for (const std::string& f : outcome.found)
        list_->addItem(NameToText(f));
    setResultButtons(true);
    list_->setCurrentRow(0);
    list_->setFocus();
    makeDefault(goThere_);
}

void FileSearchDialog::newSearch() {
    reloadHistory();
    list_->clear();
    setResultButtons(false);
    pattern_->setText(NameToText(defaultPattern()));
    pattern_->selectAll();
    subdirs_->setChecked(true);
    caseInsensitive_->setChecked(true);
    pattern_->setFocus();
    makeDefault(search_);
}

std::string FileSearchDialog::selectedResult() const {
    const QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? NameFromText(item->text()) : std::string();
}

void FileSearchDialog::execute() {
    const std::string path = selectedResult();
    if (!path.empty())
        ExecuteByAssociation(path, ParentPath(path));
}

void FileSearchDialog::edit() {
    const std::string path = selectedResult();
    if (!path.empty())
        EditFile(path, mainWindow_, false, ParentPath(path));
}

void FileSearchDialog::goThere() {
    const std::string path = selectedResult();
    if (path.empty())
        return;
    PanelListing& li = panel_.listing();
    li.ClearCursorMemory();
    if (panel_.ChangeDirectory(ParentPath(path))) {
        FilePanel& panel = panel_;
        panel_.WhenRead([&panel, name = std::string(BaseName(path))] {
            if (panel.listing().FocusFileByName(name))
                panel.MoveCursor(panel.listing().cursor());
        });
        PostPanelMessage(mainWindow_, PmDirectoryChanged, panel_.controlId());
    }
    SavedSearch saved;
    for (int i = 0; i < list_->count(); ++i)
        saved.results.push_back(NameFromText(list_->item(i)->text()));
    saved.pathPattern = NameFromText(pattern_->text());
    saved.text = SearchTextOf(text_->currentText().toStdString());
    SaveSearch(Settings(), saved);
    accept();
}

} // namespace km
