#pragma once
// The Windows event log: entries reported under one event source.

#include <memory>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace platform {

class WindowsEventLog final : public EventLog {
public:
    explicit WindowsEventLog(std::u16string source);
    ~WindowsEventLog() override;
    WindowsEventLog(const WindowsEventLog&) = delete;
    WindowsEventLog& operator=(const WindowsEventLog&) = delete;

    bool logEvent(int type, long eventId, std::u16string_view text) override { return report(type, eventId, text); }
    // ReportEventW's answer: false when the source cannot be registered or the entry is
    // refused.
    bool report(int type, long eventId, std::u16string_view text);

private:
    std::u16string source_;
    void* handle_ = nullptr;
};

} // namespace platform
