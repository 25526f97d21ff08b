#pragma once
#include "viewers/EditorFont.h"
#include "viewers/EditorRecovery.h"
#include "ui_services/LosslessText.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QPlainTextEdit;
class QTextCursor;

namespace km {

class FindReplaceDialog;
class TextLoader;

// "REDIT": the internal editor, and with `viewOnly` the text viewer. Each
// window is independent and non-modal; it deletes itself when closed. The
// file is read as bytes and saved as the same bytes where the text was not
// edited (see LosslessText.h), and large files load in pieces while the
// window is already usable.
class TextEditorWindow : public QMainWindow {
    Q_OBJECT
public:
    // Opens a window for `path` (bytes as the file system has them). With
    // `newFile` the text starts empty and nothing is read. Returns at once;
    // a file that cannot be opened is reported and leaves the window empty.
    static TextEditorWindow* Open(const std::string& path, bool viewOnly, bool newFile);
    static std::vector<TextEditorWindow*> OpenWindows();
    // For the main window's shut-down: asks Yes/No about every changed text
    // and closes the windows; one whose save fails stays open. Without `ask`
    // (the session ending, texts already kept) all close unasked.
    static void CloseAllForShutdown(bool ask = true);
    // Before the session ends: asks Yes/No/Cancel about every changed text
    // and saves on Yes; false on Cancel or a failed save.
    static bool AskToSaveChanged();
    // When nobody can be asked (SIGTERM, a session end without questions):
    // keeps every changed text in a recovery file and marks it unchanged.
    // Returns where each went; `error` is set when some could not be kept.
    static std::vector<RecoveredText> KeepChangedForRecovery(std::string& error);

    // The file dialogs of Save as, Copy to file and Paste from file; nullopt
    // when cancelled. Tests replace it so no system dialog opens.
    using FileChooser = std::function<std::optional<std::string>(QWidget* parent, bool forSave,
                                                                 const std::string& initialPath)>;
    static FileChooser ChooseFile;

    ~TextEditorWindow() override;

    const std::string& filePath() const { return path_; }
    bool isViewOnly() const { return viewOnly_; }
    bool isLoading() const { return loader_ != nullptr; }
    bool isChanged() const;
    QPlainTextEdit* textEdit() const { return edit_; }
    // The bytes Save writes.
    std::string encodedText() const;
    // Saves to the file path; false (after reporting why) when it failed.
    bool save();
    // Names the text in the title instead of the file path, for a copy whose
    // path means nothing to the user (an archive entry in the temporary
    // directory). "Save as" shows the new path again.
    void setShownName(const QString& name);

signals:
    void firstPieceShown();
    void loadFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TextEditorWindow(std::string path, bool viewOnly);

    void buildMenus();
    QAction* addCommand(QMenu* menu, int id, const QString& text);
    QAction* command(int id) const;
    void updateMenuState();
    void enableAllCommands();
    void setTitle(const QString& prefix);
    void updateTitle();
    void applyFont();
    void applyWordWrap();
    void setInteraction();

    void startLoading();
    void insertPieces();
    void finishLoading();
    // Inserts `piece` at `cursor` (which must not hold a selection) and
    // records the line ends of the blocks it creates.
    void insertDecoded(QTextCursor& cursor, const DecodedText& piece);
    LineEnd lineEndOf(int blockState) const;
    std::string encodeRange(int from, int to) const;
    QString plainText() const;

    void saveAs();
    void copyToFile();
    void pasteFromFile();
    void undo();
    void openSearchDialog(bool replace);
    void takeDialogTexts();
    bool findNext(bool fromDialog);
    void keepDialogClearOf(const QTextCursor& match);
    void replaceOne();
    void replaceAll();
    void chooseFont();
    void toggleWordWrap();
    void selectRange(qsizetype from, qsizetype length);

    std::string path_;
    const bool viewOnly_;
    QString titlePrefix_;
    QString shownName_;
    QPlainTextEdit* edit_ = nullptr;
    std::map<int, QAction*> commands_;
    std::unique_ptr<TextLoader> loader_;
    bool firstPiecePending_ = true;
    bool loadIncomplete_ = false; // a read error: saving would cut the file short
    bool shutdownAnswered_ = false;
    LineEnd defaultEnd_ = LineEnd::Lf; // for lines typed here
    bool defaultEndKnown_ = false;
    EditorFontSpec font_;
    bool wordWrap_ = false;
    QString findText_;
    QString replaceText_;
    bool matchCase_ = false;
    QPointer<FindReplaceDialog> searchDialog_;
};

} // namespace km
