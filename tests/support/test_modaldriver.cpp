// The driver must end a modal wait at its deadline whatever happens, so that a
// test whose dialog never comes fails quickly instead of hanging.
#include "support/modaldriver.h"

#include <QDialog>
#include <QMessageBox>
#include <QTest>

using zentaro::testing::ModalDriver;

class TestModalDriver : public QObject {
    Q_OBJECT

private slots:
    void drivesTheDialog() {
        ModalDriver<QMessageBox> driver([](QMessageBox* box) { box->done(QMessageBox::Yes); });
        QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.exec(), int(QMessageBox::Yes));
        QVERIFY(driver.ok());
    }

    void otherKindOfDialogIsClosedAtTheDeadline() {
        ModalDriver<QMessageBox> driver([](QMessageBox* box) { box->accept(); },
                                        std::chrono::milliseconds(200));
        QDialog dialog;
        QCOMPARE(dialog.exec(), int(QDialog::Rejected)); // returns instead of hanging
        QVERIFY(!driver.driven());
        QVERIFY(driver.expired());
        QVERIFY(!driver.ok());
    }

    void dialogLeftOpenIsClosedAtTheDeadline() {
        ModalDriver<QDialog> driver([](QDialog*) {}, std::chrono::milliseconds(200));
        QDialog dialog;
        dialog.exec();
        QVERIFY(driver.driven());
        QVERIFY(driver.expired());
        QVERIFY(!driver.ok());
    }
};

QTEST_MAIN(TestModalDriver)
#include "test_modaldriver.moc"
