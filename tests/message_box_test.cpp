#include "document/message_box.h"

#include <gtest/gtest.h>

#include <thread>

namespace tf {

TEST(MessageBox, CaptureTakesTheLiteralTextAndIcon) {
    MessageCapture capture;
    show_message("Load Cancelled.", MessageIcon::information);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0], "Load Cancelled.");
    EXPECT_EQ(capture.icons()[0], MessageIcon::information);
}

TEST(MessageBox, CaptureIsPerThreadAndNests) {
    MessageCapture outer;
    {
        MessageCapture inner;
        show_message("inner");
        std::thread([] { show_message("other thread"); }).join();
        EXPECT_EQ(inner.messages(), std::vector<std::string>{"inner"});
    }
    show_message("outer");
    EXPECT_EQ(outer.messages(), std::vector<std::string>{"outer"});
}

}  // namespace tf
