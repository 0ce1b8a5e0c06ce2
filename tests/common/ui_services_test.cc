#include "common/ui_services.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/messages.h"
#include "tests/support/recording_ui_services.h"

namespace zer1 {
namespace {

TEST(Messages, InformationAndErrorCarryTheirCaptions) {
    RecordingUiServices ui;
    ScopedUiServices installed(&ui);
    InformationMessage("Fertig.\rZeile 2", 0);
    ErrorMessage("Schwerer Fehler! Programm wird beendet!");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kInformation);
    EXPECT_EQ(ui.messages[0].caption, "Information");
    EXPECT_EQ(ui.messages[0].text, "Fertig.\rZeile 2");
    EXPECT_EQ(ui.messages[1].kind, MessageKind::kError);
    EXPECT_EQ(ui.messages[1].caption, "Fehler");
}

TEST(UiServicesInstallation, ScopesNestAndRestore) {
    RecordingUiServices outer, inner;
    {
        ScopedUiServices a(&outer);
        {
            ScopedUiServices b(&inner);
            ErrorMessage("inner");
        }
        ErrorMessage("outer");
    }
    ErrorMessage("nobody records this");  // the silent default
    ASSERT_EQ(inner.messages.size(), 1u);
    EXPECT_EQ(inner.messages[0].text, "inner");
    ASSERT_EQ(outer.messages.size(), 1u);
    EXPECT_EQ(outer.messages[0].text, "outer");
    EXPECT_NE(&CurrentUiServices(), &outer);
}

TEST(MessagePumpThrottle, LetsOnePumpThroughPerInterval) {
    using namespace std::chrono_literals;
    MessagePumpThrottle throttle(20ms);
    const auto t0 = MessagePumpThrottle::Clock::time_point(1h);
    EXPECT_TRUE(throttle.Due(t0));
    EXPECT_FALSE(throttle.Due(t0 + 1ms));
    EXPECT_FALSE(throttle.Due(t0 + 19ms));
    EXPECT_TRUE(throttle.Due(t0 + 20ms));
    EXPECT_FALSE(throttle.Due(t0 + 39ms));
    EXPECT_TRUE(throttle.Due(t0 + 45ms));
}

TEST(ProcessPendingMessages, PumpsRarelyInATightLoopAndAgainAfterAPause) {
    RecordingUiServices ui;
    ScopedUiServices installed(&ui);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) ProcessPendingMessages();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto allowed = elapsed / kMessagePumpInterval + 1;
    EXPECT_GE(ui.process_events_calls, 1);
    EXPECT_LE(ui.process_events_calls, allowed);
    const int before = ui.process_events_calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ProcessPendingMessages();
    EXPECT_EQ(ui.process_events_calls, before + 1);
}

}  // namespace
}  // namespace zer1
