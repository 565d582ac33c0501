// The service control as the service window holds it: what LogEvent answers, and where
// a message box goes while the program runs as the service.

#include <gtest/gtest.h>

#include "platform/fakes/fakes.h"
#include "platform/fakes/service_fakes.h"
#include "platform/message_box.h"
#include "platform/nt_service.h"

namespace {

using Box = platform::fakes::FakeMessageBoxes::Box;
using Entry = platform::fakes::FakeEventLog::Entry;

class NoEvents final : public platform::ServiceEvents {
public:
    void NTService_Start(bool& Success) override { Success = true; }
    void NTService_Stop() override {}
    void NTService_Pause(bool& Success) override { Success = true; }
    void NTService_Continue(bool& Success) override { Success = true; }
    void NTService_Control(long) override {}
};

class ServiceControl : public ::testing::Test {
protected:
    platform::fakes::FakeServices fakes;
    platform::fakes::FakeServiceManager manager;
    platform::ScopedService<platform::ServiceManager> managerSlot{manager};
    NoEvents events;
};

TEST_F(ServiceControl, LogEventAnswersWhatTheLogAnswered)
{
    platform::NTServiceControl control(events);
    for (bool refuses : {false, true}) {
        fakes.eventLog.refuses = refuses;
        EXPECT_EQ(control.LogEvent(platform::svcEventError, 109, u"服务中止运行"), !refuses);
    }
    EXPECT_EQ(fakes.eventLog.entries.size(), 2u);
}

TEST_F(ServiceControl, WhileRunningAsTheServiceBoxesBecomeEntries)
{
    platform::setApplicationTitle(u"CorvaneVPN寻址服务");
    {
        platform::NTServiceControl control(events);
        platform::msgBox(u"装上以前", platform::vbOKOnly);
        control.StartService();
        platform::msgBox(u"设置成功！", platform::vbInformation, u"提示");
        platform::msgBox(u"地址未保存", platform::vbInformation, u"警告");
        platform::msgBox(u"路径错误！", platform::vbOKOnly);
        EXPECT_EQ(fakes.eventLog.entries, (std::vector<Entry>{{4, 110, u"设置成功！"},
                                                              {2, 109, u"地址未保存"},
                                                              {4, 110, u"路径错误！"}}));
    }
    // The service's control is gone with its window: boxes are boxes again.
    platform::msgBox(u"之后", platform::vbInformation, u"提示");
    EXPECT_EQ(fakes.boxes.boxes, (std::vector<Box>{{u"装上以前", 0, u"CorvaneVPN寻址服务"}, {u"之后", 64, u"提示"}}));
}

TEST_F(ServiceControl, AStartThatFailedLeavesBoxesShown)
{
    manager.runError = platform::ServiceError(1063, u"服务进程无法连接到服务控制器。");
    platform::NTServiceControl control(events);
    EXPECT_THROW(control.StartService(), platform::ServiceError);
    platform::msgBox(u"无效参数", platform::vbOKOnly, u"提示");
    EXPECT_EQ(fakes.boxes.boxes.size(), 1u);
    EXPECT_TRUE(fakes.eventLog.entries.empty());
}

} // namespace
