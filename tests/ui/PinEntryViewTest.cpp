#include "ui/PinEntryView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

QList<QLineEdit*> fields(PinEntryView& view) {
    return view.findChildren<QLineEdit*>();
}

TEST(PinEntryView, FourthCharacterSubmitsClearsAndReturnsToTheFirstField) {
    PinEntryView view(false);
    view.show();
    QApplication::setActiveWindow(&view);
    view.reset(false);
    QSignalSpy submitted(&view, &PinEntryView::submitted);
    EXPECT_EQ(view.title(), "Enter PIN");
    QTest::keyClicks(QApplication::focusWidget(), "1");
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::keyClicks(QApplication::focusWidget(), "3");
    EXPECT_EQ(submitted.count(), 0);
    EXPECT_EQ(QApplication::focusWidget(), fields(view)[3]);
    QTest::keyClicks(QApplication::focusWidget(), "4");
    ASSERT_EQ(submitted.count(), 1);
    EXPECT_EQ(submitted.at(0).at(0).toString(), "1234");
    for (QLineEdit* field : fields(view)) {
        EXPECT_TRUE(field->text().isEmpty());
        EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    }
    EXPECT_EQ(QApplication::focusWidget(), fields(view)[0]);
}

TEST(PinEntryView, ConfirmSubmitsWhateverIsTyped) {
    PinEntryView view(true);
    view.show();
    QApplication::setActiveWindow(&view);
    view.reset(true);
    EXPECT_EQ(view.title(), "Set PIN");
    QSignalSpy submitted(&view, &PinEntryView::submitted);
    QTest::keyClicks(QApplication::focusWidget(), "9");
    QTest::keyClicks(QApplication::focusWidget(), "8");
    QTest::mouseClick(view.findChild<QPushButton*>(), Qt::LeftButton);
    ASSERT_EQ(submitted.count(), 1);
    EXPECT_EQ(submitted.at(0).at(0).toString(), "98");
}

}  // namespace
}  // namespace ambleguard::ui
