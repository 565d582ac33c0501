// The console's menus, tree and toolbar open the small windows by the one-instance rule.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <memory>

#include "app/console_program.h"
#include "console/form_zuye.h"
#include "platform/fakes/fakes.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

// The shown top-level windows with this objectName.
int shown(const char* name)
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            ++n;
    return n;
}

void closeAll()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName().startsWith(QLatin1String("form_")) && w->objectName() != QLatin1String("form_zuye"))
            w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Wiring : ::testing::Test {
    platform::fakes::FakeServices fakes;
    testsupport::TempFolder app;
    std::unique_ptr<console::form_zuye> w;

    void SetUp() override
    {
        platform::setAppFolder(app.path());
        platform::setWindowsFolder(app.path());
        fakes.wmi.setServiceRunning(0);
        w = std::make_unique<console::form_zuye>();
    }
    void TearDown() override { closeAll(); }
};

} // namespace

TEST_F(Wiring, EveryEntryOpensItsWindowOnce)
{
    struct Case {
        const char* entry;
        std::function<void(console::form_zuye&)> choose;
        const char* window;
    } cases[] = {
        {"menu 修改控制台密码", [](auto& z) { z.gaimima->trigger(); }, "form_gaimima"},
        {"menu 参数设置", [](auto& z) { z.cansuo->trigger(); }, "form_cansu"},
        {"menu 帐号设置", [](auto& z) { z.zhanghao->trigger(); }, "form_zhanghao"},
        {"menu 高级维护", [](auto& z) { z.gjwh->trigger(); }, "form_weihu"},
        {"menu 硬件绑定", [](auto& z) { z.hardbind->trigger(); }, "form_hard"},
        {"menu 开机运行", [](auto& z) { z.kaiji->trigger(); }, "form_kaiji"},
        {"menu 关于我们", [](auto& z) { z.gywm->trigger(); }, "form_about"},
        {"tree 参数设置", [](auto& z) { z.TreeView1_NodeClick(QStringLiteral("参数设置")); }, "form_cansu"},
        {"tree 帐号设置", [](auto& z) { z.TreeView1_NodeClick(QStringLiteral("帐号设置")); }, "form_zhanghao"},
        {"toolbar 配置", [](auto& z) { z.Toolbar1_ButtonClick(QStringLiteral("配置")); }, "form_cansu"},
        {"toolbar 关于", [](auto& z) { z.Toolbar1_ButtonClick(QStringLiteral("关于")); }, "form_about"},
    };
    for (const auto& c : cases) {
        c.choose(*w);
        c.choose(*w);
        EXPECT_EQ(shown(c.window), 1) << c.entry;
        closeAll();
        EXPECT_EQ(shown(c.window), 0) << c.entry;
        // A closed window opens again, made anew.
        c.choose(*w);
        EXPECT_EQ(shown(c.window), 1) << c.entry << " after a close";
        closeAll();
    }
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST(StartupWindow, NamedOnTheCommandLine)
{
    struct Case {
        QStringList args;
        std::optional<QString> window;
    } cases[] = {
        {{"dravik"}, QStringLiteral("form_zuye")},
        {{"dravik", "--window", "form_login"}, QStringLiteral("form_login")},
        {{"dravik", "--window=form_xunzi"}, QStringLiteral("form_xunzi")},
        {{"dravik", "--window"}, std::nullopt},
        {{"dravik", "/i"}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::startupWindow(c.args), c.window) << c.args.join(' ').toStdString();
}
