#include "ui_services/MessageBoxes.h"

#include "resources/StringTable.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <vector>

namespace km {
namespace {

QPointer<QWidget> g_owner;

QString fromBytes(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

void SetMessageOwner(QWidget* owner) { g_owner = owner; }
QWidget* MessageOwner() { return g_owner.data(); }

void ShowWarning(int stringId) { ShowWarning(stringId, {}); }

void ShowWarning(int stringId, std::string_view detail) {
    std::string text(LoadString(stringId));
    if (!detail.empty())
        text.append("\n").append(detail);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kestrum"), fromBytes(text), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MESSAGEBOX"));
    box.exec();
}

int ShowMessage(std::string_view text, unsigned type, int helpContext) {
    (void)helpContext;
    const unsigned buttons = type & MbButtonMask;
    unsigned icon = type & MbIconMask;
    if (icon == 0 && buttons != MbAbortRetryIgnore && buttons != MbRetryCancel)
        icon = MbIconExclamation;
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MbIconStop: qicon = QMessageBox::Critical; break;
    case MbIconQuestion: qicon = QMessageBox::Question; break;
    case MbIconExclamation: qicon = QMessageBox::Warning; break;
    case MbIconInformation: qicon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(qicon, QStringLiteral("KM"), fromBytes(text), QMessageBox::NoButton, g_owner);
    box.setObjectName(QStringLiteral("MESSAGEBOX"));
    struct B {
        QMessageBox::StandardButton b;
        int id;
    };
    std::vector<B> list;
    switch (buttons) {
    case MbOkCancel: list = {{QMessageBox::Ok, IdOk}, {QMessageBox::Cancel, IdCancel}}; break;
    case MbAbortRetryIgnore:
        list = {{QMessageBox::Abort, IdAbort}, {QMessageBox::Retry, IdRetry}, {QMessageBox::Ignore, IdIgnore}};
        break;
    case MbYesNoCancel:
        list = {{QMessageBox::Yes, IdYes}, {QMessageBox::No, IdNo}, {QMessageBox::Cancel, IdCancel}};
        break;
    case MbYesNo: list = {{QMessageBox::Yes, IdYes}, {QMessageBox::No, IdNo}}; break;
    case MbRetryCancel: list = {{QMessageBox::Retry, IdRetry}, {QMessageBox::Cancel, IdCancel}}; break;
    default: list = {{QMessageBox::Ok, IdOk}}; break;
    }
    for (const B& b : list)
        box.addButton(b.b);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const B& b : list) {
        if (b.b == pressed)
            return b.id;
    }
    // Closed with Esc or the title bar: the cancel-like answer.
    return buttons == MbYesNo ? IdNo : (buttons == MbOk ? IdOk : IdCancel);
}

} // namespace km
