// The terminal simulator (the program beside the tests) against a message
// server and a UDP socket of this process on 127.0.0.1.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include "ImServerFixture.h"
#include "NetTestSupport.h"
#include "common/TestNet.h"
#include "common/TestSupport.h"
#include "network/CSocketMaster.h"
#include "platform/CodePage.h"

namespace {

QString SimulatorPath() {
    return QCoreApplication::applicationDirPath() + "/kestrelle_simulator";
}

class SimulatorTest : public ImServerTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(SimulatorPath())) << SimulatorPath().toStdString();
        ImServerTest::SetUp();
    }
};

TEST_F(SimulatorTest, TerminalsJoinChatAndWaitForEveryAcknowledgement) {
    auto watcher = Join("Watcher");
    int exitCode = 0;
    const QString output = RunSimulator(
        {"im", "--port", QString::number(Port()), "--name", "POS", "--terminals", "3", "--count",
         "4", "--chat", "1", "--text", QString::fromUtf8("Супа %i за %s"), "--wait-ack"},
        &exitCode);
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    ASSERT_TRUE(WaitForOrders(12));
    EXPECT_EQ(QSet<QString>(orders.begin(), orders.end()).size(), 12);
    EXPECT_TRUE(orders.contains(QString::fromUtf8("Супа 4 за POS-2")));
    // What the station sent back is printed, one line per message.
    EXPECT_TRUE(output.contains("[POS-1] < ORA | ACK | POS-1 | 1\n")) << output.toStdString();
    EXPECT_TRUE(output.contains("[POS-3] < LST | " + server->ImServerName()));
    EXPECT_TRUE(output.contains("acknowledged 12 of 12, doubled 0")) << output.toStdString();
    // The others heard the chat lines.
    EXPECT_TRUE(PumpEventsUntil([&] { return watcher->MessagesOf("MSG").size() == 12; }));
    EXPECT_TRUE(watcher->MessagesOf("MSG").contains("MSG" + QString(QChar(2)) + "POS-2" + QChar(2) +
                                                    "All" + QChar(2) + "Chat 1 before order 3"));
}

TEST_F(SimulatorTest, TerminalsJoiningAtOnceHaveEveryOrderAcknowledgedAndHandedOverOnce) {
    int exitCode = 0;
    const QString output =
        RunSimulator({"im", "--port", QString::number(Port()), "--terminals", "200", "--count", "2",
                      "--at-once", "--wait-ack", "--quiet", "--timeout", "120"},
                     &exitCode);
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    EXPECT_TRUE(output.contains("joined 200 of 200 terminals")) << output.toStdString();
    EXPECT_TRUE(output.contains("acknowledged 400 of 400, doubled 0")) << output.toStdString();
    ASSERT_TRUE(WaitForOrders(400));
    EXPECT_EQ(orders.size(), 400);
    EXPECT_EQ(QSet<QString>(orders.begin(), orders.end()).size(), 400);
}

TEST_F(SimulatorTest, UnacknowledgedOrdersEndInAFailure) {
    int exitCode = 0;
    const QString output =
        RunSimulator({"im", "--port", QString::number(Port()), "--name", "Lost", "--to",
                      "Nobody_QVKServer", "--wait-ack", "--timeout", "1", "--quiet"},
                     &exitCode);
    EXPECT_EQ(exitCode, 1) << output.toStdString();
    EXPECT_TRUE(output.contains("acknowledged 0 of 1")) << output.toStdString();
    EXPECT_TRUE(orders.isEmpty());
}

TEST(SimulatorUdpTest, DatagramsCarrySequenceSenderAndText) {
    ASSERT_TRUE(QFile::exists(SimulatorPath()));
    CSocketMaster receiver;
    receiver.SetProtocol(CSocketMaster::sckUDPProtocol);
    receiver.Bind(Variant::FromLong(0), Variant("127.0.0.1"));
    QList<QByteArray> datagrams;
    QObject::connect(&receiver, &CSocketMaster::DataArrival, [&](int32_t) {
        Variant data;
        receiver.GetData(data, Variant::FromLong(int32_t(VarType::ByteArray)));
        datagrams.append(data.ToBytes());
    });
    int exitCode = 0;
    const QString output = RunSimulator(
        {"udp", "--port", QString::number(receiver.LocalPort()), "--name", "Bar", "--count", "3",
         "--start", "41", "--text", QString::fromUtf8("Кафе и вода %i")},
        &exitCode);
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    ASSERT_TRUE(PumpEventsUntil([&] { return datagrams.size() == 3; }));
    EXPECT_EQ(datagrams[0], platform::ToAnsi(QString::fromUtf8("000041 Bar\tКафе и вода 41")));
    EXPECT_EQ(datagrams[2], platform::ToAnsi(QString::fromUtf8("000043 Bar\tКафе и вода 43")));
}

}  // namespace
