#include "framework/forms.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

using forms::TForm;

class FormsTest : public QObject {
    Q_OBJECT
  private slots:
    void modalRunSurvivesHidingAndEndsAfterTheInnerRun();
    void aFormRunningModallyIsNotRunAgain();
    void closeOfAPlainFormHidesIt();
    void activationRunsOncePerChangeOfForm();
    void integerConversion();
};

// A modal form that hides itself and runs another one modally; the inner one ends the outer run.
// The outer run must stay alive while hidden and end only once the inner run has returned.
void FormsTest::modalRunSurvivesHidingAndEndsAfterTheInnerRun() {
    TForm outer, inner;
    outer.setClientSize(100, 80);
    inner.setClientSize(60, 40);
    QStringList trace;
    QTimer::singleShot(0, [&] {
        trace << "outer shown";
        outer.Hide();
        QTimer::singleShot(0, [&] {
            trace << "inner shown";
            QVERIFY(outer.inModalRun());
            outer.Close(); // ends the outer run once control returns to it
            inner.Close();
        });
        const int r = inner.ShowModal();
        trace << QStringLiteral("inner ended %1").arg(r);
        QVERIFY(outer.inModalRun());
    });
    const int r = outer.ShowModal();
    trace << QStringLiteral("outer ended %1").arg(r);
    QCOMPARE(trace, (QStringList{"outer shown", "inner shown", "inner ended 2", "outer ended 2"}));
    QVERIFY(!outer.isVisible());
}

// Showing a form modally from inside its own run (a second window's button, say) must neither start a
// second run nor undo a result already set for the first.
void FormsTest::aFormRunningModallyIsNotRunAgain() {
    TForm f;
    f.setClientSize(60, 40);
    int inner = -1;
    QTimer::singleShot(0, [&] {
        f.Close();             // the run is told to end ...
        inner = f.ShowModal(); // ... and a nested request returns at once, keeping that
    });
    QCOMPARE(f.ShowModal(), int(forms::mrCancel));
    QCOMPARE(inner, int(forms::mrNone));
    QVERIFY(!f.inModalRun());
}

void FormsTest::closeOfAPlainFormHidesIt() {
    TForm f;
    f.setClientSize(50, 50);
    f.Show();
    QVERIFY(f.isVisible());
    f.Close();
    QVERIFY(!f.isVisible());
    QVERIFY(!forms::TerminateRequested());
    TForm main;
    main.setMainForm(true);
    main.Show();
    main.Close();
    QVERIFY(forms::TerminateRequested());
    forms::ResetTerminateRequest();
}

class CountingForm : public TForm {
  public:
    int activations = 0;

  protected:
    void FormActivate() override { ++activations; }
};

void FormsTest::activationRunsOncePerChangeOfForm() {
    CountingForm a, b;
    a.setClientSize(50, 50);
    b.setClientSize(50, 50);
    a.Show();
    QVERIFY(QTest::qWaitForWindowActive(&a));
    QCOMPARE(a.activations, 1);
    b.Show();
    QVERIFY(QTest::qWaitForWindowActive(&b));
    QCOMPARE(b.activations, 1);
    a.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&a));
    QCOMPARE(a.activations, 2);
    b.hide();
    a.hide();
}

void FormsTest::integerConversion() {
    QCOMPARE(forms::StrToInt("12"), 12);
    QCOMPARE(forms::StrToInt("  -7"), -7);
    QCOMPARE(forms::StrToInt("$1F"), 31);
    QCOMPARE(forms::StrToInt("2147483647"), 2147483647);
    QCOMPARE(forms::StrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "abc", "12 ", "1.5", "2147483648", "$", "-"}) {
        try {
            forms::StrToInt(bad);
            QFAIL(bad);
        } catch (const forms::EConvertError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("'%1' is not a valid integer value").arg(bad));
        }
    }
}

QTEST_MAIN(FormsTest)
#include "forms_test.moc"
