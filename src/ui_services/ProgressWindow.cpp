#include "ui_services/ProgressWindow.h"

#include "ui_services/AppState.h"
#include "ui_services/PathField.h"
#include "ui_services/ProgressGauge.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace km {
namespace {

struct Layout {
    const char* resource;
    const char* title;
    const char* fromLabel; // null: no field 1260
    const char* toLabel;   // null: no field 1290
    bool gauge;
    const char* message; // a line of text instead of fields
};

const Layout& layoutFor(ProgressKind kind) {
    static const Layout kLayouts[] = {
        {"STATUSCOPY", "KM - Copy", "From:", "To:", true, nullptr},
        {"STATUSFTP", "KM - FTP transfer", "From:", "To:", true, nullptr},
        {"STATUSREMOVE", "KM - Delete", "Deleting:", nullptr, false, nullptr},
        {"STATUSSEARCH", "KM - Searching file", "Searching:", nullptr, false, nullptr},
        {"STATUSUNZIP", "KM - Extract files", "Extracting:", nullptr, true, nullptr},
        {"STATUSLOADIMG", "KM - Load image", "Loading::", nullptr, true, nullptr},
        {"STATUSCALC", "KM - Calculate disk space", nullptr, nullptr, false,
         "Calculating disk space..."},
    };
    return kLayouts[static_cast<int>(kind)];
}

} // namespace

ProgressWindow* ProgressWindow::Create(ProgressKind kind, QWidget* owner) {
    return new ProgressWindow(kind, owner);
}

ProgressWindow::ProgressWindow(ProgressKind kind, QWidget* owner) : QDialog(owner), kind_(kind) {
    const Layout& l = layoutFor(kind);
    setObjectName(QString::fromLatin1(l.resource));
    setWindowTitle(QString::fromLatin1(l.title));
    setModal(false);
    // The FTP window lives as long as its owner; the others go with their operation.
    setAttribute(Qt::WA_DeleteOnClose, closesOnCancel());

    auto* grid = new QGridLayout(this);
    int row = 0;
    auto addField = [&](const char* label, const char* name) {
        auto* field = new PathField(this);
        field->setObjectName(QString::fromLatin1(name));
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        grid->addWidget(field, row++, 1);
        return field;
    };
    if (l.message)
        grid->addWidget(new QLabel(QString::fromLatin1(l.message), this), row++, 0, 1, 2);
    if (l.fromLabel)
        from_ = addField(l.fromLabel, "field1260");
    if (l.toLabel)
        to_ = addField(l.toLabel, "field1290");
    if (l.gauge) {
        gauge_ = new ProgressGauge(this);
        gauge_->setObjectName(QStringLiteral("gauge1332"));
        gauge_->setGaugeFont(&font(), false);
        grid->addWidget(gauge_, row++, 0, 1, 2);
    }
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setDefault(true); // Enter cancels as well
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    grid->addLayout(buttons, row, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::cancel);
}

void ProgressWindow::setTitle(std::string_view utf8) {
    setWindowTitle(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

PathField* ProgressWindow::field(int control) const {
    if (control == kFieldFrom)
        return from_;
    if (control == kFieldTo)
        return to_;
    return nullptr;
}

void ProgressWindow::setFieldText(int control, std::string_view utf8) {
    if (PathField* f = field(control))
        f->setText(utf8);
}

void ProgressWindow::setPosition(int position) {
    if (gauge_)
        gauge_->setPosition(position);
}

void ProgressWindow::finish() {
    if (closesOnCancel()) {
        closing_ = true;
        close();
    } else {
        hide();
    }
}

void ProgressWindow::cancel() {
    App().cancelFlag = true;
    if (closesOnCancel()) {
        closing_ = true;
        close();
    }
}

void ProgressWindow::reject() {
    cancel();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // Any close but ours (the title bar's button, the window manager) is a
    // Cancel. QDialog's own handler would reject() on every close.
    if (!closing_) {
        App().cancelFlag = true;
        if (!closesOnCancel()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

} // namespace km
