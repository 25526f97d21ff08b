#include "viewers/TextEditorWindow.h"

#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "viewers/FindReplaceDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace km;
using km::test::ReadAll;
using km::test::TempDir;
using km::test::WriteAll;
using namespace std::string_literals;

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Answers the message boxes that come up, in order, by button text, and
// records what each said.
class MessageBoxAnswers {
public:
    explicit MessageBoxAnswers(QStringList buttons) : buttons_(std::move(buttons)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }
    QStringList texts, titles;

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != QStringLiteral("MESSAGEBOX") || !box->isVisible())
            return;
        texts << box->text();
        titles << box->windowTitle();
        const QString want = buttons_.isEmpty() ? QStringLiteral("OK") : buttons_.takeFirst();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text().remove(QLatin1Char('&')).compare(want, Qt::CaseInsensitive) == 0) {
                b->click();
                return;
            }
        }
        box->reject();
    }
    QStringList buttons_;
    QTimer timer_;
};

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        savedChooser = TextEditorWindow::ChooseFile;
        savedPicker = EditorFontPicker;
    }
    void TearDown() override {
        for (TextEditorWindow* w : TextEditorWindow::OpenWindows()) {
            w->textEdit()->document()->setModified(false);
            delete w;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TextEditorWindow::ChooseFile = savedChooser;
        EditorFontPicker = savedPicker;
        App().store = nullptr;
    }

    TextEditorWindow* open(const std::string& path, bool viewOnly = false, bool newFile = false) {
        TextEditorWindow* w = TextEditorWindow::Open(path, viewOnly, newFile);
        EXPECT_TRUE(WaitFor([w] { return !w->isLoading(); })) << "loading never finished";
        return w;
    }
    std::string write(const std::string& name, const std::string& bytes) {
        WriteAll(dir.file(name), bytes);
        return dir.file(name);
    }
    static void select(TextEditorWindow* w, int from, int to) {
        QTextCursor c = w->textEdit()->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        w->textEdit()->setTextCursor(c);
    }
    static QAction* command(TextEditorWindow* w, int id) {
        return w->findChild<QAction*>(QStringLiteral("cmd%1").arg(id));
    }
    static void run(TextEditorWindow* w, int id) {
        QAction* a = command(w, id);
        ASSERT_NE(a, nullptr) << id;
        a->trigger();
    }
    static FindReplaceDialog* searchDialog(TextEditorWindow* w, bool replace) {
        run(w, replace ? CmdEditorReplace : CmdEditorFind);
        return w->findChild<FindReplaceDialog*>(replace ? QStringLiteral("REPLACE")
                                                        : QStringLiteral("FIND"));
    }
    static void setSearch(FindReplaceDialog* d, const QString& find, const QString& with = {},
                          bool matchCase = false) {
        d->findChild<QLineEdit*>(QStringLiteral("findWhat"))->setText(find);
        if (auto* r = d->findChild<QLineEdit*>(QStringLiteral("replaceWith")))
            r->setText(with);
        d->findChild<QCheckBox*>(QStringLiteral("matchCase"))->setChecked(matchCase);
    }
    static void click(QWidget* d, const char* name) {
        d->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
    static bool closeAndGone(TextEditorWindow* w) {
        QPointer<TextEditorWindow> guard(w);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return guard.isNull();
    }

    TempDir dir;
    std::unique_ptr<SettingsStore> store;
    TextEditorWindow::FileChooser savedChooser;
    EditorFontPickerFn savedPicker;
};

struct FileKind {
    const char* name;
    std::string bytes;
};

class EditorRoundTrip : public EditorWindowTest, public ::testing::WithParamInterface<FileKind> {};

} // namespace

