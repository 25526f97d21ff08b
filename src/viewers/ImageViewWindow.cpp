#include "viewers/ImageViewWindow.h"

#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "ui_services/AppState.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/ProgressWindow.h"
#include "viewers/ImageFit.h"
#include "viewers/imagelib/ImageLib.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

namespace km {
namespace {

constexpr int kBorder = 2;

// The library's block as an image the clipboard and the painter take; a null
// image when there is no memory for it.
QImage makeBitmap(const imagelib::PixelBlock& block) {
    QImage image(block.width, block.height, QImage::Format_RGB888);
    if (image.isNull())
        return image;
    const size_t rowBytes = static_cast<size_t>(block.width) * 3;
    for (int y = 0; y < block.height; ++y)
        std::memcpy(image.scanLine(y), block.at(0, y), rowBytes);
    return image;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

class ImageViewWindow::PictureFrame : public QFrame {
public:
    explicit PictureFrame(ImageViewWindow* owner) : QFrame(owner), owner_(owner) {
        setObjectName(QStringLiteral("pictureFrame"));
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(kBorder);
        setFixedSize(kAreaWidth + 2 * kBorder, kAreaHeight + 2 * kBorder);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        owner_->paintPicture(this);
    }

private:
    ImageViewWindow* owner_;
};

ImageViewWindow::Starter ImageViewWindow::StartApplication = [](const std::string& path,
                                                                const std::string& workingDir) {
    QtOpenExecuteUi ui;
    return ExecuteByAssociation(path, workingDir, ui);
};

ImageViewWindow::ImageViewWindow(std::string path, QWidget* owner)
    : QDialog(owner), path_(std::move(path)) {
    setObjectName(QStringLiteral("VIEW"));
    setWindowTitle(QStringLiteral("KM - Viewer"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    frame_ = new PictureFrame(this);
    layout->addWidget(frame_);
    auto* row = new QHBoxLayout;
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    auto* copy = new QPushButton(QStringLiteral("Copy to clipboard"), this);
    copy->setObjectName(QStringLiteral("copy"));
    copy->setAutoDefault(false);
    auto* start = new QPushButton(QStringLiteral("Start application"), this);
    start->setObjectName(QStringLiteral("start"));
    start->setAutoDefault(false);
    row->addWidget(done);
    row->addStretch();
    row->addWidget(copy);
    row->addWidget(start);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    connect(copy, &QPushButton::clicked, this, &ImageViewWindow::copyToClipboard);
    connect(start, &QPushButton::clicked, this, &ImageViewWindow::startApplication);
}

ImageViewWindow::~ImageViewWindow() = default;

void ImageViewWindow::Show(const std::string& path, QWidget* owner, const QString& shownName) {
    ImageViewWindow window(path, owner);
    window.shownName_ = shownName;
    if (window.load())
        window.exec();
}

QRect ImageViewWindow::displayArea() const {
    return frame_->rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
}

std::optional<imagelib::PixelBlock> ImageViewWindow::loadWithProgress() {
    App().cancelFlag = false;
    QPointer<ProgressWindow> progress = ProgressWindow::Create(ProgressKind::LoadImage, this);
    progress->setFieldText(ProgressWindow::kFieldFrom, path_);
    progress->show();
    EventPump::force();
    int shown = -1;
    imagelib::SetProgressFunction([&](uint64_t done, uint64_t total) {
        if (EventPump::pump())
            return false;
        // Only a change of percentage repaints the gauge.
        const int position = total ? static_cast<int>(done * 100 / total) : 0;
        if (progress && position != shown) {
            shown = position;
            progress->setPosition(position);
        }
        return true;
    });
    std::optional<imagelib::PixelBlock> block = imagelib::LoadByExtension(path_);
    // The function refers to this frame's locals.
    imagelib::SetProgressFunction(nullptr);
    // Cancel has closed the window already.
    if (progress)
        progress->finish();
    return block;
}

bool ImageViewWindow::load() {
    std::optional<imagelib::PixelBlock> block = loadWithProgress();
    if (!block) {
        ShowMessage(imagelib::ErrorText(imagelib::LastError()));
        return false;
    }
    const QRect area = displayArea();
    const FittedSize fit = FitImage(block->width, block->height, area.width(), area.height());
    if (fit.scaled) {
        block = imagelib::Resize(*block, fit.width, fit.height);
        if (!block)
            return false;
    }
    scaled_ = fit.scaled;
    picture_ = makeBitmap(*block);
    if (picture_.isNull())
        return false;
    setWindowTitle(QStringLiteral("KM Viewer - ") +
                   (shownName_.isEmpty()
                        ? QString::fromUtf8(path_.data(), static_cast<qsizetype>(path_.size()))
                        : shownName_));
    frame_->update();
    return true;
}

void ImageViewWindow::paintPicture(QWidget* frame) {
    QPainter painter(frame);
    const QRect area = displayArea();
    painter.fillRect(area, palette().color(QPalette::Button));
    if (picture_.isNull())
        return;
    const int x = CentreOffset(picture_.width(), area.width());
    const int y = CentreOffset(picture_.height(), area.height());
    painter.drawImage(QPoint(area.left() + x, area.top() + y), picture_,
                      QRect(0, 0, std::min(picture_.width(), area.width()),
                            std::min(picture_.height(), area.height())));
}

void ImageViewWindow::copyToClipboard() {
    WaitCursor wait;
    QImage bitmap;
    if (scaled_) {
        // The clipboard gets the picture as the file has it, not as shown.
        std::optional<imagelib::PixelBlock> full = loadWithProgress();
        if (!full) {
            ShowMessage(imagelib::ErrorText(imagelib::LastError()));
            return;
        }
        bitmap = makeBitmap(*full);
    } else {
        bitmap = picture_;
    }
    if (bitmap.isNull()) {
        ShowMessage(imagelib::ErrorText(imagelib::ErrOutOfMemory));
        return;
    }
    QGuiApplication::clipboard()->setImage(bitmap);
}

void ImageViewWindow::startApplication() {
    if (StartApplication(path_, directoryOf(path_)) == 0)
        accept();
}

} // namespace km
