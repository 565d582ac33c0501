// Windows placed from twips: a control whose text does not fit grows by just what it
// lacks, and its frame and window with it; nothing shrinks below its design.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/gui/form_layout.h"

namespace {

using platform::twips;

const QString longText = QStringLiteral("支持系统：Win2000、XP,Vista,Win7/8,Win2003/2008/2012，兼容64位系统");

TEST(WindowLayout, ControlsGrowJustEnoughForTheirTexts)
{
    struct Case {
        const char* name;
        QString text;
        bool grows;
    };
    const std::vector<Case> cases = {
        {"short text keeps the design", QStringLiteral("用户名"), false},
        {"long text grows the label", longText, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        platform::designWindow(&window, "probe", QStringLiteral("probe"), 4500, 1500);
        QLabel* label = platform::label(&window, "Label1", c.text, 120, 120, 1200, 255);
        platform::centreOnScreen(&window);

        const QSize need = label->sizeHint();
        if (c.grows) {
            EXPECT_EQ(label->width(), need.width());
            EXPECT_GT(label->width(), twips(1200));
        } else {
            EXPECT_EQ(label->size(), QSize(twips(1200), twips(255)).expandedTo(need));
        }
        EXPECT_EQ(label->pos(), QPoint(twips(120), twips(120)));
        // The window holds the grown label, with the margin the design keeps at its left.
        const int needed = label->geometry().right() + 1 + twips(120);
        EXPECT_EQ(window.width(), std::max(twips(4500), c.grows ? needed : 0));
        EXPECT_EQ(window.minimumSize(), window.maximumSize()); // still of a fixed size
    }
}

TEST(WindowLayout, AWrappedLabelGrowsDownwardsAndAFrameHoldsItsControls)
{
    QWidget window;
    platform::designWindow(&window, "probe", QStringLiteral("probe"), 6000, 3000);
    QGroupBox* frame = platform::frame(&window, "Frame1", QStringLiteral("框"), 120, 120, 3000, 1500);
    QLabel* wrapped = platform::label(frame, "Label1", longText, 120, 360, 1500, 255);
    wrapped->setWordWrap(true);
    QPushButton* button = platform::control<QPushButton>(frame, "Command1", 1800, 360, 300, 375, longText);
    platform::centreOnScreen(&window);

    EXPECT_EQ(wrapped->width(), twips(1500));
    EXPECT_EQ(wrapped->height(), wrapped->heightForWidth(twips(1500)));
    EXPECT_GT(button->width(), twips(300));
    // The frame grew to hold both, and the window to hold the frame.
    EXPECT_GE(frame->width(), button->geometry().right() + 1);
    EXPECT_GE(frame->height(), wrapped->geometry().bottom() + 1);
    EXPECT_GE(window.width(), frame->geometry().right() + 1);
}

TEST(WindowLayout, ATextThatShrinksGivesBackTheRoomButNotTheDesign)
{
    QWidget window;
    platform::designWindow(&window, "probe", QStringLiteral("probe"), 3000, 1500);
    QLabel* label = platform::label(&window, "Label1", longText, 120, 120, 1200, 255);
    platform::fitTexts(&window);
    ASSERT_GT(window.width(), twips(3000));

    label->setText(QStringLiteral("短"));
    platform::fitTexts(&window);
    EXPECT_EQ(label->size(), QSize(twips(1200), twips(255)).expandedTo(label->sizeHint()));
    EXPECT_EQ(window.width(), twips(3000));
}

} // namespace
