// The socket runtime: start and stop with the first and last object, the
// socket window's life, dispatch by the owner tables, and the error texts.
#include <gtest/gtest.h>
#include <memory>

#include "common/TestSupport.h"
#include "network/CSocketMaster.h"
#include "network/ModSocketMaster.h"
#include "platform/AppError.h"
#include "platform/sockets/SocketApi.h"

TEST(ModSocketMaster, FirstObjectStartsAndLastObjectStopsTheRuntimeOnce) {
    ASSERT_EQ(SocketInstanceCount(), 0);
    const int starts = platform::SocketStartupCalls();
    const int cleanups = platform::SocketCleanupCalls();
    auto a = std::make_unique<CSocketMaster>();
    auto b = std::make_unique<CSocketMaster>();
    EXPECT_EQ(SocketInstanceCount(), 2);
    EXPECT_TRUE(SocketRuntimeStarted());
    a.reset();
    EXPECT_TRUE(SocketRuntimeStarted());
    b.reset();
    EXPECT_FALSE(SocketRuntimeStarted());
    EXPECT_EQ(SocketInstanceCount(), 0);
    EXPECT_EQ(platform::SocketStartupCalls() - starts, 1);
    EXPECT_EQ(platform::SocketCleanupCalls() - cleanups, 1);
}

TEST(ModSocketMaster, SocketWindowLivesFromFirstToLastRegisteredSocket) {
    CSocketMaster a, b;
    EXPECT_FALSE(SocketWindowExists());
    a.SetProtocol(CSocketMaster::sckUDPProtocol);
    b.SetProtocol(CSocketMaster::sckUDPProtocol);
    a.Bind();
    b.Bind();
    EXPECT_TRUE(SocketWindowExists());
    EXPECT_EQ(SocketTableCount(), 2);
    a.CloseSck();
    EXPECT_TRUE(SocketWindowExists());
    b.CloseSck();
    EXPECT_FALSE(SocketWindowExists());
    EXPECT_EQ(SocketTableCount(), 0);
    // Slots are reused: a table grows only to the most sockets alive at once.
    a.Bind();
    EXPECT_TRUE(SocketWindowExists());
    a.CloseSck();
    a.Bind();
    EXPECT_EQ(SocketTableCount(), 1);
}

TEST(ModSocketMaster, NotificationForAnUnknownSocketReachesNoObject) {
    CSocketMaster a;
    a.SetProtocol(CSocketMaster::sckUDPProtocol);
    a.Bind();
    bool arrived = false;
    QObject::connect(&a, &CSocketMaster::DataArrival, [&](int32_t) { arrived = true; });
    EXPECT_EQ(SocketWindowProc(kMsgSocketEvent, a.SocketHandle() + 1000, 1), 0);
    EXPECT_EQ(SocketWindowProc(kMsgResolveDone, 12345, 0), 0);
    EXPECT_EQ(SocketWindowProc(0x10, a.SocketHandle(), 1), 0);
    EXPECT_FALSE(arrived);
    // A notification with an error goes to the owner's Error event.
    int number = 0;
    QObject::connect(&a, &CSocketMaster::Error,
                     [&](int16_t n, QString&, int32_t, const QString&, const QString&, int32_t,
                         bool&) { number = n; });
    SocketWindowProc(kMsgSocketEvent, a.SocketHandle(), int32_t((10054u << 16) | 1u));
    EXPECT_EQ(number, 10054);
    EXPECT_EQ(a.State(), CSocketMaster::sckError);
}

TEST(ModSocketMaster, ErrorTextsAndConversions) {
    EXPECT_EQ(GetErrorDescription(10035), "Resource temporarily unavailable.");
    EXPECT_EQ(GetErrorDescription(10004), "Interrupted function call.");
    EXPECT_EQ(GetErrorDescription(10047), "Address family not supported by protocol family.");
    EXPECT_EQ(GetErrorDescription(10092), "Winsock.dll version out of range.");
    EXPECT_EQ(GetErrorDescription(11004), "Valid name, no data record of requested type.");
    EXPECT_EQ(GetErrorDescription(10059), "Unknown error.");
    EXPECT_EQ(GetErrorDescription(0), "Unknown error.");
    EXPECT_EQ(LoWord(int32_t(0xABCD1234u)), 0x1234);
    EXPECT_EQ(HiWord(int32_t(0xABCD1234u)), 0xABCD);
    EXPECT_EQ(IntegerToUnsigned(65535), 65535);
    EXPECT_EQ(UnsignedToInteger(65535), 65535);
    try {
        IntegerToUnsigned(65536);
        ADD_FAILURE();
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
}
