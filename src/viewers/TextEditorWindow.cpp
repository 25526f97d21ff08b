#include "viewers/TextEditorWindow.h"

#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/WindowRectMemory.h"
#include "viewers/AtomicSave.h"
#include "viewers/FindReplaceDialog.h"
#include "viewers/TextLoader.h"
#include "viewers/TextSearch.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace km {
namespace {

constexpr const char* kSection = "FileEdit";

std::vector<TextEditorWindow*>& Registry() {
    static std::vector<TextEditorWindow*> windows;
    return windows;
}

QString DisplayPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathBytes(const QString& name) {
    const QByteArray bytes = QFile::encodeName(name);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void ShowSystemError(int err) {
    ShowMessage(std::strerror(err), MbOk | MbIconStop);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

} // namespace

TextEditorWindow::FileChooser TextEditorWindow::ChooseFile = [](QWidget* parent, bool forSave,
                                                                const std::string& initial) {
    const QString start = DisplayPath(initial);
    const QString chosen = forSave ? QFileDialog::getSaveFileName(parent, QString(), start)
                                   : QFileDialog::getOpenFileName(parent, QString(), start);
    return chosen.isEmpty() ? std::nullopt : std::optional<std::string>(PathBytes(chosen));
};

TextEditorWindow* TextEditorWindow::Open(const std::string& path, bool viewOnly, bool newFile) {
    auto* w = new TextEditorWindow(path, viewOnly);
    // A useful size, centred, unless all editor windows' last rectangle is stored.
    w->resize(720, 520);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        w->move(screen->availableGeometry().center() - w->rect().center());
    RestoreWindowRect(w, Settings());
    if (QWidget* main = MessageOwner())
        main->raise();
    w->show();
    w->raise();
    w->activateWindow();
    if (!newFile)
        w->startLoading();
    return w;
}

std::vector<TextEditorWindow*> TextEditorWindow::OpenWindows() {
    return Registry();
}

void TextEditorWindow::CloseAllForShutdown(bool ask) {
    const std::vector<TextEditorWindow*> windows = Registry();
    const std::string_view question = LoadString(4410);
    for (TextEditorWindow* w : windows) {
        if (ask && w->isChanged()) {
            QMessageBox box(
                QMessageBox::Question, QStringLiteral("KM - ") + DisplayPath(w->path_),
                QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                QMessageBox::Yes | QMessageBox::No, w);
            box.setObjectName(QStringLiteral("MESSAGEBOX"));
            if (box.exec() == QMessageBox::Yes && !w->save())
                continue; // the edits would be lost; the window stays for another try
        }
        w->shutdownAnswered_ = true;
        w->close();
    }
}

bool TextEditorWindow::AskToSaveChanged() {
    for (TextEditorWindow* w : Registry()) {
        if (!w->isChanged())
            continue;
        w->raise();
        switch (ShowMessage(LoadString(4410), MbYesNoCancel | MbIconQuestion)) {
        case IdYes:
            if (!w->save())
                return false;
            break;
        case IdNo: break;
        default: return false;
        }
    }
    return true;
}

std::vector<RecoveredText> TextEditorWindow::KeepChangedForRecovery(std::string& error) {
    std::vector<UnsavedText> texts;
    std::vector<TextEditorWindow*> changed;
    for (TextEditorWindow* w : Registry()) {
        if (w->isChanged()) {
            texts.push_back({w->path_, w->encodedText()});
            changed.push_back(w);
        }
    }
    std::vector<RecoveredText> kept;
    if (const int err = KeepForRecovery(RecoveryDirectory(), texts, kept))
        error = std::strerror(err);
    for (size_t i = 0; i < kept.size(); ++i)
        changed[i]->edit_->document()->setModified(false);
    return kept;
}

TextEditorWindow::TextEditorWindow(std::string path, bool viewOnly)
    : path_(std::move(path)), viewOnly_(viewOnly) {
    setObjectName(QStringLiteral("REDIT"));
    setAttribute(Qt::WA_DeleteOnClose);
    Registry().push_back(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 0, 2, 2);
    edit_ = new QPlainTextEdit(central);
    edit_->setObjectName(QStringLiteral("edit2660"));
    edit_->setTabChangesFocus(false);
    edit_->setCenterOnScroll(false);
    edit_->installEventFilter(this);
    layout->addWidget(edit_);
    setCentralWidget(central);

    SettingsStore& store = Settings();
    font_ = ReadEditorFont(store);
    applyFont();
    wordWrap_ = store.GetInt(kSection, "WordWrap", 0) == 1;
    findText_ = QString::fromStdString(store.GetString("ZoekReeksen", "Reeks1", ""));
    buildMenus();
    // Before any text arrives, so a large file is not laid out twice.
    applyWordWrap();
    setTitle(viewOnly_ ? QStringLiteral("KM Viewer - ") : QStringLiteral("KM Editor - "));
    setInteraction();
    edit_->document()->setModified(false);
    connect(edit_->document(), &QTextDocument::modificationChanged, this,
            &TextEditorWindow::updateTitle);

    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &QWidget::close);
}

TextEditorWindow::~TextEditorWindow() {
    auto& windows = Registry();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

bool TextEditorWindow::isChanged() const {
    return !viewOnly_ && edit_->document()->isModified();
}

void TextEditorWindow::setTitle(const QString& prefix) {
    titlePrefix_ = prefix;
    updateTitle();
}

void TextEditorWindow::setShownName(const QString& name) {
    shownName_ = name;
    updateTitle();
}

void TextEditorWindow::updateTitle() {
    // The mark follows the title so the prefix stays as it is; a file still
    // arriving is not an edit.
    const bool mark = isChanged() && !loader_;
    setWindowTitle(titlePrefix_ + (shownName_.isEmpty() ? DisplayPath(path_) : shownName_) +
                   (mark ? QStringLiteral(" *") : QString()));
}

void TextEditorWindow::applyFont() {
    const QFont f = EditorFontToQFont(font_);
    edit_->setFont(f);
    edit_->setTabStopDistance(QFontMetricsF(f).horizontalAdvance(QLatin1Char(' ')) * 8);
}

void TextEditorWindow::applyWordWrap() {
    edit_->setLineWrapMode(wordWrap_ ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    if (QAction* a = command(CmdEditorWordWrap))
        a->setChecked(wordWrap_);
}

QAction* TextEditorWindow::command(int id) const {
    const auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : it->second;
}

void TextEditorWindow::setInteraction() {
    // The viewer, and the editor while its file is still arriving, keep a
    // keyboard caret and selection so Find and Copy still work.
    const bool readOnly = viewOnly_ || loader_ || loadIncomplete_;
    edit_->setReadOnly(readOnly);
    edit_->setTextInteractionFlags(readOnly
                                       ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                       : Qt::TextEditorInteraction);
}

QAction* TextEditorWindow::addCommand(QMenu* menu, int id, const QString& text) {
    auto* action = menu->addAction(text);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    action->setData(id);
    commands_[id] = action;
    return action;
}

void TextEditorWindow::buildMenus() {
    // Menu 103. The viewer leaves out everything that would change the text.
    // Keys after a tab are the text control's own; only F3, Ctrl+F and
    // Ctrl+H are window shortcuts (accelerator table 103).
    const bool edit = !viewOnly_;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    if (edit) {
        QAction* save = addCommand(file, CmdEditorSave, QStringLiteral("&Save"));
        save->setShortcut(QKeySequence::Save);
        connect(save, &QAction::triggered, this, &TextEditorWindow::save);
    }
    connect(addCommand(file, CmdEditorSaveAs, QStringLiteral("Save &as...")), &QAction::triggered,
            this, &TextEditorWindow::saveAs);
    file->addSeparator();
    connect(addCommand(file, CmdEditorExit, QStringLiteral("E&xit")), &QAction::triggered, this,
            &QWidget::close);

    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    connect(addCommand(editMenu, CmdEditorUndo, QStringLiteral("Undo\tCtrl+Z")),
            &QAction::triggered, this, &TextEditorWindow::undo);
    editMenu->addSeparator();
    if (edit)
        connect(addCommand(editMenu, CmdEditorCut, QStringLiteral("Cut\tCtrl+X")),
                &QAction::triggered, edit_, &QPlainTextEdit::cut);
    connect(addCommand(editMenu, CmdEditorCopy, QStringLiteral("Copy\tCtrl+C")),
            &QAction::triggered, edit_, &QPlainTextEdit::copy);
    connect(addCommand(editMenu, CmdEditorCopyToFile, QStringLiteral("Copy &to file")),
            &QAction::triggered, this, &TextEditorWindow::copyToFile);
    if (edit) {
        connect(addCommand(editMenu, CmdEditorPaste, QStringLiteral("Paste\tCtrl+V")),
                &QAction::triggered, edit_, &QPlainTextEdit::paste);
        connect(addCommand(editMenu, CmdEditorPasteFromFile, QStringLiteral("Paste &from file")),
                &QAction::triggered, this, &TextEditorWindow::pasteFromFile);
        connect(addCommand(editMenu, CmdEditorDelete, QStringLiteral("Delete\tDel")),
                &QAction::triggered, this, [this] {
                    if (!edit_->isReadOnly())
                        edit_->textCursor().removeSelectedText();
                });
    }
    editMenu->addSeparator();
    connect(addCommand(editMenu, CmdEditorSelectAll, QStringLiteral("Select All\tCtrl+A")),
            &QAction::triggered, edit_, &QPlainTextEdit::selectAll);

    QMenu* search = menuBar()->addMenu(QStringLiteral("&Search"));
    QAction* find = addCommand(search, CmdEditorFind, QStringLiteral("Find..."));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this, [this] { openSearchDialog(false); });
    QAction* next = addCommand(search, CmdEditorFindNext, QStringLiteral("Find Next"));
    next->setShortcut(QKeySequence(Qt::Key_F3));
    connect(next, &QAction::triggered, this, [this] {
        if (findText_.isEmpty())
            openSearchDialog(false); // nothing to search again for yet
        else
            findNext(false);
    });
    if (edit) {
        QAction* replace = addCommand(search, CmdEditorReplace, QStringLiteral("Replace..."));
        replace->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
        connect(replace, &QAction::triggered, this, [this] { openSearchDialog(true); });
    }

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    connect(addCommand(options, CmdEditorFont, QStringLiteral("&Font...")), &QAction::triggered,
            this, &TextEditorWindow::chooseFont);
    QAction* wrap = addCommand(options, CmdEditorWordWrap, QStringLiteral("&Word Wrap"));
    wrap->setCheckable(true);
    connect(wrap, &QAction::triggered, this, &TextEditorWindow::toggleWordWrap);

    for (QMenu* menu : {file, editMenu, search, options}) {
        connect(menu, &QMenu::aboutToShow, this, &TextEditorWindow::updateMenuState);
        // Shortcuts must not stay greyed by a state that has moved on; every
        // command checks its own preconditions.
        connect(menu, &QMenu::aboutToHide, this, &TextEditorWindow::enableAllCommands);
    }
}

void TextEditorWindow::updateMenuState() {
    const bool empty = edit_->document()->isEmpty();
    const bool selected = edit_->textCursor().hasSelection();
    const bool loading = loader_ != nullptr;
    auto set = [this](int id, bool enabled) {
        if (QAction* a = command(id))
            a->setEnabled(enabled);
    };
    set(CmdEditorFind, !empty);
    set(CmdEditorReplace, !empty && !loading);
    for (int id : {CmdEditorCut, CmdEditorDelete})
        set(id, selected && !loading);
    for (int id : {CmdEditorCopy, CmdEditorCopyToFile})
        set(id, selected);
    set(CmdEditorUndo, edit_->document()->isUndoAvailable());
    set(CmdEditorPaste, !loading && edit_->canPaste());
    set(CmdEditorPasteFromFile, !loading);
    // Saving before the whole file has arrived would cut it short.
    set(CmdEditorSave, !loading && !loadIncomplete_);
    set(CmdEditorSaveAs, !loading);
    if (QAction* a = command(CmdEditorWordWrap))
        a->setChecked(wordWrap_);
}

void TextEditorWindow::enableAllCommands() {
    for (auto& [id, action] : commands_)
        action->setEnabled(true);
}

bool TextEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo)) {
        undo();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TextEditorWindow::closeEvent(QCloseEvent* event) {
    if (!shutdownAnswered_ && isChanged()) {
        // The question belongs to the main window, which comes up with it;
        // the text the user kept open must come back in front.
        const auto stay = [this, event] {
            event->ignore();
            raise();
            activateWindow();
        };
        switch (ShowMessage(LoadString(4410), MbYesNoCancel | MbIconQuestion)) {
        case IdYes:
            if (!save()) {
                stay();
                return;
            }
            break;
        case IdNo:
            break;
        default:
            stay();
            return;
        }
    }
    if (searchDialog_)
        searchDialog_->close();
    if (App().store)
        SaveWindowRect(this, *App().store);
    event->accept();
}

// ---- loading ----------------------------------------------------------

void TextEditorWindow::startLoading() {
    auto loader = std::make_unique<TextLoader>();
    // Connected before the worker starts, or its first signal could be lost.
    connect(loader.get(), &TextLoader::piecesAvailable, this, &TextEditorWindow::insertPieces,
            Qt::QueuedConnection);
    if (const int err = loader->start(path_)) {
        ShowSystemError(err);
        return;
    }
    loader_ = std::move(loader);
    // Loading is not an edit: nothing to undo, and no edits meanwhile.
    edit_->document()->setUndoRedoEnabled(false);
    setInteraction();
}

void TextEditorWindow::insertPieces() {
    DecodedText piece;
    bool last = false;
    if (!loader_ || !loader_->take(piece, last))
        return;
    const QTextCursor before = edit_->textCursor();
    QTextCursor end(edit_->document());
    end.movePosition(QTextCursor::End);
    insertDecoded(end, piece);
    // A caret at the end would be carried along by every piece.
    if (edit_->textCursor() != before || firstPiecePending_) {
        QTextCursor keep(edit_->document());
        keep.setPosition(firstPiecePending_ ? 0 : before.anchor());
        keep.setPosition(firstPiecePending_ ? 0 : before.position(), QTextCursor::KeepAnchor);
        edit_->setTextCursor(keep);
    }
    if (firstPiecePending_) {
        firstPiecePending_ = false;
        emit firstPieceShown();
    }
    if (last) {
        finishLoading();
        return;
    }
    // One piece per turn of the event loop, so input and painting go on.
    QMetaObject::invokeMethod(this, &TextEditorWindow::insertPieces, Qt::QueuedConnection);
}

void TextEditorWindow::finishLoading() {
    const int err = loader_->finishedError();
    loader_.reset();
    edit_->document()->setUndoRedoEnabled(true);
    edit_->document()->setModified(false);
    if (err)
        loadIncomplete_ = true;
    setInteraction();
    updateTitle();
    if (err)
        ShowSystemError(err);
    emit loadFinished();
}

// Block states hold the line end that follows the block, where it differs
// from defaultEnd_; -1 (Qt's default) means defaultEnd_.
void TextEditorWindow::insertDecoded(QTextCursor& cursor, const DecodedText& piece) {
    if (!defaultEndKnown_ && !piece.ends.empty()) {
        defaultEnd_ = piece.ends.front();
        defaultEndKnown_ = true;
    }
    const int firstBlock = cursor.blockNumber();
    const int carried = cursor.block().userState();
    cursor.insertText(piece.text);
    const auto differs = [this](LineEnd e) { return e != defaultEnd_; };
    if (carried == -1 && std::none_of(piece.ends.begin(), piece.ends.end(), differs))
        return;
    // The block split first keeps its state, so each one is set explicitly;
    // the last takes over the line end of the block the text went into.
    QTextBlock block = edit_->document()->findBlockByNumber(firstBlock);
    for (LineEnd e : piece.ends) {
        block.setUserState(differs(e) ? static_cast<int>(e) : -1);
        block = block.next();
    }
    block.setUserState(carried);
}

LineEnd TextEditorWindow::lineEndOf(int blockState) const {
    if (blockState >= 0 && blockState <= static_cast<int>(LineEnd::Cr))
        return static_cast<LineEnd>(blockState);
    return defaultEnd_;
}

std::string TextEditorWindow::encodeRange(int from, int to) const {
    std::string out;
    for (QTextBlock b = edit_->document()->findBlock(from); b.isValid() && b.position() <= to;
         b = b.next()) {
        const int start = b.position();
        const int separator = start + b.length() - 1;
        const int s = std::max(from, start) - start;
        const int e = std::min(to, separator) - start;
        if (e > s)
            AppendEncoded(QStringView(b.text()).mid(s, e - s), out);
        if (separator < to && b.next().isValid())
            out.append(LineEndBytes(lineEndOf(b.userState())));
    }
    return out;
}

std::string TextEditorWindow::encodedText() const {
    return encodeRange(0, edit_->document()->characterCount() - 1);
}

QString TextEditorWindow::plainText() const {
    // Raw text keeps every character at its cursor position (toPlainText
    // would turn no-break spaces into spaces).
    QString text = edit_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// ---- file commands ----------------------------------------------------

bool TextEditorWindow::save() {
    if (loader_ || loadIncomplete_)
        return false;
    if (const int err = SaveFileAtomically(path_, encodedText())) {
        ShowSystemError(err);
        return false;
    }
    edit_->document()->setModified(false);
    return true;
}

void TextEditorWindow::saveAs() {
    if (loader_)
        return;
    const std::optional<std::string> chosen = ChooseFile(this, true, path_);
    if (!chosen)
        return;
    path_ = *chosen;
    shownName_.clear();
    save();
    setTitle(QStringLiteral("KM - "));
}

void TextEditorWindow::copyToFile() {
    const QTextCursor selection = edit_->textCursor();
    if (!selection.hasSelection())
        return;
    const std::optional<std::string> chosen = ChooseFile(this, true, std::string());
    if (!chosen)
        return;
    const std::string bytes = encodeRange(selection.selectionStart(), selection.selectionEnd());
    if (SaveFileAtomically(*chosen, bytes) != 0)
        ShowWarning(4198);
}

void TextEditorWindow::pasteFromFile() {
    if (viewOnly_ || loader_ || loadIncomplete_)
        return;
    const std::optional<std::string> chosen = ChooseFile(this, false, std::string());
    if (!chosen)
        return;
    std::string bytes;
    if (!ReadWholeFile(*chosen, bytes)) {
        ShowWarning(4197);
        return;
    }
    QTextCursor cursor = edit_->textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertDecoded(cursor, DecodeLossless(bytes));
    cursor.endEditBlock();
    edit_->setTextCursor(cursor);
    edit_->document()->setModified(true);
}

void TextEditorWindow::undo() {
    if (viewOnly_ || !edit_->document()->isUndoAvailable())
        return;
    edit_->undo();
    edit_->document()->setModified(true);
}

// ---- searching --------------------------------------------------------

void TextEditorWindow::openSearchDialog(bool replace) {
    if (edit_->document()->isEmpty() || (replace && (viewOnly_ || loader_)))
        return;
    const QTextCursor cursor = edit_->textCursor();
    if (cursor.hasSelection()) {
        findText_ = cursor.selectedText();
        findText_.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    }
    if (searchDialog_ && searchDialog_->isReplace() != replace)
        searchDialog_->deleteLater();
    if (!searchDialog_ || searchDialog_->isReplace() != replace) {
        searchDialog_ = new FindReplaceDialog(replace, this);
        searchDialog_->setAttribute(Qt::WA_DeleteOnClose);
        connect(searchDialog_, &FindReplaceDialog::findNextRequested, this, [this] {
            takeDialogTexts();
            findNext(true);
        });
        connect(searchDialog_, &FindReplaceDialog::replaceRequested, this, [this] {
            takeDialogTexts();
            replaceOne();
        });
        connect(searchDialog_, &FindReplaceDialog::replaceAllRequested, this, [this] {
            takeDialogTexts();
            replaceAll();
        });
    }
    searchDialog_->setTexts(findText_, replaceText_, matchCase_);
    searchDialog_->show();
    searchDialog_->raise();
    searchDialog_->activateWindow();
}

void TextEditorWindow::takeDialogTexts() {
    if (!searchDialog_)
        return;
    findText_ = searchDialog_->findText();
    replaceText_ = searchDialog_->replaceText();
    matchCase_ = searchDialog_->matchCase();
}

void TextEditorWindow::selectRange(qsizetype from, qsizetype length) {
    QTextCursor c = edit_->textCursor();
    c.setPosition(static_cast<int>(from));
    c.setPosition(static_cast<int>(from + length), QTextCursor::KeepAnchor);
    edit_->setTextCursor(c);
}

bool TextEditorWindow::findNext(bool fromDialog) {
    const QTextCursor cursor = edit_->textCursor();
    const qsizetype at = FindTextFrom(plainText(), findText_,
                                      FindNextStart(cursor.selectionStart(), cursor.selectionEnd()),
                                      matchCase_ ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (at < 0) {
        ShowWarning(4400);
        return false;
    }
    selectRange(at, findText_.size());
    if (fromDialog)
        keepDialogClearOf(edit_->textCursor());
    return true;
}

void TextEditorWindow::keepDialogClearOf(const QTextCursor& match) {
    if (!searchDialog_ || !searchDialog_->isVisible())
        return;
    QTextCursor start = match;
    start.setPosition(match.selectionStart());
    const QRect local = edit_->cursorRect(start);
    const QRect onScreen(edit_->viewport()->mapToGlobal(local.topLeft()), local.size());
    const QScreen* screen = searchDialog_->screen();
    if (!screen)
        return;
    if (const auto pos = DialogPositionAvoiding(searchDialog_->frameGeometry(), onScreen,
                                                screen->availableGeometry()))
        searchDialog_->move(*pos);
}

void TextEditorWindow::replaceOne() {
    if (viewOnly_ || loader_ || findText_.isEmpty())
        return;
    const Qt::CaseSensitivity cs = matchCase_ ? Qt::CaseSensitive : Qt::CaseInsensitive;
    QTextCursor cursor = edit_->textCursor();
    if (!cursor.hasSelection()) {
        const qsizetype at = FindTextFrom(plainText(), findText_, cursor.position(), cs);
        if (at < 0) {
            ShowWarning(4400);
            return;
        }
        selectRange(at, findText_.size());
        cursor = edit_->textCursor();
    }
    cursor.insertText(replaceText_);
    edit_->setTextCursor(cursor);
    const qsizetype next = FindTextFrom(plainText(), findText_, cursor.position(), cs);
    if (next >= 0)
        selectRange(next, findText_.size());
}

void TextEditorWindow::replaceAll() {
    if (viewOnly_ || loader_ || findText_.isEmpty())
        return;
    const Qt::CaseSensitivity cs = matchCase_ ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QList<qsizetype> matches =
        MatchPositions(plainText(), findText_, edit_->textCursor().selectionStart(), cs);
    if (matches.isEmpty()) {
        ShowWarning(4400);
        return;
    }
    // Each replacement is its own undo step; later positions shift by the
    // difference in length of the ones before.
    QTextCursor cursor(edit_->document());
    const qsizetype delta = replaceText_.size() - findText_.size();
    qsizetype shift = 0;
    for (qsizetype at : matches) {
        cursor.setPosition(static_cast<int>(at + shift));
        cursor.setPosition(static_cast<int>(at + shift + findText_.size()),
                           QTextCursor::KeepAnchor);
        cursor.insertText(replaceText_);
        shift += delta;
    }
    edit_->setTextCursor(cursor);
}

// ---- options ----------------------------------------------------------

void TextEditorWindow::chooseFont() {
    const std::optional<QFont> chosen = EditorFontPicker(this, edit_->font());
    if (!chosen)
        return;
    font_ = EditorFontFromQFont(*chosen, font_.charSet);
    applyFont();
    WriteEditorFont(Settings(), font_);
}

void TextEditorWindow::toggleWordWrap() {
    wordWrap_ = !wordWrap_;
    applyWordWrap();
    Settings().PutInt(kSection, "WordWrap", wordWrap_ ? 1 : 0);
    edit_->viewport()->update();
}

} // namespace km
