#pragma once
// The modeless progress windows of the long operations. The operation runs on
// the UI thread and pumps events between steps; Cancel sets the shared cancel
// flag, which the operation polls.
//
// A window other than "STATUSFTP" deletes itself when it closes, which may
// happen inside a pump, so callers keep it in a QPointer and test it before
// each use.
#include <QDialog>
#include <string_view>

class QPushButton;

namespace km {

class PathField;
class ProgressGauge;

enum class ProgressKind {
    Copy,      // "STATUSCOPY"
    Ftp,       // "STATUSFTP", the persistent FTP transfer window
    Remove,    // "STATUSREMOVE"
    Search,    // "STATUSSEARCH"
    Unzip,     // "STATUSUNZIP"
    LoadImage, // "STATUSLOADIMG"
    Calc,      // "STATUSCALC"
};

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFieldFrom = 1260;
    static constexpr int kFieldTo = 1290;
    static constexpr int kGauge = 1332;

    // Created hidden; the caller shows it (the FTP window stays hidden until a
    // transfer starts).
    static ProgressWindow* Create(ProgressKind kind, QWidget* owner);

    ProgressKind kind() const { return kind_; }
    // False for the FTP window, which Cancel leaves alone.
    bool closesOnCancel() const { return kind_ != ProgressKind::Ftp; }

    void setTitle(std::string_view utf8);
    // Field 1260 or 1290; ignored when this window has no such field.
    void setFieldText(int control, std::string_view utf8);
    // Ignored when this window has no gauge.
    void setPosition(int position);

    PathField* field(int control) const;
    ProgressGauge* gauge() const { return gauge_; }

    // The operation is over: close (and so delete) the window, or hide the
    // FTP window for the next transfer. Any other close counts as Cancel.
    void finish();

public slots:
    // Cancel, Enter, Escape and the title bar's close button.
    void cancel();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    ProgressWindow(ProgressKind kind, QWidget* owner);

    const ProgressKind kind_;
    PathField* from_ = nullptr;
    PathField* to_ = nullptr;
    ProgressGauge* gauge_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool closing_ = false; // closed by finish() or cancel()
};

} // namespace km
