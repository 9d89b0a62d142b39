// The device catalogue over the virtual backend: what the preferences dialog lists, how names
// and indices resolve, and what the capture engine opens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/device_catalogue.h"
#include "audio/virtual_devices.h"

namespace tw {
namespace {

using hal::VirtualDeviceSpec;

struct ChannelCase {
    const char* what;
    std::vector<int> buffers;
    std::vector<std::string> sources;
    std::vector<std::string> names;  // entries in list order
    std::vector<uint32_t> ids;
    int count;
};

TEST(DeviceCatalogueTest, ChannelEntriesFollowTheStreamConfiguration) {
    const ChannelCase cases[] = {
        {"mono microphone", {1}, {}, {"Default"}, {0}, 1},
        {"two channels, no data sources", {2}, {}, {"Channel 2", "Channel 1"}, {1, 0}, 2},
        {"four channels",
         {4},
         {},
         {"Channel 4", "Channel 3", "Channel 2", "Channel 1"},
         {3, 2, 1, 0},
         4},
        // One named source on a stereo buffer counts the entry and its channels.
        {"stereo with one data source", {2}, {"Line In"}, {"Line In"}, {0x100}, 3},
        {"an unnamed data source", {1}, {""}, {"Default"}, {0x100}, 2},
        // The last buffer's source comes first.
        {"two buffers with sources", {2, 1}, {"Line", "Mic"}, {"Mic", "Line"}, {0x101, 0x100}, 5},
        // Two buffers without sources: nothing is listed.
        {"two buffers, no sources", {1, 1}, {}, {}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualDeviceSpec spec = test::Input("Device", 44100, c.buffers);
        spec.dataSources = c.sources;
        test::UseVirtualDevices({spec});
        std::vector<DeviceEntry> list;
        hal::DeviceId id = hal::kNoDevice;
        ASSERT_TRUE(GetInputDevice(0, &id, nullptr));
        EXPECT_EQ(EnumerateChannels(id, &list), c.count);
        ASSERT_EQ(list.size(), c.names.size());
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].name, c.names[i]);
            EXPECT_EQ(list[i].id, c.ids[i]);
        }
        EXPECT_EQ(CountChannels(0), c.count);
        // Positions beyond the list find nothing.
        EXPECT_EQ(GetChannelName(0, static_cast<int32_t>(c.names.size())), "");
    }
}

TEST(DeviceCatalogueTest, OutputOnlyDevicesAreCountedButNotListed) {
    test::UseVirtualDevices({test::Output("Speakers", 2), test::Input("Mic", 44100, {1}),
                             test::Output("Headphones", 2), test::Input("Interface", 48000, {2})});
    std::vector<DeviceEntry> list;
    EXPECT_EQ(EnumerateInputDevices(&list), 4);
    EXPECT_EQ(CountDevices(), 4);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Mic");
    EXPECT_EQ(list[1].name, "Interface");

    int32_t index = -1;
    hal::DeviceId id = hal::kNoDevice;
    ASSERT_TRUE(FindInputDeviceByName("Interface", &index, &id));
    EXPECT_EQ(index, 1);
    std::string name;
    ASSERT_TRUE(FindInputDeviceById(id, &index, &name));
    EXPECT_EQ(name, "Interface");
    // Names compare exactly.
    EXPECT_FALSE(FindInputDeviceByName("interface", &index, &id));
    EXPECT_FALSE(FindInputDeviceByName("Speakers", &index, &id));
    EXPECT_FALSE(FindInputDeviceById(hal::Virtual().FindDevice("Speakers"), &index, &name));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(name, "");
    EXPECT_FALSE(GetInputDeviceName(-1, &name));
    EXPECT_FALSE(GetInputDeviceName(2, &name));
    EXPECT_EQ(SelectionDeviceId({5, 0, false}), hal::kNoDevice);
}

TEST(DeviceCatalogueTest, SelectionsResolveNamesAndChannels) {
    test::UseVirtualDevices({test::Input("Mic", 44100, {1}), test::Input("Interface", 48000, {2})});
    struct Case {
        const char* name;
        int32_t channel;
        DeviceSelection expected;
    };
    const Case cases[] = {
        {"Mic", 0, {0, 0, false}},
        {"Interface", 0, {1, 0, true}},
        {"Interface", 1, {1, 1, false}},
        // No entry at that position: channel 0.
        {"Interface", 2, {1, 0, true}},
        {"Mic", 3, {0, 0, false}},
        // No such device: the first input device.
        {"[Default Sound In]", 1, {0, 0, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.channel));
        EXPECT_EQ(MakeDeviceSelection(c.name, c.channel), c.expected);
    }
    EXPECT_EQ(SelectionDeviceId({1, 0, true}), hal::Virtual().FindDevice("Interface"));
}

