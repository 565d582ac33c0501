// The windows on Qt's own Windows platform under Wine, on a virtual display: what no
// offscreen test sees (real focus, the fonts that Windows hands out).
#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "config/form_zhanghao.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/desktop_look.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"

class FormsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void passwordMaskWhileTyping_data();
    void passwordMaskWhileTyping();
    void chineseTextsHaveGlyphs();
    // Last: it changes the application's fonts and texts for good.
    void qtTextsInChinese();
    void cleanup();

private:
    platform::fakes::FakeServices fakes_;
    QTemporaryDir app_;
};

void FormsTest::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
    platform::setAppFolder(std::filesystem::path(app_.path().toStdWString()));
}

void FormsTest::cleanup()
{
    if (auto& w = platform::windowInstance<config::form_zhanghao>())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    config::setShowPasswordOnFocus(false);
}

void FormsTest::passwordMaskWhileTyping_data()
{
    QTest::addColumn<bool>("showOnFocus");
    QTest::addColumn<QLineEdit::EchoMode>("whileFocused");
    // quellan
    QTest::newRow("masked throughout") << false << QLineEdit::Password;
    // dravik
    QTest::newRow("clear while focused") << true << QLineEdit::Normal;
}

void FormsTest::passwordMaskWhileTyping()
{
    QFETCH(bool, showOnFocus);
    QFETCH(QLineEdit::EchoMode, whileFocused);
    config::setShowPasswordOnFocus(showOnFocus);
    auto& w = platform::showWindow<config::form_zhanghao>();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.txt_pwd->echoMode(), QLineEdit::Password);

    w.txt_pwd->setFocus();
    QTRY_VERIFY(w.txt_pwd->hasFocus());
    QTest::keyClicks(w.txt_pwd, QStringLiteral("s3cret"));
    QCOMPARE(w.txt_pwd->text(), QStringLiteral("s3cret"));
    QCOMPARE(w.txt_pwd->echoMode(), whileFocused);
    // What the field draws: the mask character, never the password.
    QCOMPARE(w.txt_pwd->displayText() == w.txt_pwd->text(), whileFocused == QLineEdit::Normal);

    w.txt_user->setFocus();
    QTRY_VERIFY(w.txt_user->hasFocus());
    QCOMPARE(w.txt_pwd->echoMode(), QLineEdit::Password);
}

void FormsTest::chineseTextsHaveGlyphs()
{
    auto& w = platform::showWindow<config::form_zhanghao>();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // 宋体, the programs' font, is a face of its own here (Wine's replacement names AR PL
    // UMing), not a fallback that Qt picked for a missing name.
    const QFont song(QStringLiteral("宋体"), 9);
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("宋体")));
    QVERIFY2(QFontInfo(song).exactMatch(), qUtf8Printable(QFontInfo(song).family()));

    // Every character of every text has a glyph in the font its control draws with.
    QList<std::pair<QString, QFont>> texts = {{w.windowTitle(), w.font()}};
    for (const QLabel* label : w.findChildren<QLabel*>())
        texts.append({label->text(), label->font()});
    for (const QAbstractButton* button : w.findChildren<QAbstractButton*>())
        texts.append({button->text(), button->font()});
    bool anyChinese = false;
    for (const auto& [text, font] : texts) {
        const QFontMetrics metrics(font);
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                continue;
            anyChinese = true;
            QVERIFY2(metrics.inFont(c), qUtf8Printable(QStringLiteral("%1 in \"%2\"").arg(c).arg(text)));
        }
    }
    QVERIFY(anyChinese);
}

void FormsTest::qtTextsInChinese()
{
    // The translation deployed beside the programs.
    platform::setUpChineseDesktop();
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
}

QTEST_MAIN(FormsTest)
#include "forms_test.moc"
