// The shared GUI test runner's watchdog: a dialog that no test answers fails
// the test, naming it, instead of hanging the suite.
#include <QMessageBox>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

void openABoxNobodyAnswers() {
    QMessageBox box;
    box.setObjectName(QStringLiteral("UNEXPECTED"));
    box.setText(QStringLiteral("Nobody answers this"));
    box.exec();
}

TEST(ModalWatchdog, FailsTheTestAndClosesTheDialog) {
    EXPECT_NONFATAL_FAILURE(openABoxNobodyAnswers(), "\"UNEXPECTED\"");
}

} // namespace
