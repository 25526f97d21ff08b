#include "panels/ColorsDialog.h"

#include "panels/PanelDelegate.h"
#include "settings/SettingsStore.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace km {
namespace {

struct ExampleRow {
    const char* caption;
    int exampleId;
    ColorIndex fg, bg;
    int fgButton, bgButton;
};

constexpr ExampleRow kRows[] = {
    {"Directory: ", 1042, ColDirFg, ColDirBg, 2783, 2787},
    {"Selected directory: ", 1043, ColDirSelFg, ColDirSelBg, 2790, 2795},
    {"Hidden/system directory: ", 1045, ColSysDirFg, ColSysDirBg, 2798, 2799},
    {"File: ", 1040, ColFileFg, ColFileBg, 2770, 2773},
    {"Selected file: ", 1041, ColFileSelFg, ColFileSelBg, 2777, 2780},
    {"Hidden/system file: ", 1044, ColSysFileFg, ColSysFileBg, 2796, 2797},
};

// What "Default colors" sets: the store's defaults, except that hidden and
// system files get white text.
constexpr int32_t kDialogDefaults[ColCount] = {0xFFFFFF, 0x000000, 0xFFFFFF, 0x0000FF, 0x40FF00,
                                               0x000000, 0xFFFFFF, 0x0000FF, 0xFFFFFF, 0x004080,
                                               0x40FF00, 0x004080, -1};

QString id(const char* prefix, int number) {
    return QString::fromLatin1(prefix) + QString::number(number);
}

} // namespace

// The focus-rectangle example: a frame in the chosen colour on the button face.
class FocusRectExample : public QWidget {
public:
    explicit FocusRectExample(QWidget* parent) : QWidget(parent) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void setRef(int32_t ref) {
        ref_ = ref;
        update();
    }
    QSize sizeHint() const override { return {120, fontMetrics().height() + 8}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
        p.setPen(QPen(ColorFromRef(ref_), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }

private:
    int32_t ref_ = -1;
};

ColorsDialog::ColorPicker ColorsDialog::pickColor = [](QWidget* parent, const QColor& initial) {
    const QColor c = QColorDialog::getColor(initial, parent);
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
};

int32_t RefFromColor(const QColor& c) {
    return static_cast<int32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

ColorsDialog::ColorsDialog(const QFont& panelFont, QWidget* parent)
    : QDialog(parent), refs_(App().colors.ref) {
    setObjectName(QStringLiteral("COLORS"));
    setWindowTitle(QStringLiteral("KM - Colors in file windows"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);

    auto addButton = [this, grid](const char* text, int number, int row, int column, int index) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(id("button", number));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, index] { choose(index); });
        grid->addWidget(b, row, column);
    };

    int row = 0;
    for (const ExampleRow& r : kRows) {
        grid->addWidget(new QLabel(QString::fromLatin1(r.caption), this), row, 0);
        auto* example = new QLineEdit(QStringLiteral("Example text"), this);
        example->setObjectName(id("example", r.exampleId));
        example->setReadOnly(true);
        example->setFocusPolicy(Qt::NoFocus);
        example->setFont(panelFont);
        examples_[static_cast<size_t>(row)] = example;
        grid->addWidget(example, row, 1);
        addButton("Foreground", r.fgButton, row, 2, r.fg);
        addButton("Background", r.bgButton, row, 3, r.bg);
        ++row;
    }
    grid->addWidget(new QLabel(QStringLiteral("Focus rectangle: "), this), row, 0);
    focusExample_ = new FocusRectExample(this);
    focusExample_->setObjectName(id("example", 2769));
    grid->addWidget(focusExample_, row, 1);
    addButton("Foreground", 2766, row, 2, ColFRect);

    auto* buttons = new QHBoxLayout;
    auto* defaults = new QPushButton(QStringLiteral("Default colors"), this);
    defaults->setObjectName(id("button", 2763));
    defaults->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    buttons->addWidget(defaults);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(defaults, &QPushButton::clicked, this, &ColorsDialog::setDefaultColors);
    connect(ok, &QPushButton::clicked, this, &ColorsDialog::store);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    updateExamples();
}

bool ColorsDialog::Ask(QWidget* parent, const QFont& panelFont) {
    ColorsDialog dlg(panelFont, parent);
    return dlg.exec() == QDialog::Accepted;
}

void ColorsDialog::choose(int index) {
    int32_t& ref = refs_[static_cast<size_t>(index)];
    if (const std::optional<QColor> c = pickColor(this, ColorFromRef(ref))) {
        ref = RefFromColor(*c);
        updateExamples();
    }
}

void ColorsDialog::setDefaultColors() {
    std::copy(std::begin(kDialogDefaults), std::end(kDialogDefaults), refs_.begin());
    updateExamples();
}

void ColorsDialog::updateExamples() {
    for (size_t i = 0; i < examples_.size(); ++i) {
        QPalette pal = examples_[i]->palette();
        pal.setColor(QPalette::Text, ColorFromRef(refs_[static_cast<size_t>(kRows[i].fg)]));
        pal.setColor(QPalette::Base, ColorFromRef(refs_[static_cast<size_t>(kRows[i].bg)]));
        examples_[i]->setPalette(pal);
    }
    focusExample_->setRef(refs_[ColFRect]);
}

void ColorsDialog::store() {
    App().colors.ref = refs_;
    if (App().store)
        App().colors.save(*App().store);
    accept();
}

} // namespace km
