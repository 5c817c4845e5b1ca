#include "app/port_settings.h"
#include "app/settings_store.h"
#include "exchange/comm.h"
#include "support/fake_serial_line.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <fstream>

using testsupport::FakeLineState;

TEST(ApplyPortSettings, ReadsSpeedPortPathStopBitsAndParity) {
    struct Case {
        std::string ini;
        std::string portOverride;
        std::optional<int> baud;
        std::optional<int> parity;
        std::string expectedOpen;
        std::string expectedFormat;
    };
    const Case cases[] = {
        // A first start: port 1, 19200 bit/s, 1.5 stop bits (2 on this system).
        {"", "", {}, {}, "open /dev/ttyS0", "configure 19200 N 1.5"},
        {"[Port settings]\nport=3\nbaudrate=4\nStop bits=2\n",
         "",
         {},
         {},
         "open /dev/ttyS3",
         "configure 2400 N 2"},
        {"[Port settings]\nbaudrate=15\nStop bits=0\n", "", {}, {}, "open /dev/ttyS0", "configure 9600 N 1"},
        {"[Port settings]\nbaudrate=-1\nStop bits=7\n", "", {}, {}, "open /dev/ttyS0", "configure 9600 N 1"},
        {"[port SETTINGS]\nDEVICE=/dev/ttyUSB0\nport=19\n",
         "",
         {},
         {},
         "open /dev/ttyUSB0",
         "configure 19200 N 1.5"},
        {"[Port settings]\ndevice=/dev/ttyUSB0\n",
         "/dev/pts/9",
         {},
         {},
         "open /dev/pts/9",
         "configure 19200 N 1.5"},
        {"[Port settings]\nport=x\nbaudrate=0x0E\n", "", {}, {}, "open /dev/ttyS0", "configure 256000 N 1.5"},
        // Parity from the settings; the command line wins over speed and parity.
        {"[Port settings]\nParity=2\nStop bits=0\n", "", {}, {}, "open /dev/ttyS0", "configure 19200 E 1"},
        {"[Port settings]\nParity=3\n", "", {}, {}, "open /dev/ttyS0", "configure 19200 M 1.5"},
        {"[Port settings]\nParity=9\nStop bits=2\n", "", {}, {}, "open /dev/ttyS0", "configure 19200 N 2"},
        {"[Port settings]\nParity=2\nbaudrate=6\n", "/dev/pts/3", 12, 1, "open /dev/pts/3",
         "configure 115200 O 1.5"},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        if (!c.ini.empty())
            std::ofstream(dir / "prog.ini") << c.ini;
        app::SettingsStore settings(dir / "prog.ini");
        auto state = std::make_shared<FakeLineState>();
        exchange::TComm comm(std::make_unique<testsupport::FakeSerialLine>(state));
        app::applyPortSettings(comm, settings, {c.portOverride, c.baud, c.parity});
        ASSERT_TRUE(comm.Open()) << c.ini;
        ASSERT_GE(state->calls.size(), 2u);
        EXPECT_EQ(state->calls[0], c.expectedOpen) << c.ini;
        EXPECT_EQ(state->calls[1], c.expectedFormat) << c.ini;
    }
}

TEST(ApplyPortSettings, AnotherPortClosesTheOpenOne) {
    testsupport::TempDir dir;
    app::SettingsStore settings(dir / "prog.ini");
    auto state = std::make_shared<FakeLineState>();
    exchange::TComm comm(std::make_unique<testsupport::FakeSerialLine>(state));
    app::applyPortSettings(comm, settings, {});
    ASSERT_TRUE(comm.Open());
    app::applyPortSettings(comm, settings, {}); // nothing changed: stays open
    EXPECT_TRUE(comm.IsOpen());
    ASSERT_TRUE(settings.writeInteger(app::Setting::PortIndex, 4));
    app::applyPortSettings(comm, settings, {});
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(comm.DevicePath(), "/dev/ttyS4");
}
