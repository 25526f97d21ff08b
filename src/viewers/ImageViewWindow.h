#pragma once
// "VIEW": the modal picture window of the View command. It loads the file
// through the image library under the "STATUSLOADIMG" progress window, shows
// it scaled down to its display area when it is larger, and can put the
// picture on the clipboard or open the file in its application.
#include <QDialog>
#include <QImage>
#include <functional>
#include <optional>
#include <string>

class QFrame;

namespace km {

namespace imagelib {
struct PixelBlock;
}

class ImageViewWindow : public QDialog {
    Q_OBJECT
public:
    // The display area's size; the frame is 2 pixels larger on every side.
    static constexpr int kAreaWidth = 640;
    static constexpr int kAreaHeight = 480;

    // Shows the window modally for `path` (the file system's bytes); returns
    // when it has closed. A file that does not load is reported and the
    // window closes at once. `shownName`, when given, stands for the path in
    // the title (an archive entry's copy in the temporary directory).
    static void Show(const std::string& path, QWidget* owner, const QString& shownName = {});

    // Opens `path` with its application as the file panel does; 0 when a
    // program started. Tests replace it so nothing is started.
    using Starter = std::function<int(const std::string& path, const std::string& workingDir)>;
    static Starter StartApplication;

    ImageViewWindow(std::string path, QWidget* owner);
    ~ImageViewWindow() override;

    // Loads, fits and keeps the picture. False when the window has nothing
    // to show: the load failed (reported) or there was no memory for it.
    bool load();

    const std::string& filePath() const { return path_; }
    // The displayed picture, at the size it is shown.
    const QImage& picture() const { return picture_; }
    bool isScaled() const { return scaled_; }
    // In the coordinates of the picture frame.
    QRect displayArea() const;

    void copyToClipboard();
    void startApplication();

private:
    class PictureFrame;

    std::optional<imagelib::PixelBlock> loadWithProgress();
    void paintPicture(QWidget* frame);

    std::string path_;
    QString shownName_;
    QImage picture_;
    bool scaled_ = false;
    PictureFrame* frame_ = nullptr;
};

} // namespace km