TEST_P(EditorRoundTrip, OpenedAndSavedUnchangedIsByteIdentical) {
    const std::string path = write("file.txt", GetParam().bytes);
    TextEditorWindow* w = open(path);
    EXPECT_FALSE(w->isChanged());
    EXPECT_EQ(w->encodedText(), GetParam().bytes);
    ASSERT_TRUE(w->save());
    EXPECT_EQ(ReadAll(path), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EditorRoundTrip,
    ::testing::Values(FileKind{"lf", "first\nsecond\n"}, FileKind{"crlf", "first\r\nsecond\r\n"},
                      FileKind{"mixed", "a\r\nb\nc\rd\n\r\n"},
                      FileKind{"noFinalNewline", "one\ntwo"},
                      FileKind{"invalidUtf8", "caf\xE9 \xC3\xA9 \xFF\xFE\xED\xA0\x80\n\xF0\x9F"},
                      FileKind{"nulBytes", "a\0b\r\n\0\0"s}, FileKind{"empty", ""},
                      FileKind{"noBreakSpaceAndSeparators", "a\xC2\xA0"
                                                            "b\xE2\x80\xA8\xE2\x80\xA9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorWindowTest, EditsChangeOnlyTheEditedBytes) {
    const std::string path = write("mixed.txt", "a\r\nb\nc\rd\xFF");
    TextEditorWindow* w = open(path);
    EXPECT_EQ(w->windowTitle(), QString::fromStdString("KM Editor - " + path));
    select(w, 2, 2); // start of "b"
    QTest::keyClicks(w->textEdit(), QStringLiteral("X"));
    EXPECT_TRUE(w->isChanged());
    ASSERT_TRUE(w->save());
    EXPECT_FALSE(w->isChanged());
    EXPECT_EQ(ReadAll(path), "a\r\nXb\nc\rd\xFF");

    // A line typed into a CRLF file gets CRLF like the rest.
    const std::string dos = write("dos.txt", "one\r\ntwo\r\n");
    TextEditorWindow* d = open(dos);
    select(d, 3, 3);
    QTest::keyClick(d->textEdit(), Qt::Key_Return);
    QTest::keyClicks(d->textEdit(), QStringLiteral("new"));
    ASSERT_TRUE(d->save());
    EXPECT_EQ(ReadAll(dos), "one\r\nnew\r\ntwo\r\n");
}

TEST_F(EditorWindowTest, LargeFileLoadsInPiecesAndRoundTrips) {
    std::string bytes;
    for (int i = 0; bytes.size() < 6u * 1024 * 1024; ++i)
        bytes += "line " + std::to_string(i) + (i % 3 == 0 ? " \xE2\x82\xAC\r\n" : " \xFF\n");
    const std::string path = write("big.txt", bytes);
    TextEditorWindow* w = TextEditorWindow::Open(path, true, false);
    ASSERT_TRUE(w->isLoading());
    QSignalSpy first(w, &TextEditorWindow::firstPieceShown);
    QSignalSpy finished(w, &TextEditorWindow::loadFinished);
    ASSERT_TRUE(WaitFor([&] { return first.count() == 1; }));
    EXPECT_EQ(finished.count(), 0) << "the first page should not wait for the whole file";
    EXPECT_EQ(w->textEdit()->textCursor().position(), 0);
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    EXPECT_FALSE(w->textEdit()->document()->isUndoAvailable());
    EXPECT_EQ(w->textEdit()->textCursor().position(), 0);
    EXPECT_EQ(w->encodedText(), bytes);

    // Saving part of a file would cut it short; closing mid-load must not hang.
    TextEditorWindow* editor = TextEditorWindow::Open(path, false, false);
    ASSERT_TRUE(editor->isLoading());
    EXPECT_FALSE(editor->save());
    QTest::keyClicks(editor->textEdit(), QStringLiteral("typed"));
    EXPECT_FALSE(editor->isChanged());
    EXPECT_TRUE(closeAndGone(editor));
    EXPECT_EQ(ReadAll(path), bytes);
}

TEST_F(EditorWindowTest, MissingFileReportsAndLeavesAnEmptyUnchangedWindow) {
    MessageBoxAnswers answers({QStringLiteral("OK")});
    TextEditorWindow* w = open(dir.file("absent.txt"));
    ASSERT_EQ(answers.texts.size(), 1);
    EXPECT_EQ(answers.texts[0], QStringLiteral("No such file or directory"));
    EXPECT_TRUE(w->textEdit()->document()->isEmpty());
    EXPECT_FALSE(w->isChanged());
    EXPECT_EQ(w->windowTitle(), QString::fromStdString("KM Editor - " + dir.file("absent.txt")));

    // Edit new reads nothing even when the file exists, and Save creates it.
    const std::string path = write("new.txt", "existing");
    TextEditorWindow* n = open(dir.file("fresh.txt"), false, true);
    TextEditorWindow* m = open(path, false, true);
    EXPECT_TRUE(m->textEdit()->document()->isEmpty());
    QTest::keyClicks(n->textEdit(), QStringLiteral("hello"));
    ASSERT_TRUE(n->save());
    EXPECT_EQ(ReadAll(dir.file("fresh.txt")), "hello");
    EXPECT_EQ(TextEditorWindow::OpenWindows().size(), 3u);
}

TEST_F(EditorWindowTest, ViewerCannotChangeTheTextAndNeverAsksToSave) {
    const std::string path = write("view.txt", "read me");
    TextEditorWindow* w = open(path, true);
    EXPECT_EQ(w->windowTitle(), QString::fromStdString("KM Viewer - " + path));
    QTest::keyClicks(w->textEdit(), QStringLiteral("zz"));
    QTest::keyClick(w->textEdit(), Qt::Key_Delete);
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("read me"));
    for (int id : {CmdEditorSave, CmdEditorCut, CmdEditorPaste, CmdEditorPasteFromFile,
                   CmdEditorDelete, CmdEditorReplace})
        EXPECT_EQ(command(w, id), nullptr) << id;
    for (int id : {CmdEditorSaveAs, CmdEditorCopy, CmdEditorCopyToFile, CmdEditorFind,
                   CmdEditorFindNext, CmdEditorFont, CmdEditorWordWrap})
        EXPECT_NE(command(w, id), nullptr) << id;
    w->textEdit()->document()->setModified(true);
    MessageBoxAnswers answers({});
    EXPECT_TRUE(closeAndGone(w));
    EXPECT_TRUE(answers.texts.isEmpty());
    EXPECT_EQ(ReadAll(path), "read me");
}

TEST_F(EditorWindowTest, FindNextStartsPastTheSelectionStartAndHonoursCase) {
    TextEditorWindow* w = open(write("find.txt", "ab xyab ab"));
    FindReplaceDialog* find = searchDialog(w, false);
    ASSERT_NE(find, nullptr);
    setSearch(find, QStringLiteral("ab"));
    click(find, "findNext"); // caret at 0, nothing selected: the match at 0
    EXPECT_EQ(w->textEdit()->textCursor().selectionStart(), 0);
    EXPECT_EQ(w->textEdit()->textCursor().selectedText(), QStringLiteral("ab"));

    select(w, 5, 7); // the match at 5 itself is skipped
    run(w, CmdEditorFindNext);
    EXPECT_EQ(w->textEdit()->textCursor().selectionStart(), 8);

    // No wrap-around at the end.
    MessageBoxAnswers answers({QStringLiteral("OK")});
    run(w, CmdEditorFindNext);
    ASSERT_EQ(answers.texts, QStringList{QStringLiteral("Text not found")});
    EXPECT_EQ(w->textEdit()->textCursor().selectionStart(), 8);

    setSearch(find, QStringLiteral("AB"), {}, true);
    select(w, 0, 0);
    click(find, "findNext");
    EXPECT_EQ(answers.texts.size(), 2);
    setSearch(find, QStringLiteral("AB"), {}, false);
    click(find, "findNext");
    EXPECT_EQ(w->textEdit()->textCursor().selectionStart(), 0);
}

TEST_F(EditorWindowTest, SelectionBecomesTheFindTextAndTheLastSearchIsTheDefault) {
    store->PutString("ZoekReeksen", "Reeks1", "from search");
    TextEditorWindow* w = open(write("s.txt", "alpha beta"));
    FindReplaceDialog* find = searchDialog(w, false);
    EXPECT_EQ(find->findText(), QStringLiteral("from search"));
    select(w, 6, 10);
    find = searchDialog(w, false);
    EXPECT_EQ(find->findText(), QStringLiteral("beta"));
}

TEST_F(EditorWindowTest, ReplaceAllLeavesMatchesBeforeTheCaretAlone) {
    TextEditorWindow* w = open(write("r.txt", "cat cat cat cat"));
    select(w, 5, 5); // inside the second "cat"
    FindReplaceDialog* replace = searchDialog(w, true);
    setSearch(replace, QStringLiteral("cat"), QStringLiteral("tiger"));
    click(replace, "replaceAll");
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("cat cat tiger tiger"));
    EXPECT_TRUE(w->isChanged());
    run(w, CmdEditorUndo); // one replacement at a time
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("cat cat tiger cat"));

    MessageBoxAnswers answers({QStringLiteral("OK")});
    setSearch(replace, QStringLiteral("dog"), QStringLiteral("x"));
    click(replace, "replaceAll");
    EXPECT_EQ(answers.texts, QStringList{QStringLiteral("Text not found")});
}

