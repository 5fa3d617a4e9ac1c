// The further ports of /etc/Qor.extra: searched after /dev/ttyS0 and
// /dev/ttyS1, kept from the mouse, modem and pager ports by device, and an
// adapter pulled out is a lost UPS found again under its next name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_identity.h"
#include "engine_fakes.h"

namespace qor::test {
namespace {

const char* const kUsb0 = "/dev/ttyUSB0";
const char* const kUsb1 = "/dev/ttyUSB1";
const char* const kUpsById = "/dev/serial/by-id/usb-FTDI_UPS-if00-port0";
const char* const kModemById = "/dev/serial/by-id/usb-modem";
const char* const kPagerByPath = "/dev/serial/by-path/pager";

struct PortRig : EngineRig {
    explicit PortRig(Edition e) : EngineRig(e) {
        line.status.clear();
        ids.devices = {{"/dev/ttyS0", 0x440}, {"/dev/ttyS1", 0x441}, {"/dev/ttyS2", 0x442},
                       {"/dev/ttyS3", 0x443}, {kUsb0, 0xbc00},      {kUsb1, 0xbc01},
                       {kUpsById, 0xbc00},    {kModemById, 0x442},  {kPagerByPath, 0x443},
                       {"/dev/mouse", 0xd20}};
        engine.setFurtherPorts(&extra, &ids, "/dev/mouse");
    }
    bool tick() {
        clock.t += edition == Edition::Desktop ? 2 : 1;
        if (edition == Edition::Desktop) return engine.desktopTick(view);
        engine.consoleTick(console);
        return false;
    }
    ExtraSettings extra;
    FakeIdentity ids;
};

TEST(FurtherPorts, SearchedAfterTheStandardPortsInOrderAndKeptFromMouseModemAndPagerByDevice) {
    struct Case {
        const char* what;
        std::vector<std::string> ports;
        std::vector<std::string> ups;  // where a UPS answers
        int32_t modem, pager;
        uint64_t mouseDevice;
        const char* mouseText;
        std::vector<std::string> tried;
        const char* found;  // nullptr: not found
    };
    const Case cases[] = {
        {"further ports after both standard ones, in the list's order", {kUsb1, kUsb0}, {kUsb0}, kPortNone,
         kPortNone, 0xd20, "", {"/dev/ttyS0", "/dev/ttyS1", kUsb1, kUsb0}, kUsb0},
        {"a standard port answers first", {kUsb0}, {"/dev/ttyS1", kUsb0}, kPortNone, kPortNone, 0xd20, "",
         {"/dev/ttyS0", "/dev/ttyS1"}, "/dev/ttyS1"},
        {"links to the modem and pager ports are never opened", {kModemById, kPagerByPath, kUsb0},
         {kModemById, kPagerByPath, kUsb0}, 2, 3, 0xd20, "", {"/dev/ttyS0", "/dev/ttyS1", kUsb0}, kUsb0},
        {"the mouse's device under any name", {kUsb0, kUpsById, kUsb1}, {kUsb0, kUpsById, kUsb1}, kPortNone,
         kPortNone, 0xbc00, "", {"/dev/ttyS0", "/dev/ttyS1", kUsb1}, kUsb1},
        {"a further port's name is not matched against the mouse link text", {kUsb0}, {kUsb0}, kPortNone,
         kPortNone, 0xd20, "ttyUSB0", {"/dev/ttyS0", "/dev/ttyS1", kUsb0}, kUsb0},
        {"the standard ports keep their substring rule", {kUsb0}, {}, 1, kPortNone, 0xd20, "ttyS0",
         {kUsb0}, nullptr},
        {"a path that leads nowhere is not opened", {"/dev/ttyUSB7", kUsb0}, {"/dev/ttyUSB7"}, kPortNone,
         kPortNone, 0xd20, "", {"/dev/ttyS0", "/dev/ttyS1", kUsb0}, nullptr},
    };
    for (Edition e : {Edition::Desktop, Edition::Console}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            PortRig rig(e);
            rig.extra.ports = c.ports;
            for (const auto& p : c.ups) rig.line.plug(p, true, true);
            rig.s.modemDevice = c.modem;
            rig.s.pagerPort = c.pager;
            rig.ids.devices["/dev/mouse"] = c.mouseDevice;
            rig.engine.setMouseLink(c.mouseText);
            setText(rig.s.upsPort, "NOT INSTALLED");
            EXPECT_EQ(rig.engine.detectUps(), c.found ? 1 : -1);
            EXPECT_EQ(rig.line.tried, c.tried);
            EXPECT_STREQ(rig.s.upsPort, c.found ? c.found : "NOT INSTALLED");
            EXPECT_EQ(rig.s.upsState, c.found ? AcOk : NoUps);
            EXPECT_EQ(rig.line.isOpen(), c.found != nullptr);
        }
    }
}

TEST(FurtherPorts, WithoutTheFileOnlyTheStandardPortsAreScanned) {
    PortRig rig(Edition::Console);
    rig.engine.setFurtherPorts(nullptr, &rig.ids, "/dev/mouse");
    rig.line.plug(kUsb0, true, true);
    EXPECT_EQ(rig.engine.detectUps(), -1);
    EXPECT_EQ(rig.line.tried, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS1"}));
}

enum class Mains { Normal, Fail, Low };

void set(FakeLine& line, const char* port, Mains m) {
    line.plug(port, m != Mains::Low, m == Mains::Normal || m == Mains::Low);
}

// Ticks a rig into `m` on `port` and returns the events of pulling it out,
// by the cable (the lines drop) or by the adapter (the port goes away).
std::vector<int32_t> pull(PortRig& rig, Mains m, bool adapter) {
    set(rig.line, kUsb0, m);
    for (int i = 0; i < 4; ++i) rig.tick();
    rig.events.kinds.clear();
    if (adapter)
        rig.line.unplug(kUsb0);
    else
        rig.line.plug(kUsb0, false, false);
    rig.tick();
    rig.tick();
    return rig.events.kinds;
}

TEST(FurtherPorts, PulledAdapterIsALostUpsLikeAPulledCableAndIsFoundAgainUnderItsNextName) {
    for (Edition e : {Edition::Desktop, Edition::Console}) {
        for (Mains m : {Mains::Normal, Mains::Fail, Mains::Low}) {
            SCOPED_TRACE(testing::Message() << (e == Edition::Desktop ? "desktop " : "console ")
                                            << static_cast<int>(m));
            PortRig cable(e), adapter(e);
            for (PortRig* r : {&cable, &adapter}) {
                r->s.expBatMin = r->s.lowBatMin = 100;
                r->extra.ports = {kUsb0, kUpsById};
            }
            auto byCable = pull(cable, m, false);
            auto byAdapter = pull(adapter, m, true);
            EXPECT_EQ(byAdapter, byCable);
            EXPECT_EQ(adapter.s.upsState, NoUps);
            if (e == Edition::Desktop) {
                EXPECT_EQ(adapter.engine.displayState(), DisplayNotInstalled);
            } else {
                EXPECT_EQ(adapter.console.painted.back(), "not installed");
            }
            if (e == Edition::Desktop && m == Mains::Normal) {
                EXPECT_EQ(byAdapter, std::vector<int32_t>{EvConnectFail});
            }

            // Back as ttyUSB1: the by-id link now leads there.
            adapter.ids.devices[kUpsById] = 0xbc01;
            set(adapter.line, kUpsById, m);
            adapter.line.tried.clear();
            adapter.tick();
            EXPECT_EQ(adapter.line.tried,
                      (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS1", kUsb0, kUpsById}));
            EXPECT_STREQ(adapter.s.upsPort, kUpsById);
            EXPECT_NE(adapter.s.upsState, NoUps);
            EXPECT_LE(adapter.line.openCount, 1);
        }
    }
}

TEST(FurtherPorts, BackOnBatteryTheCountDownRunsToTheHalt) {
    PortRig rig(Edition::Desktop);
    rig.s.expBatMin = 1;
    rig.extra.ports = {kUsb0, kUpsById};
    set(rig.line, kUsb0, Mains::Normal);
    rig.tick();
    rig.tick();
    set(rig.line, kUsb0, Mains::Fail);
    rig.tick();
    rig.line.unplug(kUsb0);
    rig.tick();
    rig.tick();
    rig.ids.devices[kUpsById] = 0xbc01;
    set(rig.line, kUpsById, Mains::Fail);
    bool halted = false;
    for (int i = 0; i < 40 && !halted; ++i) halted = rig.tick();
    EXPECT_TRUE(halted);
    EXPECT_EQ(rig.shell.commands, std::vector<std::string>{"/sbin/halt"});
    EXPECT_EQ(rig.line.current, kUpsById);
}

TEST(SystemDeviceIdentity, LinksLeadToTheirNodeAndPlainFilesCompareByInode) {
    char dir[] = "/tmp/qor-devid.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    std::string a = std::string(dir) + "/a", b = std::string(dir) + "/b", link = std::string(dir) + "/link",
                nul = std::string(dir) + "/null";
    for (const std::string& p : {a, b}) {
        std::FILE* f = std::fopen(p.c_str(), "w");
        ASSERT_NE(f, nullptr) << p;
        std::fclose(f);
    }
    ASSERT_EQ(::symlink("a", link.c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", nul.c_str()), 0);
    SystemDeviceIdentity ids;
    EXPECT_TRUE(sameDevice(ids.identify(a.c_str()), ids.identify(link.c_str())));
    EXPECT_FALSE(sameDevice(ids.identify(a.c_str()), ids.identify(b.c_str())));
    EXPECT_TRUE(sameDevice(ids.identify("/dev/null"), ids.identify(nul.c_str())));
    EXPECT_TRUE(ids.identify("/dev/null").device);
    EXPECT_FALSE(sameDevice(ids.identify("/dev/null"), ids.identify("/dev/zero")));
    EXPECT_FALSE(ids.identify((std::string(dir) + "/missing").c_str()).found);
    EXPECT_FALSE(sameDevice(ids.identify("/nonexistent/x"), ids.identify("/nonexistent/y")));
    std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
}  // namespace qor::test
