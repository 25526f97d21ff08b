// A plain letter presses the dialog button it is the mnemonic of, unless the
// focus is in a control that takes the letter itself.
#include "ui_services/MessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace km;

namespace {

void typeIntoModal(const QString& keys) {
    QTimer::singleShot(50, [keys] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : modal;
        QTest::keyClicks(target, keys);
    });
}

TEST(DialogMnemonics, ALetterAloneAnswersAMessageBox) {
    typeIntoModal(QStringLiteral("n"));
    EXPECT_EQ(ShowMessage("Replace it?", MbYesNo | MbIconQuestion), IdNo);
    typeIntoModal(QStringLiteral("Y"));
    EXPECT_EQ(ShowMessage("Replace it?", MbYesNo | MbIconQuestion), IdYes);
}

TEST(DialogMnemonics, AnEditFieldKeepsItsLettersAndOtherLettersDoNothing) {
    QDialog dlg;
    auto* row = new QHBoxLayout(&dlg);
    auto* edit = new QLineEdit(&dlg);
    auto* yes = new QPushButton(QStringLiteral("&Yes"), &dlg);
    auto* no = new QPushButton(QStringLiteral("&No"), &dlg);
    row->addWidget(edit);
    row->addWidget(yes);
    row->addWidget(no);
    int pressed = 0;
    QObject::connect(yes, &QPushButton::clicked, [&] { ++pressed; });
    QObject::connect(no, &QPushButton::clicked, &dlg, &QDialog::reject);
    QTimer::singleShot(50, [&] {
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("yn"));
        EXPECT_EQ(edit->text(), QStringLiteral("yn"));
        yes->setFocus();
        QTest::keyClicks(yes, QStringLiteral("q")); // no button has it
        QTest::keyClick(yes, Qt::Key_Y, Qt::ControlModifier);
        QTest::qWait(300);
        EXPECT_EQ(pressed, 0);
        QTest::keyClicks(yes, QStringLiteral("y"));
        QTest::qWait(300); // an animated click
        EXPECT_EQ(pressed, 1);
        QTest::keyClicks(yes, QStringLiteral("n"));
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
}

} // namespace