TEST_F(EditorWindowTest, ReplaceFindsFromTheCaretThenSelectsTheNextMatch) {
    TextEditorWindow* w = open(write("r.txt", "one two one"));
    FindReplaceDialog* replace = searchDialog(w, true);
    setSearch(replace, QStringLiteral("one"), QStringLiteral("1"));
    click(replace, "replace");
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("1 two one"));
    EXPECT_EQ(w->textEdit()->textCursor().selectionStart(), 6);
    EXPECT_EQ(w->textEdit()->textCursor().selectedText(), QStringLiteral("one"));
    click(replace, "replace");
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("1 two 1"));
}

TEST_F(EditorWindowTest, ClosingAChangedTextAsksYesNoCancel) {
    const std::string path = write("c.txt", "base");
    TextEditorWindow* w = open(path);
    QTest::keyClick(w->textEdit(), Qt::Key_Tab); // a tab, and a change
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("\tbase"));
    {
        MessageBoxAnswers answers({QStringLiteral("Cancel")});
        EXPECT_FALSE(closeAndGone(w));
        EXPECT_EQ(answers.texts, QStringList{QStringLiteral("Do you want to save the changes?")});
    }
    {
        MessageBoxAnswers answers({QStringLiteral("Yes")});
        EXPECT_TRUE(closeAndGone(w));
    }
    EXPECT_EQ(ReadAll(path), "\tbase");

    TextEditorWindow* again = open(path);
    QTest::keyClicks(again->textEdit(), QStringLiteral("x"));
    MessageBoxAnswers answers({QStringLiteral("No")});
    EXPECT_TRUE(closeAndGone(again));
    EXPECT_EQ(ReadAll(path), "\tbase");

    // Undo back to the saved text still counts as a change.
    TextEditorWindow* undone = open(path);
    QTest::keyClicks(undone->textEdit(), QStringLiteral("y"));
    QTest::keyClick(undone->textEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undone->textEdit()->toPlainText(), QStringLiteral("\tbase"));
    EXPECT_TRUE(undone->isChanged());
}

