// The desktop the other desktop tests rely on: a window manager that manages our
// windows, Song-style glyphs for 宋体, and Qt's own texts in Chinese.
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPushButton>
#include <QRawFont>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "support/virtual_desktop.h"

TEST(Desktop, SongFaceHasTheGlyphsOfTheWindowsTexts)
{
    const QFont song(QStringLiteral("宋体"), 9);
    EXPECT_TRUE(QFontInfo(song).family().startsWith(QStringLiteral("AR PL UMing")) ||
                QFontInfo(song).family() == QStringLiteral("SimSun"))
        << QFontInfo(song).family().toStdString();
    const QFontMetrics metrics(song);
    for (QChar c : QStringLiteral("启动VPN停止查询状态参数设置帐号年月日不要结束它"))
        EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
}

TEST(Desktop, StandardButtonsReadInChinese)
{
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("取消"));
}

TEST(Desktop, WindowManagerMapsWindowsAndTrayComesOnDemand)
{
    QWidget w;
    w.setWindowTitle(QStringLiteral("probe"));
    w.show();
    // Only a window manager gives a window its ICCCM state.
    EXPECT_TRUE(testsupport::waitUntilManaged(&w)) << testsupport::wmState(w.winId()).toStdString();

    EXPECT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    testsupport::desktop().startTray();
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
}