TEST(DeviceCatalogueTest, DefaultSelectionFollowsTheDefaultInput) {
    auto mic = test::Input("Mic", 44100, {1});
    auto interface = test::Input("Interface", 48000, {2});
    interface.defaultInput = true;
    test::UseVirtualDevices({test::Output("Speakers", 2), mic, interface});
    int32_t index = -1;
    std::string name;
    ASSERT_TRUE(GetDefaultInputDevice(&index, &name));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(name, "Interface");
    EXPECT_EQ(DefaultDeviceSelection(), (DeviceSelection{1, 0, true}));

    hal::Virtual().SetNoDefaultInput(true);
    EXPECT_FALSE(GetDefaultInputDevice(&index, &name));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(name, "");
    EXPECT_EQ(DefaultDeviceSelection().deviceIndex, -1);
}

TEST(DeviceCatalogueTest, DevicesThatDisappearAreGoneAtTheNextCall) {
    test::UseVirtualDevices({test::Input("Mic", 44100, {1}), test::Input("USB", 48000, {1})});
    EXPECT_EQ(CountDevices(), 2);
    hal::Virtual().Vanish(hal::Virtual().FindDevice("Mic"));
    std::vector<DeviceEntry> list;
    EXPECT_EQ(EnumerateInputDevices(&list), 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "USB");
}

TEST(DeviceCatalogueTest, LongNamesAreCut) {
    const std::string longName(400, 'x');
    test::UseVirtualDevices({test::Input(longName, 44100, {1}), test::Output(longName, 2)});
    std::string name;
    ASSERT_TRUE(GetInputDeviceName(0, &name));
    EXPECT_EQ(name.size(), kDeviceNameMax);
    std::vector<DeviceEntry> outputs;
    EnumerateOutputDevices(&outputs);
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs[0].name.size(), kDeviceNameMax);
}

TEST(DeviceCatalogueTest, OutputDevicesAreCountedFromOne) {
    auto headphones = test::Output("Headphones", 2);
    headphones.defaultOutput = true;
    test::UseVirtualDevices(
        {test::Output("Speakers", 2), test::Input("Mic", 44100, {1}), headphones});
    const int64_t speakers = hal::Virtual().FindDevice("Speakers");
    const int64_t phones = hal::Virtual().FindDevice("Headphones");
    EXPECT_EQ(OutputDeviceIdByIndex(0), phones);
    EXPECT_EQ(OutputDeviceIdByIndex(1), speakers);
    EXPECT_EQ(OutputDeviceIdByIndex(2), phones);
    EXPECT_EQ(OutputDeviceIdByIndex(3), -1);
    EXPECT_EQ(OutputDeviceIndexByName("Headphones"), 2);
    EXPECT_EQ(OutputDeviceIndexByName(kDefaultPlaybackDevice), 0);
    EXPECT_EQ(OutputDeviceIndexByName("Mic"), 0);
    EXPECT_EQ(OutputDeviceIndexById(static_cast<hal::DeviceId>(speakers)), 1);
    EXPECT_EQ(OutputDeviceIndexById(hal::Virtual().FindDevice("Mic")), 0);
}

TEST(VirtualBackendTest, OptionStringsDescribeDevices) {
    hal::SelectBackend("virtual");
    std::string error;
    ASSERT_TRUE(hal::Virtual().Configure(
        "name=Mic,rate=48000,in=1,signal=tone:440:0.5;name=Box,in=2+2,sources=A|B;"
        "name=Spk,out=2,default_out",
        &error))
        << error;
    std::vector<DeviceEntry> list;
    EXPECT_EQ(EnumerateInputDevices(&list), 3);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(GetChannelName(1, 0), "B");
    EXPECT_EQ(OutputDeviceIndexByName("Spk"), 1);
    double rate = 0;
    ASSERT_TRUE(hal::Backend().ActualSampleRate(list[0].id, &rate));
    EXPECT_EQ(rate, 48000);
    for (const char* bad :
         {"name=X,rate=abc", "name=X,in=0", "name=X,signal=tone", "name=X,bogus=1"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(hal::Virtual().Configure(bad, &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace tw
