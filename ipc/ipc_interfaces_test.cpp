#include <gtest/gtest.h>

#include "ipc/ipc_transport_base.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;

class CountingConsumer : public CIPCConsumerBase {
public:
    void responseRegister(eResult) override { ++calls; }
    void responseSetWindow(eResult) override { ++calls; }
    void componentConnected() override { ++calls; }
    int calls = 0;
};

TEST(NameValuePair, EqualNamesWithDifferentValuesDiffer) {
    tNameValuePair a("name", "one");
    tNameValuePair b("name", "two");
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a == tNameValuePair("name", "one"));
    EXPECT_TRUE(tNameValuePair() == tNameValuePair("", ""));
    tNameValuePair& self = a;
    a = self;
    EXPECT_EQ(CQVString("name"), a.name);
    EXPECT_EQ(CQVString("one"), a.value);
}

TEST(TransportBase, AcceptsEveryRequestWithZeroAndNeverCallsBack) {
    LogCapture capture;
    CountingConsumer consumer;
    CIPCTransportBase transport(&consumer);
    tParameterList parameters;
    EXPECT_TRUE(transport.addIPCClient(nullptr));
    EXPECT_EQ(0, transport.requestButtonEvent(1));
    EXPECT_EQ(0, transport.requestDataAvailableEvent("x"));
    EXPECT_EQ(0, transport.requestDeregister());
    EXPECT_EQ(0, transport.requestKeyEvent(1));
    EXPECT_EQ(0, transport.requestMouseEvent(1, 2, 3));
    EXPECT_EQ(0, transport.requestRegister("d", "m", parameters));
    EXPECT_EQ(0, transport.requestSetWindow(1, 2, 3, 4));
    transport.notifyOnConfigPath(true);
    EXPECT_FALSE(transport.isConfigPathValid());
    EXPECT_TRUE(transport.getConfigPath().isEmpty());
    EXPECT_EQ(0, consumer.calls);
    EXPECT_TRUE(capture.contains("NPluginsIPCCommunications::CIPCTransportBase::requestSetWindow: ", 0));
}

TEST(ConsumerBase, DefaultCallbacksOnlyLogTheirName) {
    LogCapture capture;
    CountingConsumer consumer;
    CIPCConsumerBase& base = consumer;
    base.componentDisconnected();
    base.responseKeyEvent(RESULT_ERROR);
    base.onConfigPathUpdate("/x");
    EXPECT_TRUE(capture.contains("CIPCConsumerBase::componentDisconnected", 0));
    EXPECT_TRUE(capture.contains("CIPCConsumerBase::responseKeyEvent", 0));
    EXPECT_EQ(0, consumer.calls);
}

}  // namespace
