#include "platform/MessageBox.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using platform::BoxOwner;
using platform::MessageBoxRequest;

TEST(MessageBoxSeam, RecorderSeesEveryBoxAndIsReplacedCleanly) {
    std::vector<MessageBoxRequest> seen;
    auto previous = platform::SetMessageBoxHandler(
        [&seen](const MessageBoxRequest& request) { seen.push_back(request); });

    platform::ShowMessageBox({"Save to MEDIA (E:\\) OK!", "Lunavio Utility", BoxOwner::Window});
    platform::ShowMessageBox({"Load DeviceInfo.dll failed.", "Error"});

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "Save to MEDIA (E:\\) OK!");
    EXPECT_EQ(seen[0].owner, BoxOwner::Window);
    EXPECT_EQ(seen[1].title, "Error");
    EXPECT_EQ(seen[1].owner, BoxOwner::None);

    auto recorder = platform::SetMessageBoxHandler(std::move(previous));
    EXPECT_TRUE(recorder);
    platform::ShowMessageBox({"after", "restored"});
    EXPECT_EQ(seen.size(), 2u);
}

TEST(MessageBoxSeam, HandlerThatReplacesItselfWhileOpenSurvives) {
    int calls = 0;
    platform::SetMessageBoxHandler([&calls](const MessageBoxRequest&) {
        ++calls;
        platform::SetMessageBoxHandler({});
    });
    platform::ShowMessageBox({"a", "b"});
    platform::ShowMessageBox({"c", "d"}); // to standard error now
    EXPECT_EQ(calls, 1);
}

} // namespace