TEST_F(EditorWindowTest, FailedSaveReportsKeepsTheOriginalAndTheWindow) {
    const std::string path = write("f.txt", "original");
    TextEditorWindow* w = open(path);
    QTest::keyClicks(w->textEdit(), QString(100, QLatin1Char('x')));
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    MessageBoxAnswers answers({QStringLiteral("Yes"), QStringLiteral("OK")});
    const bool gone = closeAndGone(w);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(gone);
    ASSERT_EQ(answers.texts.size(), 2);
    EXPECT_EQ(answers.texts[1], QStringLiteral("File too large"));
    EXPECT_EQ(ReadAll(path), "original");
    EXPECT_TRUE(w->isChanged());
}

TEST_F(EditorWindowTest, ShutdownAsksYesNoWithThePathInTheCaption) {
    const std::string path = write("s.txt", "keep");
    TextEditorWindow* w = open(path);
    open(path, true);
    QTest::keyClicks(w->textEdit(), QStringLiteral("z"));
    MessageBoxAnswers answers({QStringLiteral("No")});
    TextEditorWindow::CloseAllForShutdown();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(answers.titles, QStringList{QString::fromStdString("KM - " + path)});
    EXPECT_TRUE(TextEditorWindow::OpenWindows().empty());
    EXPECT_EQ(ReadAll(path), "keep");
}

TEST_F(EditorWindowTest, MenuStateFollowsTextSelectionAndWrap) {
    TextEditorWindow* w = open(dir.file("new.txt"), false, true);
    auto emitShow = [w] {
        for (QMenu* m : w->findChildren<QMenu*>())
            emit m->aboutToShow();
    };
    auto enabled = [w](int id) { return command(w, id)->isEnabled(); };
    emitShow();
    for (int id : {CmdEditorFind, CmdEditorReplace, CmdEditorCut, CmdEditorCopy,
                   CmdEditorCopyToFile, CmdEditorDelete, CmdEditorUndo})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_FALSE(command(w, CmdEditorWordWrap)->isChecked());

    QTest::keyClicks(w->textEdit(), QStringLiteral("text"));
    run(w, CmdEditorSelectAll);
    run(w, CmdEditorWordWrap);
    emitShow();
    for (int id : {CmdEditorFind, CmdEditorReplace, CmdEditorCut, CmdEditorCopy,
                   CmdEditorCopyToFile, CmdEditorDelete, CmdEditorUndo})
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(command(w, CmdEditorWordWrap)->isChecked());
    EXPECT_EQ(w->textEdit()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(SettingsStore(dir.file("KM.reg")).GetInt("FileEdit", "WordWrap", -1), 1);

    run(w, CmdEditorDelete);
    EXPECT_TRUE(w->textEdit()->document()->isEmpty());
}

TEST_F(EditorWindowTest, SaveAsCopyToFileAndPasteFromFileKeepBytes) {
    const std::string path = write("dos.txt", "a\r\nb\r\nc");
    TextEditorWindow* w = open(path);
    std::string next = dir.file("part.txt");
    TextEditorWindow::ChooseFile = [&](QWidget*, bool, const std::string&) {
        return std::optional<std::string>(next);
    };
    select(w, 2, 5); // "b", its CRLF, "c"
    run(w, CmdEditorCopyToFile);
    EXPECT_EQ(ReadAll(next), "b\r\nc");

    next = write("insert.bin", "\xFF\rX\n");
    select(w, 1, 1);
    run(w, CmdEditorPasteFromFile);
    EXPECT_TRUE(w->isChanged());
    next = dir.file("copy.txt");
    run(w, CmdEditorSaveAs);
    EXPECT_EQ(ReadAll(next), "a\xFF\rX\n\r\nb\r\nc");
    EXPECT_EQ(w->windowTitle(), QString::fromStdString("KM - " + next));
    EXPECT_EQ(ReadAll(path), "a\r\nb\r\nc");

    MessageBoxAnswers answers({QStringLiteral("OK"), QStringLiteral("OK")});
    next = dir.file("absent/none.txt");
    run(w, CmdEditorPasteFromFile);
    select(w, 0, 1);
    run(w, CmdEditorCopyToFile);
    EXPECT_EQ(answers.texts, (QStringList{QStringLiteral("Cannot open input file"),
                                          QStringLiteral("Cannot open output file")}));
}

TEST_F(EditorWindowTest, FontCommandAppliesAndStoresTheChosenFont) {
    store->PutInt("FileEdit", "FontCharSet", 238);
    TextEditorWindow* w = open(dir.file("f.txt"), false, true);
    EXPECT_DOUBLE_EQ(w->textEdit()->font().pointSizeF(), 9.0);
    QFont chosen(QStringLiteral("Monospace"));
    chosen.setPointSize(12);
    chosen.setItalic(true);
    EditorFontPicker = [&](QWidget*, const QFont&) { return std::optional<QFont>(chosen); };
    run(w, CmdEditorFont);
    EXPECT_DOUBLE_EQ(w->textEdit()->font().pointSizeF(), 12.0);
    EXPECT_TRUE(w->textEdit()->font().italic());
    SettingsStore reread(dir.file("KM.reg"));
    EXPECT_EQ(reread.GetInt("FileEdit", "FontHeight", 0), 240);
    EXPECT_EQ(reread.GetInt("FileEdit", "FontEffects", 0), 0x40000032);
    EXPECT_EQ(reread.GetInt("FileEdit", "FontCharSet", 0), 238);
    EXPECT_EQ(reread.GetString("FileEdit", "FontName", ""), "Monospace");
}

TEST_F(EditorWindowTest, AllEditorWindowsShareTheRememberedRectangle) {
    TextEditorWindow* w = open(dir.file("a.txt"), false, true);
    w->setGeometry(120, 140, 500, 300);
    const QRect rect = w->geometry();
    EXPECT_TRUE(closeAndGone(w));
    EXPECT_EQ(store->GetInt("DlgPositie", "cx", 0), rect.right() + 1);
    TextEditorWindow* other = open(write("b.txt", "shown"), true);
    EXPECT_EQ(other->geometry(), rect);
}

TEST_F(EditorWindowTest, CtrlSSavesAndTheTitleMarksUnsavedChanges) {
    const std::string path = write("k.txt", "base\n");
    TextEditorWindow* w = open(path);
    const QString title = QString::fromStdString("KM Editor - " + path);
    EXPECT_EQ(w->windowTitle(), title) << "loading is not a change";
    QTest::keyClicks(w->textEdit(), QStringLiteral("ab"));
    EXPECT_EQ(w->windowTitle(), title + " *");
    QTest::keyClick(w->textEdit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadAll(path), "abbase\n");
    EXPECT_FALSE(w->isChanged());
    EXPECT_EQ(w->windowTitle(), title);
    EXPECT_EQ(w->textEdit()->toPlainText(), QStringLiteral("abbase\n")) << "no 's' typed";

    // Undo back to the saved text is still a change; a name given by the opener
    // stands for the path, and the viewer never shows the mark.
    run(w, CmdEditorUndo);
    EXPECT_EQ(w->windowTitle(), title + " *");
    w->setShownName(QStringLiteral("a.zip: docs/k.txt"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("KM Editor - a.zip: docs/k.txt *"));
    TextEditorWindow* v = open(path, true);
    v->textEdit()->document()->setModified(true);
    QTest::keyClick(v->textEdit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(v->windowTitle(), QString::fromStdString("KM Viewer - " + path));
}

TEST_F(EditorWindowTest, EscClosesTheViewerAndACancelledCloseKeepsTheEditorInFront) {
    const std::string path = write("v.txt", "view");
    QWidget owner; // the main window, which owns the question box
    owner.show();
    SetMessageOwner(&owner);
    TextEditorWindow* v = open(path, true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(v));
    QPointer<TextEditorWindow> viewer(v);
    QTest::keyClick(v->textEdit(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull());

    TextEditorWindow* w = open(path);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClicks(w->textEdit(), QStringLiteral("x"));
    {
        MessageBoxAnswers answers({QStringLiteral("Cancel")});
        QTest::keyClick(w->textEdit(), Qt::Key_Escape);
        EXPECT_EQ(answers.texts.size(), 1);
    }
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(w)) << "behind the main window";
    EXPECT_EQ(ReadAll(path), "view");
    SetMessageOwner(nullptr);
}
